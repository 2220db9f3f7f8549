// Range.Interior: the fill of a range's cells.

#include "chart/binding_objects.h"

namespace rw::chart::binding {

namespace {

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

}  // namespace

ObjectRef makeInterior(const SheetRef& sheet, const CellRange& range) {
    return makeRecycled<InteriorObject>(sheet, range);
}

}  // namespace rw::chart::binding
