#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "spreadsheet/compound_file.h"
#include "spreadsheet/workbook.h"

// Helpers for codec tests: sample workbooks, and a walk over the records of a workbook stream.
namespace rw::test {

struct RawRecord {
    std::uint16_t id;
    std::size_t pos;
    std::vector<std::uint8_t> body;
};

inline std::vector<std::uint8_t> workbookStream(const std::vector<std::uint8_t>& file) {
    bool found = false;
    auto s = sheet::cfb::readStream(file, u"Workbook", found);
    return s;
}

// Every record up to the zero padding.
inline std::vector<RawRecord> records(const std::vector<std::uint8_t>& stream) {
    std::vector<RawRecord> out;
    std::size_t p = 0;
    while (p + 4 <= stream.size()) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[p] | (stream[p + 1] << 8));
        const std::size_t len = stream[p + 2] | (stream[p + 3] << 8);
        if (id == 0 && len == 0) {
            break;
        }
        out.push_back(
            RawRecord{id, p,
                      std::vector<std::uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(p + 4),
                                                stream.begin() + static_cast<std::ptrdiff_t>(p + 4 + len))});
        p += 4 + len;
    }
    return out;
}

inline std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return le16(b, at) | (std::uint32_t{le16(b, at + 2)} << 16);
}

// Rebuilds a stream from records (bodies as given), padded like the writer pads.
inline std::vector<std::uint8_t> joinRecords(const std::vector<RawRecord>& recs) {
    std::vector<std::uint8_t> s;
    for (const RawRecord& r : recs) {
        s.push_back(static_cast<std::uint8_t>(r.id));
        s.push_back(static_cast<std::uint8_t>(r.id >> 8));
        s.push_back(static_cast<std::uint8_t>(r.body.size()));
        s.push_back(static_cast<std::uint8_t>(r.body.size() >> 8));
        s.insert(s.end(), r.body.begin(), r.body.end());
    }
    return s;
}

// A chart-like sheet drawn straight on the model: heading, boxes and connectors.
inline void drawChart(sheet::Worksheet& ws, int generations) {
    using namespace sheet;
    ws.applyStyle(CellRange::wholeSheet(), StyleChange::fontName("Tahoma"));
    ws.setColumnWidth(1, 1, 694);
    ws.setColumnWidth(2, 6, 6326);
    ws.merge(parseAddress("B2:F2"));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::alignment(HorizontalAlignment::Left));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontHeight(400));
    ws.applyStyle(CellRange::cell(2, 2), StyleChange::fontColor(23));
    ws.setText(CellRange::cell(2, 2), "Family Tree for Ann");
    ws.merge(parseAddress("B3:F3"));
    ws.applyStyle(CellRange::cell(3, 2), StyleChange::fontHeight(220));
    ws.setText(CellRange::cell(3, 2), std::to_string(generations) + " Generations");
    int column = 2, offset = 0, previous = 1, spacing = 2;
    for (int g = generations - 1; g >= 0; --g) {
        const int boxes = 1 << g;
        offset += previous;
        previous = offset;
        int row = offset + 4;
        for (int b = 1; b <= boxes; ++b) {
            const CellRange c = CellRange::cell(row, column);
            ws.applyStyle(c, StyleChange::fill(50));
            for (Edge e : {Edge::Left, Edge::Top, Edge::Bottom, Edge::Right}) {
                ws.applyStyle(c, StyleChange::borderLine(e, LineStyle::Thin));
            }
            if (b < boxes) {
                ws.applyStyle(CellRange{row, column, row + spacing, column},
                              StyleChange::borderLine(Edge::Right, LineStyle::Thin));
            }
            row += spacing;
        }
        spacing *= 2;
        ++column;
    }
}

}  // namespace rw::test
