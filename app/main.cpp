// Quorvel: calls on one student of a class and records the teacher's evaluation.

#include "app/wiring.h"
#include "platform/clock.h"
#include "platform/filedialog.h"
#include "platform/fonts.h"
#include "platform/geometry.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/speech.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "store/store.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

int main(int argc, char *argv[])
{
    quorvel::cacheLargeGlyphs();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setFont(quorvel::chineseFont(10.5));

    // The toolkit's own texts (file dialog, context menus) in Simplified Chinese.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    quorvel::QtMessageBox messages;
    quorvel::QtFileDialog files;
    quorvel::SystemClock clock;
    quorvel::SplitMixRandom random;
    const quorvel::Services services{messages, files, clock, random,
                                     QCoreApplication::applicationDirPath()};

    quorvel::store::Store store(services.programDirectory.toStdString());
    quorvel::MainWindow main(store, services);
    quorvel::connectDialogs(main, store, services);
    // The classroom options are remembered between runs.
    QSettings settings;
    quorvel::QtSpeech speech;
    quorvel::Classroom classroom(main, store, services, speech, settings);
    if (!main.load())
        return 1;
    quorvel::centreOnScreen(&main);
    main.show();
    return app.exec();
}
