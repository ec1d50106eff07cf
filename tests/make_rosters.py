#!/usr/bin/python3
"""Makes the .xlsx, .ods and .csv rosters of the import tests: the rows of
rows.xls (see make_workbooks.py) in every other format, encoding and writer,
the cells each writer writes in its own way, and broken and hostile files.

    /usr/bin/python3 tests/make_rosters.py              # tests/workbooks/*
    /usr/bin/python3 tests/make_rosters.py large OUT.xlsx|OUT.ods|OUT.csv ROWS [SEED]
    /usr/bin/python3 tests/make_rosters.py bigpart OUT.xlsx MiB

The hand-made zip packages need nothing beyond Python itself, so that every
cell is exactly as the writer it stands for writes it. The rosters written
by openpyxl and XlsxWriter need python3-openpyxl and python3-xlsxwriter; the
ones LibreOffice writes are made by make_lo_workbooks.py. All the files it
makes are kept in the repository (their zips with fixed dates, so that the
same script makes the same bytes); "large" and "bigpart" make files at test
and benchmark time and need Python alone.
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


def xlsx_cell(ref, v, strings, texts, dates):
    """One cell. texts: "shared" (Excel), "inline" (openpyxl and streaming
    writers) or "str" (SheetJS: a formula's text result without a formula).
    dates: "serial" (a number in a date format) or "iso" (t="d")."""
    if isinstance(v, Formula):
        if isinstance(v.result, str):
            return '<c r="%s" t="str"><f>%s</f><v>%s</v></c>' % (
                ref, escape(v.xlsx), escape(v.result))
        return '<c r="%s"><f>%s</f><v>%s</v></c>' % (ref, escape(v.xlsx), number(v.result))
    if isinstance(v, datetime.date):
        if dates == "iso":
            return '<c r="%s" t="d" s="1"><v>%sT00:00:00Z</v></c>' % (ref, v.isoformat())
        serial = (v - datetime.date(1899, 12, 30)).days
        return '<c r="%s" s="1"><v>%d</v></c>' % (ref, serial)
    if isinstance(v, (int, float)):
        return '<c r="%s"><v>%s</v></c>' % (ref, number(v))
    if texts == "str":
        return '<c r="%s" t="str"><v>%s</v></c>' % (ref, escape(v))
    if texts == "inline":
        return '<c r="%s" t="inlineStr"><is><t xml:space="preserve">%s</t></is></c>' % (ref, escape(v))
    if v not in strings:
        strings[v] = len(strings)
    return '<c r="%s" t="s"><v>%d</v></c>' % (ref, strings[v])


def xlsx_sheet(rows, strings, texts="shared", dates="serial"):
    out = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
           '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
           '<dimension ref="A1:C%d"/><sheetData>' % len(rows)]
    for r, row in enumerate(rows, 1):
        # Excel keeps no empty texts: such a cell is not written at all.
        cells = "".join(xlsx_cell("%s%d" % (column(c), r), v, strings, texts, dates)
                        for c, v in enumerate(row) if v not in (None, ""))
        out.append('<row r="%d">%s</row>' % (r, cells))
    out.append("</sheetData></worksheet>")
    return "".join(out)


def put(z, name, data, compress=zipfile.ZIP_DEFLATED):
    """A part with a fixed date, so that the same content makes the same bytes."""
    info = zipfile.ZipInfo(name, date_time=(2024, 9, 1, 0, 0, 0))
    info.compress_type = compress
    z.writestr(info, data)


def xlsx(rows, second=None, texts="shared", dates="serial", sheet=None, strings=None):
    """An .xlsx package, its texts shared as Excel writes them unless texts
    says otherwise; second, when given, is a second sheet's rows. sheet, when
    given, is the first sheet's XML as it stands, strings the shared strings
    it uses."""
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
    with zipfile.ZipFile(out, "w") as z:
        put(z, "[Content_Types].xml", types)
        put(z, "_rels/.rels", rels)
        put(z, "xl/workbook.xml", workbook)
        put(z, "xl/_rels/workbook.xml.rels", book_rels)
        put(z, "xl/styles.xml", styles)
        strings = dict((t, i) for i, t in enumerate(strings or []))
        for i, s in enumerate(sheets):
            part = sheet if i == 0 and sheet is not None else xlsx_sheet(s, strings, texts, dates)
            put(z, "xl/worksheets/sheet%d.xml" % (i + 1), part)
        put(z, "xl/sharedStrings.xml",
            '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            + "".join('<si><t xml:space="preserve">%s</t></si>' % escape(t) for t in strings)
            + "</sst>")
    return out.getvalue()


def ods_text(v):
    """A text as LibreOffice writes it: each run of blanks after the first
    blank as <text:s/>, every blank of a run at a paragraph's start too."""
    text = ""
    for m in re.finditer(r" +|[^ ]+", v):
        run = m.group()
        if run[0] != " ":
            text += escape(run)
        elif m.start() == 0:
            text += '<text:s text:c="%d"/>' % len(run) if len(run) > 1 else "<text:s/>"
        else:
            text += " " + ('<text:s text:c="%d"/>' % (len(run) - 1) if len(run) > 2
                           else "<text:s/>" if len(run) == 2 else "")
    return text


def ods_cell(v):
    if v is None or v == "":
        return "<table:table-cell/>"
    if isinstance(v, Formula):
        if isinstance(v.result, str):
            return ('<table:table-cell table:formula="%s" office:value-type="string" '
                    'office:string-value="%s" calcext:value-type="string"><text:p>%s</text:p>'
                    "</table:table-cell>" % (escape(v.ods, {'"': "&quot;"}),
                                             escape(v.result, {'"': "&quot;"}), ods_text(v.result)))
        return ('<table:table-cell table:formula="%s" office:value-type="float" '
                'office:value="%s"><text:p>%s</text:p></table:table-cell>'
                % (escape(v.ods, {'"': "&quot;"}), number(v.result), number(v.result)))
    if isinstance(v, datetime.date):
        return ('<table:table-cell office:value-type="date" office:date-value="%s">'
                "<text:p>%s</text:p></table:table-cell>" % (v.isoformat(), v.isoformat()))
    if isinstance(v, (int, float)):
        return ('<table:table-cell office:value-type="float" office:value="%s">'
                "<text:p>%s</text:p></table:table-cell>" % (number(v), number(v)))
    return ('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
            "</table:table-cell>" % ods_text(v))


def ods_rows(rows):
    """Rows as <table:table-row>; a row given as (count, row) is written once,
    repeated count times."""
    out = []
    for row in rows:
        count = 1
        if isinstance(row, tuple):
            count, row = row
        repeat = ' table:number-rows-repeated="%d"' % count if count > 1 else ""
        out.append("<table:table-row%s>%s</table:table-row>"
                   % (repeat, "".join(ods_cell(v) for v in row)))
    return "".join(out)


def ods(rows, content=True, raw=None):
    """An .ods package of the rows in its first table; raw, when given, is
    its content.xml as it stands."""
    tables = ('<table:table table:name="学生">'
              '<table:table-column table:number-columns-repeated="3"/>'
              + ods_rows(rows)
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
            'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" '
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
        put(z, "mimetype", "application/vnd.oasis.opendocument.spreadsheet", zipfile.ZIP_STORED)
        put(z, "META-INF/manifest.xml", manifest)
        if content:
            put(z, "content.xml", body if raw is None else raw)
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


def fixed_dates(data):
    """A zip's parts as they are, dated 2024-09-01: a writer's own zip
    stamps the time it ran."""
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(data)) as source, zipfile.ZipFile(out, "w") as z:
        for info in source.infolist():
            put(z, info.filename, source.read(info), info.compress_type)
    return out.getvalue()


def plain(v):
    """A cell's value as a writer without formula results stores it."""
    return v.result if isinstance(v, Formula) else v


def by_openpyxl(rows):
    """As openpyxl (and pandas' to_excel) writes: every text inline, values
    only, for openpyxl cannot save a formula's result."""
    import openpyxl
    book = openpyxl.Workbook()
    book.properties.created = book.properties.modified = datetime.datetime(2024, 9, 1)
    sheet = book.active
    sheet.title = "学生"
    for r, row in enumerate(rows, 1):
        for c, v in enumerate(row, 1):
            v = plain(v)
            if v is None:
                continue
            cell = sheet.cell(r, c, v)
            if isinstance(v, str):
                cell.data_type = "s"  # "=1+1" is a text here, not a formula
            elif isinstance(v, datetime.date):
                cell.number_format = "yyyy-mm-dd"
    book.create_sheet("其他").append(["别处", "高2099级", "9班"])
    out = io.BytesIO()
    book.save(out)
    return fixed_dates(out.getvalue())


def by_xlsxwriter(rows, constant_memory=False, blank_formula_at=None):
    """As XlsxWriter (python3-xlsxwriter) writes, formulas with their results;
    in constant-memory mode every text is inline, as libxlsxwriter's, Apache
    POI's and EasyExcel's streaming writers do. blank_formula_at: the (row,
    column) of a formula given no result, saved as <v></v>."""
    import tempfile
    import xlsxwriter
    # Constant-memory mode writes through a file of its own, never in memory.
    folder = tempfile.TemporaryDirectory()
    path = os.path.join(folder.name, "book.xlsx")
    book = xlsxwriter.Workbook(path, {"constant_memory": constant_memory})
    book.set_properties({"created": datetime.datetime(2024, 9, 1)})
    date = book.add_format({"num_format": "yyyy\"年\"m\"月\"d\"日\""})
    sheet = book.add_worksheet("学生")
    for r, row in enumerate(rows):
        for c, v in enumerate(row):
            if (r, c) == blank_formula_at:
                sheet.write_formula(r, c, '=""&"空"', None, "")
            elif isinstance(v, Formula):
                sheet.write_formula(r, c, "=" + v.xlsx, None, v.result)
            elif isinstance(v, datetime.date):
                sheet.write_datetime(r, c, v, date)
            elif isinstance(v, (int, float)):
                sheet.write_number(r, c, v)
            elif v:
                sheet.write_string(r, c, v)
    book.add_worksheet("其他").write_row(0, 0, ["别处", "高2099级", "9班"])
    book.close()
    with open(path, "rb") as f, folder:
        return fixed_dates(f.read())


def sheet_xml(body, head=""):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n%s'
            '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            "%s</worksheet>" % (head, body))


def inline(ref, text):
    return '<c r="%s" t="inlineStr"><is><t>%s</t></is></c>' % (ref, text)


def student_rows(first, last, extra=""):
    """Rows first to last of students 甲1, 甲2, ...; extra ends the last row."""
    return "".join('<row r="%d">%s%s%s</row>' % (
        r, inline("A%d" % r, "甲%d" % r), inline("B%d" % r, "高一"),
        extra if r == last else "") for r in range(first, last + 1))


TITLE_ROW = '<row r="1">%s%s%s</row>' % (inline("A1", "姓名"), inline("B1", "年级"), inline("C1", "班级"))


def hostile():
    """Workbooks made to try the reader: each must fail the import."""
    laughs = ('<!DOCTYPE worksheet [<!ENTITY a0 "哈哈哈哈哈哈哈哈哈哈">'
              + "".join('<!ENTITY a%d "%s">' % (i, ("&a%d;" % (i - 1)) * 10) for i in range(1, 10))
              + "]>")
    write("billion_laughs.xlsx", xlsx([], sheet=sheet_xml(
        "<sheetData>%s<row r=\"2\">%s</row></sheetData>" % (TITLE_ROW, inline("A2", "&a9;")),
        laughs)))
    write("deep_nesting.xlsx", xlsx([], sheet=sheet_xml(
        "<sheetData>%s<row r=\"2\"><c r=\"A2\">%s</c></row></sheetData>"
        % (TITLE_ROW, "<x>" * 5000 + "</x>" * 5000))))
    write("dimension_past_end.xlsx", xlsx([], sheet=sheet_xml(
        '<dimension ref="A1:C2000000"/><sheetData>%s%s</sheetData>'
        % (TITLE_ROW, student_rows(2, 3)))))
    write("row_past_end.xlsx", xlsx([], sheet=sheet_xml(
        "<sheetData>%s%s%s</sheetData>" % (TITLE_ROW, student_rows(2, 3),
                                            student_rows(1048577, 1048577)))))
    # 300 MB packed to about 300 KB: past 200:1 after the rows.
    bomb = sheet_xml("<sheetData>%s%s%s</sheetData>" % (
        TITLE_ROW, student_rows(2, 3), ("<x>" + "炸" * 300000 + "</x>") * 330))
    write("zip_bomb.xlsx", xlsx([], sheet=bomb))
    # 400 KB of comments between the rows: passed over, held nowhere.
    write("comments.xlsx", xlsx([], sheet=sheet_xml("<sheetData>%s%s%s</sheetData>" % (
        TITLE_ROW, student_rows(2, 3), ("<!--" + "x" * 1000 + "-->") * 400))))
    # A non-empty row that claims to stand 2,000,000 times.
    write("repeated_past_end.ods", ods([TITLES, (2000000, ["甲", "高一", "1班"])]))
    # Past the last row after a sheet's worth of empty rows.
    write("row_past_end.ods", ods([TITLES, ["甲", "高一", "1班"], (1048574, [None]),
                                   ["乙", "高一", "1班"]]))


def rosters():
    os.makedirs(OUT, exist_ok=True)
    second = [TITLES, ["别处", "高2099级", "9班"]]
    write("roster.xlsx", xlsx(ROWS, second))
    write("roster.ods", ods(ROWS))
    write("roster_utf8.csv", csv(ROWS).encode("utf-8"))
    write("roster_utf8_bom.csv", csv(ROWS, ";", "\n").encode("utf-8-sig"))
    write("roster_gb18030.csv", csv(ROWS).encode("gb18030"))
    write("roster_utf16.csv", csv(ROWS, "\t").encode("utf-16"))  # with its mark, as Excel's "Unicode text"
    # The same rows as each writer writes them.
    write("roster_openpyxl.xlsx", by_openpyxl(ROWS))
    write("roster_xlsxwriter.xlsx", by_xlsxwriter(ROWS))
    write("roster_xlsxwriter_cm.xlsx", by_xlsxwriter(ROWS, constant_memory=True))
    write("roster_str.xlsx", xlsx(ROWS, second, texts="str", dates="iso"))
    whole = xlsx(ROWS)
    write("truncated.xlsx", whole[: len(whole) // 2])
    write("no_content.ods", ods(ROWS, content=False))
    # Valid as none of UTF-8, UTF-16 (no mark) or GB18030.
    write("bad_encoding.csv", "姓名,年级,班级\n".encode("utf-8") + b"\x80\xff,1,2\n")

    # Four students, then a formula saved without its result in column A:
    # the rows end there.
    students = [TITLES] + [["学生%d" % i, "高一", "1班"] for i in range(1, 7)]
    write("formula_no_value.xlsx", by_xlsxwriter(students, blank_formula_at=(5, 0)))
    # Rows an .ods writes once with a repeat count.
    write("repeated_rows.ods", ods([TITLES, (3, ["重复", "高一", "1班"]), ["其后", "高一", "2班"],
                                    (2, ["", "高一", "3班"]), ["不应导入", "高一", "1班"]]))
    # A cell the reader cannot read: a type it does not know, a shared string
    # that is not there.
    body = "<sheetData>%s%s<row r=\"3\">%s</row></sheetData>"
    write("unknown_cell_type.xlsx", xlsx([], sheet=sheet_xml(
        body % (TITLE_ROW, student_rows(2, 2), '<c r="A3" t="q"><v>1</v></c>'))))
    write("missing_shared_string.xlsx", xlsx([], sheet=sheet_xml(
        body % (TITLE_ROW, student_rows(2, 2), '<c r="A3" t="s"><v>7</v></c>')), strings=["甲"]))
    # A NUL in a cell, as each format writes it: Excel escapes it as _x0000_.
    write("nul.xlsx", xlsx([], sheet=sheet_xml(
        '<sheetData>%s<row r="2"><c r="A2" t="s"><v>0</v></c>%s%s</row>'
        '<row r="3">%s%s%s</row></sheetData>' % (
            TITLE_ROW, inline("B2", "高一"), inline("C2", "1班"),
            inline("A3", "丙_x0000_丁"), inline("B3", "高_x0000_二"), inline("C3", "2班"))),
        strings=["甲_x0000_乙"]))
    write("nul.csv", "姓名,年级,班级\r\n甲\0乙,高一,1班\r\n丙,高\0二,2班\r\n".encode("utf-8"))
    # XML holds no NUL at all, not even as &#0;: such an .ods is broken.
    write("nul.ods", ods([], raw=(
        '<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content '
        'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body>'
        "<office:spreadsheet><table:table><table:table-row><table:table-cell "
        'office:value-type="string"><text:p>甲&#0;乙</text:p></table:table-cell>'
        "</table:table-row></table:table></office:spreadsheet></office:body>"
        "</office:document-content>")))
    # A quote opened on row 3 and never closed; a UTF-8 text with one stray
    # byte on row 4, in place of the first byte of 王. Read as GB18030, as
    # it can be, it gives four students, every name wrong.
    write("unclosed_quote.csv", '姓名,年级,班级\r\n甲,高一,1班\r\n"乙,高一,1班\r\n丙,高一,1班\r\n'
          .encode("utf-8"))
    lines = ["姓名,年级,班级", "张三,高二,三班", "李四,高二,三班", "王五,高二,五班", "赵六,高二,五班"]
    text = bytearray(("\r\n".join(lines) + "\r\n").encode("utf-8"))
    text[text.index("王".encode("utf-8"))] = 0x81
    write("stray_byte.csv", bytes(text))
    hostile()


def large(path, count, seed=1):
    """count students in 1,000 classes of 20 grades, as .xlsx, .ods or .csv
    by the name's ending: the same rows make_workbooks.py writes as .xls."""
    rnd = random.Random(seed)
    family = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗"
    given = "一子梓浩宇轩涵欣怡雨晨思佳嘉俊明博文静婷"
    rows = [TITLES]
    for _ in range(count):
        k = rnd.randrange(1000)
        rows.append([rnd.choice(family) + rnd.choice(given) + rnd.choice(given),
                     "高%d级" % (2000 + k // 50), "%d班" % (k % 50 + 1)])
    with open(path, "wb") as f:
        if path.endswith(".xlsx"):
            f.write(xlsx(rows))
        elif path.endswith(".ods"):
            f.write(ods(rows))
        else:
            f.write(csv(rows).encode("utf-8"))


def big_part(path, mib):
    """An .xlsx whose sheet unpacks to mib MiB after two rows, stored
    without packing: past the size limit, not the ratio."""
    comment = "<x>" + "x" * (1 << 20) + "</x>"
    with zipfile.ZipFile(io.BytesIO(xlsx([TITLES]))) as small, \
            zipfile.ZipFile(path, "w", allowZip64=True) as z:
        for info in small.infolist():
            if info.filename != "xl/worksheets/sheet1.xml":
                put(z, info.filename, small.read(info))
        info = zipfile.ZipInfo("xl/worksheets/sheet1.xml", date_time=(2024, 9, 1, 0, 0, 0))
        with z.open(info, "w", force_zip64=True) as part:
            part.write(('<?xml version="1.0" encoding="UTF-8"?>\n<worksheet xmlns='
                        '"http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
                        + TITLE_ROW + student_rows(2, 3)).encode("utf-8"))
            for _ in range(mib):
                part.write(comment.encode("ascii"))
            part.write(b"</sheetData></worksheet>")


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "large":
        large(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    elif len(sys.argv) == 4 and sys.argv[1] == "bigpart":
        big_part(sys.argv[2], int(sys.argv[3]))
    else:
        rosters()
