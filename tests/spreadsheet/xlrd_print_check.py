"""Checks the print set-up of the three-sheet workbook that print_setup_test.cpp saves, independently of
our reader.

usage: xlrd_print_check.py FILE

xlrd reads the rows repeated at the top of printed pages (the built-in name Print_Titles). It does not
decode the sheets' page set-up records, so those are walked here with xlrd's compound-file layer only:
WSBOOL, HCENTER, VCENTER, HEADER, FOOTER, LEFTMARGIN and SETUP. Prints "OK" or the first problem.
"""
import struct
import sys

import xlrd
from xlrd import compdoc


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def expect(cond, message):
    if not cond:
        fail(message)


def sheet_records(stream):
    """{sheet index: {record id: body}} for the worksheets of a BIFF8 workbook stream."""
    offsets, pos = [], 0
    while True:
        rid, length = struct.unpack_from("<HH", stream, pos)
        body = stream[pos + 4:pos + 4 + length]
        if rid == 0x0085:
            offsets.append(struct.unpack_from("<I", body, 0)[0])
        pos += 4 + length
        if rid == 0x000A:
            break
    sheets = {}
    for index, pos in enumerate(offsets):
        records = {}
        while True:
            rid, length = struct.unpack_from("<HH", stream, pos)
            records[rid] = stream[pos + 4:pos + 4 + length]
            pos += 4 + length
            if rid == 0x000A:
                break
        sheets[index] = records
    return sheets


def text(body):
    count, flags = struct.unpack_from("<HB", body, 0)
    raw = body[3:]
    return raw[:count * 2].decode("utf-16-le") if flags & 1 else raw[:count].decode("latin-1")


def main():
    path = sys.argv[1]
    book = xlrd.open_workbook(path, formatting_info=True)
    expect(book.nsheets == 3, "sheets %d" % book.nsheets)

    titles = {}
    for name in book.name_obj_list:
        if name.name == "Print_Area":
            continue
        expect(name.builtin == 1 and name.name == "Print_Titles", "unexpected name %r" % name.name)
        sheet, rlo, rhi, clo, chi = name.area2d(clipped=False)
        expect(sheet is book.sheet_by_index(name.scope), "name of sheet %d points elsewhere" % name.scope)
        titles[name.scope] = (rlo, rhi, clo, chi)
    expect(titles == {0: (1, 3, 0, 256), 2: (0, 65536, 0, 256)}, "print titles %r" % titles)

    with open(path, "rb") as f:
        stream = compdoc.CompDoc(f.read(), logfile=sys.stderr).get_named_stream("Workbook")
    sheets = sheet_records(stream)

    first = sheets[0]
    expect(struct.unpack("<H", first[0x0081])[0] & 0x0100, "first sheet: fit to pages")
    expect(struct.unpack("<H", first[0x0083])[0] == 1, "first sheet: centred across")
    expect(struct.unpack("<H", first[0x0084])[0] == 0, "first sheet: not centred down")
    expect(text(first[0x0015]) == "&CPage &P of &N", "first sheet: footer %r" % text(first[0x0015]))
    expect(first[0x0014] == b"\x00\x00\x00", "first sheet: no header, as an empty string")
    paper, scale, _, fit_w, fit_h, flags = struct.unpack_from("<6H", first[0x00A1], 0)
    expect((paper, fit_w, fit_h) == (9, 1, 0), "first sheet: A4, 1 page wide, as tall as needed")
    expect(flags & 0x46 == 0, "first sheet: landscape with printer data (flags 0x%04x)" % flags)

    plain = sheets[1]
    expect(not struct.unpack("<H", plain[0x0081])[0] & 0x0100, "second sheet: not fitted")
    expect(struct.unpack("<H", plain[0x00A1][10:12])[0] & 0x04, "second sheet: default printer data")

    third = sheets[2]
    expect(struct.unpack("<H", third[0x00A1][2:4])[0] == 55, "third sheet: scale 55")
    expect(struct.unpack("<H", third[0x00A1][10:12])[0] & 0x02, "third sheet: portrait")
    expect(struct.unpack("<H", third[0x0084])[0] == 1, "third sheet: centred down")
    expect(text(third[0x0014]) == u"&L\u00c4nn &R&D", "third sheet: header %r" % text(third[0x0014]))
    expect(struct.unpack("<d", third[0x0026])[0] == 0.25, "third sheet: left margin")
    expect(struct.unpack_from("<d", third[0x00A1], 24)[0] == 0.1, "third sheet: footer margin")
    print("OK")


main()
