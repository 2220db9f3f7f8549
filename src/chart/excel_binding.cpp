#include "chart/excel_binding.h"

#include <cctype>
#include <cmath>

#include "platform/checked.h"
#include "spreadsheet/xls_codec.h"

namespace rw::chart {

namespace {

using automation::Args;
using automation::ObjectRef;
using automation::Variant;
using sheet::CellRange;
using sheet::Edge;
using sheet::StyleChange;

// Constants of the object model.
constexpr std::int32_t xlNone = -4142;
constexpr std::int32_t xlAutomatic = -4105;
constexpr std::int32_t xlContinuous = 1;
constexpr std::int32_t xlDash = -4115;
constexpr std::int32_t xlDashDot = 4;
constexpr std::int32_t xlDashDotDot = 5;
constexpr std::int32_t xlDot = -4118;
constexpr std::int32_t xlDouble = -4119;
constexpr std::int32_t xlSlantDashDot = 13;
constexpr std::int32_t xlHairline = 1;
constexpr std::int32_t xlThin = 2;
constexpr std::int32_t xlMedium = -4138;
constexpr std::int32_t xlThick = 4;

// Member names compare as in the object model: ASCII letters without regard to case.
constexpr char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool is(std::string_view member, std::string_view name) {
    if (member.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (lower(member[i]) != lower(name[i])) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void unsupported(const char* object, std::string_view member) {
    throw Failure("Object doesn't support this property or method (" + std::string(object) + "." +
                  std::string(member.empty() ? "[default]" : member) + ")");
}

void argCount(const Args& args, std::size_t least, std::size_t most) {
    if (args.size() < least || args.size() > most) {
        throw Failure("Wrong number of arguments or invalid property assignment");
    }
}

bool isMissing(const Variant& v) {
    return std::holds_alternative<std::monostate>(v);
}

// ---------------------------------------------------------------------------------------------------------
// Shared state: an application and the workbooks it holds.

// What outlives the application object: whether it has quit, and where pictures go. Workbooks point here
// (not to the application, which owns them) so no ownership cycle forms.
struct AppCore {
    bool quit = false;
    EngineFactory::PictureSink copyPicture;
    sheet::PageSetup newSheetPageSetup;
    bool printAreaOverUsedRange = false;
    void check() const {
        if (quit) {
            throw Failure("Automation error: the spreadsheet application has quit");
        }
    }
};

struct AppState;

struct BookState {
    BookState(sheet::Workbook w, std::shared_ptr<AppCore> c, std::weak_ptr<AppState> a)
        : workbook(std::move(w)), core(std::move(c)), app(std::move(a)) {}
    sheet::Workbook workbook;
    std::shared_ptr<AppCore> core;
    std::weak_ptr<AppState> app;
    std::string name;
    bool closed = false;
    bool printAreaOverUsedRange = false;  // made by Workbooks.Add while the factory asked for it
    void check() const {
        core->check();
        if (closed) {
            throw Failure("Automation error: the workbook has been closed");
        }
    }
};

struct AppState {
    std::shared_ptr<AppCore> core = std::make_shared<AppCore>();
    bool visible = false;
    bool displayAlerts = true;
    int booksAdded = 0;
    std::vector<std::shared_ptr<BookState>> books;
    void check() const { core->check(); }
};

// ---------------------------------------------------------------------------------------------------------

class SheetRef {
  public:
    SheetRef(std::shared_ptr<BookState> book, std::size_t index) : book_(std::move(book)), index_(index) {}
    sheet::Worksheet& sheet() const {
        book_->check();
        return book_->workbook.sheet(index_);
    }
    const std::shared_ptr<BookState>& book() const { return book_; }
    std::size_t index() const { return index_; }

  private:
    std::shared_ptr<BookState> book_;
    std::size_t index_;
};

enum class RangeMode { Cells, Rows, Columns };

class RangeObject;
ObjectRef makeRange(const SheetRef& s, const CellRange& r, RangeMode mode = RangeMode::Cells);

// Font, Interior and Border: style facets of a range.
class FontObject : public automation::Object {
  public:
    FontObject(SheetRef s, CellRange r) : sheet_(std::move(s)), range_(r) {}
    Variant get(std::string_view member, const Args& args) override {
        argCount(args, 0, 0);
        auto& ws = sheet_.sheet();
        const sheet::Font& f = ws.effectiveStyle(range_.firstRow, range_.firstColumn).font;
        if (is(member, "Name")) {
            return f.name;
        }
        if (is(member, "Size")) {
            return f.heightTwips / 20.0;
        }
        if (is(member, "ColorIndex")) {
            return static_cast<std::int32_t>(f.color == sheet::kAutomaticFontColor ? xlAutomatic
                                                                                   : f.color - 7);
        }
        if (is(member, "Bold")) {
            return f.bold;
        }
        if (is(member, "Italic")) {
            return f.italic;
        }
        unsupported("Font", member);
    }
    void let(std::string_view member, const Args& args, const Variant& value) override {
        argCount(args, 0, 0);
        auto& ws = sheet_.sheet();
        if (is(member, "Name")) {
            ws.applyStyle(range_, StyleChange::fontName(automation::toText(value)));
        } else if (is(member, "Size")) {
            const double points = automation::toDouble(value);
            if (!(points >= 1 && points <= 409)) {
                throw Failure(
                    "Unable to set the Size property of the Font class: sizes run from 1 to 409 points");
            }
            ws.applyStyle(range_, StyleChange::fontHeight(static_cast<std::uint16_t>(round32(points * 20))));
        } else if (is(member, "ColorIndex")) {
            const std::int32_t c = automation::toInt32(value);
            if (c == xlAutomatic || c == xlNone) {
                ws.applyStyle(range_, StyleChange::fontColor(sheet::kAutomaticFontColor));
            } else if (c >= 1 && c <= 56) {
                ws.applyStyle(range_, StyleChange::fontColor(static_cast<std::uint16_t>(c + 7)));
            } else {
                throw Failure("Unable to set the ColorIndex property of the Font class: use 1 to 56");
            }
        } else if (is(member, "Bold")) {
            ws.applyStyle(range_, StyleChange::fontBold(automation::toBool(value)));
        } else if (is(member, "Italic")) {
            ws.applyStyle(
                range_,
                StyleChange{StyleChange::Kind::FontItalic, Edge::Left, automation::toBool(value), {}});
        } else {
            unsupported("Font", member);
        }
    }
    Variant call(std::string_view member, const Args&) override { unsupported("Font", member); }

  private:
    SheetRef sheet_;
    CellRange range_;
};

class InteriorObject : public automation::Object {
  public:
    InteriorObject(SheetRef s, CellRange r) : sheet_(std::move(s)), range_(r) {}
    Variant get(std::string_view member, const Args& args) override {
        argCount(args, 0, 0);
        if (is(member, "ColorIndex")) {
            const auto& st = sheet_.sheet().effectiveStyle(range_.firstRow, range_.firstColumn);
            return static_cast<std::int32_t>(st.solidFill ? st.fillColor - 7 : xlNone);
        }
        unsupported("Interior", member);
    }
    void let(std::string_view member, const Args& args, const Variant& value) override {
        argCount(args, 0, 0);
        if (!is(member, "ColorIndex")) {
            unsupported("Interior", member);
        }
        const std::int32_t c = automation::toInt32(value);
        auto& ws = sheet_.sheet();
        if (c == xlNone || c == xlAutomatic) {
            ws.applyStyle(range_, StyleChange::fill(0));
        } else if (c >= 1 && c <= 56) {
            ws.applyStyle(range_, StyleChange::fill(static_cast<std::uint16_t>(c + 7)));
        } else {
            throw Failure("Unable to set the ColorIndex property of the Interior class: use 1 to 56");
        }
    }
    Variant call(std::string_view member, const Args&) override { unsupported("Interior", member); }

  private:
    SheetRef sheet_;
    CellRange range_;
};

// The cells whose edge `e` forms that edge of the range.
CellRange edgeCells(const CellRange& r, Edge e) {
    CellRange out = r;
    switch (e) {
        case Edge::Left:
            out.lastColumn = r.firstColumn;
            break;
        case Edge::Right:
            out.firstColumn = r.lastColumn;
            break;
        case Edge::Top:
            out.lastRow = r.firstRow;
            break;
        case Edge::Bottom:
            out.firstRow = r.lastRow;
            break;
    }
    return out;
}

class BorderObject : public automation::Object {
  public:
    // No edge: every edge of every cell (the Borders collection itself).
    BorderObject(SheetRef s, CellRange r, std::optional<Edge> edge)
        : sheet_(std::move(s)), range_(r), edge_(edge) {}
    Variant get(std::string_view member, const Args& args) override {
        argCount(args, 0, 0);
        const auto& st = sheet_.sheet().effectiveStyle(range_.firstRow, range_.firstColumn);
        const sheet::Border& b = st.border(edge_.value_or(Edge::Left));
        if (is(member, "LineStyle")) {
            switch (b.line) {
                case sheet::LineStyle::None:
                    return xlNone;
                case sheet::LineStyle::Dashed:
                case sheet::LineStyle::MediumDashed:
                    return xlDash;
                case sheet::LineStyle::Dotted:
                    return xlDot;
                case sheet::LineStyle::Double:
                    return xlDouble;
                case sheet::LineStyle::DashDot:
                case sheet::LineStyle::MediumDashDot:
                    return xlDashDot;
                case sheet::LineStyle::DashDotDot:
                case sheet::LineStyle::MediumDashDotDot:
                    return xlDashDotDot;
                case sheet::LineStyle::SlantedDashDot:
                    return xlSlantDashDot;
                default:
                    return xlContinuous;
            }
        }
        if (is(member, "ColorIndex")) {
            return static_cast<std::int32_t>(b.color >= 8 && b.color <= 63 ? b.color - 7 : xlAutomatic);
        }
        unsupported("Border", member);
    }
    void let(std::string_view member, const Args& args, const Variant& value) override {
        argCount(args, 0, 0);
        auto& ws = sheet_.sheet();
        const std::int32_t v = automation::toInt32(value);
        std::optional<StyleChange> change;
        if (is(member, "LineStyle")) {
            sheet::LineStyle line = sheet::LineStyle::Thin;
            switch (v) {
                case xlNone:
                    line = sheet::LineStyle::None;
                    break;
                case xlContinuous:
                    line = sheet::LineStyle::Thin;
                    break;
                case xlDash:
                    line = sheet::LineStyle::Dashed;
                    break;
                case xlDashDot:
                    line = sheet::LineStyle::DashDot;
                    break;
                case xlDashDotDot:
                    line = sheet::LineStyle::DashDotDot;
                    break;
                case xlDot:
                    line = sheet::LineStyle::Dotted;
                    break;
                case xlDouble:
                    line = sheet::LineStyle::Double;
                    break;
                case xlSlantDashDot:
                    line = sheet::LineStyle::SlantedDashDot;
                    break;
                default:
                    throw Failure(
                        "Unable to set the LineStyle property of the Border class: unknown line style " +
                        std::to_string(v));
            }
            apply(ws, [&](Edge e) { return StyleChange::borderLine(e, line); });
        } else if (is(member, "Weight")) {
            sheet::LineStyle line;
            switch (v) {
                case xlHairline:
                    line = sheet::LineStyle::Hair;
                    break;
                case xlThin:
                    line = sheet::LineStyle::Thin;
                    break;
                case xlMedium:
                    line = sheet::LineStyle::Medium;
                    break;
                case xlThick:
                    line = sheet::LineStyle::Thick;
                    break;
                default:
                    throw Failure("Unable to set the Weight property of the Border class: unknown weight " +
                                  std::to_string(v));
            }
            apply(ws, [&](Edge e) { return StyleChange::borderLine(e, line); });
        } else if (is(member, "ColorIndex")) {
            std::uint16_t color;
            if (v == xlAutomatic) {
                color = sheet::kAutomaticLineColor;
            } else if (v >= 1 && v <= 56) {
                color = static_cast<std::uint16_t>(v + 7);
            } else {
                throw Failure("Unable to set the ColorIndex property of the Border class: use 1 to 56");
            }
            apply(ws, [&](Edge e) { return StyleChange::borderColor(e, color); });
        } else {
            unsupported("Border", member);
        }
    }
    Variant call(std::string_view member, const Args&) override { unsupported("Border", member); }

  private:
    template <typename Make>
    void apply(sheet::Worksheet& ws, Make make) {
        if (edge_) {
            ws.applyStyle(edgeCells(range_, *edge_), make(*edge_));
            return;
        }
        for (Edge e : {Edge::Left, Edge::Top, Edge::Bottom, Edge::Right}) {
            ws.applyStyle(range_, make(e));
        }
    }
    SheetRef sheet_;
    CellRange range_;
    std::optional<Edge> edge_;
};

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
            return std::make_shared<FontObject>(sheet_, range_);
        }
        if (is(member, "Interior")) {
            argCount(args, 0, 0);
            return std::make_shared<InteriorObject>(sheet_, range_);
        }
        if (is(member, "Borders")) {
            argCount(args, 0, 1);
            if (args.empty() || isMissing(args[0])) {
                return std::make_shared<BorderObject>(sheet_, range_, std::nullopt);
            }
            const std::int32_t index = automation::toInt32(args[0]);
            if (index < 7 || index > 10) {
                throw Failure("Unable to get the Item property of the Borders class: edge " +
                              std::to_string(index) + " (use 7 left, 8 top, 9 bottom, 10 right)");
            }
            static constexpr Edge edges[] = {Edge::Left, Edge::Top, Edge::Bottom, Edge::Right};
            return std::make_shared<BorderObject>(sheet_, range_, edges[index - 7]);
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

    static ObjectRef makeSheet(const SheetRef& s);

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

ObjectRef makeRange(const SheetRef& s, const CellRange& r, RangeMode mode) {
    return std::make_shared<RangeObject>(s, r, mode);
}

CellRange rangeOf(const Variant& v) {
    if (auto p = std::get_if<ObjectRef>(&v)) {
        if (auto* r = dynamic_cast<RangeObject*>(p->get())) {
            return r->range();
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

ObjectRef RangeObject::makeSheet(const SheetRef& s) {
    return std::make_shared<SheetObject>(s);
}

class WorkbookObject : public automation::Object {
  public:
    explicit WorkbookObject(std::shared_ptr<BookState> b) : book_(std::move(b)) {}
    Variant get(std::string_view member, const Args& args) override {
        book_->check();
        if (is(member, "ActiveSheet")) {
            argCount(args, 0, 0);
            return std::make_shared<SheetObject>(SheetRef(book_, book_->workbook.activeSheetIndex()));
        }
        if (is(member, "Worksheets") || is(member, "Sheets")) {
            argCount(args, 1, 1);
            const std::int32_t i = automation::toInt32(args[0]);
            if (i < 1 || static_cast<std::size_t>(i) > book_->workbook.sheetCount()) {
                throw Failure("Subscript out of range");
            }
            return std::make_shared<SheetObject>(SheetRef(book_, static_cast<std::size_t>(i - 1)));
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
            sheet::saveWorkbook(book_->workbook, path);
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

    static void close(const std::shared_ptr<BookState>& b) {
        b->closed = true;
        if (auto app = b->app.lock()) {
            std::erase(app->books, b);
        }
    }

  private:
    std::shared_ptr<BookState> book_;
};

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
            return item(app_, args[0]);
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
            auto b = std::make_shared<BookState>(std::move(workbook), app_->core, app_);
            b->printAreaOverUsedRange = app_->core->printAreaOverUsedRange;
            b->name = "Book" + std::to_string(++app_->booksAdded);
            app_->books.push_back(b);
            return std::make_shared<WorkbookObject>(b);
        }
        if (is(member, "Open")) {
            argCount(args, 1, 15);
            const std::string path = automation::toText(args[0]);
            auto b = std::make_shared<BookState>(sheet::loadWorkbook(path), app_->core, app_);
            b->name = path;
            app_->books.push_back(b);
            return std::make_shared<WorkbookObject>(b);
        }
        unsupported("Workbooks", member);
    }

    static ObjectRef item(const std::shared_ptr<AppState>& app, const Variant& index) {
        const std::int32_t i = automation::toInt32(index);
        if (i < 1 || static_cast<std::size_t>(i) > app->books.size()) {
            throw Failure("Subscript out of range");
        }
        return std::make_shared<WorkbookObject>(app->books[static_cast<std::size_t>(i - 1)]);
    }

  private:
    std::shared_ptr<AppState> app_;
};

class ApplicationObject : public automation::Object {
  public:
    explicit ApplicationObject(std::shared_ptr<AppState> app) : app_(std::move(app)) {}
    Variant get(std::string_view member, const Args& args) override {
        app_->check();
        if (member.empty() || is(member, "Name")) {
            argCount(args, 0, 0);
            return std::string("Microsoft Excel");
        }
        if (is(member, "Workbooks")) {
            argCount(args, 0, 1);
            if (args.empty() || isMissing(args[0])) {
                return std::make_shared<WorkbooksObject>(app_);
            }
            return WorkbooksObject::item(app_, args[0]);
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
            return std::make_shared<WorkbookObject>(app_->books.back());
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
                b->closed = true;
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

EngineFactory::EngineFactory(PictureSink copyPicture) : copyPicture_(std::move(copyPicture)) {}

automation::ObjectRef EngineFactory::createObject(const std::string& className) {
    if (!is(className, "Excel.Application")) {
        throw Failure("ActiveX component can't create object: " + className);
    }
    auto app = std::make_shared<AppState>();
    app->core->copyPicture = copyPicture_;
    app->core->newSheetPageSetup = newSheetPageSetup_;
    app->core->printAreaOverUsedRange = printAreaOverUsedRange_;
    return std::make_shared<ApplicationObject>(app);
}

}  // namespace rw::chart
