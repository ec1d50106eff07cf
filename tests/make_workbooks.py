#!/usr/bin/python3
"""Makes the workbooks of the import tests and the example workbook.

    /usr/bin/python3 tests/make_workbooks.py            # tests/workbooks/*.xls, examples/students.xls
    /usr/bin/python3 tests/make_workbooks.py large OUT ROWS [SEED]

Needs Debian's python3-xlwt. The files it makes are kept in the repository;
run it again only after changing it.
"""

import datetime
import io
import os
import random
import struct
import sys
import zipfile

import xlwt
from xlwt import CompoundDoc

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "workbooks")
EXAMPLES = os.path.join(os.path.dirname(HERE), "examples")
TITLES = ["姓名", "年级", "班级"]


def sheet_of(rows, styles=None):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("学生")
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, datetime.date):
                sheet.write(r, c, value, xlwt.easyxf(num_format_str="YYYY-MM-DD"))
            else:
                sheet.write(r, c, value)
    return book


def save(book, name, folder=OUT):
    book.save(os.path.join(folder, name))


def biff_bytes(book):
    """The finished file as bytes."""
    out = io.BytesIO()
    book.save(out)
    return out.getvalue()


def encrypted(book):
    """The workbook with an RC4 FILEPASS record after its first BOF, as Excel
    writes a password-protected file (the cells themselves stay readable to
    a reader that ignores the record)."""
    data = bytearray(book.get_biff_data())
    bof_len = struct.unpack_from("<H", data, 2)[0]
    at = 4 + bof_len
    body = struct.pack("<HHH", 1, 1, 1) + bytes(range(16)) + bytes(16) + bytes(16)
    record = struct.pack("<HH", 0x002F, len(body)) + body
    data[at:at] = record
    # The sheets' stream offsets in BOUNDSHEET records move by the insertion.
    pos = at + len(record)
    while pos + 4 <= len(data):
        rid, length = struct.unpack_from("<HH", data, pos)
        if rid == 0x0085:
            offset = struct.unpack_from("<I", data, pos + 4)[0]
            struct.pack_into("<I", data, pos + 4, offset + len(record))
        if rid == 0x000A:  # EOF of the globals
            break
        pos += 4 + length
    out = io.BytesIO()
    CompoundDoc.XlsDoc().save(out, bytes(data))
    return out.getvalue()


def encrypted_package():
    """A compound file as Excel writes a password-protected .xlsx: no
    Workbook stream, but one named EncryptedPackage (its bytes do not matter
    here, since no reader can decrypt them without the password)."""
    out = io.BytesIO()
    CompoundDoc.XlsDoc().save(out, bytes(range(256)) * 32)
    data = bytearray(out.getvalue())
    at = data.index("Workbook\x00".encode("utf-16-le"))
    name = "EncryptedPackage\x00".encode("utf-16-le")
    data[at:at + 64] = name + bytes(64 - len(name))
    struct.pack_into("<H", data, at + 64, len(name))
    return bytes(data)


def minimal_xlsx():
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types/>')
        z.writestr("xl/workbook.xml", '<?xml version="1.0"?><workbook/>')
        z.writestr("xl/worksheets/sheet1.xml", '<?xml version="1.0"?><worksheet>'
                   + "<row/>" * 200 + "</worksheet>")
    return out.getvalue()


