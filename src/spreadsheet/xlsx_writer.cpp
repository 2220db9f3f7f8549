#include "spreadsheet/xlsx_writer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <system_error>
#include <vector>

#include "platform/failure.h"
#include "platform/safe_file.h"
#include "platform/temp_folder.h"
#include "spreadsheet/text.h"
#include "spreadsheet/xlsx_package_check.h"

namespace rw::sheet {

namespace {

// The Normal style and the sheet's dimension are set through libxlsxwriter's own structures (see
// setNormalFont and writeDimension), as Debian 12's libxlsxwriter 1.1.4 lays them out.
static_assert(LXW_VERSION_ID == 114, "check setNormalFont and writeDimension against this libxlsxwriter");

constexpr std::size_t kMaxCellCharacters = 32767;
constexpr std::size_t kMaxHeaderCharacters = 255;
// libxlsxwriter's unit of column widths is the widest digit of Calibri 11; the same 7 pixels as Arial 10,
// the Normal style of the files written here, and Tahoma 10.
constexpr int kStandardColumnPixels = 64;
// The last column of an .xlsx sheet (XFD), 0-based.
constexpr lxw_col_t kLastXlsxColumn = LXW_COL_MAX - 1;
// The paper size the .xls print set-up names (A4), in the numbering both formats share.
constexpr std::uint8_t kPaperA4 = 9;
// The creation time written into the document properties: a fixed one, so that the file holds nothing but
// the workbook and two exports of one workbook are the same bytes. 1 January 1980, the date libxlsxwriter
// gives every part of the package.
constexpr std::time_t kCreated = 315532800;

std::string cellName(std::int32_t row, std::int32_t column) {
    return columnName(column) + std::to_string(row);
}

std::string where(const Worksheet& ws, std::int32_t row, std::int32_t column) {
    return "cell " + cellName(row, column) + " of the sheet \"" + ws.name() + "\"";
}

[[noreturn]] void refuse(const std::string& why) {
    throw Failure("The workbook cannot be saved as .xlsx: " + why);
}

std::size_t characterCount(std::string_view utf8) {
    return text::toUtf16(utf8).size();
}

// Excel's rows and columns are 0-based in libxlsxwriter.
lxw_row_t lxwRow(std::int32_t row) {
    return static_cast<lxw_row_t>(row - 1);
}
lxw_col_t lxwColumn(std::int32_t column) {
    return static_cast<lxw_col_t>(column - 1);
}

// One open libxlsxwriter workbook. Dropped without close(), it is freed and nothing is written.
// Its scratch files go to the program's temporary folder (left unset, libxlsxwriter would use /tmp
// whatever the user chose); a folder that cannot be used is refused before anything is written.
class XlsxBook {
  public:
    explicit XlsxBook(const std::filesystem::path& file) : scratch_(tempfolder::usable()) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_FALSE;  // merged areas cannot be written in constant-memory mode
        options.tmpdir = scratch_.data();
        options.use_zip64 = LXW_FALSE;
        book_ = workbook_new_opt(file.c_str(), &options);
        if (book_ == nullptr) {
            throw Failure("Cannot save the workbook as .xlsx: out of memory");
        }
    }
    XlsxBook(const XlsxBook&) = delete;
    XlsxBook& operator=(const XlsxBook&) = delete;
    ~XlsxBook() {
        if (book_ != nullptr) {
            lxw_workbook_free(book_);
        }
    }
    lxw_workbook* get() const { return book_; }
    // Writes the file and frees the workbook.
    lxw_error close() {
        lxw_workbook* book = book_;
        book_ = nullptr;
        return workbook_close(book);
    }

  private:
    std::string scratch_;
    lxw_workbook* book_ = nullptr;
};

void check(lxw_error error, const std::string& what) {
    if (error != LXW_NO_ERROR) {
        throw Failure("Cannot save the workbook as .xlsx: " + what + ": " + lxw_strerror(error));
    }
}

class XlsxExporter {
  public:
    XlsxExporter(const Workbook& wb, lxw_workbook* book)
        : wb_(wb), book_(book), formats_(wb.styles().size(), nullptr) {
        setNormalFont(book, wb.defaultFont());
        lxw_doc_properties properties{};
        properties.created = kCreated;
        check(workbook_set_properties(book, &properties), "the document properties");
    }

