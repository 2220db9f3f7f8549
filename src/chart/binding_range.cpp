// Range: cells, rows and columns of a worksheet; their values, widths, heights, alignment, merging and
// picture, and the style objects over them.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "chart/binding_objects.h"
#include "platform/checked.h"

namespace rw::chart::binding {

namespace {

class RangeObject : public automation::Object {
  public:
    RangeObject(SheetRef s, CellRange r, RangeMode mode) : sheet_(std::move(s)), range_(r), mode_(mode) {}
    const CellRange& range() const { return range_; }

    Variant get(std::string_view member, const Args& args) override {
        auto& ws = sheet_.sheet();
        if (is(member, "Rows") || is(member, "Columns")) {
            argCount(args, 0, 1);
            const bool rows = is(member, "Rows");
            if (args.empty() || isMissing(args[0])) {
                return makeRange(sheet_, range_, rows ? RangeMode::Rows : RangeMode::Columns);
            }
            return makeRange(sheet_, part(automation::toInt32(args[0]), rows), RangeMode::Cells);
        }
        if (is(member, "Count")) {
            argCount(args, 0, 0);
            switch (mode_) {
                case RangeMode::Rows:
                    return range_.rowCount();
                case RangeMode::Columns:
                    return range_.columnCount();
                default:
                    return static_cast<std::int32_t>(range_.cellCount());
            }
        }
        if (is(member, "Row")) {
            argCount(args, 0, 0);
            return range_.firstRow;
        }
        if (is(member, "Column")) {
            argCount(args, 0, 0);
            return range_.firstColumn;
        }
        if (is(member, "Font")) {
            argCount(args, 0, 0);
            return makeFont(sheet_, range_);
        }
        if (is(member, "Interior")) {
            argCount(args, 0, 0);
            return makeInterior(sheet_, range_);
        }
        if (is(member, "Borders")) {
            argCount(args, 0, 1);
            if (args.empty() || isMissing(args[0])) {
                return makeBorders(sheet_, range_, std::nullopt);
            }
            const std::int32_t index = automation::toInt32(args[0]);
            if (index < 7 || index > 10) {
                throw Failure("Unable to get the Item property of the Borders class: edge " +
                              std::to_string(index) + " (use 7 left, 8 top, 9 bottom, 10 right)");
            }
            static constexpr Edge edges[] = {Edge::Left, Edge::Top, Edge::Bottom, Edge::Right};
            return makeBorders(sheet_, range_, edges[index - 7]);
        }
        if (is(member, "Cells") || is(member, "Item") || member.empty()) {
            argCount(args, member.empty() ? 0 : 0, 2);
            if (args.empty()) {
                if (member.empty()) {
                    return value(ws);
                }
                return makeRange(sheet_, range_);
            }
            std::int64_t r = automation::toInt32(args[0]);
            std::int64_t c = args.size() > 1 ? automation::toInt32(args[1]) : 1;
            if (args.size() == 1) {  // an index counted across the rows of the range
                const std::int64_t n = r - 1;
                r = n / range_.columnCount() + 1;
                c = n % range_.columnCount() + 1;
            }
            const std::int64_t row = range_.firstRow + r - 1;
            const std::int64_t col = range_.firstColumn + c - 1;
            sheet::checkCell(row, col);
            return makeRange(sheet_,
                             CellRange::cell(static_cast<std::int32_t>(row), static_cast<std::int32_t>(col)));
        }
        if (is(member, "Value") || is(member, "Value2") || is(member, "Text")) {
            argCount(args, 0, 0);
            return value(ws);
        }
        if (is(member, "Address")) {
            std::string a = sheet::formatAddress(range_);
            std::string out;
            bool letter = false;
            for (char ch : a) {
                const bool isLetter = std::isalpha(static_cast<unsigned char>(ch)) != 0;
                const bool isDigit = std::isdigit(static_cast<unsigned char>(ch)) != 0;
                if ((isLetter && !letter) || (isDigit && (letter || out.empty() || out.back() == ':'))) {
                    out.push_back('$');
                }
                letter = isLetter;
                out.push_back(ch);
            }
            return out;
        }
        if (is(member, "ColumnWidth")) {
            argCount(args, 0, 0);
            const sheet::Font& f = ws.workbook().defaultFont();
            const int mdw = sheet::maxDigitWidth(f);
            const int px = sheet::columnWidthPixels(ws.columnWidth(range_.firstColumn), f);
            return std::max(0.0, std::round((px - sheet::columnPadding(mdw)) * 100.0 / mdw) / 100.0);
        }
        if (is(member, "RowHeight")) {
            argCount(args, 0, 0);
            return ws.rowHeight(range_.firstRow) / 20.0;
        }
        if (is(member, "ShrinkToFit")) {
            argCount(args, 0, 0);
            return ws.effectiveStyle(range_.firstRow, range_.firstColumn).shrinkToFit;
        }
        if (is(member, "MergeCells")) {
            argCount(args, 0, 0);
            auto m = ws.mergedAreaAt(range_.firstRow, range_.firstColumn);
            return m.has_value() && m->contains(range_.lastRow, range_.lastColumn);
        }
        if (is(member, "Worksheet") || is(member, "Parent")) {
            return makeSheet(sheet_);
        }
        unsupported("Range", member);
    }

