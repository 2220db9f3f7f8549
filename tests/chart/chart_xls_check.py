#!/usr/bin/python3
"""Independent check of a saved ancestor chart workbook, read with xlrd (formatting_info=True).

Usage: chart_xls_check.py FILE.xls --columns N --title TEXT --subtitle TEXT

N is the number of generation columns drawn (0 for a heading-only chart). The check passes when the first
sheet holds exactly the chart: the two heading texts in merged B2:F2 and B3:F3 (Tahoma, left aligned, 20 pt
grey title, 11 pt subtitle), columns A to F 2 and 24 characters wide and the others at one default width,
Tahoma everywhere, exactly the expected box cells (solid fill of palette colour #99CC00, thin lines on all
four edges), exactly the expected connector cells (a thin right-edge line and nothing else), no other value
and no other border or fill. Prints "OK" and exits 0, or lists the problems and exits 1.

With --boxes (a filled chart) the boxes named there hold their texts and shrink them to fit, every other
box is blank, and every generation column is 24 characters wide.

Run it with /usr/bin/python3 (Debian's python3-xlrd).
"""

import sys

import chart_check_cli

import xlrd

LIME = (0x99, 0xCC, 0x00)
GREY = (0x80, 0x80, 0x80)
THIN = 1
SOLID = 1
LEFT = 1  # xlrd's hor_align for left


def expected_cells(columns):
    """Box and connector cells (0-based row, column) of a chart with that many generation columns."""
    boxes, connectors = set(), set()
    for k in range(1, columns + 1):
        col = k  # sheet column k + 1, 0-based k
        count = 2 ** (columns - k)
        first = 2 ** (k - 1) + 4
        step = 2 ** k
        rows = [first + j * step for j in range(count)]
        boxes.update((r - 1, col) for r in rows)
        if count > 1:
            connectors.update((r - 1, col) for r in range(rows[0], rows[-1] + 1))
    return boxes, connectors - boxes


def check(path, columns, title, subtitle, texts=None):
    problems = []

    def problem(text):
        if len(problems) < 40:
            problems.append(text)

    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)

    def xf_of(r, c):
        return book.xf_list[sheet.cell_xf_index(r, c)]

    def font_of(xf):
        return book.font_list[xf.font_index]

    def colour(index):
        return book.colour_map.get(index)

    # Heading.
    if sorted(sheet.merged_cells) != [(1, 2, 1, 6), (2, 3, 1, 6)]:
        problem("merged ranges %r, expected B2:F2 and B3:F3" % sorted(sheet.merged_cells))
    for (r, text, height, grey) in ((1, title, 400, True), (2, subtitle, 220, False)):
        if sheet.nrows <= r or sheet.ncols <= 1:
            problem("heading row %d missing" % (r + 1))
            continue
        cell = sheet.cell(r, 1)
        if cell.ctype != xlrd.XL_CELL_TEXT or cell.value != text:
            problem("B%d holds %r, expected %r" % (r + 1, cell.value, text))
        xf = xf_of(r, 1)
        font = font_of(xf)
        if font.name != "Tahoma" or font.height != height:
            problem("B%d font %s %d twips, expected Tahoma %d" % (r + 1, font.name, font.height, height))
        if grey and colour(font.colour_index) != GREY:
            problem("title colour %r, expected grey #808080" % (colour(font.colour_index),))
        if xf.alignment.hor_align != LEFT:
            problem("B%d alignment %d, expected left" % (r + 1, xf.alignment.hor_align))

    # Widths: A 2 characters, B to F 24 (xlrd gives 1/256 of a character, padding included), the rest one
    # default width.
    widths = {c: info.width for c, info in sheet.colinfo_map.items()}
    wide = columns + 1 if texts is not None else 6
    for c, chars in [(0, 2)] + [(c, 24) for c in range(1, max(wide, 6))]:
        w = widths.get(c)
        if w is None or not chars * 256 <= w < (chars + 1) * 256:
            problem("column %s width %r, expected %d characters" % (xlrd.colname(c), w, chars))
    others = {w for c, w in widths.items() if c >= max(wide, 6)}
    if len(others) > 1 or any(24 * 256 <= w for w in others):
        problem("columns beyond F have widths %r, expected the default" % sorted(others))

    # Tahoma for all cells: the workbook's default font, or the format of every column.
    if book.font_list[0].name != "Tahoma":
        for c in range(256):
            info = sheet.colinfo_map.get(c)
            if info is None or font_of(book.xf_list[info.xf_index]).name != "Tahoma":
                problem("column %d does not default to Tahoma" % c)
                break

    # Every cell: boxes, connectors, the heading and nothing else.
    boxes, connectors = expected_cells(columns)
    seen_boxes, seen_connectors = set(), set()
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            xf = xf_of(r, c)
            b = xf.border
            edges = (b.left_line_style, b.top_line_style, b.bottom_line_style, b.right_line_style)
            filled = xf.background.fill_pattern != 0
            where = "%s%d" % (xlrd.colname(c), r + 1)
            if font_of(xf).name != "Tahoma":
                problem("%s font %s" % (where, font_of(xf).name))
            want = (texts or {}).get(where)
            if want is not None:
                if sheet.cell_type(r, c) != xlrd.XL_CELL_TEXT or sheet.cell_value(r, c) != want:
                    problem("%s holds %r, expected %r" % (where, sheet.cell_value(r, c), want))
                if not xf.alignment.shrink_to_fit:
                    problem("%s does not shrink its text to fit" % where)
            elif (r, c) not in ((1, 1), (2, 1)) and sheet.cell_type(r, c) not in (xlrd.XL_CELL_EMPTY,
                                                                                  xlrd.XL_CELL_BLANK):
                problem("%s holds %r" % (where, sheet.cell_value(r, c)))
            if filled:
                if (r, c) not in boxes and where in (texts or {}):
                    problem("%s holds a text outside the boxes" % where)
                if (xf.background.fill_pattern != SOLID or colour(xf.background.pattern_colour_index) != LIME
                        or edges != (THIN,) * 4):
                    problem("%s fill %d colour %r edges %r, expected a lime box with four thin edges" %
                            (where, xf.background.fill_pattern,
                             colour(xf.background.pattern_colour_index), edges))
                seen_boxes.add((r, c))
            elif edges == (0, 0, 0, THIN):
                seen_connectors.add((r, c))
            elif edges != (0, 0, 0, 0):
                problem("%s edges %r, expected none or the right one only" % (where, edges))

    for name, seen, want in (("box", seen_boxes, boxes), ("connector", seen_connectors, connectors)):
        for r, c in sorted(want - seen)[:5]:
            problem("missing %s at %s%d" % (name, xlrd.colname(c), r + 1))
        for r, c in sorted(seen - want)[:5]:
            problem("unexpected %s at %s%d" % (name, xlrd.colname(c), r + 1))
    lowest = 2 ** columns + 3 if columns > 0 else 3
    if sheet.nrows != lowest:
        problem("%d rows used, expected %d" % (sheet.nrows, lowest))
    return problems


if __name__ == "__main__":
    sys.exit(chart_check_cli.run(check, "Check a saved ancestor chart workbook."))