    void writeSheet(const Worksheet& ws) {
        lxw_worksheet* sheet = workbook_add_worksheet(book_, ws.name().c_str());
        if (sheet == nullptr) {
            throw Failure("Cannot save the workbook as .xlsx: the sheet \"" + ws.name() +
                          "\" cannot be added");
        }
        sheet_ = sheet;
        ws_ = &ws;
        if (&ws == &wb_.activeSheet()) {
            worksheet_activate(sheet);
        }
        worksheet_set_default_row(sheet, ws.defaultRowHeight() / 20.0, LXW_FALSE);
        writeColumns();
        writeRows();
        writePageSetup();
        writeDimension();
    }

    // The Normal style of the file: the workbook's default font, as the .xls has it. Readers size the
    // columns and the default row by it (Calibri 11 would make them other widths than the .xls shows).
    // libxlsxwriter has no call for it: its Normal style is the workbook's first format (cell format 0,
    // font 0), made by workbook_new. This reaches into libxlsxwriter 1.1.4's lxw_workbook; the export
    // tests read the Normal style back and fail should that change.
    static void setNormalFont(lxw_workbook* book, const Font& font) {
        lxw_format* normal = STAILQ_FIRST(book->formats);
        format_set_font_name(normal, font.name.c_str());
        format_set_font_size(normal, font.heightTwips / 20.0);
        format_set_font_scheme(normal, "");  // "minor" would ask for the theme's font, Calibri
    }

  private:
    // The RGB of a palette index, as libxlsxwriter takes it (black has a value of its own).
    lxw_color_t color(std::uint16_t index) const {
        const Rgb rgb = wb_.paletteColor(index);
        const lxw_color_t value = (lxw_color_t{rgb.r} << 16) | (lxw_color_t{rgb.g} << 8) | rgb.b;
        return value == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : value;
    }

