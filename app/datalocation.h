#pragma once

// Where Quorvel keeps xsdata.d, and what happens at start when it is missing.

#include <QString>

namespace quorvel {

class MessageBox;

// What start-up finds out about the program's own folder and the user's data folder.
struct DataFacts {
    QString programDirectory;
    // The program may write there: a portable copy or a build folder. A folder
    // under /usr belongs to the package manager and never counts, not even for root.
    bool programDirectoryWritable = false;
    // xsdata.d already lies beside the program.
    bool fileBesideProgram = false;
    // $XDG_DATA_HOME, or ~/.local/share when that is unset, empty or relative.
    QString dataHome;
};

struct DataLocation {
    // The folder that holds (or will hold) xsdata.d.
    QString directory;
    // True only for the user's data folder: a missing file there may be
    // created on the teacher's say-so; beside the program it never is.
    bool mayCreate = false;
};

// Beside the program when a file is there or the folder is writable;
// otherwise dataHome/quorvel, where a missing file may be created.
DataLocation chooseDataLocation(const DataFacts &facts);

// The facts for this process: the file system and the environment.
DataFacts probeDataFacts(const QString &programDirectory);

// The folder that holds this program, as the system names it, known before
// the application object exists; empty when the system does not say.
QString runningProgramDirectory();

inline const QString kAskCreateDatabase =
    QStringLiteral("没有找到数据库文件，是否新建一个空的数据库？");
inline const QString kCreateDatabaseFailed = QStringLiteral("无法新建数据库文件：");

// Before the main window loads: where the file may be created and is missing,
// asks the teacher and, on Yes, creates the folder and an empty database.
// Returns false only when creating failed (the teacher has been told); after
// No the file stays missing and the main window's start-up reports it.
bool offerNewDatabase(const DataLocation &location, MessageBox &messages);

} // namespace quorvel