def test_workbooks():
    os.makedirs(OUT, exist_ok=True)
    rows = sheet_of([
        TITLES,
        ["  张 三  ", " 高2013级 ", "1班 "],
        ["李四", 2013, 3],
        ["王五", "", None],
        ["   ", "高2014级", 2.5],
        ["'; drop table student; --", "=1+1", 'say "hi"'],
        ["😀名字", 20230101, 12345678901.0],
        ["长" * 1000, datetime.date(2024, 9, 1), "1班"],
        [None, "孤行", "1班"],
        ["不应导入", "高2013级", "1班"],
    ])
    save(rows, "rows.xls")
    save(sheet_of([TITLES]), "header_only.xls")
    save(sheet_of([TITLES, ["甲", "高2013级", "1班"], ["乙" * 1001, "高2013级", "1班"],
                   ["丙", "高2013级", "1班"]]), "too_long.xls")

    whole = biff_bytes(rows)
    with open(os.path.join(OUT, "truncated.xls"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    with open(os.path.join(OUT, "empty.xls"), "wb"):
        pass
    with open(os.path.join(OUT, "random.xls"), "wb") as f:
        f.write(random.Random(7).randbytes(4096))
    with open(os.path.join(OUT, "password.xlsx"), "wb") as f:
        f.write(encrypted_package())
    with open(os.path.join(OUT, "renamed_xlsx.xls"), "wb") as f:
        f.write(minimal_xlsx())
    with open(os.path.join(OUT, "password.xls"), "wb") as f:
        f.write(encrypted(sheet_of([TITLES, ["甲", "高2013级", "1班"]])))


def chart_first(book_rows):
    """A workbook whose first sheet is a chart sheet (its BOUNDSHEET says so),
    followed by a worksheet of students."""
    book = xlwt.Workbook(encoding="utf-8")
    book.add_sheet("图表").write(0, 0, "图")
    sheet = book.add_sheet("学生")
    for r, row in enumerate(book_rows):
        for c, value in enumerate(row):
            sheet.write(r, c, value)
    data = bytearray(book.get_biff_data())
    pos = 0
    while pos + 4 <= len(data):
        rid, length = struct.unpack_from("<HH", data, pos)
        if rid == 0x0085:
            data[pos + 4 + 5] = 0x02  # sheet type: chart
            break
        pos += 4 + length
    out = io.BytesIO()
    CompoundDoc.XlsDoc().save(out, bytes(data))
    return out.getvalue()


def hostile_workbooks():
    """Workbooks that try the reader: odd characters, a cell as long as a workbook allows (32,767 characters), a chart
    sheet first, a text file in disguise."""
    save(sheet_of([TITLES, ["甲\x00乙", "高\t一", "1\n班"], ["\t丙 \n", "高一", "1班"],
                   ["😀👩‍🏫𝌆", "\u202e高一", "1班"]]), "odd_characters.xls")
    save(sheet_of([TITLES, ["甲", "高一", "1班"], ["长" * 32767, "高一", "1班"]]), "huge_cell.xls")
    # The same NULs as nul.xlsx and nul.csv (make_rosters.py).
    save(sheet_of([TITLES, ["甲\x00乙", "高一", "1班"], ["丙", "高\x00二", "2班"]]), "nul.xls")
    with open(os.path.join(OUT, "chart_first.xls"), "wb") as f:
        f.write(chart_first([TITLES, ["甲", "高一", "1班"]]))
    with open(os.path.join(OUT, "renamed_csv.xls"), "wb") as f:
        f.write("姓名,年级,班级\n张三,高一,1班\n".encode("utf-8"))


def example():
    """Made-up students of two grades and three classes."""
    names = ["林晓雨", "周子航", "陈思远", "王雨桐", "李浩然", "张一诺", "刘梓涵", "杨俊熙",
             "赵可欣", "黄嘉怡", "吴宇轩", "徐若曦", "孙铭泽", "马欣怡", "朱逸凡", "胡雅婷"]
    classes = [("高2013级", "1班"), ("高2013级", "2班"), ("高2014级", "1班"),
               ("高2014级", "3班")]
    rows = [TITLES] + [[n, *classes[i % len(classes)]] for i, n in enumerate(names)]
    os.makedirs(EXAMPLES, exist_ok=True)
    save(sheet_of(rows), "students.xls", EXAMPLES)


def large(path, count, seed=1):
    """count students (at most 65,535: an .xls holds 65,536 rows) in 1,000
    classes of 20 grades."""
    rnd = random.Random(seed)
    family = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗"
    given = "一子梓浩宇轩涵欣怡雨晨思佳嘉俊明博文静婷"
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("学生")
    for c, t in enumerate(TITLES):
        sheet.write(0, c, t)
    for r in range(1, count + 1):
        k = rnd.randrange(1000)
        sheet.write(r, 0, rnd.choice(family) + rnd.choice(given) + rnd.choice(given))
        sheet.write(r, 1, "高%d级" % (2000 + k // 50))
        sheet.write(r, 2, "%d班" % (k % 50 + 1))
    book.save(path)


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "large":
        large(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    else:
        test_workbooks()
        hostile_workbooks()
        example()
