// The store: the database file's location and checks, the record set's
// walking and writing, and how values show as text.

#include "store/error.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/statements.h"
#include "store/store.h"
#include "store/value.h"
#include "tests/support/testdb.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <sqlite3.h>

#include <clocale>
#include <optional>
#include <string>
#include <vector>

using namespace quorvel::store;
using quorvel::testing::StudentRow;
using quorvel::testing::TempDatabase;

Q_DECLARE_METATYPE(quorvel::store::Value)

namespace {

StudentRow student(std::string name, std::optional<std::string> grade = "高一",
                   std::optional<std::string> className = "1班", std::int64_t excellent = 0,
                   std::int64_t good = 0)
{
    StudentRow r;
    r.name = std::move(name);
    r.grade = std::move(grade);
    r.className = std::move(className);
    r.excellent = excellent;
    r.good = good;
    return r;
}

// A value with its kind, so that 2, 2.0 and "2" never compare equal.
QString show(const Value &v)
{
    if (isNull(v))
        return QStringLiteral("NULL");
    if (auto i = std::get_if<std::int64_t>(&v))
        return QStringLiteral("i:%1").arg(*i);
    if (auto d = std::get_if<double>(&v))
        return QStringLiteral("r:%1").arg(*d);
    return QStringLiteral("t:") + QString::fromStdString(std::get<std::string>(v));
}

QString text(const Value &v) { return QString::fromStdString(displayText(v)); }

template <typename F>
std::optional<DbError> errorFrom(F &&f)
{
    try {
        f();
    } catch (const DbError &e) {
        return e;
    }
    return std::nullopt;
}

// One column of every row in the file, in the order the rows were added.
QStringList fileColumn(const TempDatabase &db, std::string_view column)
{
    auto conn = db.connect();
    Statement st(*conn, "SELECT \"" + std::string(column) + "\" FROM student ORDER BY rowid");
    QStringList out;
    while (st.step())
        out << show(st.column(0));
    return out;
}

// One column of the first row with this name, as the file holds it.
QString stored(const TempDatabase &db, const std::string &name, std::string_view column)
{
    return show(db.value(name, std::string(column)));
}

QStringList fileNames(const TempDatabase &db)
{
    QStringList out;
    for (const QString &v : fileColumn(db, kName))
        out << v.mid(2);
    return out;
}

QStringList walkNames(RecordSet &rs)
{
    QStringList out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out << text(rs.field(kName));
    return out;
}

void writeFile(const std::string &path, const QByteArray &bytes)
{
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The eight columns alone, without the key column the program's own files have.
constexpr const char *kEightColumns =
    "CREATE TABLE student (\"姓名\" TEXT NOT NULL, \"年级\" TEXT, \"班级\" TEXT,"
    " \"优秀\" INTEGER NOT NULL DEFAULT 0, \"良好\" INTEGER NOT NULL DEFAULT 0,"
    " \"及格\" INTEGER NOT NULL DEFAULT 0, \"不及格\" INTEGER NOT NULL DEFAULT 0,"
    " \"倒扣学分\" NUMERIC NOT NULL DEFAULT 0)";

// A database keyed with `key` holding whatever `createSql` makes.
void makeKeyedFile(const std::string &path, std::string_view key, const std::string &createSql)
{
    writeFile(path, {});
    auto conn = Connection::open(path, key);
    conn->exec(createSql.c_str());
}

} // namespace

#define VERIFY_CONDITION(expr, cond)                                                       \
    do {                                                                                   \
        const auto err_ = errorFrom([&] { expr; });                                        \
        QVERIFY2(err_.has_value(), "no DbError from " #expr);                              \
        QCOMPARE(static_cast<int>(err_->condition()), static_cast<int>(cond));             \
    } while (false)

#define VERIFY_ENGINE_CODE(expr, rc)                                                       \
    do {                                                                                   \
        const auto err_ = errorFrom([&] { expr; });                                        \
        QVERIFY2(err_.has_value(), "no DbError from " #expr);                              \
        QCOMPARE(static_cast<int>(err_->condition()), static_cast<int>(Condition::Engine)); \
        QCOMPARE(err_->code() & 0xff, rc);                                                 \
    } while (false)

class StoreTest : public QObject {
    Q_OBJECT

private slots:
    // --- where the file is, and what opening it checks -------------------------
    void databasePath_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/a/b" << "/a/b/xsdata.d";
        QTest::newRow("root") << "/" << "/xsdata.d";
        QTest::newRow("trailing slash") << "/a/b/" << "/a/b/xsdata.d";
        QTest::newRow("trailing backslash") << "C:\\程序\\" << "C:\\程序\\xsdata.d";
    }
    void databasePath()
    {
        QFETCH(QString, directory);
        QFETCH(QString, expected);
        const std::string dir = directory.toStdString();
        QCOMPARE(QString::fromStdString(quorvel::store::databasePath(dir)), expected);
        QCOMPARE(QString::fromStdString(Store(dir).databasePath()), expected);
    }

    void opendbMissingFile()
    {
        auto db = TempDatabase::withoutFile();
        Store store(db.directoryPath());
        VERIFY_CONDITION(store.opendb(), Condition::MissingFile);
        QVERIFY(!store.conn);
        QVERIFY(!QFile::exists(QString::fromStdString(db.path())));
    }

    void opendbRefusesUnreadableFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("garbage bytes") << 0;
        QTest::newRow("unencrypted database") << 1;
        QTest::newRow("other key") << 2;
    }
    void opendbRefusesUnreadableFile()
    {
        QFETCH(int, kind);
        auto db = TempDatabase::withoutFile();
        const std::string path = db.path();
        if (kind == 0) {
            writeFile(path, QByteArray(8192, 'x'));
        } else if (kind == 1) {
            sqlite3 *raw = nullptr;
            QCOMPARE(sqlite3_open_v2(path.c_str(), &raw,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                     SQLITE_OK);
            const int rc = sqlite3_exec(raw, kEightColumns, nullptr, nullptr, nullptr);
            sqlite3_close(raw);
            QCOMPARE(rc, SQLITE_OK);
        } else {
            makeKeyedFile(path, "another key", kEightColumns);
        }
        const QByteArray before = readFile(path);
        Store store(db.directoryPath());
        VERIFY_ENGINE_CODE(store.opendb(), SQLITE_NOTADB);
        QVERIFY(!store.conn);
        QCOMPARE(readFile(path), before);
    }

    void opendbWithoutUsableTable_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::newRow("no table") << QString();
        for (auto column : {kName, kGrade, kClass, kExcellent, kGood, kPass, kFail, kDeducted}) {
            const QByteArray name(column.data(), qsizetype(column.size()));
            QTest::newRow((QByteArray("without ") + name).constData()) << QString::fromUtf8(name);
        }
    }
    void opendbWithoutUsableTable()
    {
        QFETCH(QString, missing);
        if (missing.isEmpty()) {
            TempDatabase db;
            db.connect()->exec("DROP TABLE student");
            Store store(db.directoryPath());
            VERIFY_CONDITION(store.opendb(), Condition::NoTable);
            QVERIFY(!store.conn);
            return;
        }
        auto db = TempDatabase::withoutFile();
        std::string columns;
        for (auto column : {kName, kGrade, kClass, kExcellent, kGood, kPass, kFail, kDeducted})
            if (QString::fromUtf8(column.data(), qsizetype(column.size())) != missing)
                columns += (columns.empty() ? "\"" : ", \"") + std::string(column) + "\"";
        makeKeyedFile(db.path(), kDatabasePassword, "CREATE TABLE student (" + columns + ")");
        Store store(db.directoryPath());
        VERIFY_CONDITION(store.opendb(), Condition::NoTable);
        QVERIFY(!store.conn);
    }

    // Opened on a thread while the program starts: opendb() takes that
    // connection, and says what is wrong exactly as it does itself.
    void openedInAdvanceAsOpendbOpens()
    {
        auto db = TempDatabase::withoutFile();
        Store missing(db.directoryPath());
        missing.openInAdvance();
        VERIFY_CONDITION(missing.opendb(), Condition::MissingFile);

        Store created(db.directoryPath());
        created.openInAdvance();  // fails: the teacher is asked, and the file made, meanwhile
        createDatabase(db.path());
        created.opendb();
        QVERIFY(created.conn);

        makeKeyedFile(db.directoryPath() + "/other.d", "another key", kEightColumns);
        QVERIFY(QFile::remove(QString::fromStdString(db.path())));
        QVERIFY(QFile::rename(QString::fromStdString(db.directoryPath() + "/other.d"),
                              QString::fromStdString(db.path())));
        Store wrongKey(db.directoryPath());
        wrongKey.openInAdvance();
        VERIFY_ENGINE_CODE(wrongKey.opendb(), SQLITE_NOTADB);

        TempDatabase good;
        good.add(student("甲"));
        Store store(good.directoryPath());
        store.openInAdvance();
        store.opendb();
        const auto first = store.conn;
        Statement count(*first, "SELECT count(*) FROM student");
        QVERIFY(count.step());
        QCOMPARE(count.column(0), Value(std::int64_t{1}));
        store.opendb();  // later openings are opendb's own
        QVERIFY(store.conn && store.conn != first);
    }

    void opendbWhileLockedElsewhere()
    {
        TempDatabase db;
        db.add(student("甲"));
        auto other = db.connect();
        other->exec("BEGIN EXCLUSIVE");
        other->exec("UPDATE student SET \"优秀\" = 5");
        Store store(db.directoryPath());
        QElapsedTimer timer;
        timer.start();
        VERIFY_ENGINE_CODE(store.opendb(), SQLITE_BUSY);
        QVERIFY2(timer.elapsed() >= 1000, "gave up without waiting for the lock");
        other->exec("ROLLBACK");
        store.opendb();
        QVERIFY(store.conn);
    }

    void createDatabaseRefusesExistingFile()
    {
        TempDatabase db;
        db.add(student("甲", "高一", "1班", 3));
        const QByteArray before = readFile(db.path());
        QVERIFY(!before.isEmpty());
        QVERIFY(errorFrom([&] { createDatabase(db.path()); }).has_value());
        QCOMPARE(readFile(db.path()), before);

        auto other = TempDatabase::withoutFile();
        writeFile(other.path(), "not a database, but a teacher's file");
        QVERIFY(errorFrom([&] { createDatabase(other.path()); }).has_value());
        QCOMPARE(readFile(other.path()), QByteArray("not a database, but a teacher's file"));
    }

    void createDatabaseDefaultsCountersToZero()
    {
        TempDatabase db;
        db.connect()->exec("INSERT INTO student (\"姓名\") VALUES ('甲')");
        for (auto column : {kExcellent, kGood, kPass, kFail, kDeducted})
            QCOMPARE(show(db.value("甲", std::string(column))), QStringLiteral("i:0"));
        QCOMPARE(stored(db, "甲", kGrade), QStringLiteral("NULL"));
    }

    // --- record set: positions, walking, fields ---------------------------------
    void positionsAndCount()
    {
        TempDatabase db;
        db.addMany({student("王五"), student("Adam"), student("张三")});
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        QCOMPARE(rs.recordCount(), 3L);
        rs.setAbsolutePosition(3);
        QCOMPARE(rs.absolutePosition(), 3L);
        QCOMPARE(text(rs.field(kName)), QStringLiteral("张三"));
        rs.setAbsolutePosition(1);
        QCOMPARE(rs.absolutePosition(), 1L);
        QCOMPARE(text(rs.field(kName)), QStringLiteral("王五"));

        for (long bad : {0L, -1L, 4L}) {
            VERIFY_CONDITION(rs.setAbsolutePosition(bad), Condition::Usage);
            QCOMPARE(rs.absolutePosition(), 1L);
        }
        QCOMPARE(walkNames(rs), QStringList({"王五", "Adam", "张三"}));
        QVERIFY(rs.eof());
        rs.moveNext();
        QVERIFY(rs.eof());
        QCOMPARE(rs.absolutePosition(), 0L);
        VERIFY_CONDITION(rs.field(kName), Condition::Usage);
    }

    void emptyAndClosedSets()
    {
        TempDatabase db;
        db.add(student("甲", "高二", "2班"));
        RecordSet rs;
        rs.open(db.connect(), studentsOfClass("高一", "1班"));
        QVERIFY(rs.eof());
        QCOMPARE(rs.recordCount(), 0L);
        QCOMPARE(rs.absolutePosition(), 0L);
        VERIFY_CONDITION(rs.setAbsolutePosition(1), Condition::Usage);
        VERIFY_CONDITION(rs.field(kName), Condition::Usage);

        rs.open(db.connect(), allStudents());
        QCOMPARE(rs.recordCount(), 1L);
        rs.close();
        QVERIFY(!rs.isOpen());
        QCOMPARE(rs.absolutePosition(), 0L);
        VERIFY_CONDITION(rs.recordCount(), Condition::Usage);
        VERIFY_CONDITION(rs.eof(), Condition::Usage);
        VERIFY_CONDITION(rs.moveNext(), Condition::Usage);
        VERIFY_CONDITION(rs.field(kName), Condition::Usage);
        VERIFY_CONDITION(rs.addNew(), Condition::Usage);
    }

    void positionPastPendingNewRow()
    {
        // Moving drops a pending new row, so its position is gone: the move
        // must either refuse or land on a real row.
        TempDatabase db;
        db.addMany({student("甲"), student("乙")});
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.addNew();
        QCOMPARE(rs.recordCount(), 3L);
        const auto err = errorFrom([&] { rs.setAbsolutePosition(3); });
        if (err) {
            QCOMPARE(static_cast<int>(err->condition()), static_cast<int>(Condition::Usage));
        } else {
            QCOMPARE(rs.absolutePosition(), 3L);
            QVERIFY(!rs.eof());
        }
    }

    void fieldKinds()
    {
        TempDatabase db;
        StudentRow r = student("甲", std::nullopt, "1班", 4);
        r.deducted = 2.5;
        db.add(r);
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        QCOMPARE(show(rs.field(kGrade)), QStringLiteral("NULL"));
        QCOMPARE(show(rs.field(kExcellent)), QStringLiteral("i:4"));
        QCOMPARE(show(rs.field(kDeducted)), QStringLiteral("r:2.5"));
        QCOMPARE(show(rs.field(kName)), QStringLiteral("t:甲"));
        QCOMPARE(show(rs.field(rs.columnIndex(kClass))), QStringLiteral("t:1班"));
        QCOMPARE(rs.columnIndex("no such column"), -1);
        VERIFY_CONDITION(rs.field("no such column"), Condition::Usage);
    }

    // --- record set: writing -----------------------------------------------------
    void addNewTakesDefaultsFromFile()
    {
        TempDatabase db;
        db.add(student("甲"));
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.addNew();
        rs.setField(kName, std::string("新生"));
        rs.setField(kGrade, std::string("高三"));
        rs.setField(kClass, std::string("9班"));
        rs.update();
        QCOMPARE(rs.recordCount(), 2L);
        QCOMPARE(rs.absolutePosition(), 2L);
        for (auto column : {kExcellent, kGood, kPass, kFail, kDeducted}) {
            QCOMPARE(show(rs.field(column)), QStringLiteral("i:0"));
            QCOMPARE(show(db.value("新生", std::string(column))), QStringLiteral("i:0"));
        }
        QCOMPARE(stored(db, "新生", kClass), QStringLiteral("t:9班"));
        QCOMPARE(fileNames(db), QStringList({"甲", "新生"}));

        // The stored row is an ordinary row now: it can be changed.
        rs.setField(kGood, std::int64_t{2});
        rs.update();
        QCOMPARE(stored(db, "新生", kGood), QStringLiteral("i:2"));

        // A row the file refuses is neither stored nor kept in the set.
        rs.addNew();
        rs.setField(kGrade, std::string("高三"));
        VERIFY_CONDITION(rs.update(), Condition::Engine);
        QCOMPARE(db.count(), 2L);
        QCOMPARE(rs.recordCount(), 2L);
    }

    void deleteEveryRow_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("one row") << 1;
        QTest::newRow("three rows") << 3;
    }
    void deleteEveryRow()
    {
        QFETCH(int, rows);
        TempDatabase db;
        std::vector<StudentRow> all;
        for (int i = 0; i < rows; ++i)
            all.push_back(student("学生" + std::to_string(i)));
        db.addMany(all);
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        int deleted = 0;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            rs.deleteCurrent();
            ++deleted;
        }
        QCOMPARE(deleted, rows);
        QCOMPARE(rs.recordCount(), 0L);
        QCOMPARE(db.count(), 0L);
    }

    void deleteThenMoveNextReachesFollowingRow()
    {
        TempDatabase db;
        db.addMany({student("甲"), student("乙"), student("丙"), student("丁")});
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.deleteCurrent();  // 甲
        QCOMPARE(rs.absolutePosition(), 0L);
        VERIFY_CONDITION(rs.field(kName), Condition::Usage);
        rs.moveNext();
        QCOMPARE(text(rs.field(kName)), QStringLiteral("乙"));
        rs.moveNext();
        rs.deleteCurrent();  // 丙
        rs.moveNext();
        QCOMPARE(text(rs.field(kName)), QStringLiteral("丁"));
        rs.deleteCurrent();  // 丁, the last
        rs.moveNext();
        QVERIFY(rs.eof());
        QCOMPARE(fileNames(db), QStringList({"乙"}));
        QCOMPARE(walkNames(rs), QStringList({"乙"}));
    }

    void identicalRowsStayApart_data()
    {
        QTest::addColumn<bool>("keyColumn");
        QTest::newRow("file with key column") << true;
        QTest::newRow("file without key column") << false;
    }
    void identicalRowsStayApart()
    {
        QFETCH(bool, keyColumn);
        auto db = TempDatabase::withoutFile();
        if (keyColumn)
            createDatabase(db.path());
        else
            makeKeyedFile(db.path(), kDatabasePassword, kEightColumns);
        const StudentRow same = student("同名", "高一", "1班", 1, 1);
        db.addMany({same, same, same});
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.setAbsolutePosition(2);
        rs.setField(kExcellent, std::int64_t{7});
        rs.update();
        QCOMPARE(fileColumn(db, kExcellent), QStringList({"i:1", "i:7", "i:1"}));

        rs.setAbsolutePosition(1);  // still the same as the third
        rs.deleteCurrent();
        QCOMPARE(fileColumn(db, kExcellent), QStringList({"i:7", "i:1"}));
    }

    void updateWritesOnlyChangedColumns()
    {
        TempDatabase db;
        db.add(student("甲", "高一", "1班", 1, 2));
        auto other = db.connect();
        other->exec("CREATE TABLE written (what TEXT)");
        for (auto column : {kName, kGrade, kClass, kExcellent, kGood, kPass, kFail, kDeducted}) {
            const std::string c(column);
            other->exec(("CREATE TRIGGER \"w" + c + "\" AFTER UPDATE OF \"" + c
                         + "\" ON student BEGIN INSERT INTO written VALUES ('" + c + "'); END")
                            .c_str());
        }
        auto written = [&] {
            QStringList out;
            Statement st(*other, "SELECT what FROM written ORDER BY rowid");
            while (st.step())
                out << text(st.column(0));
            other->exec("DELETE FROM written");
            return out;
        };

        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.setField(kExcellent, std::int64_t{3});
        rs.update();
        QCOMPARE(written(), QStringList({"优秀"}));

        rs.setField(kGood, std::int64_t{2});  // what it already holds
        rs.setField(kPass, std::int64_t{1});
        rs.update();
        QCOMPARE(written(), QStringList({"及格"}));

        rs.setField(kGood, std::int64_t{2});
        rs.update();
        QCOMPARE(written(), QStringList());
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:3"));
        QCOMPARE(stored(db, "甲", kPass), QStringLiteral("i:1"));
    }

    void updateRefusedWhenChangedElsewhere()
    {
        TempDatabase db;
        db.addMany({student("甲", "高一", "1班", 1, 2), student("乙")});
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        db.connect()->exec("UPDATE student SET \"良好\" = 5 WHERE \"姓名\" = '甲'");

        rs.setField(kExcellent, std::int64_t{9});
        VERIFY_CONDITION(rs.update(), Condition::RowChanged);
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:1"));
        QCOMPARE(stored(db, "甲", kGood), QStringLiteral("i:5"));
        // The set now shows the file's row, with nothing pending.
        QCOMPARE(show(rs.field(kExcellent)), QStringLiteral("i:1"));
        QCOMPARE(show(rs.field(kGood)), QStringLiteral("i:5"));
        rs.update();
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:1"));

        // Having seen the change, the set may write again.
        rs.setField(kExcellent, std::int64_t{9});
        rs.update();
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:9"));
        QCOMPARE(stored(db, "甲", kGood), QStringLiteral("i:5"));
    }

    void updateRefusedWhenDeletedElsewhere()
    {
        TempDatabase db;
        db.addMany({student("甲"), student("乙")});
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        db.connect()->exec("DELETE FROM student WHERE \"姓名\" = '甲'");
        rs.setField(kExcellent, std::int64_t{9});
        VERIFY_CONDITION(rs.update(), Condition::RowChanged);
        QCOMPARE(fileNames(db), QStringList({"乙"}));
        VERIFY_CONDITION(rs.deleteCurrent(), Condition::RowChanged);
        QCOMPARE(fileNames(db), QStringList({"乙"}));
    }

    void rowHoldingBytesCanBeWritten()
    {
        // Another program may have stored a text as bytes ("1班" here).
        TempDatabase db;
        db.add(student("甲"));
        db.connect()->exec("UPDATE student SET \"班级\" = X'31E78FAD'");
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.setField(kExcellent, std::int64_t{9});
        auto err = errorFrom([&] { rs.update(); });
        QVERIFY2(!err, err ? err->what() : "");
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:9"));
        err = errorFrom([&] { rs.deleteCurrent(); });
        QVERIFY2(!err, err ? err->what() : "");
        QCOMPARE(db.count(), 0L);
    }

    void textThatCannotRoundTripIsMatchedByItsBytes()
    {
        // A UTF-16 file whose name holds an unpaired surrogate: no UTF-8 text
        // turns back into the same bytes, yet the row can be written and
        // removed, and a change made elsewhere is still noticed.
        auto db = TempDatabase::withoutFile();
        makeKeyedFile(db.path(), kDatabasePassword,
                      std::string("PRAGMA encoding = 'UTF-16le';") + kEightColumns);
        {
            auto conn = db.connect();
            sqlite3_stmt *insert = nullptr;
            QCOMPARE(sqlite3_prepare_v2(conn->handle(), "INSERT INTO student (\"姓名\") VALUES (?1)",
                                        -1, &insert, nullptr),
                     SQLITE_OK);
            const char16_t name[] = {u'A', char16_t(0xD800), u'B', 0};
            sqlite3_bind_text16(insert, 1, name, 6, SQLITE_STATIC);
            const int rc = sqlite3_step(insert);
            sqlite3_finalize(insert);
            QCOMPARE(rc, SQLITE_DONE);
        }
        const auto storedName = [&] {
            auto conn = db.connect();
            Statement st(*conn, "SELECT hex(CAST(\"姓名\" AS BLOB)) FROM student");
            return st.step() ? text(st.column(0)) : QString();
        };
        QCOMPARE(storedName(), QStringLiteral("410000D84200"));
        RecordSet rs;
        rs.open(db.connect(), allStudents());
        rs.setField(kExcellent, std::int64_t{1});
        rs.update();
        QCOMPARE(fileColumn(db, kExcellent), QStringList({"i:1"}));
        QCOMPARE(storedName(), QStringLiteral("410000D84200"));

        db.connect()->exec("UPDATE student SET \"良好\" = 5");
        rs.setField(kExcellent, std::int64_t{2});
        VERIFY_CONDITION(rs.update(), Condition::RowChanged);
        rs.deleteCurrent();
        QCOMPARE(db.count(), 0L);
    }

    void updateWhileLockedElsewhere()
    {
        TempDatabase db;
        db.add(student("甲", "高一", "1班", 1));
        Store store(db.directoryPath());
        store.opendb();
        store.rs->open(store.conn, allStudents());
        auto other = db.connect();
        other->exec("BEGIN EXCLUSIVE");
        other->exec("UPDATE student SET \"良好\" = 4");

        store.rs->setField(kExcellent, std::int64_t{9});
        QElapsedTimer timer;
        timer.start();
        VERIFY_ENGINE_CODE(store.rs->update(), SQLITE_BUSY);
        QVERIFY2(timer.elapsed() >= 1000, "gave up without waiting for the lock");
        other->exec("ROLLBACK");
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:1"));
        QCOMPARE(show(store.rs->field(kExcellent)), QStringLiteral("i:1"));

        // The failure left no transaction behind on the set's connection.
        store.rs->setField(kExcellent, std::int64_t{9});
        store.rs->update();
        QCOMPARE(stored(db, "甲", kExcellent), QStringLiteral("i:9"));
    }

    void recordSetOutlivesConnection()
    {
        TempDatabase db;
        db.addMany({student("甲"), student("乙")});
        Store store(db.directoryPath());
        store.opendb();
        store.rs->open(store.conn, allStudents());
        store.closeConn();
        store.opendb();
        store.closeConn();

        QCOMPARE(walkNames(*store.rs), QStringList({"甲", "乙"}));
        store.rs->setAbsolutePosition(2);
        store.rs->setField(kFail, std::int64_t{3});
        store.rs->update();
        QCOMPARE(stored(db, "乙", kFail), QStringLiteral("i:3"));
        store.rs->moveFirst();
        store.rs->deleteCurrent();
        QCOMPARE(fileNames(db), QStringList({"乙"}));
    }

    // --- record set: choosing a class -----------------------------------------
    void studentsOfClassMatchesExactly_data()
    {
        QTest::addColumn<QString>("grade");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain") << "高一" << "1班" << QStringList({"普通"});
        QTest::newRow("single quote") << "高'一" << "1班" << QStringList({"单引号"});
        QTest::newRow("double quote") << "高\"一" << "1班" << QStringList({"双引号"});
        QTest::newRow("or-true text") << "x' OR '1'='1" << "y" << QStringList({"注入"});
        QTest::newRow("or-true, other class") << "x' OR '1'='1" << "1班" << QStringList();
        QTest::newRow("statement text") << "高一" << "1班'; DELETE FROM student; --"
                                        << QStringList({"分号"});
        QTest::newRow("trailing space") << "高一" << "1班 " << QStringList({"空格"});
        QTest::newRow("empty grade") << "" << "1班" << QStringList({"空年级"});
        QTest::newRow("NULL as text") << "NULL" << "1班" << QStringList();
    }
    void studentsOfClassMatchesExactly()
    {
        QFETCH(QString, grade);
        QFETCH(QString, className);
        QFETCH(QStringList, expected);
        TempDatabase db;
        db.addMany({student("普通", "高一", "1班"), student("单引号", "高'一", "1班"),
                    student("双引号", "高\"一", "1班"), student("注入", "x' OR '1'='1", "y"),
                    student("分号", "高一", "1班'; DELETE FROM student; --"),
                    student("空格", "高一", "1班 "), student("空年级", "", "1班"),
                    student("无年级", std::nullopt, "1班"),
                    student("无班级", "高一", std::nullopt), student("普通二", "高一", "2班")});
        RecordSet rs;
        rs.open(db.connect(), studentsOfClass(grade.toStdString(), className.toStdString()));
        QCOMPARE(walkNames(rs), expected);
        QCOMPARE(rs.recordCount(), long(expected.size()));
        QCOMPARE(db.count(), 10L);
    }

    // --- values as text ----------------------------------------------------------
    void displayText_data()
    {
        QTest::addColumn<Value>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << Value(std::int64_t{0}) << "0";
        QTest::newRow("whole") << Value(std::int64_t{12}) << "12";
        QTest::newRow("negative") << Value(std::int64_t{-3}) << "-3";
        QTest::newRow("whole real") << Value(2.0) << "2";
        QTest::newRow("real") << Value(2.5) << "2.5";
        QTest::newRow("negative real") << Value(-0.25) << "-0.25";
        QTest::newRow("text") << Value(std::string("张三 0.5")) << "张三 0.5";
        QTest::newRow("NULL") << Value() << "";
    }
    void displayText()
    {
        QFETCH(Value, value);
        QFETCH(QString, expected);
        QCOMPARE(text(value), expected);
    }

    void displayTextIgnoresDecimalComma()
    {
        const std::string saved = std::setlocale(LC_ALL, nullptr);
        const char *set = nullptr;
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
            if ((set = std::setlocale(LC_ALL, name)))
                break;
        if (!set)
            QSKIP("no locale with a decimal comma is installed");
        const QString real = text(Value(2.5));
        const QString whole = text(Value(std::int64_t{12345}));
        std::setlocale(LC_ALL, saved.c_str());
        QCOMPARE(real, QStringLiteral("2.5"));
        QCOMPARE(whole, QStringLiteral("12345"));
    }
};

QTEST_APPLESS_MAIN(StoreTest)
#include "test_store.moc"