    // The libxlsxwriter format of a style, made once. Every format names its font in full: the Normal
    // style of the file (Calibri 11) is not the workbook's default font.
    lxw_format* format(StyleId id) {
        lxw_format*& made = formats_[id];
        if (made != nullptr) {
            return made;
        }
        const CellStyle& st = wb_.styles().style(id);
        lxw_format* f = workbook_add_format(book_);
        if (f == nullptr) {
            throw Failure("Cannot save the workbook as .xlsx: out of memory");
        }
        format_set_font_name(f, st.font.name.c_str());
        format_set_font_size(f, st.font.heightTwips / 20.0);
        if (st.font.color != kAutomaticFontColor) {
            format_set_font_color(f, color(st.font.color));
        }
        if (st.font.bold) {
            format_set_bold(f);
        }
        if (st.font.italic) {
            format_set_italic(f);
        }
        if (st.font.underline) {
            format_set_underline(f, LXW_UNDERLINE_SINGLE);
        }
        if (st.font.strikeOut) {
            format_set_font_strikeout(f);
        }
        if (st.shrinkToFit) {
            format_set_shrink(f);
        }
        if (st.solidFill) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, color(st.fillColor));
        }
        // The model's line styles and alignments carry the numbers libxlsxwriter uses.
        using SetLine = void (*)(lxw_format*, uint8_t);
        using SetColor = void (*)(lxw_format*, lxw_color_t);
        const struct {
            Edge edge;
            SetLine line;
            SetColor color;
        } edges[] = {{Edge::Left, format_set_left, format_set_left_color},
                     {Edge::Top, format_set_top, format_set_top_color},
                     {Edge::Bottom, format_set_bottom, format_set_bottom_color},
                     {Edge::Right, format_set_right, format_set_right_color}};
        for (const auto& e : edges) {
            const Border& b = st.border(e.edge);
            if (b.line == LineStyle::None) {
                continue;
            }
            e.line(f, static_cast<uint8_t>(b.line));
            if (b.color != kAutomaticLineColor && b.color != 0) {
                e.color(f, color(b.color));
            }
        }
        if (st.alignment != HorizontalAlignment::General) {
            format_set_align(f, static_cast<uint8_t>(st.alignment));
        }
        made = f;
        return f;
    }

    // Columns with a width or a format of their own, in runs of equal columns. The .xls sheet ends at
    // column IV; the columns an .xlsx sheet has beyond it take column IV's width and format, so that a
    // format given to the whole sheet still covers the whole sheet.
    void writeColumns() {
        const Font& defaultFont = wb_.defaultFont();
        const int defaultPixels = columnWidthPixels(ws_->defaultColumnWidth(), defaultFont);
        for (std::int32_t first = 1; first <= kMaxColumns;) {
            const ColumnInfo& info = ws_->column(first);
            std::int32_t last = first;
            while (last < kMaxColumns && ws_->column(last + 1) == info) {
                ++last;
            }
            const bool plain = !info.customWidth && info.style == kDefaultStyle && !info.hidden;
            if (!plain || defaultPixels != kStandardColumnPixels) {
                lxw_row_col_options options{};
                options.hidden =
                    (info.hidden || (info.customWidth && info.width == 0)) ? LXW_TRUE : LXW_FALSE;
                lxw_format* f = info.style == kDefaultStyle ? nullptr : format(info.style);
                const lxw_col_t to = last == kMaxColumns ? kLastXlsxColumn : lxwColumn(last);
                lxw_error error = LXW_NO_ERROR;
                if (info.customWidth) {
                    error = worksheet_set_column_pixels_opt(sheet_, lxwColumn(first), to,
                                                            columnWidthPixels(info.width, defaultFont), f,
                                                            &options);
                } else if (defaultPixels == kStandardColumnPixels) {
                    error = worksheet_set_column_opt(sheet_, lxwColumn(first), to, LXW_DEF_COL_WIDTH, f,
                                                     &options);
                } else {
                    error = worksheet_set_column_pixels_opt(sheet_, lxwColumn(first), to, defaultPixels, f,
                                                            &options);
                }
                check(error, "columns " + columnName(first) + ":" + columnName(last));
            }
            first = last + 1;
        }
    }

    // Rows strictly from top to bottom: each row's height, the merged areas that start in it, its cells.
    void writeRows() {
        std::vector<CellRange> merges = ws_->mergedRanges();
        std::sort(merges.begin(), merges.end(), [](const CellRange& a, const CellRange& b) {
            return a.firstRow != b.firstRow ? a.firstRow < b.firstRow : a.firstColumn < b.firstColumn;
        });
        std::vector<std::int32_t> rows = ws_->usedRows();
        for (const CellRange& m : merges) {
            rows.push_back(m.firstRow);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

        mergeRows_.assign(kMaxRows, false);
        for (const CellRange& m : merges) {
            std::fill(mergeRows_.begin() + (m.firstRow - 1), mergeRows_.begin() + m.lastRow, true);
        }
        auto nextMerge = merges.begin();
        for (std::int32_t row : rows) {
            if (const std::optional<std::uint16_t> height = ws_->customRowHeight(row)) {
                check(worksheet_set_row(sheet_, lxwRow(row), *height / 20.0, nullptr),
                      "row " + std::to_string(row));
            }
            for (; nextMerge != merges.end() && nextMerge->firstRow == row; ++nextMerge) {
                const CellRange& m = *nextMerge;
                // The whole area shows the format of its top-left cell; the cell's value follows below.
                check(worksheet_merge_range(sheet_, lxwRow(m.firstRow), lxwColumn(m.firstColumn),
                                            lxwRow(m.lastRow), lxwColumn(m.lastColumn), "",
                                            format(ws_->effectiveStyleId(m.firstRow, m.firstColumn))),
                      "the merged area " + formatAddress(m));
            }
            ws_->forEachCell(CellRange::wholeRows(row, row), [&](const CellView& cell) { writeCell(cell); });
        }
    }

    void writeCell(const CellView& cell) {
        if (mergeRows_[cell.row - 1]) {
            if (const std::optional<CellRange> area = ws_->mergedAreaAt(cell.row, cell.column)) {
                if (area->firstRow != cell.row || area->firstColumn != cell.column) {
                    return;  // hidden under its area, written with it
                }
            }
        }
        const lxw_row_t r = lxwRow(cell.row);
        const lxw_col_t c = lxwColumn(cell.column);
        lxw_format* f = format(cell.style);  // a stored cell's own format is the one it shows
        lxw_error error = LXW_NO_ERROR;
        switch (cell.kind) {
            case ValueKind::Text:
                error = cell.text.empty()
                            ? worksheet_write_blank(sheet_, r, c, f)
                            : worksheet_write_string(sheet_, r, c, std::string(cell.text).c_str(), f);
                break;
            case ValueKind::Number:
                error = worksheet_write_number(sheet_, r, c, cell.number, f);
                break;
            case ValueKind::Boolean:
                error = worksheet_write_boolean(sheet_, r, c, cell.number != 0 ? 1 : 0, f);
                break;
            case ValueKind::Error: {
                // An error value is the formula of that error alone (=#N/A), showing the error.
                const char* text = errorText(static_cast<std::uint8_t>(cell.number));
                error = text == nullptr ? worksheet_write_blank(sheet_, r, c, f)
                                        : worksheet_write_formula_str(sheet_, r, c, text, f, text);
                break;
            }
            case ValueKind::Empty:
                error = worksheet_write_blank(sheet_, r, c, f);
                break;
        }
        if (error != LXW_NO_ERROR) {
            check(error, where(*ws_, cell.row, cell.column));
        }
    }

    // The used range, as the .xls states it: the cells and merged areas, not the formatted columns
    // (libxlsxwriter widens its range over every column given a format, up to XFD). This sets
    // libxlsxwriter 1.1.4's own fields of the range, which it writes as the sheet's dimension; the export
    // tests read the dimension back and fail should that change.
    void writeDimension() {
        if (ws_->isEmpty()) {  // libxlsxwriter's empty range, written as A1
            sheet_->dim_rowmin = LXW_ROW_MAX;
            sheet_->dim_rowmax = 0;
            sheet_->dim_colmin = LXW_COL_MAX;
            sheet_->dim_colmax = 0;
            return;
        }
        const CellRange used = ws_->usedRange();
        sheet_->dim_rowmin = lxwRow(used.firstRow);
        sheet_->dim_rowmax = lxwRow(used.lastRow);
        sheet_->dim_colmin = lxwColumn(used.firstColumn);
        sheet_->dim_colmax = lxwColumn(used.lastColumn);
    }

    void writePageSetup() {
        const PageSetup& ps = ws_->pageSetup();
        // The .xls names the paper (A4) whenever the set-up is not the default one.
        if (ps.landscape || ps.scalePercent != 100 || ps.fitToPage) {
            worksheet_set_paper(sheet_, kPaperA4);
        }
        if (ps.landscape) {
            worksheet_set_landscape(sheet_);
        } else {
            worksheet_set_portrait(sheet_);
        }
        if (ps.fitToPage) {
            worksheet_fit_to_pages(sheet_, ps.fitWidth, ps.fitHeight);
        } else if (ps.scalePercent != 100) {
            worksheet_set_print_scale(sheet_, ps.scalePercent);
        }
        if (ps.titleRows) {
            check(worksheet_repeat_rows(sheet_, lxwRow(ps.titleRows->first), lxwRow(ps.titleRows->second)),
                  "the rows repeated on each page");
        }
        if (const std::optional<CellRange>& area = ps.printArea) {
            check(worksheet_print_area(sheet_, lxwRow(area->firstRow), lxwColumn(area->firstColumn),
                                       lxwRow(area->lastRow), lxwColumn(area->lastColumn)),
                  "the print area");
        }
        if (ps.centerHorizontally) {
            worksheet_center_horizontally(sheet_);
        }
        if (ps.centerVertically) {
            worksheet_center_vertically(sheet_);
        }
        worksheet_set_margins(sheet_, ps.leftMargin, ps.rightMargin, ps.topMargin, ps.bottomMargin);
        lxw_header_footer_options header{};
        header.margin = ps.headerMargin;
        check(worksheet_set_header_opt(sheet_, ps.header.c_str(), &header), "the page header");
        lxw_header_footer_options footer{};
        footer.margin = ps.footerMargin;
        check(worksheet_set_footer_opt(sheet_, ps.footer.c_str(), &footer), "the page footer");
    }

    const Workbook& wb_;
    lxw_workbook* book_;
    std::vector<lxw_format*> formats_;  // by style id; made on first use
    lxw_worksheet* sheet_ = nullptr;
    const Worksheet* ws_ = nullptr;
    std::vector<bool> mergeRows_;  // rows of the sheet that a merged area touches
};

}  // namespace

