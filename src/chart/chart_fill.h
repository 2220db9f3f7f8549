#pragma once

#include <string_view>
#include <vector>

#include "chart/layout.h"
#include "family/family.h"

// What a chart is filled with: the ancestors of one person of a family file, a name and years in each box.
namespace rw::chart {

struct ChartFill {
    const family::FamilyFile* file = nullptr;  // none: the blank template; the caller keeps it alive
    family::PersonIndex person = family::kNoPerson;
    bool hideLiving = false;  // living people are shown as "Living", without dates
    int todayYear = 0;        // the year living is judged by (from the clock)

    bool blank() const { return file == nullptr || person == family::kNoPerson; }
};

// Ends the text of every appearance of a person after their first (cousins who married), so the reader sees
// the tree fold back on itself.
inline constexpr std::string_view kRepeatMark = " \u21BA";

// The box texts of the person's ancestors over `generations` generations (at most 15; the person counts as
// 1), each made to fit its box by dropping middle names, then the suffix. A loop in the family file stops
// that line and adds a warning to `warnings`. Empty for a blank fill.
BoxTexts boxTextsFor(const ChartFill& fill, int generations,
                     std::vector<family::Warning>* warnings = nullptr);

}  // namespace rw::chart
