"""Lists, independently of our reader, what a saved workbook says about the cells that print.

usage: xlrd_print_area_check.py FILE

One line per built-in Print_Area or Print_Titles name ("NAME SHEET FIRSTROW LASTROW FIRSTCOL LASTCOL",
0-based, the last ones exclusive, as xlrd gives them), then one line per sheet with its HEADER record: its
length and text ("HEADER SHEET LENGTH TEXT").
"""
import struct
import sys

import xlrd
from xlrd import compdoc


def headers(stream):
    offsets, pos = [], 0
    while True:
        rid, length = struct.unpack_from("<HH", stream, pos)
        if rid == 0x0085:
            offsets.append(struct.unpack_from("<I", stream, pos + 4)[0])
        pos += 4 + length
        if rid == 0x000A:
            break
    found = []
    for pos in offsets:
        header = None
        while True:
            rid, length = struct.unpack_from("<HH", stream, pos)
            if rid == 0x0014:
                header = stream[pos + 4:pos + 4 + length]
            pos += 4 + length
            if rid == 0x000A:
                break
        found.append(header)
    return found


def main():
    path = sys.argv[1]
    book = xlrd.open_workbook(path, formatting_info=True)
    for name in book.name_obj_list:
        sheet, rlo, rhi, clo, chi = name.area2d(clipped=False)
        if sheet is not book.sheet_by_index(name.scope):
            print("FAIL: %s of sheet %d points elsewhere" % (name.name, name.scope))
        print(name.name, name.scope, rlo, rhi, clo, chi)
    with open(path, "rb") as f:
        stream = compdoc.CompDoc(f.read(), logfile=sys.stderr).get_named_stream("Workbook")
    for index, body in enumerate(headers(stream)):
        if body is None:
            print("HEADER", index, "none")
            continue
        text = ""
        if len(body) >= 3:
            count, flags = struct.unpack_from("<HB", body, 0)
            raw = body[3:]
            text = raw[:count * 2].decode("utf-16-le") if flags & 1 else raw[:count].decode("latin-1")
        print("HEADER", index, len(body), text)


main()
