#include "chart/chart_fill.h"

#include <algorithm>
#include <string>
#include <utility>

#include "chart/number_parse.h"

namespace rw::chart {

BoxTexts boxTextsFor(const ChartFill& fill, int generations, std::vector<family::Warning>* warnings) {
    BoxTexts boxes;
    if (fill.blank() || generations < 1) {
        return boxes;
    }
    const auto& people = fill.file->people;
    if (fill.person < 0 || static_cast<std::size_t>(fill.person) >= people.size()) {
        return boxes;
    }
    for (const family::Appearance& a :
         family::ancestors(*fill.file, fill.person, std::min(generations, kMaxGenerations), warnings)) {
        const std::string mark(a.repeated ? kRepeatMark : std::string_view());
        family::BoxTextOptions options;
        options.hideLiving = fill.hideLiving;
        options.todayYear = fill.todayYear;
        options.fits = [&mark](std::string_view text) {
            return mark.empty() ? fitsBox(text) : fitsBox(std::string(text) + mark);
        };
        std::string text = family::boxText(people[static_cast<std::size_t>(a.person)], options);
        text += mark;
        boxes.emplace(a.number, std::move(text));
    }
    return boxes;
}

}  // namespace rw::chart
