#pragma once

#include <QString>

namespace quorvel {

class MessageBox;
class FileDialog;
class Clock;
class Random;
class WorkbookWriter;
class Launcher;

// The run-time services every window is given by the entry point.
struct Services {
    MessageBox &messages;
    FileDialog &files;
    Clock &clock;
    Random &random;
    // The directory that holds the program's own file.
    QString programDirectory;
    // Writes export workbooks and opens them in the spreadsheet program.
    // Windows that export nothing may be given none.
    WorkbookWriter *workbooks = nullptr;
    Launcher *launcher = nullptr;
};

} // namespace quorvel
