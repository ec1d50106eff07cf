// Quorvel as an installed program: where it keeps its file, the question on
// first start, the terminal options, and the package the build makes.

#include "app/commandline.h"
#include "app/datalocation.h"
#include "tests/support/windowfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

// Runs a program to its end; returns its exit code, or -1 if it did not finish.
int run(const QString &program, const QStringList &args, QByteArray *out = nullptr,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = p.readAllStandardOutput() + p.readAllStandardError();
    return p.exitCode();
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void fileLivesBesideTheProgramUnlessItCannot()
    {
        const auto where = [](bool writable, bool beside) {
            return chooseDataLocation({"/opt/q/bin", writable, beside, "/home/t/.local/share"});
        };
        for (const DataLocation &d : {where(false, true), where(true, false), where(true, true)}) {
            QCOMPARE(d.directory, QStringLiteral("/opt/q/bin"));
            QVERIFY(!d.mayCreate);
        }
        QCOMPARE(where(false, false).directory, QStringLiteral("/home/t/.local/share/quorvel"));
        QVERIFY(where(false, false).mayCreate);

        // What the running process finds out; a folder under /usr is never the
        // program's own, even for root.
        TempDatabase program;
        qputenv("XDG_DATA_HOME", "relative/share");
        DataFacts facts = probeDataFacts(program.directory());
        QVERIFY(facts.fileBesideProgram);
        QCOMPARE(facts.dataHome, QDir::homePath() + "/.local/share");
        qputenv("XDG_DATA_HOME", "/srv/data");
        facts = probeDataFacts(QStringLiteral("/usr/bin"));
        QVERIFY(!facts.programDirectoryWritable && !facts.fileBesideProgram);
        QCOMPARE(chooseDataLocation(facts).directory, QStringLiteral("/srv/data/quorvel"));
        qunsetenv("XDG_DATA_HOME");
    }

    void firstStartAsksAndYesCreatesAnEmptyDatabase()
    {
        WindowFixture f;  // f.db's folder stands for the user's data folder
        QVERIFY(QDir(f.db.directory()).removeRecursively());
        const DataLocation data{f.db.directory() + "/share/quorvel", true};
        f.store = std::make_unique<store::Store>(data.directory.toStdString());

        f.messages.answers = {Answer::Yes};
        QVERIFY(offerNewDatabase(data, f.messages));
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.lastText(), QStringLiteral("没有找到数据库文件，是否新建一个空的数据库？"));
        QCOMPARE(f.messages.shown[0].style, MessageStyle::Question);
        QCOMPARE(QFileInfo(data.directory).permissions() & 0x0077, QFile::Permissions());

        // The new file opens as any database; the next start asks nothing.
        f.window = std::make_unique<MainWindow>(*f.store, f.services);
        QVERIFY(f.window->load());
        QVERIFY(offerNewDatabase(data, f.messages));
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
    }

    void noCreationWithoutYesOrBesideTheProgram()
    {
        WindowFixture f;
        QVERIFY(QFile::remove(f.db.directory() + "/xsdata.d"));
        // Beside the program a missing file is never offered.
        QVERIFY(offerNewDatabase({f.db.directory(), false}, f.messages));
        QVERIFY(f.messages.shown.empty());

        // No: start-up goes on as without the question and names the path it looked at.
        f.messages.answers = {Answer::No};
        QVERIFY(offerNewDatabase({f.db.directory(), true}, f.messages));
        QVERIFY(!f.open());
        QCOMPARE(f.messages.lastText(),
                 QStringLiteral("找不到数据库文件：") + QString::fromStdString(f.db.path()));
        QVERIFY(!QFileInfo::exists(f.db.directory() + "/xsdata.d"));

        // A folder that cannot be made: the teacher is told, start-up ends.
        QFile blocker(f.db.directory() + "/file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        f.messages.answers = {Answer::Yes};
        QVERIFY(!offerNewDatabase({blocker.fileName() + "/quorvel", true}, f.messages));
        QVERIFY(f.messages.lastText().startsWith(kCreateDatabaseFailed + blocker.fileName()));
        QCOMPARE(f.messages.shown.back().style, MessageStyle::Error);
    }

    void helpAndVersionNeedNoDisplay()
    {
        // A window would fail here: no display, and the X11 platform forced.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        QByteArray out;
        QCOMPARE(run(QUORVEL_PROGRAM, {"--help"}, &out, env), 0);
        QVERIFY(QString::fromUtf8(out).startsWith("用法：quorvel [选项]\n"));
        QCOMPARE(run(QUORVEL_PROGRAM, {"-platform", "xcb", "-v"}, &out, env), 0);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("课堂点名 Quorvel 1.0\n"));

        env.insert("QT_QPA_PLATFORM", "offscreen");
        QCOMPARE(run(QUORVEL_PROGRAM, {"--bogus"}, &out, env), 2);
        QVERIFY(QString::fromUtf8(out).contains("无法识别的参数：--bogus"));
    }

    void menuEntryAndMetadataValidate()
    {
        const QString tool = QStandardPaths::findExecutable("desktop-file-validate");
        const QString appstream = QStandardPaths::findExecutable("appstreamcli");
        if (tool.isEmpty() || appstream.isEmpty())
            QSKIP("desktop-file-validate or appstreamcli is not installed");
        const QString dir = QUORVEL_SOURCE_DIR "/packaging/";
        QByteArray out;
        QCOMPARE(run(tool, {dir + "org.quorvel.Quorvel.desktop"}, &out), 0);
        QVERIFY2(out.isEmpty(), out.constData());
        QVERIFY2(run(appstream, {"validate", "--no-net", dir + "org.quorvel.Quorvel.metainfo.xml"},
                     &out) == 0,
                 out.constData());
    }

    // The reader program starts at every import: it loads none of Qt.
    void readerProgramNeedsNoToolkit()
    {
        QByteArray dynamic;
        QCOMPARE(run("readelf", {"-d", QUORVEL_BINARY_DIR "/bin/quorvel-sheetreader"}, &dynamic), 0);
        QVERIFY2(dynamic.contains("libfreexl") && !dynamic.contains("libQt"), dynamic.constData());
    }

    void debianPackageHoldsTheProgramsAndRuntimeDepends()
    {
        for (const char *tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP("the Debian packaging tools are not installed");
        QTemporaryDir out;
        QByteArray log;
        QVERIFY2(run("cpack", {"-G", "DEB", "--config", QUORVEL_BINARY_DIR "/CPackConfig.cmake",
                               "-B", out.path()}, &log) == 0,
                 log.constData());
        const QStringList debs = QDir(out.path()).entryList({"quorvel_*.deb"});
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs[0]);

        QByteArray list;
        QCOMPARE(run("dpkg-deb", {"--contents", deb}, &list), 0);
        for (const char *file :
             {" root/root .* ./usr/bin/quorvel\n", "-rwxr-xr-x .* ./usr/bin/quorvel-newdb\n",
              "-rwxr-xr-x .* ./usr/bin/quorvel-sheetreader\n",
              "./usr/share/applications/org.quorvel.Quorvel.desktop\n",
              "./usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml\n",
              "./usr/share/icons/hicolor/scalable/apps/org.quorvel.Quorvel.svg\n",
              "./usr/share/icons/hicolor/48x48/apps/org.quorvel.Quorvel.png\n",
              "./usr/share/man/man1/quorvel.1.gz\n", "./usr/share/doc/quorvel/copyright\n",
              "./usr/share/doc/quorvel/changelog.gz\n"})
            QVERIFY2(QString::fromUtf8(list).contains(QRegularExpression(file)), file);
        QVERIFY2(!list.contains("xsdata.d") && !list.contains("bench_") && !list.contains("test_"),
                 list.constData());

        QByteArray depends;
        QCOMPARE(run("dpkg-deb", {"--field", deb, "Depends"}, &depends), 0);
        for (const char *package : {"libc6", "libqt6widgets6", "libsqlcipher0", "libfreexl1", "libxlsxwriter4"})
            QVERIFY2(depends.contains(package), depends.constData());
        QVERIFY2(!depends.contains("-dev"), depends.constData());
    }
};

QTEST_MAIN(InstallTest)
#include "test_install.moc"
