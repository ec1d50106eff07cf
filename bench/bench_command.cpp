// bench_command: a command from another program on the session bus to the
// name it shows: from the call of Next (in a walk) or of StopDraw until the
// caller hears NameShown, with the window on a class of 50, the classroom
// features and the small window attached. The caller has a bus connection of
// its own and shares the window's thread, as the window answers on it.
//
// Needs a session bus: without one it runs itself under dbus-run-session.
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "app/onecopy.h"
#include "app/remotecommands.h"
#include "rollcall/miniwindow.h"
#include "tests/support/buscaller.h"
#include "tests/support/lessonfixture.h"

#include <QElapsedTimer>

#include <unistd.h>

using namespace quorvel;

namespace {

constexpr int kRuns = 300;

// Milliseconds from sending the command to hearing the name it showed.
double commandToName(testing::Caller &caller, const QString &method)
{
    const qsizetype before = caller.heard.size();
    QElapsedTimer clock;
    clock.start();
    QDBusPendingCall pending = caller.send(method);
    while (caller.heard.size() == before && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (caller.heard.size() == before)
        throw std::runtime_error(("no name heard after " + method).toStdString());
    pending.waitForFinished();
    return ms;
}

void print(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-34s median %6.2f ms   p90 %6.2f ms   max %6.2f ms\n", what,
                bench::median(ms), bench::percentile(ms, 0.9), bench::maximum(ms));
}

int run()
{
    testing::LessonFixture f;
    if (!f.openLesson(50))
        throw std::runtime_error("the window did not open");
    RemoteCommands remote(*f.window, *f.room, f.routed);
    OneCopy copy(QString::fromStdString(f.db.path()));
    if (!copy.offer(remote, false))
        throw std::runtime_error("the bus name is taken");
    f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
    f.room->openMiniWindow();
    testing::Caller caller(busNameFor(QString::fromStdString(f.db.path())));

    std::vector<double> steps, draws;
    f.window->press(MainWindow::Control::Walk);
    for (int i = 0; i < kRuns; ++i)
        steps.push_back(commandToName(caller, i % 50 < 25 ? QStringLiteral("Next")
                                                          : QStringLiteral("Previous")));
    f.window->press(MainWindow::Control::Walk);
    for (int i = 0; i < kRuns; ++i) {
        if (!caller.refusal(QStringLiteral("StartDraw")).isEmpty())
            throw std::runtime_error("the draw did not start");
        f.window->drawTick();
        draws.push_back(commandToName(caller, QStringLiteral("StopDraw")));
    }
    std::printf("bench_command: %d commands each, over the session bus, to the name heard back\n",
                kRuns);
    print("Next / Previous in a walk", steps);
    print("StopDraw", draws);
    std::printf("  small window shows the last name: %s\n",
                f.room->miniWindow()->nameText() == f.window->shownName() ? "yes" : "NO");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        && !qEnvironmentVariableIsSet("QUORVEL_BENCH_OWN_BUS")) {
        setenv("QUORVEL_BENCH_OWN_BUS", "1", 1);
        std::vector<char *> args{const_cast<char *>("dbus-run-session"), const_cast<char *>("--")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("dbus-run-session", args.data());
        std::perror("bench_command: dbus-run-session");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        return run();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_command: %s\n", e.what());
        return 1;
    }
}
