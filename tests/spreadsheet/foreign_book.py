"""A workbook as another program writes it (xlwt), and a check of it with an independent reader (xlrd).

usage: foreign_book.py write FILE   writes the workbook with xlwt
       foreign_book.py check FILE   checks that FILE (the same workbook saved again) still holds it

The workbook has text, a number with a built-in format, dates with a format of their own, booleans, a
formula in a date format, and column widths set without the "user-set" flag (as xlwt writes them).
"""
import datetime
import sys


def write(path):
    import xlwt
    book = xlwt.Workbook()
    sheet = book.add_sheet("Family")
    date = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    money = xlwt.easyxf(num_format_str="0.00")
    sheet.write(0, 0, "Born")
    sheet.write(0, 1, datetime.date(1952, 12, 10), date)
    sheet.write(1, 0, "Weight")
    sheet.write(1, 1, 3.25, money)
    sheet.write(2, 0, True)
    sheet.write(2, 1, False)
    sheet.write(3, 0, xlwt.Formula("B1+1"), date)
    sheet.col(0).width = 5000
    sheet.col(1).width = 3000
    book.add_sheet("Second").write(0, 0, 42)
    book.save(path)


def check(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_name("Family")

    def fmt(r, c):
        return book.format_map[book.xf_list[sheet.cell_xf_index(r, c)].format_key].format_str

    problems = []
    if sheet.cell(0, 1).ctype != xlrd.XL_CELL_DATE or fmt(0, 1) != "YYYY-MM-DD":
        problems.append("date cell %r in %r" % (sheet.cell(0, 1), fmt(0, 1)))
    if xlrd.xldate_as_tuple(sheet.cell_value(0, 1), book.datemode)[:3] != (1952, 12, 10):
        problems.append("date value %r" % sheet.cell_value(0, 1))
    if sheet.cell_value(1, 1) != 3.25 or fmt(1, 1) != "0.00":
        problems.append("number %r in %r" % (sheet.cell_value(1, 1), fmt(1, 1)))
    for c, v in ((0, 1), (1, 0)):
        if sheet.cell(2, c).ctype != xlrd.XL_CELL_BOOLEAN or sheet.cell_value(2, c) != v:
            problems.append("boolean %r" % sheet.cell(2, c))
    if fmt(3, 0) != "YYYY-MM-DD":
        problems.append("formula cell format %r" % fmt(3, 0))
    widths = (sheet.colinfo_map[0].width, sheet.colinfo_map[1].width)
    if widths != (5000, 3000):
        problems.append("widths %r" % (widths,))
    if book.sheet_by_name("Second").cell_value(0, 0) != 42:
        problems.append("second sheet")
    for p in problems:
        print("FAIL: " + p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    {"write": write, "check": check}[sys.argv[1]](sys.argv[2])
