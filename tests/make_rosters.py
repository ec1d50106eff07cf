#!/usr/bin/python3
"""Makes the .xlsx, .ods and .csv rosters of the import tests: the rows of
rows.xls (see make_workbooks.py) in every other format and encoding, and a
few broken files.

    /usr/bin/python3 tests/make_rosters.py              # tests/workbooks/roster.*
    /usr/bin/python3 tests/make_rosters.py large OUT.xlsx|OUT.csv ROWS [SEED]

Needs nothing beyond Python itself: the zip packages are written by hand, so
that formula results and date formats are exactly as a spreadsheet saves them.
The files it makes are kept in the repository.
"""

import datetime
import io
import os
import random
import re
import sys
import zipfile
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "workbooks")
TITLES = ["姓名", "年级", "班级"]


class Formula:
    """A formula with the result saved beside it."""

    def __init__(self, xlsx, ods, result):
        self.xlsx, self.ods, self.result = xlsx, ods, result


# The rows of rows.xls; two formulas stand for values that the file keeps as
# their saved results.
ROWS = [
    TITLES,
    ["  张 三  ", " 高2013级 ", "1班 "],
    [Formula('"李"&"四"', 'of:="李"&"四"', "李四"), Formula("2000+13", "of:=2000+13", 2013), 3],
    ["王五", "", None],
    ["   ", "高2014级", 2.5],
    ["'; drop table student; --", "=1+1", 'say "hi"'],
    ["😀名字", 20230101, 12345678901.0],
    ["长" * 1000, datetime.date(2024, 9, 1), Formula('"1"&"班"', 'of:="1"&"班"', "1班")],
    [None, "孤行", "1班"],
    ["不应导入", "高2013级", "1班"],
]


def column(c):
    return "ABCDEFGHIJ"[c]


def number(v):
    return repr(float(v)) if isinstance(v, float) else str(v)


def xlsx_cell(ref, v, strings):
    if isinstance(v, Formula):
        if isinstance(v.result, str):
            return '<c r="%s" t="str"><f>%s</f><v>%s</v></c>' % (
                ref, escape(v.xlsx), escape(v.result))
        return '<c r="%s"><f>%s</f><v>%s</v></c>' % (ref, escape(v.xlsx), number(v.result))
    if isinstance(v, datetime.date):
        serial = (v - datetime.date(1899, 12, 30)).days
        return '<c r="%s" s="1"><v>%d</v></c>' % (ref, serial)
    if isinstance(v, (int, float)):
        return '<c r="%s"><v>%s</v></c>' % (ref, number(v))
    if v not in strings:
        strings[v] = len(strings)
    return '<c r="%s" t="s"><v>%d</v></c>' % (ref, strings[v])


def xlsx_sheet(rows, strings):
    out = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
           '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
           '<sheetData>']
    for r, row in enumerate(rows, 1):
        # Excel keeps no empty texts: such a cell is not written at all.
        cells = "".join(xlsx_cell("%s%d" % (column(c), r), v, strings)
                        for c, v in enumerate(row) if v not in (None, ""))
        out.append('<row r="%d">%s</row>' % (r, cells))
    out.append("</sheetData></worksheet>")
    return "".join(out)


def xlsx(rows, second=None):
    """An .xlsx package, its texts shared as Excel writes them; second, when
    given, is a second sheet's rows."""
    sheets = [rows] + ([second] if second else [])
    types = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
             '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
             '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
             '<Default Extension="xml" ContentType="application/xml"/>'
             '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
             '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
             '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
             + "".join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' % (i + 1)
                       for i in range(len(sheets)))
             + "</Types>")
    rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
            "</Relationships>")
    workbook = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                '<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
                'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>'
                + "".join('<sheet name="表%d" sheetId="%d" r:id="rId%d"/>' % (i + 1, i + 1, i + 1)
                          for i in range(len(sheets)))
                + "</sheets></workbook>")
    book_rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                 '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                 + "".join('<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, i + 1)
                           for i in range(len(sheets)))
                 + '<Relationship Id="rId98" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>'
                 '<Relationship Id="rId99" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>'
                 "</Relationships>")
    # Cell format 1 shows a date the Chinese way, by a format of its own.
    styles = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
              '<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
              '<numFmts count="1"><numFmt numFmtId="176" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>'
              '<fonts count="1"><font><sz val="11"/><name val="等线"/></font></fonts>'
              '<fills count="1"><fill><patternFill patternType="none"/></fill></fills>'
              '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>'
              '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
              '<cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
              '<xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>'
              "</styleSheet>")
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", types)
        z.writestr("_rels/.rels", rels)
        z.writestr("xl/workbook.xml", workbook)
        z.writestr("xl/_rels/workbook.xml.rels", book_rels)
        z.writestr("xl/styles.xml", styles)
        strings = {}
        for i, s in enumerate(sheets):
            z.writestr("xl/worksheets/sheet%d.xml" % (i + 1), xlsx_sheet(s, strings))
        z.writestr("xl/sharedStrings.xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                   + "".join('<si><t xml:space="preserve">%s</t></si>' % escape(t) for t in strings)
                   + "</sst>")
    return out.getvalue()


