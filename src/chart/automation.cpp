#include "chart/automation.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/checked.h"

namespace rw::automation {

namespace {

[[noreturn]] void typeMismatch() {
    throw Failure("Type mismatch");
}

bool parseNumber(const std::string& text, double& out) {
    // Plain decimal text, as the binding receives widths ("24") and similar; blanks around it allowed.
    std::size_t b = text.find_first_not_of(" \t");
    std::size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos) {
        return false;
    }
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    if (*first == '+') {
        ++first;
    }
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

}  // namespace

double toDouble(const Variant& v) {
    if (auto p = std::get_if<bool>(&v)) {
        return *p ? -1.0 : 0.0;
    }
    if (auto p = std::get_if<std::int16_t>(&v)) {
        return *p;
    }
    if (auto p = std::get_if<std::int32_t>(&v)) {
        return *p;
    }
    if (auto p = std::get_if<double>(&v)) {
        return *p;
    }
    if (auto p = std::get_if<std::string>(&v)) {
        double d = 0;
        if (parseNumber(*p, d)) {
            return d;
        }
    }
    typeMismatch();
}

std::int32_t toInt32(const Variant& v) {
    if (auto p = std::get_if<std::int16_t>(&v)) {
        return *p;
    }
    if (auto p = std::get_if<std::int32_t>(&v)) {
        return *p;
    }
    return round32(toDouble(v));
}

std::string toText(const Variant& v) {
    if (auto p = std::get_if<std::string>(&v)) {
        return *p;
    }
    if (auto p = std::get_if<bool>(&v)) {
        return *p ? "True" : "False";
    }
    if (auto p = std::get_if<std::int16_t>(&v)) {
        return std::to_string(*p);
    }
    if (auto p = std::get_if<std::int32_t>(&v)) {
        return std::to_string(*p);
    }
    if (auto p = std::get_if<double>(&v)) {
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *p);
        return ec == std::errc() ? std::string(buf, end) : std::string();
    }
    if (std::holds_alternative<std::monostate>(v)) {
        return {};
    }
    typeMismatch();
}

bool toBool(const Variant& v) {
    if (auto p = std::get_if<bool>(&v)) {
        return *p;
    }
    if (std::holds_alternative<std::string>(v) || std::holds_alternative<ObjectRef>(v) ||
        std::holds_alternative<std::monostate>(v)) {
        typeMismatch();
    }
    return toDouble(v) != 0.0;
}

ObjectRef toObject(const Variant& v) {
    if (auto p = std::get_if<ObjectRef>(&v); p && *p) {
        return *p;
    }
    throw Failure("Object required");
}

Object& Dispatch::target() const {
    if (!object_) {
        throw Failure("Object variable or With block variable not set");
    }
    return *object_;
}

Dispatch Dispatch::get(std::string_view member, const Args& args) const {
    // The object is moved out of the answer: no second reference is taken and dropped on every step of a
    // chain such as sheet.get("Cells", ...).get("Font").
    Variant answer = target().get(member, args);
    if (auto p = std::get_if<ObjectRef>(&answer); p && *p) {
        return Dispatch(std::move(*p));
    }
    throw Failure("Object required");
}

Variant Dispatch::value(std::string_view member, const Args& args) const {
    return target().get(member, args);
}

void Dispatch::let(std::string_view member, const Args& args, const Variant& value) const {
    target().let(member, args, value);
}

Variant Dispatch::call(std::string_view member, const Args& args) const {
    return target().call(member, args);
}

}  // namespace rw::automation
