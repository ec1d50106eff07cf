#pragma once

// Throw-away databases for tests and benchmarks.

#include "store/connection.h"
#include "store/value.h"

#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace quorvel::testing {

struct StudentRow {
    std::string name;
    std::optional<std::string> grade;
    std::optional<std::string> className;
    std::int64_t excellent = 0, good = 0, pass = 0, fail = 0;
    store::Value deducted = std::int64_t{0};
};

// A student of 高一 1班 unless told otherwise, with no tallies.
inline StudentRow pupil(std::string name, std::string grade = "高一", std::string className = "1班")
{
    StudentRow r;
    r.name = std::move(name);
    r.grade = std::move(grade);
    r.className = std::move(className);
    return r;
}

// A temporary program directory holding an empty, keyed xsdata.d.
class TempDatabase {
public:
    TempDatabase();
    // Only the directory: no database file in it.
    static TempDatabase withoutFile();

    const QString &directory() const { return directoryText_; }
    std::string directoryPath() const { return directoryText_.toStdString(); }
    std::string path() const;

    // A second, independent connection to the file, as another copy of the
    // program would hold.
    std::shared_ptr<store::Connection> connect() const;

    void add(const StudentRow &row) const;
    // Adds many rows in one transaction.
    void addMany(const std::vector<StudentRow> &rows) const;
    // n students spread evenly over the given number of classes (grades
    // "高20xx级", classes "n班"), in one transaction.
    void generate(int students, int classes) const;
    long count() const;
    // One column of the first row with this name.
    store::Value value(const std::string &name, const std::string &column) const;

private:
    struct NoFile {};
    explicit TempDatabase(NoFile);
    QTemporaryDir dir_;
    QString directoryText_;
};

} // namespace quorvel::testing
