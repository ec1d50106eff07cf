// bench_roster: 更新名单 with a workbook of 65,535 rows against a file of
// 50,000 students (40,000 of them rows of the workbook, 10,000 others in its
// classes): the preview (reading the workbook through the reader program,
// reading the table, planning, showing), and 确定 (backup, one transaction,
// the main window following), against the import of the same file into the
// same 50,000 students (是 to go on, 否 to clearing). Then 升年级 of every
// grade on the same students. Each from a fresh copy of the file.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.
// Needs Debian's /usr/bin/python3 with python3-xlwt to make the workbooks.

#include "benchutil.h"

#include "exchange/importdialog.h"
#include "exchange/promotedialog.h"
#include "exchange/rosterupdatedialog.h"
#include "platform/services.h"
#include "rollcall/mainwindow.h"
#include "store/store.h"
#include "store/studentimport.h"
#include "tests/support/doubles.h"
#include "tests/support/testdb.h"
#include "workbook/processworkbook.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace quorvel;
using bench::timeMs;

namespace {

constexpr int kRows = 65535;
constexpr int kKnown = 40000;   // students of the table that are rows of the workbook
constexpr int kOthers = 10000;  // further students of its classes, not in it
constexpr int kRuns = 5;

bool make(const char *script, const QString &workbook)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(QUORVEL_SOURCE_DIR "/tests/") + QLatin1String(script),
                  QStringLiteral("large"), workbook, QString::number(kRows)});
    if (!python.waitForFinished(600000) || python.exitCode() != 0) {
        std::fprintf(stderr, "making %s failed (python3-xlwt installed?)\n%s\n",
                     qPrintable(workbook), python.readAllStandardError().constData());
        return false;
    }
    return true;
}

void printTimes(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-46s min %8.1f   median %8.1f   max %8.1f ms\n", what, bench::minimum(ms),
                bench::median(ms), bench::maximum(ms));
}

// The window and its services on a fresh copy of the file.
struct Session {
    testing::TempDatabase db;
    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    ManualClock clock;
    ScriptedRandom random;
    ProcessWorkbookReader reader;
    Services services;
    std::unique_ptr<store::Store> store;
    std::unique_ptr<MainWindow> main;

    Session(const QString &file, const QString &readerProgram)
        : reader(readerProgram),
          services{messages, files, clock, random, db.directory(), &reader}
    {
        QFile::remove(QString::fromStdString(db.path()));
        if (!QFile::copy(file, QString::fromStdString(db.path())))
            throw std::runtime_error("cannot copy the database");
        store = std::make_unique<store::Store>(db.directoryPath());
        main = std::make_unique<MainWindow>(*store, services);
        if (!main->load())
            throw std::runtime_error("start-up failed");
    }
};

