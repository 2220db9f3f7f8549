// Workbook: its sheets, SaveAs and Close.

#include <string>

#include "chart/binding_objects.h"
#include "spreadsheet/xls_codec.h"

namespace rw::chart::binding {

namespace {

class WorkbookObject : public automation::Object {
  public:
    explicit WorkbookObject(BookRef b) : book_(std::move(b)) {}
    Variant get(std::string_view member, const Args& args) override {
        book_->check();
        if (is(member, "ActiveSheet")) {
            argCount(args, 0, 0);
            return makeSheet(SheetRef(book_, book_->workbook.activeSheetIndex()));
        }
        if (is(member, "Worksheets") || is(member, "Sheets")) {
            argCount(args, 1, 1);
            const std::int32_t i = automation::toInt32(args[0]);
            if (i < 1 || static_cast<std::size_t>(i) > book_->workbook.sheetCount()) {
                throw Failure("Subscript out of range");
            }
            return makeSheet(SheetRef(book_, static_cast<std::size_t>(i - 1)));
        }
        if (is(member, "Name") || is(member, "FullName")) {
            argCount(args, 0, 0);
            return book_->name;
        }
        unsupported("Workbook", member);
    }
    void let(std::string_view member, const Args&, const Variant&) override {
        book_->check();
        unsupported("Workbook", member);
    }
    Variant call(std::string_view member, const Args& args) override {
        book_->check();
        if (is(member, "SaveAs")) {
            argCount(args, 1, 12);
            const std::string path = automation::toText(args[0]);
            if (path.empty()) {
                throw Failure("SaveAs needs a file name");
            }
            if (book_->printAreaOverUsedRange) {
                for (std::size_t i = 0; i < book_->workbook.sheetCount(); ++i) {
                    sheet::Worksheet& ws = book_->workbook.sheet(i);
                    ws.pageSetup().printArea = ws.usedRange();
                }
            }
            if (book_->core->saveAs) {
                book_->core->saveAs(book_->workbook, path);
            } else {
                sheet::saveWorkbook(book_->workbook, path);
            }
            book_->name = path;
            return {};
        }
        if (is(member, "Close")) {
            argCount(args, 0, 3);
            close(book_);
            return {};
        }
        unsupported("Workbook", member);
    }

    static void close(const BookRef& b) {
        b->close();
        if (auto app = b->app.lock()) {
            std::erase(app->books, b);
        }
    }

  private:
    BookRef book_;
};

}  // namespace

ObjectRef makeWorkbook(BookRef book) {
    return std::make_shared<WorkbookObject>(std::move(book));
}

}  // namespace rw::chart::binding
