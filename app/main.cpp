// Quorvel: calls on one student of a class and records the teacher's evaluation.

#include "app/commandline.h"
#include "app/datalocation.h"
#include "app/wiring.h"
#include "platform/clock.h"
#include "platform/filedialog.h"
#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "workbook/processworkbook.h"
#include "platform/random.h"
#include "workbook/workbookwriter.h"
#include "platform/speech.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "store/store.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <optional>

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
    QApplication app(argc, argv);
    if (argc > 1) {  // what the toolkit did not take either
        std::fputs(quorvel::unknownArgumentText(QString::fromLocal8Bit(argv[1]))
                       .toLocal8Bit().constData(), stderr);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setFont(quorvel::chineseFont(10.5));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvel.Quorvel"));

    quorvel::QtMessageBox messages;
    quorvel::QtFileDialog files;
    quorvel::SystemClock clock;
    quorvel::SplitMixRandom random;
    if (programDirectory.isEmpty())
        programDirectory = QCoreApplication::applicationDirPath();
    quorvel::ProcessWorkbookReader workbookReader(
        quorvel::ProcessWorkbookReader::programIn(programDirectory));
    quorvel::XlsxWorkbookWriter workbookWriter;
    quorvel::SystemLauncher launcher;
    const quorvel::Services services{messages, files, clock, random, programDirectory,
                                     &workbookReader, &workbookWriter, &launcher};

    if (!data)
        data = quorvel::chooseDataLocation(quorvel::probeDataFacts(services.programDirectory));
    if (!quorvel::offerNewDatabase(*data, messages))
        return 1;
    if (!store)
        store = std::make_unique<quorvel::store::Store>(data->directory.toStdString());
    quorvel::MainWindow main(*store, services);
    quorvel::connectDialogs(main, *store, services);
    // The classroom options are remembered between runs.
    QSettings settings;
    quorvel::QtSpeech speech;
    quorvel::Classroom classroom(main, *store, services, speech, settings);
    quorvel::connectCallOverview(main, classroom, *store, services, settings);
    if (!main.load())
        return 1;
    quorvel::centreOnScreen(&main);
    main.show();
    // Once the window is up (they cost its start-up some milliseconds, and
    // nothing before it needs them): the icon, looked up in the icon theme,
    // and the toolkit's own texts (file dialog, context menus) in Simplified
    // Chinese; message boxes carry their own button texts.
    QTranslator qtTexts;
    QTimer::singleShot(0, &app, [&qtTexts] {
        QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quorvel.Quorvel")));
        if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(&qtTexts);
    });
    return app.exec();
}
