#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/failure.h"

// The late-bound automation interface through which the chart code drives the spreadsheet application: an
// object answers get, let and call by member name with variant arguments, and a failing member throws a
// Failure carrying the description the application returns.
namespace rw::automation {

class Object;
using ObjectRef = std::shared_ptr<Object>;

using Variant =
    std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string, ObjectRef>;

// What an argument list is made of: anything a Variant is made from.
template <typename T>
concept ArgumentValue = std::is_constructible_v<Variant, T>;

// The arguments of one call. A call takes at most a few, so they are held in place: the chart's hundreds
// of thousands of calls allocate nothing for them. A longer list is held on the heap.
class Args {
  public:
    Args() = default;
    // A braced list, `get("Cells", {row, column})`: each value is made in its place, not copied there.
    template <ArgumentValue... T>
    Args(T&&... values) {  // NOLINT: implicit on purpose, as the braced list it stands for
        if constexpr (sizeof...(T) <= kInPlace) {
            auto* slot = reinterpret_cast<Variant*>(inPlace_);
            std::size_t made = 0;
            try {
                ((::new (static_cast<void*>(slot + made)) Variant(std::forward<T>(values)), ++made), ...);
            } catch (...) {
                std::destroy_n(slot, made);
                throw;
            }
        } else {
            more_.reserve(sizeof...(T));
            (more_.emplace_back(std::forward<T>(values)), ...);
        }
        size_ = sizeof...(T);
    }
    Args(const Args& other) { assign(other.begin(), other.end()); }
    Args& operator=(const Args& other) {
        if (this != &other) {
            clear();
            assign(other.begin(), other.end());
        }
        return *this;
    }
    ~Args() {
        if (size_ <= kInPlace) {
            destroyInPlace();
        }
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const Variant& operator[](std::size_t i) const { return data()[i]; }
    const Variant& at(std::size_t i) const {
        if (i >= size_) {
            throw std::out_of_range("automation::Args::at");
        }
        return data()[i];
    }
    const Variant* begin() const { return data(); }
    const Variant* end() const { return data() + size_; }

  private:
    static constexpr std::size_t kInPlace = 3;
    const Variant* data() const {
        return size_ <= kInPlace ? std::launder(reinterpret_cast<const Variant*>(inPlace_)) : more_.data();
    }
    // Copies are made into place (a copy costs less than an assignment over a value already there).
    void assign(const Variant* first, const Variant* last) {
        const auto count = static_cast<std::size_t>(last - first);
        if (count <= kInPlace) {
            std::uninitialized_copy(first, last, reinterpret_cast<Variant*>(inPlace_));
        } else {
            more_.assign(first, last);
        }
        size_ = count;
    }
    // Numbers and flags, the usual arguments, need nothing done to end: only text and objects are destroyed.
    void destroyInPlace() {
        Variant* values = std::launder(reinterpret_cast<Variant*>(inPlace_));
        for (std::size_t i = 0; i < size_; ++i) {
            if (std::holds_alternative<std::string>(values[i]) ||
                std::holds_alternative<ObjectRef>(values[i])) {
                std::destroy_at(values + i);
            }
        }
    }
    void clear() {
        if (size_ <= kInPlace) {
            destroyInPlace();
        } else {
            more_.clear();
        }
        size_ = 0;
    }

    alignas(Variant) unsigned char inPlace_[kInPlace * sizeof(Variant)];
    std::vector<Variant> more_;
    std::size_t size_ = 0;
};

// The member name that stands for an object's default value.
inline constexpr std::string_view kDefaultMember = "";

class Object {
  public:
    virtual ~Object() = default;
    virtual Variant get(std::string_view member, const Args& args) = 0;
    virtual void let(std::string_view member, const Args& args, const Variant& value) = 0;
    virtual Variant call(std::string_view member, const Args& args) = 0;
};

// Creates application objects by class name ("Excel.Application"); every call a new, separate instance.
class ObjectFactory {
  public:
    virtual ~ObjectFactory() = default;
    virtual ObjectRef createObject(const std::string& className) = 0;
};

// Attaches to an application that is already running; fails when none runs. Never starts one.
class ActiveObjectLookup {
  public:
    virtual ~ActiveObjectLookup() = default;
    virtual ObjectRef getActiveObject(const std::string& className) = 0;
};

// Conversions a member applies to its arguments; each failure is a Failure with the usual wording.
std::int32_t toInt32(const Variant& v);  // integers, and doubles or numeric text rounded half to even
double toDouble(const Variant& v);       // numbers, and numeric text
std::string toText(const Variant& v);    // text, and numbers in their shortest decimal form
bool toBool(const Variant& v);
ObjectRef toObject(const Variant& v);  // fails with "Object required" for anything but an object

// A held reference with the chaining the chart code reads best with:
//   Dispatch(sheet).get("Cells", {2, 2}).get("Font").let("Size", int16_t{20});
// Using an unset reference fails with "Object variable or With block variable not set".
class Dispatch {
  public:
    Dispatch() = default;
    Dispatch(ObjectRef object) : object_(std::move(object)) {}  // NOLINT: implicit on purpose

    Dispatch get(std::string_view member, const Args& args = {}) const;
    Variant value(std::string_view member, const Args& args = {}) const;
    void let(std::string_view member, const Variant& value) const { let(member, {}, value); }
    void let(std::string_view member, const Args& args, const Variant& value) const;
    Variant call(std::string_view member, const Args& args = {}) const;

    const ObjectRef& object() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset() { object_.reset(); }

  private:
    Object& target() const;
    ObjectRef object_;
};

}  // namespace rw::automation
