#!/usr/bin/python3
"""Independent check of an ancestor chart saved as .xlsx, read with openpyxl.

Usage: chart_xlsx_check.py FILE.xlsx --columns N --title TEXT --subtitle TEXT

N is the number of generation columns drawn. The check passes when the first sheet holds exactly the chart:
the two heading texts in merged B2:F2 and B3:F3 (Tahoma, left aligned, 20 pt grey title, 11 pt subtitle),
columns A to F as wide as Excel stores 2 and 24 characters, Tahoma in every column, exactly the expected box
cells (solid #99CC00 fill, thin lines on all four edges), exactly the expected connector cells (a thin
right-edge line and nothing else), no other value and nothing else styled; the Normal style in the .xls's
default font (Arial 10, which readers size columns by), Tahoma in all 16,384 columns, and the sheet's
dimension exactly the chart (read from the sheet's XML: openpyxl ignores it); and the chart's print set-up:
landscape, A4 paper, one page wide, rows 2 and 3 as Print_Titles, the chart as Print_Area, centred across
the page, "Page N of M" in the footer. Prints "OK" and exits 0, or lists the problems and exits 1.

Run it with /usr/bin/python3 (Debian's python3-openpyxl).
"""

import re
import sys
import zipfile

import chart_check_cli

import openpyxl
from openpyxl.utils import get_column_letter

LIME = "FF99CC00"
GREY = "FF808080"
# Excel's stored widths for 2 and 24 characters of a 7-pixel digit: (chars * 7 + 5) / 7, in 1/256 steps.
NARROW = 694 / 256
WIDE = 6326 / 256


def expected_cells(columns):
    """Box and connector cells (1-based row, column) of a chart with that many generation columns."""
    boxes, connectors = set(), set()
    for k in range(1, columns + 1):
        col = k + 1
        count = 2 ** (columns - k)
        rows = [2 ** (k - 1) + 4 + j * 2 ** k for j in range(count)]
        boxes.update((r, col) for r in rows)
        if count > 1:
            connectors.update((r, col) for r in range(rows[0], rows[-1] + 1))
    return boxes, connectors - boxes


def edges(cell):
    b = cell.border
    return (b.left.style, b.top.style, b.bottom.style, b.right.style)


def plain_tahoma(font):
    return (font.name == "Tahoma" and font.sz == 10 and not font.b and not font.i and not font.u
            and not font.strike and (font.color is None or font.color.rgb in (None, "FF000000")
                                     or font.color.type == "theme"))


