#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "spreadsheet/cell_address.h"
#include "spreadsheet/metrics.h"
#include "spreadsheet/palette.h"
#include "spreadsheet/styles.h"
#include "spreadsheet/worksheet.h"

// The workbook model of the in-process spreadsheet engine: workbooks, worksheets (worksheet.h), cells with
// values and interned styles (styles.h), merged ranges (merge_index.h), column widths and row heights
// (metrics.h), addresses (cell_address.h) and the palette (palette.h). Plain C++, no Qt and nothing of
// automation; the .xls codec (xls_codec.h) stores and loads it, the automation binding drives it and the
// range picture renderer draws it. This header brings in the whole model.
//
// Conventions used throughout:
// - Rows and columns are 1-based sheet numbers as the user sees them: rows 1..65536, columns 1..256 (A..IV).
// - Colours are BIFF palette indexes: 8..63 are the 56 palette slots (see Workbook::paletteColor), 64 is the
//   automatic (window text) colour of lines and patterns, 65 the automatic background, and 0x7FFF the
//   automatic font colour. The object model's ColorIndex n (1..56) is palette index n + 7.
// - Font sizes and row heights are in twips (1/20 point); column widths in 1/256 of a character (the
//   widest digit of the workbook's default font, cell padding included), as the file stores them.
// - Every failure is an rw::Failure with a description fit for the user.
namespace rw::sheet {

class Workbook {
  public:
    // A new workbook with one empty sheet, "Sheet1", active; default font Arial 10.
    Workbook();
    // An empty workbook without sheets (the reader fills it).
    struct NoSheets {};
    explicit Workbook(NoSheets, const Font& defaultFont = Font{});
    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;
    ~Workbook();

    // Font 0 of the file: the Normal style's font. It sets the unit of column widths.
    const Font& defaultFont() const { return styles_->style(kDefaultStyle).font; }

    StyleTable& styles() { return *styles_; }
    const StyleTable& styles() const { return *styles_; }

    std::size_t sheetCount() const { return sheets_.size(); }
    Worksheet& sheet(std::size_t index) { return *sheets_.at(index); }
    const Worksheet& sheet(std::size_t index) const { return *sheets_.at(index); }
    Worksheet& addSheet(const std::string& name);  // fails for an invalid or duplicate name
    std::size_t activeSheetIndex() const { return active_; }
    void setActiveSheet(std::size_t index);
    Worksheet& activeSheet() { return sheet(active_); }
    const Worksheet& activeSheet() const { return sheet(active_); }

    // Palette slots 8..63; the default palette unless changed.
    Rgb paletteColor(std::uint16_t index) const;  // also 0..7 (EGA), 64/0x7FFF black, 65 white
    const std::array<Rgb, 56>& palette() const { return palette_; }
    void setPaletteColor(std::uint16_t index, Rgb color);  // 8..63
    bool hasCustomPalette() const { return palette_ != defaultPalette(); }

  private:
    friend class Worksheet;
    void checkSheetName(const std::string& name, const Worksheet* self) const;

    std::unique_ptr<StyleTable> styles_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    std::size_t active_ = 0;
    std::array<Rgb, 56> palette_;
};

}  // namespace rw::sheet
