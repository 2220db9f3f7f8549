// Range.Borders and Borders(edge): the lines along a range's cells.

#include <string>

#include "chart/binding_objects.h"

namespace rw::chart::binding {

namespace {

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

}  // namespace

ObjectRef makeBorders(const SheetRef& sheet, const CellRange& range, std::optional<Edge> edge) {
    return makeRecycled<BorderObject>(sheet, range, edge);
}

}  // namespace rw::chart::binding
