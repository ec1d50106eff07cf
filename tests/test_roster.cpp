// Keeping the roster: the 学生名单 window's edits with the main window
// following them, 更新名单 from a workbook read by the reader program, 升年级,
// and each of them failing half-way on a full disk.

#include "exchange/importdialog.h"
#include "exchange/promotedialog.h"
#include "exchange/rosterdialog.h"
#include "exchange/rosterupdatedialog.h"
#include "store/calllog.h"
#include "store/evaluationlog.h"
#include "store/roster.h"
#include "tests/support/fulldisk.h"
#include "tests/support/ink.h"
#include "tests/support/windowfixture.h"
#include "workbook/processworkbook.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>


using namespace quorvel;
using namespace quorvel::testing;

namespace {

StudentRow student(const std::string &name, const std::string &grade, const std::string &cls,
                   std::int64_t excellent = 0)
{
    StudentRow r = pupil(name, grade, cls);
    r.excellent = excellent;
    return r;
}

// Every row as "name|grade|class|优秀", in the order stored.
QStringList rows(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT \"姓名\", \"年级\", \"班级\", \"优秀\" FROM student ORDER BY rowid");
    QStringList out;
    while (st.step()) {
        QStringList fields;
        for (int c = 0; c < 4; ++c)
            fields << storedText(st.column(c));
        out << fields.join(u'|');
    }
    return out;
}

std::int64_t keyOf(const TempDatabase &db, const std::string &name)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT rowid FROM student WHERE \"姓名\" = ?1");
    st.bind(1, name);
    return st.step() ? std::get<std::int64_t>(st.column(0)) : 0;
}

// Logs `n` evaluations of the student as recording would, after the call.
void logEvaluations(const TempDatabase &db, const std::string &name, int n)
{
    const std::int64_t key = keyOf(db, name);
    auto conn = db.connect();
    store::appendCall(*conn, {key, "2026-03-02 09:59:00", store::CallMode::Walk});
    store::Transaction tx(*conn);
    for (int i = 0; i < n; ++i)
        store::appendEvaluation(*conn, {0, key, "2026-03-02 10:00:00", "优秀", 0, 0});
    tx.commit();
}

long callCount(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT count(*) FROM \"点名记录\"");
    return st.step() ? static_cast<long>(std::get<std::int64_t>(st.column(0))) : -1;
}

long logCount(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT count(*) FROM \"评价记录\"");
    return st.step() ? static_cast<long>(std::get<std::int64_t>(st.column(0))) : -1;
}

QByteArray fileBytes(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

struct RosterFixture : WindowFixture {
    ProcessWorkbookReader reader{QCoreApplication::applicationDirPath()
                                 + QStringLiteral("/quorvel-sheetreader")};
    QTemporaryDir files_;
    RosterFixture() { services.workbookReader = &reader; }

    QString csv(const QByteArray &content)
    {
        const QString path = files_.filePath(QStringLiteral("roster.csv"));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path;
    }

    std::unique_ptr<RosterDialog> rosterOf(const QString &grade, const QString &cls)
    {
        choose(grade, cls);
        const auto chosen = window->chosen();
        auto dialog = std::make_unique<RosterDialog>(*store, services, chosen->first,
                                                     chosen->second,
                                                     [this] { window->followRoster(); });
        dialog->reload();
        return dialog;
    }

    std::unique_ptr<RosterUpdateDialog> updateFrom(const QString &path)
    {
        auto dialog = std::make_unique<RosterUpdateDialog>(*store, services,
                                                           [this] { window->followRoster(); });
        dialog->show();
        if (!dialog->preview(path))
            return nullptr;
        return dialog;
    }

    std::unique_ptr<PromoteDialog> promotion()
    {
        auto dialog = std::make_unique<PromoteDialog>(
            *store, services,
            [this](const PromoteDialog::Renamed &renamed) { window->followRoster(renamed); });
        dialog->reload();
        return dialog;
    }
};

void selectStudent(RosterDialog &dialog, const QString &name)
{
    auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("students"));
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 0)->text() == name) {
            table->selectRow(r);
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no row ") + name));
}

void typeName(RosterDialog &dialog, const QString &name)
{
    dialog.findChild<QLineEdit *>(QStringLiteral("name"))->setText(name);
}

QStringList listed(QWidget *dialog, const char *group)
{
    auto *view = dialog->findChild<QAbstractItemView *>(QLatin1String(group));
    QStringList out;
    for (int r = 0; view && r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, 0).data().toString();
    return out;
}

} // namespace

