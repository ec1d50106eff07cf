#include "app/datalocation.h"

#include "platform/messagebox.h"
#include "store/error.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace quorvel {

namespace {

QString databaseFileIn(const QString &directory)
{
    return QString::fromStdString(store::databasePath(directory.toStdString()));
}

bool isSystemDirectory(const QString &directory)
{
    const QString path = QFileInfo(directory).canonicalFilePath();
    return path == QLatin1String("/usr") || path.startsWith(QLatin1String("/usr/"));
}

} // namespace

DataLocation chooseDataLocation(const DataFacts &facts)
{
    if (facts.fileBesideProgram || facts.programDirectoryWritable)
        return {facts.programDirectory, false};
    return {QDir(facts.dataHome).filePath(QStringLiteral("quorvel")), true};
}

DataFacts probeDataFacts(const QString &programDirectory)
{
    DataFacts facts;
    facts.programDirectory = programDirectory;
    const QFileInfo dir(programDirectory);
    facts.programDirectoryWritable = dir.isDir() && dir.isWritable()
                                     && !isSystemDirectory(programDirectory);
    facts.fileBesideProgram = QFileInfo::exists(databaseFileIn(programDirectory));
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    facts.dataHome = QDir::isAbsolutePath(xdg)
                         ? xdg
                         : QDir(QDir::homePath()).filePath(QStringLiteral(".local/share"));
    return facts;
}

QString runningProgramDirectory()
{
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !program.has_parent_path())
        return {};
    return QFile::decodeName(QByteArray::fromStdString(program.parent_path().string()));
}

bool offerNewDatabase(const DataLocation &location, MessageBox &messages)
{
    const QString path = databaseFileIn(location.directory);
    if (!location.mayCreate || QFileInfo::exists(path))
        return true;
    if (messages.show(kAskCreateDatabase, MessageStyle::Question) != Answer::Yes)
        return true;

    QString reason;
    // The class lists are the teacher's alone: the folder is private.
    const QString parent = QFileInfo(location.directory).absolutePath();
    const bool folderReady =
        QFileInfo(location.directory).isDir()
        || (QDir().mkpath(parent)
            && QDir().mkdir(location.directory,
                            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (!folderReady) {
        reason = QStringLiteral("无法创建文件夹 ") + location.directory;
    } else {
        try {
            store::createDatabase(path.toStdString());
            return true;
        } catch (const store::DbError &e) {
            reason = QString::fromUtf8(e.what());
        }
    }
    messages.show(kCreateDatabaseFailed + path + u'\n' + reason, MessageStyle::Error);
    return false;
}

} // namespace quorvel
