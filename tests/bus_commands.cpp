// Commands from other programs on the session bus: each method against a
// running window, refusals that change nothing and show no box, and one
// running copy per file, with real copies of the program. CTest runs this on
// a private bus of its own (dbus-run-session).

#include "app/onecopy.h"
#include "app/remotecommands.h"
#include "rollcall/miniwindow.h"
#include "rollcall/projectorview.h"
#include "rollcall/texts.h"
#include "tests/support/buscaller.h"
#include "tests/support/lessonfixture.h"

#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCall>
#include <QtDBus/QDBusPendingCallWatcher>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kDialogOpenPrefix = QStringLiteral("请先关闭对话框“");

QString refused(const QString &why)
{
    return RemoteCommands::kRefused + u' ' + why;
}

bool onBus(const QString &name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

// The program copied beside a database file, as a portable copy keeps it;
// each start runs on that file, with settings of its own.
struct ProgramCopy {
    TempDatabase db;
    QTemporaryDir config;
    QString program = db.directory() + QStringLiteral("/quorvel");
    QString busName = busNameFor(QString::fromStdString(db.path()));

    ProgramCopy()
    {
        if (!QFile::copy(QStringLiteral(QUORVEL_PROGRAM), program))
            qFatal("cannot copy the program");
        db.add(pupil("学生1"));
    }
    void start(QProcess &p, const QStringList &arguments) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(program, arguments);
    }
    // Runs a start to its end: its exit status, and what it wrote on stderr.
    int run(const QStringList &arguments, QString *errors) const
    {
        QProcess p;
        start(p, arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        *errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

void end(QProcess &p)
{
    p.kill();
    p.waitForFinished();
}

} // namespace

class BusCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(),
                 "no session bus: run this under dbus-run-session");
    }

    void eachMethodAgainstARunningWindow()
    {
        LessonFixture f;
        QVERIFY(f.openLesson(3));
        RemoteCommands remote(*f.window, *f.room, f.routed);
        const QString name = busNameFor(QString::fromStdString(f.db.path()));
        OneCopy copy(QString::fromStdString(f.db.path()));
        QVERIFY(!copy.otherCopyRuns());
        QVERIFY(copy.offer(remote, false));
        Caller c(name);

        // No class chosen: the window's own refusal, answered, not shown.
        QCOMPARE(c.refusal("StartDraw"), refused(texts::kNoClassChosen));
        QVERIFY(!f.window->drawing());
        QCOMPARE(c.read("Class"), QString());

        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        QCOMPARE(c.read("Class"), QStringLiteral("高一 1班"));
        {
            // A dialog waits for the teacher: nothing is taken.
            QDialog dialog(f.window.get());
            dialog.setWindowTitle(QStringLiteral("导入数据"));
            dialog.setModal(true);
            dialog.show();
            QCOMPARE(c.refusal("ToggleDraw"), refused(kDialogOpenPrefix + QStringLiteral("导入数据”。")));
            QCOMPARE(c.refusal("ShowMiniWindow"), refused(kDialogOpenPrefix + QStringLiteral("导入数据”。")));
            QVERIFY(!f.window->drawing());
            QVERIFY(!f.room->miniWindow());
        }

        f.random.values = {0.9};
        QCOMPARE(c.refusal("StartDraw"), QString());
        QVERIFY(f.window->drawing());
        QVERIFY(!c.refusal("StartDraw").isEmpty());
        f.window->drawTick();
        QVERIFY(c.heard.isEmpty());  // names flashing by are not announced
        QCOMPARE(c.refusal("StopDraw"), QString());
        QVERIFY(!f.window->drawing());
        QTRY_COMPARE(c.heard, QStringList{QStringLiteral("学生3")});
        QCOMPARE(c.read("Name"), QStringLiteral("学生3"));
        QVERIFY(!c.refusal("StopDraw").isEmpty());
        QVERIFY(!c.refusal("Next").isEmpty());  // no walk

        QVERIFY(f.window->press(MainWindow::Control::Walk));
        QVERIFY(!c.refusal("ToggleDraw").isEmpty());  // the draw waits for the walk to end
        QCOMPARE(c.refusal("Next"), QString());
        QCOMPARE(c.refusal("Next"), QString());
        QCOMPARE(c.refusal("Previous"), QString());
        QTRY_COMPARE(c.heard.size(), 5);  // the walk's first student, then each step
        QCOMPARE(c.heard.mid(2), (QStringList{QStringLiteral("学生2"), QStringLiteral("学生3"),
                                              QStringLiteral("学生2")}));
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));

        QCOMPARE(c.refusal("ShowMiniWindow"), QString());
        QVERIFY(f.room->miniWindow() && f.room->miniWindow()->isVisible());
        QCOMPARE(f.room->miniWindow()->nameText(), QStringLiteral("学生2"));
        QCOMPARE(c.refusal("HideMiniWindow"), QString());
        QTRY_VERIFY(!f.room->miniWindow());
        QCOMPARE(c.refusal("ShowProjector"), QString());
        QVERIFY(f.room->projector() && f.room->projector()->isVisible());
        QCOMPARE(c.refusal("HideProjector"), QString());
        QTRY_VERIFY(!f.room->projector());
        f.window->showMinimized();
        QCOMPARE(c.refusal("Activate"), QString());
        QVERIFY(!(f.window->windowState() & Qt::WindowMinimized));

        // Not one box was shown for the refusals.
        QVERIFY(f.messages.shown.empty());
    }

    void aWarningOfACommandCarriedOutIsShownAfterwards()
    {
        LessonFixture f;
        QVERIFY(f.openLesson(3));
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.room->setFairDraw(true);
        RemoteCommands remote(*f.window, *f.room, f.routed);
        OneCopy copy(QString::fromStdString(f.db.path()));
        QVERIFY(copy.offer(remote, false));
        Caller c(busNameFor(QString::fromStdString(f.db.path())));
        auto other = f.db.connect();
        other->exec("BEGIN IMMEDIATE");  // another copy holds the file: the round cannot be written

        QCOMPARE(c.refusal("StartDraw"), QString());
        f.window->drawTick();
        QCOMPARE(c.refusal("StopDraw"), QString());  // the draw stopped all the same
        QVERIFY(!f.window->drawing());
        QTRY_COMPARE(f.messages.shown.size(), std::size_t{1});
        QVERIFY(f.messages.lastText().contains(QStringLiteral("本次运行中仍然有效")));
        other->exec("ROLLBACK");
    }

    void oneCopyPerFile()
    {
        ProgramCopy copy;
        QString errors;
        QProcess first;
        copy.start(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(onBus(copy.busName), 60000);
        const QString owner =
            QDBusConnection::sessionBus().interface()->serviceOwner(copy.busName).value();

        // A second start hands over its command and ends; the running copy
        // refuses it (no class is chosen) and the caller says why.
        QCOMPARE(copy.run({"--draw"}, &errors), 1);
        QVERIFY2(errors.contains(texts::kNoClassChosen), qPrintable(errors));
        // A plain second start brings the running copy to the front and ends.
        QCOMPARE(copy.run({}, &errors), 0);
        QCOMPARE(QDBusConnection::sessionBus().interface()->serviceOwner(copy.busName).value(), owner);
        QCOMPARE(first.state(), QProcess::Running);

        // --new-copy runs one more copy on the same file; it waits in line
        // for the interface's name.
        QProcess second;
        copy.start(second, {"--new-copy"});
        const auto inLine = [] {
            const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListQueuedOwners"))
                << RemoteCommands::kInterface);
            return reply.arguments().isEmpty() ? 0 : reply.arguments().first().toStringList().size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(inLine(), 2, 60000);
        end(second);
        end(first);
        QTRY_VERIFY_WITH_TIMEOUT(!onBus(copy.busName), 10000);

        // With none running, --draw starts a copy that carries it out itself;
        // its refusal is then on its screen, in a box.
        QProcess started;
        copy.start(started, {"--draw"});
        QTRY_VERIFY_WITH_TIMEOUT(onBus(copy.busName), 60000);
        Caller c(copy.busName);
        QTRY_COMPARE_WITH_TIMEOUT(c.refusal("StartDraw"),
                                  refused(kDialogOpenPrefix + QStringLiteral("Brenmoor”。")), 60000);
        end(started);
    }
};

QTEST_MAIN(BusCommandsTest)
#include "bus_commands.moc"
