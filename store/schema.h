#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace quorvel::store {

class Connection;

// The database file's name, beside the program.
inline constexpr std::string_view kDatabaseFileName = "xsdata.d";
// The key the file is encrypted with (UTF-8 of the ten characters).
inline constexpr std::string_view kDatabasePassword = "ǒèíūàǜēóǐā";

// The eight columns the program reads and writes.
inline constexpr std::string_view kName = "姓名";
inline constexpr std::string_view kGrade = "年级";
inline constexpr std::string_view kClass = "班级";
inline constexpr std::string_view kExcellent = "优秀";
inline constexpr std::string_view kGood = "良好";
inline constexpr std::string_view kPass = "及格";
inline constexpr std::string_view kFail = "不及格";
inline constexpr std::string_view kDeducted = "倒扣学分";

// directory + one separator + "xsdata.d"; a directory that already ends in a
// separator gets no second one.
std::string databasePath(const std::string &directory);

// Proves the key and checks that the file holds table `student` with the
// eight columns; throws DbError (NOTADB for a wrong key, NoTable otherwise).
void verifySchema(const Connection &connection);

// Creates an empty, keyed database with table `student` at path. Refuses,
// with DbError, to touch a file that already exists.
void createDatabase(const std::string &path);

} // namespace quorvel::store