def ods_cell(v):
    if v is None:
        return "<table:table-cell/>"
    if isinstance(v, Formula) and isinstance(v.result, str):
        # liborcus 0.17 reads no text results of .ods formulas: the text itself.
        v = v.result
    if isinstance(v, Formula):
        return ('<table:table-cell table:formula="%s" office:value-type="float" '
                'office:value="%s"><text:p>%s</text:p></table:table-cell>'
                % (escape(v.ods, {'"': "&quot;"}), number(v.result), number(v.result)))
    if isinstance(v, datetime.date):
        return ('<table:table-cell office:value-type="date" office:date-value="%s">'
                "<text:p>%s</text:p></table:table-cell>" % (v.isoformat(), v.isoformat()))
    if isinstance(v, (int, float)):
        return ('<table:table-cell office:value-type="float" office:value="%s">'
                "<text:p>%s</text:p></table:table-cell>" % (number(v), number(v)))
    if v == "":
        return "<table:table-cell/>"
    # Blanks at either end and runs of them are written as text:s, as office
    # programs do, except in a text of blanks alone: liborcus 0.17 drops
    # text:s, and the import would end at that row.
    text = ""
    for m in re.finditer(r" +|[^ ]+", v):
        run = m.group()
        if run[0] != " ":
            text += escape(run)
        elif (len(run) == 1 and 0 < m.start() and m.end() < len(v)) or run == v:
            text += run
        else:
            text += '<text:s text:c="%d"/>' % len(run)
    return ('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
            "</table:table-cell>" % text)


def ods(rows, content=True):
    tables = ('<table:table table:name="学生">'
              '<table:table-column table:number-columns-repeated="3"/>'
              + "".join("<table:table-row>%s</table:table-row>" % "".join(ods_cell(v) for v in row)
                        for row in rows)
              # As office programs end a sheet: a run of empty rows.
              + '<table:table-row table:number-rows-repeated="1048000"><table:table-cell '
              'table:number-columns-repeated="1024"/></table:table-row>'
              '</table:table><table:table table:name="其他"><table:table-row>'
              '<table:table-cell office:value-type="string"><text:p>别处</text:p></table:table-cell>'
              "</table:table-row></table:table>")
    body = ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document-content '
            'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
            'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
            'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
            'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2">'
            "<office:body><office:spreadsheet>%s</office:spreadsheet></office:body>"
            "</office:document-content>" % tables)
    manifest = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>'
                + ('<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>' if content else "")
                + "</manifest:manifest>")
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        z.writestr("META-INF/manifest.xml", manifest, zipfile.ZIP_DEFLATED)
        if content:
            z.writestr("content.xml", body, zipfile.ZIP_DEFLATED)
    return out.getvalue()


def csv_field(v, sep):
    if v is None:
        return ""
    if isinstance(v, Formula):
        v = v.result
    if isinstance(v, datetime.date):
        return v.isoformat()
    if isinstance(v, float):
        return ("%d" % v) if v.is_integer() else repr(v)
    v = str(v)
    if any(ch in v for ch in (sep, '"', "\n", "\r")):
        return '"' + v.replace('"', '""') + '"'
    return v


def csv(rows, sep=",", newline="\r\n"):
    return newline.join(sep.join(csv_field(v, sep) for v in row) for row in rows) + newline


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def rosters():
    os.makedirs(OUT, exist_ok=True)
    write("roster.xlsx", xlsx(ROWS, [TITLES, ["别处", "高2099级", "9班"]]))
    write("roster.ods", ods(ROWS))
    write("roster_utf8.csv", csv(ROWS).encode("utf-8"))
    write("roster_utf8_bom.csv", csv(ROWS, ";", "\n").encode("utf-8-sig"))
    write("roster_gb18030.csv", csv(ROWS).encode("gb18030"))
    write("roster_utf16.csv", csv(ROWS, "\t").encode("utf-16"))  # with its mark, as Excel's "Unicode text"
    whole = xlsx(ROWS)
    write("truncated.xlsx", whole[: len(whole) // 2])
    write("no_content.ods", ods(ROWS, content=False))
    # Valid as none of UTF-8, UTF-16 (no mark) or GB18030.
    write("bad_encoding.csv", "姓名,年级,班级\n".encode("utf-8") + b"\x80\xff,1,2\n")


def large(path, count, seed=1):
    """count students in 1,000 classes of 20 grades, as .xlsx or .csv by
    the name's ending: the same rows make_workbooks.py writes as .xls."""
    rnd = random.Random(seed)
    family = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗"
    given = "一子梓浩宇轩涵欣怡雨晨思佳嘉俊明博文静婷"
    rows = [TITLES]
    for _ in range(count):
        k = rnd.randrange(1000)
        rows.append([rnd.choice(family) + rnd.choice(given) + rnd.choice(given),
                     "高%d级" % (2000 + k // 50), "%d班" % (k % 50 + 1)])
    with open(path, "wb") as f:
        f.write(xlsx(rows) if path.endswith(".xlsx") else csv(rows).encode("utf-8"))


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "large":
        large(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    else:
        rosters()
