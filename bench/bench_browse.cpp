// bench_browse: the browser's query for one class of 60 in a file of 50,000
// students, against the floor of one indexed SELECT of that class, and the
// export of that class into a workbook (without starting the spreadsheet
// program).
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "exchange/browsedialog.h"
#include "tests/support/doubles.h"
#include "widgets/flexgrid.h"
#include "platform/services.h"
#include "workbook/workbookwriter.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/statements.h"
#include "store/schema.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QStandardPaths>

#include <cstdio>
#include <vector>

using namespace quorvel;
using bench::timeMs;

namespace {

constexpr int kStudents = 50000;
// 50,000 students over 833 classes: class 100 ("高2005级", "1班") has 60.
constexpr int kClasses = 833;
const QString kGrade = QStringLiteral("高2005级");
const QString kClass = QStringLiteral("1班");
constexpr int kRuns = 30;

void printTimes(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-44s min %8.3f   median %8.3f   max %8.3f ms\n", what, bench::minimum(ms),
                bench::median(ms), bench::maximum(ms));
}

// One SELECT of the class on an open connection, every field read.
long selectClass(const store::Connection &conn, bool indexed)
{
    store::Statement st(conn, indexed ? "SELECT rowid, * FROM student WHERE \"年级\" = ?1 AND "
                                        "\"班级\" = ?2 ORDER BY rowid"
                                      : "SELECT rowid, * FROM student NOT INDEXED WHERE "
                                        "\"年级\" = ?1 AND \"班级\" = ?2 ORDER BY rowid");
    st.bind(1, kGrade.toStdString());
    st.bind(2, kClass.toStdString());
    long rows = 0;
    while (st.step()) {
        for (int c = 0; c < st.columnCount(); ++c)
            st.column(c);
        ++rows;
    }
    return rows;
}

int run()
{
    QStandardPaths::setTestModeEnabled(true);
    std::printf("bench_browse: class of 60 among %d students, %d runs of each step\n\n",
                kStudents, kRuns);
    testing::TempDatabase db;
    db.generate(kStudents, kClasses);

    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    ManualClock clock;
    ScriptedRandom random;
    ScriptedLauncher launcher;
    launcher.installed = {QStringLiteral("libreoffice")};
    XlsxWorkbookWriter workbooks;
    const Services services{messages, files, clock, random, db.directory(), nullptr, &workbooks, &launcher};
    store::Store store(db.directoryPath());
    // The first opening adds the index on grade and class to the file.
    const double indexMs = timeMs([&] { store.opendb(); });
    store.closeConn();
    std::printf("first opendb, creating the index: %.1f ms\n\n", indexMs);

    std::vector<double> openMs, floorMs, scanMs, openFloorMs, recordSetMs, gridMs;
    long floorRows = 0, scanRows = 0;
    FlexGrid grid(8, 2);
    for (int i = 0; i < kRuns; ++i) {
        openMs.push_back(timeMs([&] { store.opendb(); }));
        floorMs.push_back(timeMs([&] { floorRows = selectClass(*store.conn, true); }));
        scanMs.push_back(timeMs([&] { scanRows = selectClass(*store.conn, false); }));
        // The two steps of the query after the opening: the record set of the
        // class, and filling the grid with its 60 rows.
        store::RecordSet rs2;
        recordSetMs.push_back(timeMs([&] {
            rs2.open(store.conn, store::studentsOfClass(kGrade.toStdString(), kClass.toStdString()));
        }));
        gridMs.push_back(timeMs([&] {
            grid.setRows(1);
            grid.setRows(static_cast<int>(rs2.recordCount()) + 1);
            int r = 1;
            for (rs2.moveFirst(); !rs2.eof(); rs2.moveNext(), ++r)
                for (int c = 0; c < 8; ++c)
                    grid.setTextMatrix(r, c, QString::fromStdString(store::displayText(rs2.field(c))));
        }));
        rs2.close();
        store.closeConn();
        openFloorMs.push_back(timeMs([&] {
            store.opendb();
            selectClass(*store.conn, true);
            store.closeConn();
        }));
    }

    BrowseDialog browsj(store, services, {kGrade}, {kClass});
    browsj.findChild<QComboBox *>(QStringLiteral("ComboBox1"))->setCurrentIndex(0);
    browsj.findChild<QComboBox *>(QStringLiteral("ComboBox2"))->setCurrentIndex(0);
    auto *query = browsj.findChild<QPushButton *>(QStringLiteral("PushButton1"));
    auto *exportButton = browsj.findChild<QPushButton *>(QStringLiteral("PushButton2"));
    std::vector<double> queryMs, exportMs;
    for (int i = 0; i < kRuns; ++i)
        queryMs.push_back(timeMs([&] { query->click(); }));
    const int gridRows = browsj.findChild<FlexGrid *>(QStringLiteral("Grid1"))->Rows();
    for (int i = 0; i < kRuns; ++i)
        exportMs.push_back(timeMs([&] { exportButton->click(); }));
    QDir(workbookFolder()).removeRecursively();

    std::printf("query of the class (rows found: indexed %ld, scan %ld; grid rows %d)\n",
                floorRows, scanRows, gridRows);
    printTimes("floor: indexed SELECT on an open file", floorMs);
    printTimes("      the same, reading the whole table", scanMs);
    printTimes("opendb (key, schema check)", openMs);
    printTimes("floor with opening: opendb + indexed SELECT", openFloorMs);
    printTimes("browser query (click on the query button)", queryMs);
    printTimes("  its record set, on an open file", recordSetMs);
    printTimes("  its grid fill, 60 rows", gridMs);
    const double afterOpening = bench::median(recordSetMs) + bench::median(gridMs);
    std::printf("  query / (opendb + SELECT) = %.2f   record set + grid = %.3f ms (%.2f x SELECT)\n\n",
                bench::median(queryMs) / bench::median(openFloorMs), afterOpening,
                afterOpening / bench::median(floorMs));
    std::printf("export of the class (grid rows %d, program start excluded)\n", gridRows);
    printTimes("export (click on the export button)", exportMs);
    std::printf("  workbooks started: %zu   messages shown: %zu\n", launcher.started.size(),
                messages.shown.size());
    for (const auto &m : messages.shown)
        std::printf("    message: %s\n", m.text.toUtf8().constData());
    return messages.shown.empty() && gridRows == 61 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
