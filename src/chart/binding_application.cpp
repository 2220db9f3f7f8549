// Application: the root of one engine instance; its name, workbooks, visibility, alerts and Quit.

#include "chart/binding_objects.h"
#include "platform/program_names.h"

namespace rw::chart::binding {

namespace {

class ApplicationObject : public automation::Object {
  public:
    explicit ApplicationObject(std::shared_ptr<AppState> app) : app_(std::move(app)) {}
    Variant get(std::string_view member, const Args& args) override {
        app_->check();
        if (member.empty() || is(member, "Name")) {
            argCount(args, 0, 0);
            return std::string(names::kExcelName);
        }
        if (is(member, "Workbooks")) {
            argCount(args, 0, 1);
            if (args.empty() || isMissing(args[0])) {
                return makeWorkbooks(app_);
            }
            return workbookItem(app_, args[0]);
        }
        if (is(member, "Visible")) {
            argCount(args, 0, 0);
            return app_->visible;
        }
        if (is(member, "DisplayAlerts")) {
            argCount(args, 0, 0);
            return app_->displayAlerts;
        }
        if (is(member, "ActiveWorkbook")) {
            argCount(args, 0, 0);
            if (app_->books.empty()) {
                return ObjectRef{};
            }
            return makeWorkbook(app_->books.back());
        }
        unsupported("Application", member);
    }
    void let(std::string_view member, const Args& args, const Variant& value) override {
        app_->check();
        argCount(args, 0, 0);
        if (is(member, "Visible")) {
            app_->visible = automation::toBool(value);
        } else if (is(member, "DisplayAlerts")) {
            app_->displayAlerts = automation::toBool(value);
        } else {
            unsupported("Application", member);
        }
    }
    Variant call(std::string_view member, const Args& args) override {
        app_->check();
        if (is(member, "Quit")) {
            argCount(args, 0, 0);
            // Quitting closes every workbook without asking; their objects stop answering.
            for (auto& b : app_->books) {
                b->close();
            }
            app_->books.clear();
            app_->core->quit = true;
            return {};
        }
        unsupported("Application", member);
    }

  private:
    std::shared_ptr<AppState> app_;
};

}  // namespace

ObjectRef makeApplication(std::shared_ptr<AppState> app) {
    return std::make_shared<ApplicationObject>(std::move(app));
}

}  // namespace rw::chart::binding
