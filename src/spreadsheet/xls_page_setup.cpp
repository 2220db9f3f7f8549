#include "spreadsheet/xls_page_setup.h"

#include <cmath>

#include "platform/failure.h"
#include "spreadsheet/text.h"
#include "spreadsheet/xls_book_reader.h"

namespace rw::sheet::xls {

namespace {

// The built-in name of a sheet's print area or print titles: one 3-D area reference through the workbook's
// table of sheet references.
void writeBuiltinName(RecordSink& s, std::uint8_t code, std::size_t sheet, std::size_t reference,
                      const CellRange& area) {
    s.begin(biff::kName);
    s.u16(biff::kNameBuiltin);
    s.u8(0);    // no keyboard shortcut
    s.u8(1);    // one character: the built-in name's code
    s.u16(11);  // formula: one 3-D area reference
    s.u16(0);
    s.u16(static_cast<std::uint32_t>(sheet + 1));  // local to its sheet
    s.u32(0);
    s.u8(0);  // 8-bit characters
    s.u8(code);
    s.u8(biff::kPtgArea3d);
    s.u16(static_cast<std::uint32_t>(reference));  // entry in EXTERNSHEET
    s.u16(static_cast<std::uint32_t>(area.firstRow - 1));
    s.u16(static_cast<std::uint32_t>(area.lastRow - 1));
    s.u16(static_cast<std::uint32_t>(area.firstColumn - 1));  // absolute references
    s.u16(static_cast<std::uint32_t>(area.lastColumn - 1));
    s.end();
}

// The rows of a Print_Titles formula: one reference to whole rows, alone or beside a reference to whole
// columns (the union Excel writes when both are set). Anything else is not a form this engine keeps, and
// yields nothing.
std::optional<PrintName> printTitleRows(std::span<const std::uint8_t> rgce, std::uint16_t sheet) {
    std::optional<PrintName> rows;
    std::size_t p = 0;
    const auto word = [&](std::size_t at) {
        return static_cast<std::uint16_t>(rgce[at] | (rgce[at + 1] << 8));
    };
    while (p < rgce.size()) {
        const std::uint8_t ptg = rgce[p++];
        if (ptg == biff::kPtgUnion) {
            continue;
        }
        if (ptg == biff::kPtgMemFunc || ptg == biff::kPtgMemFunc + 0x20 || ptg == biff::kPtgMemFunc + 0x40) {
            if (rgce.size() - p < 2) {
                return std::nullopt;
            }
            p += 2;
            continue;
        }
        if (ptg != biff::kPtgArea3d && ptg != biff::kPtgArea3d + 0x20 && ptg != biff::kPtgArea3d + 0x40) {
            return std::nullopt;
        }
        if (rgce.size() - p < 10) {
            return std::nullopt;
        }
        const std::uint16_t reference = word(p);
        const std::uint16_t firstRow = word(p + 2);
        const std::uint16_t lastRow = word(p + 4);
        const std::uint16_t firstColumn = word(p + 6) & 0x3FFF;
        const std::uint16_t lastColumn = word(p + 8) & 0x3FFF;
        p += 10;
        if (firstColumn == 0 && lastColumn >= biff::kLastColumnIndex && firstRow <= lastRow && !rows) {
            rows = PrintName{sheet, reference, false, CellRange::wholeRows(firstRow + 1, lastRow + 1)};
        }
    }
    return rows;
}

// The cells of a Print_Area formula: one reference to a block of cells on one sheet. Several blocks are not a
// form this engine keeps, and yield nothing.
std::optional<PrintName> printAreaRange(std::span<const std::uint8_t> rgce, std::uint16_t sheet) {
    if (rgce.size() != 11 || (rgce[0] != biff::kPtgArea3d && rgce[0] != biff::kPtgArea3d + 0x20 &&
                              rgce[0] != biff::kPtgArea3d + 0x40)) {
        return std::nullopt;
    }
    const auto word = [&](std::size_t at) {
        return static_cast<std::int32_t>(rgce[at] | (rgce[at + 1] << 8));
    };
    const CellRange range{word(3) + 1, (word(7) & 0x3FFF) + 1, word(5) + 1, (word(9) & 0x3FFF) + 1};
    if (!range.isValid()) {
        return std::nullopt;
    }
    return PrintName{sheet, static_cast<std::uint16_t>(word(1)), true, range};
}

// A margin as the file stores it, or the default where the value makes no sense.
double marginOr(double value, double fallback) {
    return (std::isfinite(value) && value >= 0 && value < 49) ? value : fallback;
}

}  // namespace

void checkPageSetup(const PageSetup& ps, const std::string& sheetName) {
    const auto refuse = [&](const std::string& why) {
        throw Failure("The page set-up of the sheet \"" + sheetName + "\" cannot be saved: " + why);
    };
    if (ps.scalePercent < 10 || ps.scalePercent > 400) {
        refuse("the print scale must lie between 10 and 400 percent");
    }
    if (ps.fitWidth > 32767 || ps.fitHeight > 32767) {
        refuse("at most 32767 pages across and down");
    }
    for (double m :
         {ps.leftMargin, ps.rightMargin, ps.topMargin, ps.bottomMargin, ps.headerMargin, ps.footerMargin}) {
        if (!std::isfinite(m) || m < 0 || m >= 49) {
            refuse("margins must lie between 0 and 49 inches");
        }
    }
    for (const std::string* text : {&ps.header, &ps.footer}) {
        if (text::toUtf16(*text).size() > 255) {
            refuse("a page header or footer is longer than 255 characters");
        }
    }
    if (ps.titleRows && !CellRange{ps.titleRows->first, 1, ps.titleRows->second, kMaxColumns}.isValid()) {
        refuse("the rows repeated at the top of each page lie outside the sheet");
    }
    if (ps.printArea && !ps.printArea->isValid()) {
        refuse("the print area lies outside the sheet");
    }
}

void writePageSetup(RecordSink& s, const PageSetup& ps) {
    for (auto [id, str] : {std::pair{biff::kHeader, &ps.header}, std::pair{biff::kFooter, &ps.footer}}) {
        // An empty text is stored as such: a record of length zero reads as "the default header" in
        // some spreadsheet programs.
        s.begin(id);
        putString(s, text::toUtf16(*str), false);
        s.end();
    }
    s.record(biff::kHCenter, {static_cast<std::uint16_t>(ps.centerHorizontally ? 1 : 0)});
    s.record(biff::kVCenter, {static_cast<std::uint16_t>(ps.centerVertically ? 1 : 0)});
    for (auto [id, v] :
         {std::pair{biff::kLeftMargin, ps.leftMargin}, std::pair{biff::kRightMargin, ps.rightMargin},
          std::pair{biff::kTopMargin, ps.topMargin}, std::pair{biff::kBottomMargin, ps.bottomMargin}}) {
        s.begin(id);
        s.f64(v);
        s.end();
    }
    const bool printerData = ps.landscape || ps.scalePercent != 100 || ps.fitToPage;
    s.begin(biff::kSetup);
    s.u16(printerData ? 9 : 0);  // A4
    s.u16(ps.scalePercent);
    s.u16(1);
    s.u16(ps.fitWidth);
    s.u16(ps.fitHeight);
    s.u16((ps.landscape ? 0 : 0x02) | (printerData ? 0 : 0x04));
    s.u16(printerData ? 600 : 0);
    s.u16(printerData ? 600 : 0);
    s.f64(ps.headerMargin);
    s.f64(ps.footerMargin);
    s.u16(1);
    s.end();
}

void writeWsBool(RecordSink& s, const PageSetup& ps) {
    s.record(biff::kWsBool, {static_cast<std::uint16_t>(0x04C1 | (ps.fitToPage ? 0x0100 : 0))});
}

void writePrintNames(RecordSink& s, const Workbook& wb) {
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        const PageSetup& ps = wb.sheet(i).pageSetup();
        if (ps.titleRows || ps.printArea) {
            named.push_back(i);
        }
    }
    if (named.empty()) {
        return;
    }
    s.record(biff::kSupBook, {static_cast<std::uint16_t>(wb.sheetCount()), biff::kSupBookSelf});
    s.begin(biff::kExternSheet);
    s.u16(static_cast<std::uint32_t>(named.size()));
    for (std::size_t sheet : named) {
        s.u16(0);  // the SUPBOOK above
        s.u16(static_cast<std::uint32_t>(sheet));
        s.u16(static_cast<std::uint32_t>(sheet));
    }
    s.end();
    for (std::size_t k = 0; k < named.size(); ++k) {
        const PageSetup& ps = wb.sheet(named[k]).pageSetup();
        if (ps.printArea) {
            writeBuiltinName(s, biff::kBuiltinPrintArea, named[k], k, *ps.printArea);
        }
        if (ps.titleRows) {
            writeBuiltinName(s, biff::kBuiltinPrintTitles, named[k], k,
                             CellRange::wholeRows(ps.titleRows->first, ps.titleRows->second));
        }
    }
}

