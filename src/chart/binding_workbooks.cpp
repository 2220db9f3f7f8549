// Workbooks: the open workbooks of an application; Add, Open, Count and Item.

#include <string>

#include "chart/binding_objects.h"
#include "spreadsheet/xls_codec.h"

namespace rw::chart::binding {

namespace {

class WorkbooksObject : public automation::Object {
  public:
    explicit WorkbooksObject(std::shared_ptr<AppState> app) : app_(std::move(app)) {}
    Variant get(std::string_view member, const Args& args) override {
        app_->check();
        if (is(member, "Count")) {
            argCount(args, 0, 0);
            return static_cast<std::int32_t>(app_->books.size());
        }
        if (is(member, "Item") || (member.empty() && !args.empty())) {
            argCount(args, 1, 1);
            return workbookItem(app_, args[0]);
        }
        unsupported("Workbooks", member);
    }
    void let(std::string_view member, const Args&, const Variant&) override {
        app_->check();
        unsupported("Workbooks", member);
    }
    Variant call(std::string_view member, const Args& args) override {
        app_->check();
        if (is(member, "Add")) {
            argCount(args, 0, 1);
            sheet::Workbook workbook;
            for (std::size_t i = 0; i < workbook.sheetCount(); ++i) {
                workbook.sheet(i).pageSetup() = app_->core->newSheetPageSetup;
            }
            auto b = BookRef::make(std::move(workbook), app_->core, app_);
            b->printAreaOverUsedRange = app_->core->printAreaOverUsedRange;
            b->name = "Book" + std::to_string(++app_->booksAdded);
            app_->books.push_back(b);
            return makeWorkbook(b);
        }
        if (is(member, "Open")) {
            argCount(args, 1, 15);
            const std::string path = automation::toText(args[0]);
            auto b = BookRef::make(sheet::loadWorkbook(path), app_->core, app_);
            b->name = path;
            app_->books.push_back(b);
            return makeWorkbook(b);
        }
        unsupported("Workbooks", member);
    }

  private:
    std::shared_ptr<AppState> app_;
};

}  // namespace

ObjectRef makeWorkbooks(std::shared_ptr<AppState> app) {
    return std::make_shared<WorkbooksObject>(std::move(app));
}

ObjectRef workbookItem(const std::shared_ptr<AppState>& app, const Variant& index) {
    const std::int32_t i = automation::toInt32(index);
    if (i < 1 || static_cast<std::size_t>(i) > app->books.size()) {
        throw Failure("Subscript out of range");
    }
    return makeWorkbook(app->books[static_cast<std::size_t>(i - 1)]);
}

}  // namespace rw::chart::binding