    void let(std::string_view member, const Args& args, const Variant& v) override {
        auto& ws = sheet_.sheet();
        argCount(args, 0, 0);
        if (is(member, "ColumnWidth")) {
            const double chars = automation::toDouble(v);
            if (!(chars >= 0 && chars <= 255)) {
                throw Failure(
                    "Unable to set the ColumnWidth property of the Range class: widths run from 0 to 255");
            }
            ws.setColumnWidth(range_.firstColumn, range_.lastColumn,
                              sheet::columnWidthFromCharacters(chars, ws.workbook().defaultFont()));
        } else if (is(member, "RowHeight")) {
            const double points = automation::toDouble(v);
            if (!(points > 0 && points <= 409)) {
                throw Failure(
                    "Unable to set the RowHeight property of the Range class: heights run up to 409 points");
            }
            for (std::int32_t r = range_.firstRow; r <= range_.lastRow; ++r) {
                ws.setRowHeight(r, static_cast<std::uint16_t>(std::max(1, round32(points * 20))));
            }
        } else if (is(member, "HorizontalAlignment")) {
            ws.applyStyle(range_, StyleChange::alignment(alignment(automation::toInt32(v))));
        } else if (is(member, "ShrinkToFit")) {
            ws.applyStyle(range_, StyleChange::shrinkToFit(automation::toBool(v)));
        } else if (is(member, "Value") || is(member, "Value2") || member.empty()) {
            if (std::holds_alternative<std::string>(v)) {
                ws.setText(range_, std::get<std::string>(v));
            } else if (std::holds_alternative<std::monostate>(v)) {
                ws.clearValue(range_);
            } else if (std::holds_alternative<bool>(v)) {
                ws.setText(range_, std::get<bool>(v) ? "TRUE" : "FALSE");
            } else if (std::holds_alternative<ObjectRef>(v)) {
                throw Failure("Type mismatch");
            } else {
                ws.setNumber(range_, automation::toDouble(v));
            }
        } else {
            unsupported("Range", member);
        }
    }

    Variant call(std::string_view member, const Args& args) override {
        auto& ws = sheet_.sheet();
        if (is(member, "Merge")) {
            argCount(args, 0, 1);
            const bool across = !args.empty() && !isMissing(args[0]) && automation::toBool(args[0]);
            if (across) {
                for (std::int32_t r = range_.firstRow; r <= range_.lastRow; ++r) {
                    ws.merge(CellRange{r, range_.firstColumn, r, range_.lastColumn});
                }
            } else {
                ws.merge(range_);
            }
            return {};
        }
        if (is(member, "CopyPicture")) {
            argCount(args, 0, 2);
            const auto& sink = sheet_.book()->core->copyPicture;
            if (!sink) {
                throw Failure("CopyPicture is not available");
            }
            sink(ws, range_);
            return true;
        }
        if (is(member, "ClearContents")) {
            argCount(args, 0, 0);
            ws.clearValue(range_);
            return {};
        }
        if (is(member, "Select") || is(member, "Activate")) {
            return true;
        }
        unsupported("Range", member);
    }

  private:
    Variant value(sheet::Worksheet& ws) const {
        auto c = ws.cell(range_.firstRow, range_.firstColumn);
        if (!c || c->kind == sheet::ValueKind::Empty) {
            return {};
        }
        if (c->kind == sheet::ValueKind::Text) {
            return std::string(c->text);
        }
        return c->number;
    }

    // Row or column `index` (1-based) of the range.
    CellRange part(std::int32_t index, bool row) const {
        CellRange r = range_;
        const std::int64_t at = std::int64_t{row ? range_.firstRow : range_.firstColumn} + index - 1;
        if (row) {
            sheet::checkCell(at, 1);
            r.firstRow = r.lastRow = static_cast<std::int32_t>(at);
        } else {
            sheet::checkCell(1, at);
            r.firstColumn = r.lastColumn = static_cast<std::int32_t>(at);
        }
        return r;
    }

    static sheet::HorizontalAlignment alignment(std::int32_t v) {
        using A = sheet::HorizontalAlignment;
        switch (v) {
            case 1:
                return A::General;
            case -4131:
                return A::Left;
            case -4108:
                return A::Center;
            case -4152:
                return A::Right;
            case 5:
                return A::Fill;
            case -4130:
                return A::Justify;
            case 7:
                return A::CenterAcrossSelection;
            case -4117:
                return A::Distributed;
            default:
                throw Failure(
                    "Unable to set the HorizontalAlignment property of the Range class: unknown value " +
                    std::to_string(v));
        }
    }

    SheetRef sheet_;
    CellRange range_;
    RangeMode mode_;
};

}  // namespace

ObjectRef makeRange(const SheetRef& sheet, const CellRange& range, RangeMode mode) {
    return makeRecycled<RangeObject>(sheet, range, mode);
}

std::optional<CellRange> rangeOfObject(const automation::Object& object) {
    if (const auto* range = dynamic_cast<const RangeObject*>(&object)) {
        return range->range();
    }
    return std::nullopt;
}

}  // namespace rw::chart::binding
