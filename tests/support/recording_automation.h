#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "chart/automation.h"
#include "platform/failure.h"

// A recording stand-in for the automation interface. Every get, let and call on any object reached from a
// root is recorded in order, with its arguments and value exactly as typed; every get and call answers a
// new child object unless told otherwise, so any chain of members works. Tests can watch calls as they
// happen, answer members with values of their choice, and make chosen calls fail.
//
// Texts name values with their types, the way the spreadsheet's macro language writes them: 20% is a
// 16-bit integer, 5& a 32-bit one, 2# a double, "24" a string. A call reads like
//   Cells(2%,2%).Font.Size = 20%
namespace rw::test {

enum class CallKind { Get, Let, Call };

inline std::string variantText(const automation::Variant& v) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "Empty"; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::int16_t i) const { return std::to_string(i) + "%"; }
        std::string operator()(std::int32_t i) const { return std::to_string(i) + "&"; }
        std::string operator()(double d) const {
            char buf[64];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
            return std::string(buf, ec == std::errc() ? end : buf) + "#";
        }
        std::string operator()(const std::string& s) const { return "\"" + s + "\""; }
        std::string operator()(const automation::ObjectRef& o) const { return o ? "<Object>" : "Nothing"; }
    };
    return std::visit(Visitor{}, v);
}

inline std::string argsText(const automation::Args& args) {
    if (args.empty()) {
        return {};
    }
    std::string text = "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        text += (i ? "," : "") + variantText(args[i]);
    }
    return text + ")";
}

class RecordingAutomation;

// One object of the recorded world: a root, or what a member of its parent answered.
class RecordingObject : public automation::Object, public std::enable_shared_from_this<RecordingObject> {
  public:
    RecordingObject(RecordingAutomation& world, std::shared_ptr<const RecordingObject> parent,
                    std::string member, automation::Args args)
        : world_(world), parent_(std::move(parent)), member_(std::move(member)), args_(std::move(args)) {}

    const std::shared_ptr<const RecordingObject>& parent() const { return parent_; }
    // The member of the parent that gave this object (the root's name for a root), and its arguments.
    const std::string& member() const { return member_; }
    const automation::Args& args() const { return args_; }
    bool isRoot() const { return parent_ == nullptr; }

    // The chain from the root, the root's own name left out: Cells(5&,2&).Borders(10%)
    std::string path() const {
        if (isRoot()) {
            return {};
        }
        std::string up = parent_->path();
        return (up.empty() ? "" : up + ".") + member_ + argsText(args_);
    }

    inline automation::Variant get(std::string_view member, const automation::Args& args) override;
    inline void let(std::string_view member, const automation::Args& args,
                    const automation::Variant& value) override;
    inline automation::Variant call(std::string_view member, const automation::Args& args) override;

  private:
    RecordingAutomation& world_;
    std::shared_ptr<const RecordingObject> parent_;
    std::string member_;
    automation::Args args_;
};

struct RecordedCall {
    CallKind kind;
    std::shared_ptr<const RecordingObject> target;
    std::string member;
    automation::Args args;
    automation::Variant value;  // the value assigned by a let

    // Cells(2%,2%).Font.Size = 20%   /   Range("B2:F2").Merge()   /   get Cells(5&,2&)
    std::string text() const {
        const std::string up = target->path();
        const std::string reach = (up.empty() ? "" : up + ".") + member + argsText(args);
        switch (kind) {
            case CallKind::Let:
                return reach + " = " + variantText(value);
            case CallKind::Call:
                return reach + "()";
            case CallKind::Get:
                break;
        }
        return "get " + reach;
    }
};

class RecordingAutomation {
  public:
    // A new root object, for instance the worksheet handed to the code under test.
    automation::ObjectRef root(std::string name = "Sheet") {
        return std::make_shared<RecordingObject>(*this, nullptr, std::move(name), automation::Args{});
    }

    // Keep every call in `calls` (turn off for very long runs and watch with `observer` instead).
    bool keepLog = true;
    std::vector<RecordedCall> calls;
    std::int64_t callCount = 0;

    // Sees every call before it is answered.
    std::function<void(const RecordedCall&)> observer;
    // A description to fail the call with, or nothing to let it pass.
    std::function<std::optional<std::string>(const RecordedCall&)> failWith;
    // The answer of a get or call, or nothing for the default (a new child object).
    std::function<std::optional<automation::Variant>(const RecordedCall&)> answer;

    // The lets and calls only, as text: the effects, in order.
    std::vector<std::string> effects() const {
        std::vector<std::string> out;
        for (const RecordedCall& c : calls) {
            if (c.kind != CallKind::Get) {
                out.push_back(c.text());
            }
        }
        return out;
    }

    automation::Variant handle(RecordedCall call) {
        ++callCount;
        if (observer) {
            observer(call);
        }
        if (keepLog) {
            calls.push_back(call);
        }
        if (failWith) {
            if (std::optional<std::string> description = failWith(call)) {
                throw Failure(*description);
            }
        }
        if (call.kind == CallKind::Let) {
            return {};
        }
        if (answer) {
            if (std::optional<automation::Variant> given = answer(call)) {
                return *given;
            }
        }
        return std::make_shared<RecordingObject>(*this, call.target, call.member, call.args);
    }
};

automation::Variant RecordingObject::get(std::string_view member, const automation::Args& args) {
    return world_.handle({CallKind::Get, shared_from_this(), std::string(member), args, {}});
}

void RecordingObject::let(std::string_view member, const automation::Args& args,
                          const automation::Variant& value) {
    world_.handle({CallKind::Let, shared_from_this(), std::string(member), args, value});
}

automation::Variant RecordingObject::call(std::string_view member, const automation::Args& args) {
    return world_.handle({CallKind::Call, shared_from_this(), std::string(member), args, {}});
}

// Creates recorded application roots named after the class ("Excel.Application"), each a new object.
class RecordingFactory : public automation::ObjectFactory {
  public:
    explicit RecordingFactory(RecordingAutomation& world) : world_(world) {}
    automation::ObjectRef createObject(const std::string& className) override {
        created.push_back(className);
        if (failCreate) {
            throw Failure(*failCreate);
        }
        return world_.root(className);
    }
    std::vector<std::string> created;
    std::optional<std::string> failCreate;

  private:
    RecordingAutomation& world_;
};

}  // namespace rw::test
