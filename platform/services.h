#pragma once

#include <QString>

namespace quorvel {

class MessageBox;
class FileDialog;
class Clock;
class Random;
class WorkbookWriter;
class Launcher;
class WorkbookReader;

// The run-time services every window is given by the entry point.
struct Services {
    MessageBox &messages;
    FileDialog &files;
    Clock &clock;
    Random &random;
    // The directory that holds the program's own file.
    QString programDirectory;
    // Reads the workbooks the teacher imports.
    WorkbookReader *workbookReader = nullptr;
    // Writes export workbooks and opens them in the spreadsheet program.
    // Windows that export nothing may be given none.
    WorkbookWriter *workbookWriter = nullptr;
    Launcher *launcher = nullptr;
};

} // namespace quorvel
