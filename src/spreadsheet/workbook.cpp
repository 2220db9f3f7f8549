#include "spreadsheet/workbook.h"

#include <algorithm>
#include <cctype>

#include "platform/failure.h"
#include "spreadsheet/text.h"

namespace rw::sheet {

Workbook::Workbook() : Workbook(NoSheets{}) {
    addSheet("Sheet1");
}

Workbook::Workbook(NoSheets, const Font& defaultFont)
    : styles_(std::make_unique<StyleTable>(defaultFont)), palette_(defaultPalette()) {}

Workbook::Workbook(Workbook&& o) noexcept
    : styles_(std::move(o.styles_)), sheets_(std::move(o.sheets_)), active_(o.active_), palette_(o.palette_) {
    for (auto& s : sheets_) {
        s->workbook_ = this;
    }
}

Workbook& Workbook::operator=(Workbook&& o) noexcept {
    styles_ = std::move(o.styles_);
    sheets_ = std::move(o.sheets_);
    active_ = o.active_;
    palette_ = o.palette_;
    for (auto& s : sheets_) {
        s->workbook_ = this;
    }
    return *this;
}

Workbook::~Workbook() = default;

void Workbook::checkSheetName(const std::string& name, const Worksheet* self) const {
    const std::size_t units = text::utf16Length(name);
    if (units == 0 || units > 31) {
        throw Failure("A sheet name must have 1 to 31 characters");
    }
    if (name.find_first_of("[]:*?/\\") != std::string::npos || name.front() == '\'' || name.back() == '\'') {
        throw Failure("A sheet name cannot contain [ ] : * ? / \\ or begin or end with an apostrophe");
    }
    // Compared in place: a workbook read from a file adds up to 255 sheets, each checked against the others.
    const auto sameName = [](const std::string& a, const std::string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::toupper(static_cast<unsigned char>(x)) ==
                          std::toupper(static_cast<unsigned char>(y));
               });
    };
    for (const auto& s : sheets_) {
        if (s.get() != self && sameName(s->name(), name)) {
            throw Failure("A sheet named \"" + name + "\" already exists");
        }
    }
}

Worksheet& Workbook::addSheet(const std::string& name) {
    checkSheetName(name, nullptr);
    if (sheets_.size() >= 255) {
        throw Failure("A workbook holds at most 255 sheets here");
    }
    sheets_.push_back(std::unique_ptr<Worksheet>(new Worksheet(this, styles_.get(), name)));
    return *sheets_.back();
}

void Workbook::setActiveSheet(std::size_t index) {
    if (index >= sheets_.size()) {
        throw Failure("Subscript out of range");
    }
    active_ = index;
}

Rgb Workbook::paletteColor(std::uint16_t index) const {
    static const Rgb ega[8] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                               {0, 0, 255}, {255, 255, 0},   {255, 0, 255}, {0, 255, 255}};
    if (index < 8) {
        return ega[index];
    }
    if (index <= kLastPaletteIndex) {
        return palette_[index - kFirstPaletteIndex];
    }
    if (index == kAutomaticBackground) {
        return {255, 255, 255};
    }
    return {0, 0, 0};
}

void Workbook::setPaletteColor(std::uint16_t index, Rgb color) {
    if (!isPaletteColor(index)) {
        throw Failure("A palette index must be between 8 and 63");
    }
    palette_[index - kFirstPaletteIndex] = color;
}

}  // namespace rw::sheet