class RosterTest : public QObject {
    Q_OBJECT

private slots:
    // Every edit of the window, one transaction each, with the main window's
    // lists and the student it shows following; the walk goes on past a
    // removed student, who is never shown or evaluated again.
    void editsThroughTheWindow()
    {
        RosterFixture f;
        f.db.addMany({student("甲", "高一", "1班"), student("乙", "高一", "1班", 4),
                      student("丙", "高一", "1班"), student("丁", "高一", "2班")});
        logEvaluations(f.db, "乙", 2);
        logEvaluations(f.db, "丙", 1);
        QVERIFY(f.open());
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");  // walk: 甲
        f.click("PushButton5");  // 乙
        QCOMPARE(f.shownName(), QStringLiteral("乙"));

        auto roster = f.rosterOf(QStringLiteral("高一"), QStringLiteral("1班"));
        auto *table = roster->findChild<QTableWidget *>(QStringLiteral("students"));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("4"));
        roster->show();
        QVERIFY(QTest::qWaitForWindowExposed(roster.get()));
        // The names and tallies are drawn, not only held.
        const QRect firstRow = table->visualItemRect(table->item(0, 0))
                                   .united(table->visualItemRect(table->item(0, 5)));
        QVERIFY(inkOf(table->viewport()->grab(firstRow).toImage()).pixels > 20);

        typeName(*roster, QStringLiteral("   "));
        roster->addStudent();
        QCOMPARE(f.messages.lastText(), QStringLiteral("姓名不能为空！"));
        typeName(*roster, QStringLiteral("甲"));
        f.messages.answers = {Answer::No};
        roster->addStudent();
        QVERIFY(f.messages.lastText().contains(QStringLiteral("已有名为“甲”的学生")));
        QCOMPARE(f.db.count(), 4L);
        typeName(*roster, QStringLiteral(" 戊 "));
        roster->addStudent();
        QCOMPARE(rows(f.db).last(), QStringLiteral("戊|高一|1班|0"));
        QCOMPARE(table->rowCount(), 4);

        // Renaming the student shown: the display follows, the tallies stay.
        selectStudent(*roster, QStringLiteral("乙"));
        typeName(*roster, QStringLiteral("乙二"));
        roster->renameStudent();
        QCOMPARE(f.shownName(), QStringLiteral("乙二"));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：4"));

        // A move to a class typed anew: the class list shows it.
        selectStudent(*roster, QStringLiteral("甲"));
        roster->findChild<QComboBox *>(QStringLiteral("toClass"))->setEditText(QStringLiteral("3班"));
        roster->moveStudent();
        QVERIFY(rows(f.db).contains(QStringLiteral("甲|高一|3班|0")));
        QVERIFY(f.window->classItems().contains(QStringLiteral("3班")));
        QCOMPARE(f.window->chosen()->second.first, QStringLiteral("1班"));

