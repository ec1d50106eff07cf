#!/usr/bin/python3
"""Makes the test workbooks that LibreOffice itself writes: each is built
through LibreOffice's own interface (UNO) and saved by LibreOffice as .ods
and .xlsx, so the files are exactly what a teacher's LibreOffice Calc saves.

    /usr/bin/python3 tests/make_lo_workbooks.py     # tests/workbooks/lo_*.ods, lo_*.xlsx

Needs LibreOffice Calc and its Python bridge (libreoffice-calc, python3-uno);
neither is installed by quorvel.sh: the files it makes are kept in the
repository, and the tests only read them.
"""

import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException
from com.sun.star.lang import Locale

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_rosters import OUT, ROWS, TITLES, Formula  # noqa: E402

PIPE = "quorvel_make_lo_workbooks"


def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p


class Office:
    """A headless LibreOffice of its own profile, reached through a pipe."""

    def __enter__(self):
        self.profile = tempfile.mkdtemp(prefix="quorvel-lo-")
        self.process = subprocess.Popen(
            ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
             "-env:UserInstallation=file://" + self.profile,
             "--accept=pipe,name=%s;urp;" % PIPE],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        for _ in range(300):
            try:
                context = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % PIPE)
                break
            except NoConnectException:
                time.sleep(0.1)
        else:
            raise RuntimeError("LibreOffice did not start")
        self.desktop = context.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", context)
        return self

    def __exit__(self, *exc):
        try:
            self.desktop.terminate()
        except Exception:
            pass
        self.process.wait(60)
        shutil.rmtree(self.profile, ignore_errors=True)

    def new_sheet(self):
        return self.desktop.loadComponentFromURL(
            "private:factory/scalc", "_blank", 0, (prop("Hidden", True),))


def format_key(doc, code):
    formats = doc.NumberFormats
    locale = Locale("zh", "CN", "")
    key = formats.queryKey(code, locale, False)
    return key if key != -1 else formats.addNew(code, locale)


def put(doc, sheet, col, row, value):
    cell = sheet.getCellByPosition(col, row)
    if value is None:
        return
    if isinstance(value, Formula):
        cell.setFormula("=" + value.xlsx)
    elif isinstance(value, datetime.datetime):
        cell.setValue((value - datetime.datetime(1899, 12, 30)).total_seconds() / 86400)
        cell.NumberFormat = format_key(doc, "YYYY-MM-DD HH:MM")
    elif isinstance(value, datetime.date):
        cell.setValue((value - datetime.date(1899, 12, 30)).days)
        cell.NumberFormat = format_key(doc, 'YYYY"年"M"月"D"日"')
    elif isinstance(value, (int, float)):
        cell.setValue(value)
    else:
        cell.setString(value)


def fill(doc, sheet, rows):
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            put(doc, sheet, c, r, value)


# What LibreOffice writes in its own way: merged cells (the covered part of
# a merge is a cell of its own in .ods), line breaks, tabs and runs of blanks
# inside a text, a text of blanks alone, formulas giving a text, an error and
# a number, identical rows, a date with its time and a fraction. Merges are (first row, column, rows, columns).
FEATURES = [
    TITLES,
    ["张三", "高一", "1班"],
    ["李四", None, "1班"],
    ["李\n四", "高一", "2班"],
    ["张\t三", "高一", "2班"],
    ["   ", "高  二", "3班"],
    [Formula('"王"&"五"', None, "王五"), Formula("1/0", None, None), Formula("2+3", None, 5)],
    ["重复", "高三", "4班"],
    ["重复", "高三", "4班"],
    ["重复", "高三", "4班"],
    ["赵六", "高三4班", None, "D列"],
    ["最后", datetime.datetime(2024, 9, 1, 8, 30), 0.5],
    [None, "其后", "不读"],
    ["不应导入", "高一", "1班"],
]
FEATURE_MERGES = [(1, 1, 2, 1), (10, 1, 1, 2)]


def save(office_doc, name, password=None):
    # LibreOffice 7.4 saves no password-protected .xlsx: only the .ods then.
    kinds = [("ods", "calc8")] + ([] if password else [("xlsx", "Calc MS Excel 2007 XML")])
    for ending, filter_name in kinds:
        path = os.path.join(OUT, "%s.%s" % (name, ending))
        args = [prop("FilterName", filter_name), prop("Overwrite", True)]
        if password:
            args.append(prop("Password", password))
        office_doc.storeToURL(uno.systemPathToFileUrl(path), tuple(args))


def main():
    with Office() as office:
        doc = office.new_sheet()
        sheet = doc.Sheets.getByIndex(0)
        sheet.Name = "学生"
        fill(doc, sheet, ROWS)
        doc.Sheets.insertNewByName("其他", 1)
        fill(doc, doc.Sheets.getByIndex(1), [TITLES, ["别处", "高2099级", "9班"]])
        save(doc, "lo_roster")
        save(doc, "lo_password", password="密码123")
        doc.close(True)

        doc = office.new_sheet()
        sheet = doc.Sheets.getByIndex(0)
        sheet.Name = "名单"
        fill(doc, sheet, FEATURES)
        for row, col, rows, cols in FEATURE_MERGES:
            sheet.getCellRangeByPosition(col, row, col + cols - 1, row + rows - 1).merge(True)
        save(doc, "lo_features")
        doc.close(True)


if __name__ == "__main__":
    main()