void checkXlsxExport(const Workbook& wb) {
    if (wb.sheetCount() == 0) {
        refuse("it has no sheet");
    }
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        const Worksheet& ws = wb.sheet(i);
        if (ws.name().front() == '\'' || ws.name().back() == '\'') {
            refuse("the sheet name \"" + ws.name() + "\" begins or ends with an apostrophe");
        }
        ws.forEachCell(CellRange::wholeSheet(), [&](const CellView& cell) {
            if (cell.kind == ValueKind::Text && characterCount(cell.text) > kMaxCellCharacters) {
                refuse(where(ws, cell.row, cell.column) + " holds a text of " +
                       std::to_string(characterCount(cell.text)) +
                       " characters; a cell holds at most 32,767 characters");
            }
            if (cell.kind == ValueKind::Number && !std::isfinite(cell.number)) {
                refuse(where(ws, cell.row, cell.column) + " holds a number that is infinite or not a number");
            }
        });
        const PageSetup& ps = ws.pageSetup();
        const std::string setup = "the page set-up of the sheet \"" + ws.name() + "\"";
        if (!ps.fitToPage && (ps.scalePercent < 10 || ps.scalePercent > 400)) {
            refuse(setup + " has a print scale outside 10 to 400 percent");
        }
        for (const std::string* text : {&ps.header, &ps.footer}) {
            if (characterCount(*text) > kMaxHeaderCharacters) {
                refuse(setup + " has a page header or footer longer than 255 characters");
            }
        }
        for (double m : {ps.leftMargin, ps.rightMargin, ps.topMargin, ps.bottomMargin, ps.headerMargin,
                         ps.footerMargin}) {
            if (!std::isfinite(m) || m < 0 || m >= 49) {
                refuse(setup + " has a margin outside 0 to 49 inches");
            }
        }
        if (ps.titleRows && !CellRange{ps.titleRows->first, 1, ps.titleRows->second, kMaxColumns}.isValid()) {
            refuse(setup + " repeats rows outside the sheet on each page");
        }
        if (ps.printArea && !ps.printArea->isValid()) {
            refuse(setup + " prints a range outside the sheet");
        }
    }
}