def check(path, columns, title, subtitle, texts=None):
    problems = []

    def problem(text):
        if len(problems) < 40:
            problems.append(text)

    book = openpyxl.load_workbook(path)
    ws = book.worksheets[0]

    # Heading.
    merges = sorted(str(r) for r in ws.merged_cells.ranges)
    if merges != ["B2:F2", "B3:F3"]:
        problem("merged ranges %r, expected B2:F2 and B3:F3" % merges)
    for row, text, size, colour in ((2, title, 20, GREY), (3, subtitle, 11, None)):
        cell = ws.cell(row, 2)
        if cell.value != text:
            problem("B%d holds %r, expected %r" % (row, cell.value, text))
        if cell.font.name != "Tahoma" or cell.font.sz != size:
            problem("B%d font %s %s, expected Tahoma %d" % (row, cell.font.name, cell.font.sz, size))
        if colour and (cell.font.color is None or cell.font.color.rgb != colour):
            problem("B%d colour %r, expected %s" % (row, cell.font.color and cell.font.color.rgb, colour))
        if cell.alignment.horizontal != "left":
            problem("B%d alignment %r, expected left" % (row, cell.alignment.horizontal))

    # Columns: widths as Excel stores them and Tahoma as every column's font.
    covered = set()
    for dim in ws.column_dimensions.values():
        for c in range(dim.min, dim.max + 1):
            covered.add(c)
            wide = columns + 1 if texts is not None else 6
            want = NARROW if c == 1 else WIDE if c <= max(wide, 6) else None
            if want is not None and dim.width != want:
                problem("column %s width %r, expected %r" % (get_column_letter(c), dim.width, want))
            if want is None and dim.width is not None and dim.width >= 10:
                problem("column %s width %r, expected the default" % (get_column_letter(c), dim.width))
            if not plain_tahoma(dim.font) or dim.fill.fill_type or any(edges(dim)):
                problem("column %s is formatted %s %s, expected plain Tahoma 10" %
                        (get_column_letter(c), dim.font.name, dim.font.sz))
                break
    if covered != set(range(1, 16385)):
        problem("columns %r have no format, expected Tahoma in columns A to XFD" %
                sorted(set(range(1, 16385)) - covered)[:5])
    normal = book._named_styles["Normal"].font
    if (normal.name, normal.sz) != ("Arial", 10):
        problem("Normal style font %s %s, expected Arial 10" % (normal.name, normal.sz))

    # Every cell the file stores (the others show their column's format, checked above): the heading,
    # boxes, connectors, and nothing else styled. The cells hidden under the heading's merged areas are
    # left out: openpyxl keeps no format for them.
    boxes, connectors = expected_cells(columns)
    seen_boxes, seen_connectors = set(), set()
    kinds = {}  # what each distinct format is: "box", "connector", "plain" or a problem; a chart has few

    def kind_of(cell):
        if texts is not None and cell.fill.fill_type and cell.alignment.shrink_to_fit:
            cell_kind = kind_of_plain(cell)
            return "named box" if cell_kind == "box" else cell_kind
        return kind_of_plain(cell)

    def kind_of_plain(cell):
        if cell.alignment.horizontal is not None or not plain_tahoma(cell.font):
            return "font %s %s alignment %r, expected plain Tahoma 10" % (cell.font.name, cell.font.sz,
                                                                          cell.alignment.horizontal)
        if cell.fill.fill_type:
            if (cell.fill.fill_type != "solid" or cell.fill.fgColor.rgb != LIME
                    or edges(cell) != ("thin",) * 4):
                return "fill %s %s edges %r, expected a lime box with four thin edges" % (
                    cell.fill.fill_type, cell.fill.fgColor.rgb, edges(cell))
            return "box"
        if edges(cell) == (None, None, None, "thin"):
            return "connector"
        if any(edges(cell)):
            return "edges %r, expected none or the right one only" % (edges(cell),)
        return "plain"

    for (r, c), cell in ws._cells.items():
        where = "%s%d" % (get_column_letter(c), r)
        want = (texts or {}).get(where)
        if want is not None:
            if cell.value != want:
                problem("%s holds %r, expected %r" % (where, cell.value, want))
            if not cell.alignment.shrink_to_fit:
                problem("%s does not shrink its text to fit" % where)
        elif (r, c) not in ((2, 2), (3, 2)) and cell.value is not None:
            problem("%s holds %r" % (where, cell.value))
        if r in (2, 3) and 2 <= c <= 6:
            continue
        key = tuple(cell._style)
        if key not in kinds:
            kinds[key] = kind_of(cell)
        kind = kinds[key]
        if kind == "named box" and want is None:
            problem("%s shrinks to fit without a text" % where)
        if kind in ("box", "named box"):
            seen_boxes.add((r, c))
        elif kind == "connector":
            seen_connectors.add((r, c))
        elif kind != "plain":
            problem("%s %s" % (where, kind))
    for name, seen, want in (("box", seen_boxes, boxes), ("connector", seen_connectors, connectors)):
        for r, c in sorted(want - seen)[:5]:
            problem("missing %s at %s%d" % (name, get_column_letter(c), r))
        for r, c in sorted(seen - want)[:5]:
            problem("unexpected %s at %s%d" % (name, get_column_letter(c), r))
    lowest = 2 ** columns + 3 if columns > 0 else 3
    if ws.max_row != lowest:
        problem("%d rows used, expected %d" % (ws.max_row, lowest))

    # Row heights: the sheet's 12.75 pt, the title and subtitle rows taller for their fonts.
    if ws.sheet_format.defaultRowHeight != 12.75:
        problem("default row height %r, expected 12.75" % ws.sheet_format.defaultRowHeight)
    for row, height in ((2, 25.5), (3, 14.25)):
        if ws.row_dimensions[row].height != height:
            problem("row %d height %r, expected %r" % (row, ws.row_dimensions[row].height, height))

    # Print set-up.
    setup = ws.page_setup
    fit = ws.sheet_properties.pageSetUpPr
    if setup.orientation != "landscape":
        problem("orientation %r, expected landscape" % setup.orientation)
    if not (fit and fit.fitToPage) or setup.fitToWidth not in (None, 1) or setup.fitToHeight != 0:
        problem("fit to %r x %r pages, expected 1 page wide" % (setup.fitToWidth, setup.fitToHeight))
    if ws.print_title_rows != "$2:$3":
        problem("Print_Titles %r, expected rows 2 and 3" % ws.print_title_rows)
    last = get_column_letter(max(6, columns + 1))
    area = "$B$2:$%s$%d" % (last, lowest)
    if ws.print_area != [area]:
        problem("Print_Area %r, expected %s" % (ws.print_area, area))
    if setup.paperSize != 9:
        problem("paper size %r, expected 9 (A4)" % setup.paperSize)
    with zipfile.ZipFile(path) as package:
        head = package.read("xl/worksheets/sheet1.xml")[:4096].decode("utf-8")
    dimension = re.search(r'<dimension ref="([^"]*)"', head)
    want = "B2:%s%d" % (last, lowest)
    if not dimension or dimension.group(1) != want:
        problem("dimension %r, expected %s" % (dimension and dimension.group(1), want))
    if not ws.print_options.horizontalCentered or ws.print_options.verticalCentered:
        problem("centring %r/%r, expected across the page only" %
                (ws.print_options.horizontalCentered, ws.print_options.verticalCentered))
    if ws.oddFooter.center.text != "Page &P of &N" or ws.oddFooter.left.text or ws.oddFooter.right.text:
        problem("footer %r, expected 'Page &P of &N' in the centre" % ws.oddFooter.center.text)
    if ws.oddHeader.left.text or ws.oddHeader.center.text or ws.oddHeader.right.text:
        problem("a page header %r, expected none" % ws.oddHeader.center.text)
    return problems


if __name__ == "__main__":
    sys.exit(chart_check_cli.run(check, "Check an ancestor chart saved as .xlsx."))