int measure(const char *format, const QString &workbook, const QString &file,
            const QString &readerProgram)
{
    std::printf("\n=== %s\n", format);
    std::vector<double> previewMs, applyMs, importMs;
    long added = 0, kept = 0, missing = 0, repeated = 0, after = 0, imported = 0;
    for (int i = 0; i < kRuns; ++i) {
        {
            Session s(file, readerProgram);
            RosterUpdateDialog update(*s.store, s.services, [&s] { s.main->followRoster(); },
                                      s.main.get());
            update.show();
            (void)QTest::qWaitForWindowExposed(&update);
            bool shown = false;
            previewMs.push_back(timeMs([&] {
                shown = update.preview(workbook);
                QCoreApplication::processEvents();  // and painted
            }));
            if (!shown)
                throw std::runtime_error(s.messages.lastText().toStdString());
            added = static_cast<long>(update.plan().added.size());
            kept = static_cast<long>(update.plan().kept.size());
            missing = static_cast<long>(update.plan().missing.size());
            repeated = static_cast<long>(update.plan().repeated.size());
            auto *ok = update.findChild<QPushButton *>(QStringLiteral("ok"));
            applyMs.push_back(timeMs([&] { ok->click(); }));
            after = s.db.count();
        }
        {
            Session s(file, readerProgram);
            ImportDialog drxs(*s.store, s.services, [&s] { s.main->loadlists(); }, s.main.get());
            drxs.show();
            (void)QTest::qWaitForWindowExposed(&drxs);
            s.messages.answers = {Answer::Yes, Answer::No};
            s.files.paths = {workbook};
            auto *button = drxs.findChild<QPushButton *>(QStringLiteral("PushButton1"));
            importMs.push_back(timeMs([&] { button->click(); }));
            imported = s.db.count();
        }
    }
    std::printf("  plan: %ld new, %ld already there, %ld missing from the file, %ld repeated rows;"
                " %ld students after 确定 (%ld after the import)\n",
                added, kept, missing, repeated, after, imported);
    printTimes("preview (read, plan, show)", previewMs);
    printTimes("确定 (backup, transaction, lists)", applyMs);
    printTimes("import of the same file, end to end", importMs);
    std::printf("  preview median %.2f s   (target below 2 s)\n", bench::median(previewMs) / 1000);
    std::printf("  确定 / import, medians: %.2f   (target at most 1.5)\n",
                bench::median(applyMs) / bench::median(importMs));
    return bench::median(previewMs) < 2000 && bench::median(applyMs) <= 1.5 * bench::median(importMs)
               ? 0
               : 1;
}

void measurePromotion(const QString &file, const QString &readerProgram)
{
    std::printf("\n=== 升年级 of every grade, on the same students\n");
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        Session s(file, readerProgram);
        PromoteDialog promote(*s.store, s.services,
                              [&s](const PromoteDialog::Renamed &r) { s.main->followRoster(r); },
                              s.main.get());
        promote.reload();
        for (int r = 0; promote.target(r); ++r)
            promote.target(r)->setCurrentText(QStringLiteral("新") + QString::number(r));
        ms.push_back(timeMs([&] { promote.apply(); }));
    }
    printTimes("确定 (backup, transaction, lists)", ms);
}

int run()
{
    QTemporaryDir work;
    const QString reader = ProcessWorkbookReader::programIn(QCoreApplication::applicationDirPath());
    const QString xls = work.filePath(QStringLiteral("large.xls"));
    const QString xlsx = work.filePath(QStringLiteral("large.xlsx"));
    const QString csv = work.filePath(QStringLiteral("large.csv"));
    if (!make("make_workbooks.py", xls) || !make("make_rosters.py", xlsx)
        || !make("make_rosters.py", csv))
        return 1;

    // The 50,000 students: the first 40,000 rows of the workbook, and 10,000
    // more in its classes.
    testing::TempDatabase full;
    {
        ProcessWorkbookReader workbooks(reader);
        auto sheet = workbooks.openFirstSheet(xls.toStdString());
        std::vector<testing::StudentRow> rows;
        SheetRow row;
        sheet->nextRow(row);
        while (static_cast<int>(rows.size()) < kKnown && sheet->nextRow(row)) {
            testing::StudentRow r = testing::pupil(row[0].text, row[1].text, row[2].text);
            r.excellent = 2;
            rows.push_back(std::move(r));
        }
        for (int i = 0; i < kOthers; ++i) {
            const testing::StudentRow &like = rows[static_cast<std::size_t>(i * 3)];
            rows.push_back(testing::pupil("转出" + std::to_string(i), *like.grade, *like.className));
        }
        full.addMany(rows);
    }
    std::printf("bench_roster: %d rows against %ld students, %d runs each\n", kRows, full.count(),
                kRuns);
    const QString file = QString::fromStdString(full.path());
    int failed = measure(".xls", xls, file, reader);
    failed |= measure(".xlsx", xlsx, file, reader);
    failed |= measure(".csv", csv, file, reader);
    measurePromotion(file, reader);
    return failed;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
