#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "support/recording_automation.h"

// Turns the layout's recorded calls into what they do to single cells: which cells got the box fill, which
// edges got a line. Cheap enough to watch the 15-generation chart with the log turned off.
namespace rw::chart::testing {

using Cell = std::pair<std::int32_t, std::int32_t>;  // row, column

struct CellStyle {
    bool filled = false;
    unsigned edges = 0;  // bit (index - 7): left, top, bottom, right
};

inline constexpr unsigned kAllEdges = 0xF;
inline constexpr unsigned kRightEdge = 0x8;

class CellEffects {
  public:
    // Watches `world` from now on; the log is turned off.
    explicit CellEffects(test::RecordingAutomation& world) {
        world.keepLog = false;
        world.observer = [this](const test::RecordedCall& call) { see(call); };
    }

    std::map<Cell, CellStyle> cells;  // box and connector cells, by position
    int otherLets = 0;                // lets that did not land on a single box or connector cell

    std::set<Cell> boxes() const {
        std::set<Cell> out;
        for (const auto& [at, style] : cells) {
            if (style.filled) {
                out.insert(at);
            }
        }
        return out;
    }

  private:
    static bool isInt32Pair(const automation::Args& args) {
        return args.size() == 2 && std::holds_alternative<std::int32_t>(args[0]) &&
               std::holds_alternative<std::int32_t>(args[1]);
    }
    static Cell cellOf(const test::RecordingObject& cellObject) {
        return {std::get<std::int32_t>(cellObject.args()[0]), std::get<std::int32_t>(cellObject.args()[1])};
    }
    static bool isBoxCell(const test::RecordingObject& o) {
        return o.member() == "Cells" && isInt32Pair(o.args()) && o.parent() && o.parent()->isRoot();
    }

    void see(const test::RecordedCall& call) {
        if (call.kind != test::CallKind::Let) {
            return;
        }
        const test::RecordingObject& target = *call.target;
        const auto* value = std::get_if<std::int16_t>(&call.value);
        if (call.member == "ColorIndex" && target.member() == "Interior" && target.parent() &&
            isBoxCell(*target.parent()) && value && *value == 43) {
            cells[cellOf(*target.parent())].filled = true;
            return;
        }
        if (call.member == "LineStyle" && target.member() == "Borders" && target.parent() &&
            isBoxCell(*target.parent()) && value && *value == 1 && target.args().size() == 1) {
            const auto* edge = std::get_if<std::int16_t>(&target.args()[0]);
            if (edge && *edge >= 7 && *edge <= 10) {
                cells[cellOf(*target.parent())].edges |= 1u << (*edge - 7);
                return;
            }
        }
        ++otherLets;
    }
};

}  // namespace rw::chart::testing