void readSupBook(std::span<const std::uint8_t> body, PrintNames& names) {
    bytes::Reader b(body, "a SUPBOOK record");
    b.u16();
    names.supBookIsSelf.push_back(b.u16() == biff::kSupBookSelf);
}

void readExternSheet(std::span<const std::uint8_t> body, PrintNames& names) {
    bytes::Reader b(body, "the EXTERNSHEET record");
    const std::uint16_t count = b.u16();
    if (b.left() < 6u * count) {
        damaged("the EXTERNSHEET record is cut short");
    }
    for (std::uint16_t k = 0; k < count; ++k) {
        SheetReference ref{};
        ref.supBook = b.u16();
        ref.firstSheet = b.u16();
        ref.lastSheet = b.u16();
        names.sheetReferences.push_back(ref);
    }
}

std::optional<PrintName> readName(std::span<const std::uint8_t> body) {
    bytes::Reader b(body, "a NAME record");
    const std::uint16_t flags = b.u16();
    b.u8();
    const std::uint8_t nameLength = b.u8();
    const std::uint16_t formulaLength = b.u16();
    b.u16();
    const std::uint16_t itab = b.u16();
    b.skip(4);
    std::u16string name;
    if (nameLength > 0) {
        name = readChars(b, nameLength, b.u8() & 0x01);
    }
    const std::span<const std::uint8_t> rgce = b.take(formulaLength);
    if (!(flags & biff::kNameBuiltin) || name.size() != 1 || itab == 0) {
        return std::nullopt;
    }
    const auto sheet = static_cast<std::uint16_t>(itab - 1);
    if (name[0] == biff::kBuiltinPrintArea) {
        return printAreaRange(rgce, sheet);
    }
    return name[0] == biff::kBuiltinPrintTitles ? printTitleRows(rgce, sheet) : std::nullopt;
}

