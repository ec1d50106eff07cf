// Quorvel: calls on one student of a class and records the teacher's evaluation.

#include "app/commandline.h"
#include "app/datalocation.h"
#include "app/onecopy.h"
#include "app/remotecommands.h"
#include "app/wiring.h"
#include "platform/clock.h"
#include "platform/filedialog.h"
#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/routedmessagebox.h"
#include "workbook/processworkbook.h"
#include "platform/random.h"
#include "workbook/workbookwriter.h"
#include "platform/speech.h"
#include "rollcall/backupwindow.h"
#include "rollcall/classroom.h"
#include "rollcall/dailysnapshot.h"
#include "rollcall/mainwindow.h"
#include "store/store.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Hands this start's commands to the copy that runs on the file, and ends at
// once: this start has written nothing and holds nothing to give back, and
// the file's key still being derived on its thread would keep it waiting.
[[noreturn]] void handOver(const quorvel::OneCopy &oneCopy,
                           const std::vector<quorvel::Command> &commands)
{
    const int status = oneCopy.sendToRunningCopy(commands);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version answer on the terminal, without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const quorvel::CommandLine command =
        quorvel::readCommandLine(arguments, QStringLiteral(QUORVEL_VERSION));
    if (command.action != quorvel::CommandLine::Action::Run) {
        std::fputs(command.text.toLocal8Bit().constData(), stdout);
        return 0;
    }

    // Most of the start-up's wait is the file's key being derived: that runs
    // on a thread of its own while the toolkit and the windows come up.
    QString programDirectory = quorvel::runningProgramDirectory();
    std::optional<quorvel::DataLocation> data;
    std::unique_ptr<quorvel::store::Store> store;
    if (!programDirectory.isEmpty()) {
        data = quorvel::chooseDataLocation(quorvel::probeDataFacts(programDirectory));
        store = std::make_unique<quorvel::store::Store>(data->directory.toStdString());
        store->openInAdvance();
    }
    // Quorvel's own options are kept from the toolkit.
    std::vector<char *> kept;
    for (int i = 0; i < argc; ++i)
        if (i == 0 || !quorvel::isOwnOption(arguments.at(i)))
            kept.push_back(argv[i]);
    int keptCount = static_cast<int>(kept.size());
    kept.push_back(nullptr);
    QApplication app(keptCount, kept.data());
    if (keptCount > 1) {  // what the toolkit did not take either
        std::fputs(quorvel::unknownArgumentText(QString::fromLocal8Bit(kept[1]))
                       .toLocal8Bit().constData(), stderr);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setFont(quorvel::chineseFont(10.5));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));

    quorvel::QtMessageBox messages;
    quorvel::RoutedMessageBox routedMessages(messages);
    quorvel::QtFileDialog files;
    quorvel::SystemClock clock;
    quorvel::SplitMixRandom random;
    if (programDirectory.isEmpty())
        programDirectory = QCoreApplication::applicationDirPath();
    quorvel::ProcessWorkbookReader workbookReader(
        quorvel::ProcessWorkbookReader::programIn(programDirectory));
    quorvel::XlsxWorkbookWriter workbookWriter;
    quorvel::SystemLauncher launcher;
    const quorvel::Services services{routedMessages, files, clock, random, programDirectory,
                                     &workbookReader, &workbookWriter, &launcher};

    if (!data)
        data = quorvel::chooseDataLocation(quorvel::probeDataFacts(services.programDirectory));
    // One copy a file: a copy that runs on it takes this start's commands.
    quorvel::OneCopy oneCopy(QDir(data->directory).filePath(QStringLiteral("xsdata.d")));
    if (!command.newCopy && oneCopy.otherCopyRuns())
        handOver(oneCopy, command.commands);
    if (!store)
        store = std::make_unique<quorvel::store::Store>(data->directory.toStdString());
    quorvel::MainWindow main(*store, services);
    quorvel::connectDialogs(main, *store, services);
    // The classroom options are remembered between runs.
    QSettings settings;
    quorvel::QtSpeech speech;
    quorvel::Classroom classroom(main, *store, services, speech, settings);
    // Commands from other programs never wait on a message box.
    quorvel::RemoteCommands remote(main, classroom, routedMessages);
    if (!oneCopy.offer(remote, command.newCopy))
        handOver(oneCopy, command.commands);  // another start was quicker
    if (!quorvel::offerNewDatabase(*data, messages))
        return 1;
    quorvel::addRosterEntries(main, classroom, *store, services);
    quorvel::connectCallOverview(main, classroom, *store, services, settings);
    if (!main.load())
        return 1;
    quorvel::centreOnScreen(&main);
    main.show();
    // This start's own commands, once the window is up; a refusal is shown.
    QTimer::singleShot(0, &main, [&remote, &messages, commands = command.commands] {
        for (quorvel::Command c : commands)
            if (const QString why = remote.carryOut(c); !why.isEmpty()) {
                messages.show(why, quorvel::MessageStyle::Error);
                return;
            }
    });
    // Once the window is up (they cost its start-up some milliseconds, and
    // nothing before it needs them): the icon, looked up in the icon theme,
    // and the toolkit's own texts (file dialog, context menus) in Simplified
    // Chinese; message boxes carry their own button texts.
    // Once the window is up: the file's integrity check, then today's backup
    // when it is due. A damaged file is named, and a sound backup offered.
    quorvel::DailySnapshot snapshot(store->databasePath(), clock);
    snapshot.reportFailuresIn(main.statusBar());
    QObject::connect(&snapshot, &quorvel::DailySnapshot::damaged, &main,
                     [&store, &services, &classroom](const QString &found) {
                         if (!quorvel::restoreDamagedWhileShown(*store, services,
                                                                classroom.restoreHooks(), found))
                             QCoreApplication::exit(1);
                     });
    QTimer::singleShot(0, &snapshot, [&store, &snapshot] {
        store->checkInBackground();
        snapshot.start(store->awaitDamage());
    });
    QTranslator qtTexts;
    QTimer::singleShot(0, &app, [&qtTexts] {
        QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quorvel.Quorvel")));
        if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&qtTexts);
    });
    return app.exec();
}