void exportXlsx(const Workbook& wb, const std::filesystem::path& file) {
    checkXlsxExport(wb);
    lxw_error closed = LXW_NO_ERROR;
    {
        XlsxBook book(file);
        XlsxExporter exporter(wb, book.get());
        for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
            exporter.writeSheet(wb.sheet(i));
        }
        closed = book.close();
    }
    try {
        if (closed != LXW_NO_ERROR) {
            throw Failure("Cannot save the workbook as .xlsx to \"" + file.string() +
                          "\": " + lxw_strerror(closed));
        }
        checkXlsxPackage(file, wb.sheetCount());
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        throw;
    }
}

std::vector<std::uint8_t> encodeWorkbookAsXlsx(const Workbook& wb) {
    checkXlsxExport(wb);
    // libxlsxwriter writes to a file name: here a file in memory that has no name in any folder, reached
    // through /proc, so nothing can be left behind whatever stops the program.
    const int fd = ::memfd_create("rootweave-xlsx", MFD_CLOEXEC);
    if (fd < 0) {
        throw Failure(std::string("Cannot save the workbook as .xlsx: ") + std::strerror(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const std::string inMemory = "/proc/self/fd/" + std::to_string(fd);
    exportXlsx(wb, inMemory);
    return readBackXlsx(inMemory);  // a failed read is a failed save, never an empty file
}

void saveWorkbookAsXlsx(const Workbook& wb, const std::filesystem::path& path) {
    safefile::replace(path, encodeWorkbookAsXlsx(wb));
}

}  // namespace rw::sheet