        // Removing the student shown, in the walk: asked first, log rows gone.
        selectStudent(*roster, QStringLiteral("乙二"));
        f.messages.answers = {Answer::No};
        roster->removeStudent();
        QCOMPARE(f.db.count(), 5L);
        f.messages.answers = {Answer::Yes};
        roster->removeStudent();
        QCOMPARE(rows(f.db), QStringList({QStringLiteral("甲|高一|3班|0"), QStringLiteral("丙|高一|1班|0"),
                                          QStringLiteral("丁|高一|2班|0"), QStringLiteral("戊|高一|1班|0")}));
        QCOMPARE(logCount(f.db), 1L);  // 丙's
        QCOMPARE(callCount(f.db), 1L);
        // The walk goes on at the same place, where the next student now is.
        QCOMPARE(f.shownName(), QStringLiteral("丙"));
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("戊"));
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("戊"));

        // After a draw that called the student now removed: nobody is evaluated.
        f.click("PushButton3");  // ends the walk
        f.random.values = {0.0};
        f.click("PushButton1");
        f.click("PushButton1");
        QCOMPARE(f.shownName(), QStringLiteral("丙"));
        selectStudent(*roster, QStringLiteral("丙"));
        f.messages.answers = {Answer::Yes};
        roster->removeStudent();
        QVERIFY(f.shownName().isEmpty());
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("你还没进行任何形式的点名！"));
        QCOMPARE(logCount(f.db), 0L);
        QCOMPARE(callCount(f.db), 0L);
    }

    // A mixed file: new students, students already there (one stored by an
    // older tool as GBK bytes), one of the file's classes missing from it, a
    // repeated row, and a class the file does not hold. 取消 writes nothing;
    // 确定 keeps tallies and log rows.
    void updatePreviewAndApply()
    {
        RosterFixture f;
        f.db.addMany({student("甲", "高一", "1班", 3), student("乙", "高一", "1班"),
                      student("丙", "高一", "2班"), student("丁", "高二", "1班")});
        {
            auto conn = f.db.connect();
            store::Statement gbk(*conn, "INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES (?1, ?2, ?3)");
            gbk.bind(1, std::string("戌"));
            gbk.bind(2, store::Blob{"\xb8\xdf\xd2\xbb"});  // 高一 in GBK
            gbk.bind(3, std::string("1班"));
            gbk.run();
        }
        logEvaluations(f.db, "甲", 3);
        QVERIFY(f.open());
        const QString path = f.csv("姓名,年级,班级\n甲,高一,1班\n戌,高一,1班\n新一,高一,1班\n"
                                   "新一,高一,1班\n丙,高一,2班\n新二,高三,1班\n");
        const QByteArray before = fileBytes(f.db.path());
        const QStringList filesBefore = filesIn(f.db.directory());

        auto preview = f.updateFrom(path);
        QVERIFY(preview);
        auto *first = preview->findChild<QTableWidget *>(QStringLiteral("firstRows"));
        QCOMPARE(first->horizontalHeaderItem(0)->text(), QStringLiteral("姓名（A列）"));
        QCOMPARE(first->verticalHeaderItem(0)->text(), QStringLiteral("第2行"));
        QCOMPARE(first->item(1, 0)->text(), QStringLiteral("戌"));
        QVERIFY(QTest::qWaitForWindowExposed(preview.get()));
        QVERIFY(inkOf(first->viewport()->grab(first->visualItemRect(first->item(1, 0))).toImage())
                    .pixels > 20);
        QCOMPARE(listed(preview.get(), "added"),
                 QStringList({QStringLiteral("新一　高一　1班"), QStringLiteral("新二　高三　1班")}));
        QCOMPARE(listed(preview.get(), "kept").size(), 3);
        QCOMPARE(listed(preview.get(), "missing"), QStringList({QStringLiteral("乙　高一　1班")}));
        QCOMPARE(listed(preview.get(), "repeated"),
                 QStringList({QStringLiteral("第5行：新一　高一　1班（与第4行重复）")}));
        preview->findChild<QPushButton *>(QStringLiteral("cancel"))->click();
        QCOMPARE(fileBytes(f.db.path()), before);
        QCOMPARE(filesIn(f.db.directory()), filesBefore);

        auto update = f.updateFrom(path);
        update->findChild<QCheckBox *>(QStringLiteral("removeMissing"))->setChecked(true);
        update->findChild<QPushButton *>(QStringLiteral("ok"))->click();
        QCOMPARE(f.messages.lastText(), QStringLiteral("名单已更新：新增2名学生，删除1名学生。"));
        QCOMPARE(rows(f.db), QStringList({QStringLiteral("甲|高一|1班|3"), QStringLiteral("丙|高一|2班|0"),
                                          QStringLiteral("丁|高二|1班|0"), QStringLiteral("戌|高一|1班|0"),
                                          QStringLiteral("新一|高一|1班|0"),
                                          QStringLiteral("新二|高三|1班|0")}));
        QCOMPARE(logCount(f.db), 3L);
        QCOMPARE(filesIn(f.db.directory()).size(), filesBefore.size() + 1);  // the backup
        QVERIFY(f.window->gradeItems().contains(QStringLiteral("高三")));
    }

    // Three grades moved up at once, the top one removed; tallies and log
    // rows go with the students, and a walk follows its class.
    void promoteThreeGrades()
    {
        RosterFixture f;
        f.db.addMany({student("一甲", "初一", "1班", 1), student("一乙", "初一", "1班"),
                      student("二甲", "初二", "1班", 2), student("三甲", "初三", "1班"),
                      student("老生", "高2013级", "1班")});
        logEvaluations(f.db, "二甲", 2);
        logEvaluations(f.db, "三甲", 1);
        QVERIFY(f.open());
        f.choose(QStringLiteral("初二"), QStringLiteral("1班"));
        f.click("PushButton3");
        QCOMPARE(f.shownName(), QStringLiteral("二甲"));

        auto promote = f.promotion();
        QCOMPARE(promote->target(0)->currentText(), QStringLiteral("初二"));
        QCOMPARE(promote->target(1)->currentText(), QStringLiteral("初三"));
        QCOMPARE(promote->target(2)->currentText(), QStringLiteral("初三"));
        QCOMPARE(promote->target(3)->currentText(), QStringLiteral("高2013级"));
        QCOMPARE(promote->previewOf(0), QStringLiteral("2名学生升入初二"));
        promote->show();
        QVERIFY(QTest::qWaitForWindowExposed(promote.get()));
        auto *lines = promote->findChild<QTableWidget *>(QStringLiteral("grades"));
        QVERIFY(inkOf(lines->viewport()->grab(lines->visualItemRect(lines->item(0, 3))).toImage())
                    .pixels > 20);
        QVERIFY(!promote->findChild<QLabel *>(QStringLiteral("note"))->text().isEmpty());
        promote->target(2)->setCurrentText(QStringLiteral("（移除）"));
        QCOMPARE(promote->previewOf(2), QStringLiteral("1名学生将被删除"));
        QVERIFY(promote->findChild<QLabel *>(QStringLiteral("note"))->text().isEmpty());
        f.messages.answers = {Answer::Yes};
        promote->apply();
        QCOMPARE(f.messages.lastText(), QStringLiteral("升年级完成。"));
        QCOMPARE(rows(f.db), QStringList({QStringLiteral("一甲|初二|1班|1"), QStringLiteral("一乙|初二|1班|0"),
                                          QStringLiteral("二甲|初三|1班|2"),
                                          QStringLiteral("老生|高2013级|1班|0")}));
        QCOMPARE(logCount(f.db), 2L);
        QCOMPARE(f.window->gradeItems(),
                 QStringList({QStringLiteral("初二"), QStringLiteral("初三"), QStringLiteral("高2013级")}));
        // The walk was on 初二 1班, which is now 初三 1班: the same student.
        QCOMPARE(f.window->chosen()->first.first, QStringLiteral("初三"));
        QCOMPARE(f.shownName(), QStringLiteral("二甲"));
        f.click("PushButton6");
        QCOMPARE(f.shownName(), QStringLiteral("二甲"));
    }

    void fullDiskHalfWay_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("学生名单") << QStringLiteral("remove");
        QTest::newRow("更新名单") << QStringLiteral("update");
        QTest::newRow("升年级") << QStringLiteral("promote");
        QTest::newRow("导入数据") << QStringLiteral("import");
    }

    // A disk that fills while the change is written: the file keeps every
    // byte, no backup is left behind, and the teacher is told. The import
    // too, where the disk has room for its journal but not for the file to
    // grow.
    void fullDiskHalfWay()
    {
        QFETCH(QString, change);
        RosterFixture f;
        f.db.generate(2000, 40);
        logEvaluations(f.db, "学生1", 3);
        QVERIFY(f.open());
        QByteArray csv = "姓名,年级,班级\n";
        for (int i = 0; i < 3000; ++i)
            csv += "新生" + QByteArray::number(i) + ",高2000级,1班\n";
        const QString path = f.csv(csv);
        const QByteArray before = fileBytes(f.db.path());
        const QStringList filesBefore = filesIn(f.db.directory());
        // Room for a backup as large as the file, not for the file to grow.
        const rlim_t room = static_cast<rlim_t>(before.size());
        if (change == QLatin1String("remove")) {
            auto roster = f.rosterOf(QStringLiteral("高2000级"), QStringLiteral("1班"));
            selectStudent(*roster, QStringLiteral("学生1"));
            f.messages.answers = {Answer::Yes};
            FullDisk full(1024);
            roster->removeStudent();
        } else if (change == QLatin1String("update")) {
            auto update = f.updateFrom(path);
            QVERIFY(update);
            update->findChild<QCheckBox *>(QStringLiteral("removeMissing"))->setChecked(true);
            FullDisk full(room);
            update->findChild<QPushButton *>(QStringLiteral("ok"))->click();
        } else if (change == QLatin1String("import")) {
            ImportDialog dialog(*f.store, f.services, [&] { f.window->loadlists(); });
            f.messages.answers = {Answer::Yes, Answer::No};
            f.files.paths.push_back(path);
            FullDisk full(room);
            dialog.importStudents();
        } else {
            auto promote = f.promotion();
            for (int r = 0; r < 2; ++r)
                promote->target(r)->setCurrentText(QStringLiteral("新的年级") + QString::number(r));
            FullDisk full(room);
            promote->apply();
        }
        QVERIFY2(f.messages.lastText().contains(QStringLiteral("磁盘已满")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(fileBytes(f.db.path()), before);
        QCOMPARE(filesIn(f.db.directory()), filesBefore);
    }
};

QTEST_MAIN(RosterTest)
#include "test_roster.moc"