void applyPrintNames(const PrintNames& names,
                     const std::vector<std::optional<std::size_t>>& worksheetOfBoundSheet, Workbook& wb) {
    const auto& sheetReferences = names.sheetReferences;
    const auto& supBookIsSelf = names.supBookIsSelf;
    for (const PrintName& t : names.printNames) {
        if (t.reference >= sheetReferences.size()) {
            damaged("a name refers to a sheet reference that does not exist");
        }
        if (t.sheet >= worksheetOfBoundSheet.size()) {
            damaged("a name belongs to a sheet that does not exist");
        }
        const SheetReference& ref = sheetReferences[t.reference];
        const bool ownSheet = ref.supBook < supBookIsSelf.size() && supBookIsSelf[ref.supBook] &&
                              ref.firstSheet == t.sheet && ref.lastSheet == t.sheet;
        if (ownSheet && worksheetOfBoundSheet[t.sheet]) {
            PageSetup& ps = wb.sheet(*worksheetOfBoundSheet[t.sheet]).pageSetup();
            if (t.isArea) {
                ps.printArea = t.range;
            } else {
                ps.titleRows = std::pair{t.range.firstRow, t.range.lastRow};
            }
        }
    }
}

void BookReader::readHeaderFooter(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    std::string& text = rec.id == biff::kHeader ? sheet.ws.pageSetup().header : sheet.ws.pageSetup().footer;
    text = rec.body.empty() ? std::string() : readString(r, false);
    if (text::toUtf16(text).size() > 255) {
        damaged("a page header or footer is longer than 255 characters");
    }
}

void BookReader::readCentering(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    PageSetup& ps = sheet.ws.pageSetup();
    (rec.id == biff::kHCenter ? ps.centerHorizontally : ps.centerVertically) = r.u16() != 0;
}

void BookReader::readMargin(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    PageSetup& ps = sheet.ws.pageSetup();
    switch (rec.id) {
        case biff::kLeftMargin:
            ps.leftMargin = marginOr(r.f64(), PageSetup{}.leftMargin);
            break;
        case biff::kRightMargin:
            ps.rightMargin = marginOr(r.f64(), PageSetup{}.rightMargin);
            break;
        case biff::kTopMargin:
            ps.topMargin = marginOr(r.f64(), PageSetup{}.topMargin);
            break;
        default:
            ps.bottomMargin = marginOr(r.f64(), PageSetup{}.bottomMargin);
            break;
    }
}

void BookReader::readWsBool(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    sheet.ws.pageSetup().fitToPage = r.u16() & 0x0100;
}

void BookReader::readSetup(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    // Paper, scale and orientation mean something only with printer data (fNoPls clear)
    // and, for the orientation, fNoOrient clear. Values the format does not allow fall back
    // to the defaults, so whatever is read can be saved again.
    PageSetup& ps = sheet.ws.pageSetup();
    const PageSetup defaults;
    r.u16();
    const std::uint16_t scale = r.u16();
    r.u16();
    const std::uint16_t fitWidth = r.u16();
    const std::uint16_t fitHeight = r.u16();
    const std::uint16_t grbit = r.u16();
    const bool printerData = !(grbit & 0x04);
    ps.scalePercent = printerData && scale >= 10 && scale <= 400 ? scale : defaults.scalePercent;
    ps.fitWidth = fitWidth <= 32767 ? fitWidth : defaults.fitWidth;
    ps.fitHeight = fitHeight <= 32767 ? fitHeight : defaults.fitHeight;
    ps.landscape = printerData && !(grbit & 0x40) && !(grbit & 0x02);
    r.skip(4);
    ps.headerMargin = marginOr(r.f64(), defaults.headerMargin);
    ps.footerMargin = marginOr(r.f64(), defaults.footerMargin);
}

}  // namespace rw::sheet::xls
