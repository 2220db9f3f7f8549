"""Checks an ancestor-chart workbook with xlrd, an independent .xls reader.

usage: xlrd_check.py FILE GENERATIONS NAME

Verifies the heading (texts, merges, font, size, colour, alignment, row heights), the column widths, and
that exactly the expected cells carry a lime fill with four thin borders (boxes) or only a right border
(connectors); every other written cell is unstyled apart from the sheet font.
"""
import sys

import xlrd


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def expect(cond, message):
    if not cond:
        fail(message)


def main():
    path, generations, name = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)

    def font_of(r, c):
        return book.font_list[book.xf_list[sheet.cell_xf_index(r, c)].font_index]

    # Heading.
    expect(sheet.cell_value(1, 1) == "Family Tree for " + name, "title text %r" % sheet.cell_value(1, 1))
    expect(sheet.cell_value(2, 1) == "%d Generations" % generations, "subtitle text")
    expect(sorted(sheet.merged_cells) == [(1, 2, 1, 6), (2, 3, 1, 6)], "merges %r" % sheet.merged_cells)
    title = font_of(1, 1)
    expect(title.name == "Tahoma" and title.height == 400, "title font")
    expect(book.colour_map[title.colour_index] == (128, 128, 128), "title colour")
    expect(book.xf_list[sheet.cell_xf_index(1, 1)].alignment.hor_align == 1, "title alignment")
    for c in range(2, 6):
        expect(sheet.cell_xf_index(1, c) == sheet.cell_xf_index(1, 1), "merged title cells share the format")
    sub = font_of(2, 1)
    expect(sub.name == "Tahoma" and sub.height == 220, "subtitle font")
    expect(sheet.rowinfo_map[1].height == 510, "title row height")
    expect(sheet.rowinfo_map[2].height == 285, "subtitle row height")

    # Columns: widths and the sheet font.
    widths = {c: info.width for c, info in sheet.colinfo_map.items()}
    expect(widths.get(0) == 694, "column A width %r" % widths.get(0))
    for c in range(1, 6):
        expect(widths.get(c) == 6326, "column %d width" % c)
    for c, info in sheet.colinfo_map.items():
        expect(book.font_list[book.xf_list[info.xf_index].font_index].name == "Tahoma", "column %d font" % c)

    # Boxes and connectors.
    boxes, connectors = set(), set()
    spacing = 2
    for k in range(1, generations + 1):
        col = k  # 0-based: column B is 1
        rows = [2 ** (k - 1) + 4 + j * 2 ** k for j in range(2 ** (generations - k))]
        for r in rows:
            boxes.add((r - 1, col))
        if len(rows) > 1:
            for r in range(rows[0], rows[-1] + 1):
                connectors.add((r - 1, col))
        spacing *= 2
    connectors -= boxes
    lime = (153, 204, 0)
    seen_boxes = seen_connectors = 0
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            if sheet.cell_type(r, c) not in (xlrd.XL_CELL_BLANK, xlrd.XL_CELL_TEXT):
                continue
            xf = book.xf_list[sheet.cell_xf_index(r, c)]
            b = xf.border
            if (r, c) in boxes:
                seen_boxes += 1
                expect(xf.background.fill_pattern == 1, "box fill at %d,%d" % (r, c))
                expect(book.colour_map[xf.background.pattern_colour_index] == lime, "box colour")
                expect((b.left_line_style, b.top_line_style, b.bottom_line_style, b.right_line_style) == (1, 1, 1, 1),
                       "box borders at %d,%d" % (r, c))
            elif (r, c) in connectors:
                seen_connectors += 1
                expect(xf.background.fill_pattern == 0, "connector fill")
                expect((b.left_line_style, b.top_line_style, b.bottom_line_style, b.right_line_style) == (0, 0, 0, 1),
                       "connector borders at %d,%d" % (r, c))
            elif r > 2:
                fail("unexpected styled cell at %d,%d" % (r, c))
            if r > 2:
                expect(book.font_list[xf.font_index].name == "Tahoma", "cell font at %d,%d" % (r, c))
    expect(seen_boxes == len(boxes), "boxes %d of %d" % (seen_boxes, len(boxes)))
    expect(seen_connectors == len(connectors), "connectors %d of %d" % (seen_connectors, len(connectors)))
    expect(sheet.nrows == 2 ** generations + 3, "rows %d" % sheet.nrows)
    print("OK %d boxes, %d connector cells" % (len(boxes), len(connectors)))


main()
