#include <algorithm>
#include <memory>
#include <unordered_map>

#include "platform/failure.h"
#include "platform/safe_file.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/compound_file.h"
#include "spreadsheet/number_formats.h"
#include "spreadsheet/text.h"
#include "spreadsheet/xls_codec.h"
#include "spreadsheet/xls_page_setup.h"
#include "spreadsheet/xls_records.h"
#include "spreadsheet/xls_shared_strings.h"
#include "spreadsheet/xls_sheet_writer.h"
#include "spreadsheet/xls_styles.h"

namespace rw::sheet {

namespace {

using namespace xls;

// The workbook globals, one named step per record or run of records; kGlobalRecords lists the steps in
// the order their records stand in the file.
class BookWriter {
  public:
    BookWriter(RecordSink& s, const Workbook& wb, Layout& layout,
               const std::vector<std::string_view>& sstList, std::uint32_t sstTotal)
        : s_(s), wb_(wb), layout_(layout), sstList_(sstList), sstTotal_(sstTotal) {}

    void writeGlobals();

    // Where each BOUNDSHEET keeps its sheet's stream position, patched once the sheet is written.
    std::vector<std::size_t> plyPos;

  private:
    using Step = void (BookWriter::*)();
    static const Step kGlobalRecords[];

    void bof() {
        s_.begin(biff::kBof);
        s_.u16(0x0600);
        s_.u16(0x0005);
        s_.u16(0x0DBB);
        s_.u16(0x07CC);
        s_.u32(0);
        s_.u32(6);
        s_.end();
    }
    void userInterface() {
        s_.record(biff::kInterfaceHdr, {1200});
        s_.record(biff::kMms, {0});
        s_.begin(biff::kInterfaceEnd);
        s_.end();
    }
    void writeAccess() {
        s_.begin(biff::kWriteAccess);
        putString(s_, u"Rootweave", false);
        while (s_.room() > biff::kMaxBody - 112) {
            s_.u8(' ');
        }
        s_.end();
    }
    void codePage() {
        s_.record(biff::kCodePage, {1200});
        s_.record(biff::kDsf, {0});
    }
    void tabIds() {
        s_.begin(biff::kTabId);
        for (std::size_t i = 0; i < wb_.sheetCount(); ++i) {
            s_.u16(static_cast<std::uint32_t>(i + 1));
        }
        s_.end();
        s_.record(biff::kFnGroupCount, {14});
    }
    void protection() {
        s_.record(biff::kWindowProtect, {0});
        s_.record(biff::kProtect, {0});
        s_.record(biff::kObjProtect, {0});
        s_.record(biff::kPassword, {0});
        s_.record(biff::kProt4Rev, {0});
        s_.record(biff::kProt4RevPass, {0});
    }
    void window1() {
        s_.record(biff::kWindow1, {0x0168, 0x001E, 0x4000, 0x2000, 0x0038,
                                   static_cast<std::uint16_t>(wb_.activeSheetIndex()), 0, 1, 600});
    }
    void bookOptions() {
        s_.record(biff::kBackup, {0});
        s_.record(biff::kHideObj, {0});
        s_.record(biff::kDateMode, {0});
        s_.record(biff::kPrecision, {1});
        s_.record(biff::kRefreshAll, {0});
        s_.record(biff::kBookBool, {0});
    }
    void fonts() {
        for (int i = 0; i < 4; ++i) {
            putFont(s_, wb_.defaultFont());
        }
        for (const Font& f : layout_.fonts) {
            putFont(s_, f);
        }
    }
    void formats() {
        defaultFormat_ = formatIndex(layout_, wb_.styles().style(kDefaultStyle).numberFormat);
        for (std::size_t i = 0; i < layout_.formats.size(); ++i) {
            putFormat(s_, static_cast<std::uint16_t>(kFirstCustomNumberFormat + i), layout_.formats[i]);
        }
    }
    void cellFormats() {
        for (int i = 0; i < 15; ++i) {
            putStyleXf(s_, 0, i == 0);
        }
        putCellXf(s_, 0, defaultFormat_, wb_.styles().style(kDefaultStyle), true);
        for (std::size_t i = 0; i < layout_.xfStyles.size(); ++i) {
            putCellXf(s_, layout_.fontOfXf[i], layout_.formatOfXf[i], wb_.styles().style(layout_.xfStyles[i]),
                      false);
        }
    }
    void styles() { s_.record(biff::kStyle, {0x8000, 0xFF00}); }
    void palette() {
        if (wb_.hasCustomPalette()) {
            putPalette(s_, wb_);
        }
    }
    void usesElfs() { s_.record(biff::kUsesElfs, {0}); }
    void boundSheets() {
        for (std::size_t i = 0; i < wb_.sheetCount(); ++i) {
            s_.begin(biff::kBoundSheet);
            plyPos.push_back(s_.out.size());
            s_.u32(0);
            s_.u8(0);
            s_.u8(0);
            putString(s_, text::toUtf16(wb_.sheet(i).name()), true);
            s_.end();
        }
    }
    void country() { s_.record(biff::kCountry, {1, 1}); }
    void printNames() { writePrintNames(s_, wb_); }
    void sharedStrings() { writeSst(s_, sstList_, sstTotal_); }
    void eof() {
        s_.begin(biff::kEof);
        s_.end();
    }

