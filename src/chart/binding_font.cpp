// Range.Font: the typeface, size, colour and emphasis of a range's cells.

#include "chart/binding_objects.h"
#include "platform/checked.h"

namespace rw::chart::binding {

namespace {

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

}  // namespace

ObjectRef makeFont(const SheetRef& sheet, const CellRange& range) {
    return makeRecycled<FontObject>(sheet, range);
}

}  // namespace rw::chart::binding
