// Worksheet: its cells, ranges, rows and columns by address or number, its used range and its name.

#include <algorithm>
#include <string>

#include "chart/binding_objects.h"

namespace rw::chart::binding {

namespace {

CellRange rangeOf(const Variant& v) {
    if (auto p = std::get_if<ObjectRef>(&v)) {
        if (*p) {
            if (const auto range = rangeOfObject(**p)) {
                return *range;
            }
        }
        throw Failure("Type mismatch: a range or an address is needed");
    }
    return sheet::parseAddress(automation::toText(v));
}

// "A:A", "B:D", "A" or a column number.
CellRange columnsArg(const Variant& v) {
    if (!std::holds_alternative<std::string>(v)) {
        const std::int32_t c = automation::toInt32(v);
        sheet::checkCell(1, c);
        return CellRange::wholeColumns(c, c);
    }
    std::string t = std::get<std::string>(v);
    if (t.find(':') == std::string::npos) {
        t = t + ":" + t;
    }
    CellRange r = sheet::parseAddress(t);
    if (!r.coversAllRows()) {
        throw Failure("\"" + std::get<std::string>(v) + "\" is not a column reference");
    }
    return r;
}

// "3:3", "2:5", "3" or a row number.
CellRange rowsArg(const Variant& v) {
    if (!std::holds_alternative<std::string>(v)) {
        const std::int32_t r = automation::toInt32(v);
        sheet::checkCell(r, 1);
        return CellRange::wholeRows(r, r);
    }
    std::string t = std::get<std::string>(v);
    if (t.find(':') == std::string::npos) {
        t = t + ":" + t;
    }
    CellRange r = sheet::parseAddress(t);
    if (!r.coversAllColumns()) {
        throw Failure("\"" + std::get<std::string>(v) + "\" is not a row reference");
    }
    return r;
}

class SheetObject : public automation::Object {
  public:
    explicit SheetObject(SheetRef s) : sheet_(std::move(s)) {}
    Variant get(std::string_view member, const Args& args) override {
        auto& ws = sheet_.sheet();
        if (is(member, "Cells")) {
            argCount(args, 0, 2);
            if (args.empty()) {
                return makeRange(sheet_, CellRange::wholeSheet());
            }
            std::int64_t row = automation::toInt32(args[0]);
            std::int64_t col = 1;
            if (args.size() == 2) {
                col = automation::toInt32(args[1]);
            } else {  // Cells(n): counted across the rows of the sheet
                const std::int64_t n = row - 1;
                row = n / sheet::kMaxColumns + 1;
                col = n % sheet::kMaxColumns + 1;
                if (n < 0) {
                    row = 0;
                }
            }
            sheet::checkCell(row, col);
            return makeRange(sheet_,
                             CellRange::cell(static_cast<std::int32_t>(row), static_cast<std::int32_t>(col)));
        }
        if (is(member, "Range")) {
            argCount(args, 1, 2);
            CellRange a = rangeOf(args[0]);
            if (args.size() == 2 && !isMissing(args[1])) {
                const CellRange b = rangeOf(args[1]);
                a = CellRange{std::min(a.firstRow, b.firstRow), std::min(a.firstColumn, b.firstColumn),
                              std::max(a.lastRow, b.lastRow), std::max(a.lastColumn, b.lastColumn)};
            }
            return makeRange(sheet_, a);
        }
        if (is(member, "Columns")) {
            argCount(args, 0, 1);
            if (args.empty() || isMissing(args[0])) {
                return makeRange(sheet_, CellRange::wholeSheet(), RangeMode::Columns);
            }
            return makeRange(sheet_, columnsArg(args[0]));
        }
        if (is(member, "Rows")) {
            argCount(args, 0, 1);
            if (args.empty() || isMissing(args[0])) {
                return makeRange(sheet_, CellRange::wholeSheet(), RangeMode::Rows);
            }
            return makeRange(sheet_, rowsArg(args[0]));
        }
        if (is(member, "UsedRange")) {
            argCount(args, 0, 0);
            return makeRange(sheet_, ws.usedRange());
        }
        if (is(member, "Name")) {
            argCount(args, 0, 0);
            return ws.name();
        }
        unsupported("Worksheet", member);
    }
    void let(std::string_view member, const Args& args, const Variant& value) override {
        auto& ws = sheet_.sheet();
        argCount(args, 0, 0);
        if (is(member, "Name")) {
            ws.setName(automation::toText(value));
            return;
        }
        unsupported("Worksheet", member);
    }
    Variant call(std::string_view member, const Args&) override {
        sheet_.sheet();
        if (is(member, "Activate") || is(member, "Select")) {
            return {};
        }
        unsupported("Worksheet", member);
    }

  private:
    SheetRef sheet_;
};

}  // namespace

ObjectRef makeSheet(const SheetRef& sheet) {
    return std::make_shared<SheetObject>(sheet);
}

}  // namespace rw::chart::binding