    RecordSink& s_;
    const Workbook& wb_;
    Layout& layout_;
    const std::vector<std::string_view>& sstList_;
    std::uint32_t sstTotal_;
    std::uint16_t defaultFormat_ = 0;
};

const BookWriter::Step BookWriter::kGlobalRecords[] = {
    &BookWriter::bof,            // BOF of the workbook globals
    &BookWriter::userInterface,  // INTERFACEHDR, MMS, INTERFACEEND
    &BookWriter::writeAccess,    // WRITEACCESS
    &BookWriter::codePage,       // CODEPAGE, DSF
    &BookWriter::tabIds,         // TABID, FNGROUPCOUNT
    &BookWriter::protection,     // WINDOWPROTECT, PROTECT, OBJPROTECT, PASSWORD, PROT4REV, PROT4REVPASS
    &BookWriter::window1,        // WINDOW1
    &BookWriter::bookOptions,    // BACKUP, HIDEOBJ, DATEMODE, PRECISION, REFRESHALL, BOOKBOOL
    &BookWriter::fonts,          // FONT
    &BookWriter::formats,        // FORMAT
    &BookWriter::cellFormats,    // XF
    &BookWriter::styles,         // STYLE
    &BookWriter::palette,        // PALETTE
    &BookWriter::usesElfs,       // USESELFS
    &BookWriter::boundSheets,    // BOUNDSHEET
    &BookWriter::country,        // COUNTRY
    &BookWriter::printNames,     // SUPBOOK, EXTERNSHEET, NAME
    &BookWriter::sharedStrings,  // SST, EXTSST
    &BookWriter::eof,            // EOF
};

void BookWriter::writeGlobals() {
    for (const Step step : kGlobalRecords) {
        (this->*step)();
    }
}

}  // namespace

std::vector<std::uint8_t> encodeWorkbook(const Workbook& wb) {
    if (wb.sheetCount() == 0) {
        throw Failure("A workbook must have at least one sheet");
    }
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        checkPageSetup(wb.sheet(i).pageSetup(), wb.sheet(i).name());
    }
    Layout layout;
    layout.xfOfStyle.assign(wb.styles().size(), 0xFFFF);
    layout.xfOfStyle[kDefaultStyle] = 15;
    std::unordered_map<std::string, std::uint32_t> sst;
    std::vector<std::string_view> sstList;
    std::uint32_t sstTotal = 0;
    std::vector<std::unique_ptr<SheetWriter>> sheets;
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        sheets.push_back(std::make_unique<SheetWriter>(wb.sheet(i), i == wb.activeSheetIndex(), layout, sst,
                                                       sstList, sstTotal));
        sheets.back()->prepare();
    }
    const Font& defaultFont = wb.defaultFont();
    for (StyleId id : layout.xfStyles) {
        layout.fontOfXf.push_back(fontIndex(layout, wb.styles().style(id).font, defaultFont));
        layout.formatOfXf.push_back(formatIndex(layout, wb.styles().style(id).numberFormat));
    }

    // Room for the whole file in one buffer: the stream grows in it and the container is built around it.
    RecordSink s;
    std::size_t expected = 65536;
    for (const auto& sheet : sheets) {
        expected += sheet->expectedBytes();
    }
    for (const std::string_view str : sstList) {
        expected += 3 + 2 * str.size();
    }
    s.out.reserve(cfb::singleStreamFileSize(expected + expected / 512));
    BookWriter globals(s, wb, layout, sstList, sstTotal);
    globals.writeGlobals();
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        bytes::set32(s.out, globals.plyPos[i], static_cast<std::uint32_t>(s.out.size()));
        sheets[i]->write(s);
    }
    return cfb::wrapSingleStream(std::move(s.out), u"Workbook");
}

void saveWorkbook(const Workbook& workbook, const std::filesystem::path& path) {
    safefile::replace(path, encodeWorkbook(workbook));
}

}  // namespace rw::sheet
