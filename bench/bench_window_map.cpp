// bench_window_map: start-up to the window on screen, as the X server sees
// it. Starts a program and times the moment its window is mapped
// (MapNotify), side by side, in turns, for:
//   quorvel             to its main window (not the loading window)
//   bare window + key   a plain Qt window that first opens the same file with its key
//   bare window         the same without the file
// Needs an X server (run it under xvfb-run); prints medians of the runs: the
// time to the window, and the processor time the program has used by then,
// which is what the time comes to when other work keeps the processors busy.
//
//   bench_window_map [RUNS] [STUDENTS] [OTHER-QUORVEL...]
//
// Quorvel runs from a folder of its own holding a copy of the program and a
// database of STUDENTS students (default 2,000 in 40 classes), with a
// settings folder of its own (every classroom option off). Other builds of
// quorvel given after them (an older one, say) run in the same turns, each
// from a folder of its own with a copy of the same database.

#include "benchutil.h"
#include "tests/support/testdb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using quorvel::bench::Clock;

struct Subject {
    std::string label;
    std::string program;
    std::vector<std::string> arguments;
    std::string title;  // of the window whose mapping ends the run
    std::vector<double> ms;
    std::vector<double> cpuMs;  // processor time of all its threads by then
};

// The processor time the process has had so far, all its threads together,
// in milliseconds (the scheduler's own account, in nanoseconds).
double processorMs(pid_t pid)
{
    double ns = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            ns += stat.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

// The window's title as the toolkit sets it (_NET_WM_NAME, UTF-8).
std::string titleOf(Display *display, Window window)
{
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &type, &format, &items,
                           &after, &data) == Success && data) {
        title.assign(reinterpret_cast<char *>(data), items);
        XFree(data);
    }
    return title;
}

// Starts the subject, waits for its window, ends it. Milliseconds from the
// start to the MapNotify (and, in *cpuMs, its processor time by then);
// negative when it never came.
double timeToMap(Display *display, const Subject &s, const std::vector<std::string> &environment,
                 double *cpuMs = nullptr)
{
    std::vector<char *> argv{const_cast<char *>(s.program.c_str())};
    for (const std::string &a : s.arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &e : environment)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    XSync(display, True);  // nothing of an earlier run is left to read
    pid_t pid = 0;
    const auto start = Clock::now();

    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    double ms = -1;
    const int fd = ConnectionNumber(display);
    while (ms < 0 && quorvel::bench::millisecondsSince(start) < 20000) {
        if (!XPending(display)) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(fd, &ready);
            timeval wait{0, 100000};
            select(fd + 1, &ready, nullptr, nullptr, &wait);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && titleOf(display, event.xmap.window) == s.title) {
            ms = quorvel::bench::millisecondsSince(start);
            if (cpuMs)
                *cpuMs = processorMs(pid);
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    const int students = argc > 2 ? std::atoi(argv[2]) : 2000;
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_window_map: no X display (run it under xvfb-run)\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

    // Quorvel keeps its data beside itself: each program copied into a
    // folder of its own, with a copy of the database.
    const QString bin = QCoreApplication::applicationDirPath();
    QTemporaryDir home;
    quorvel::testing::TempDatabase db;
    if (students > 0)
        db.generate(students, std::max(1, students / 50));
    std::vector<std::string> programs{(bin + QStringLiteral("/quorvel")).toStdString()};
    for (int i = 3; i < argc; ++i)
        programs.emplace_back(argv[i]);
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    std::vector<Subject> subjects;
    for (const std::string &program : programs) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        const std::string folder = folders.back()->path().toStdString();
        std::filesystem::copy_file(program, folder + "/quorvel");
        std::filesystem::copy_file(db.path(), folder + "/xsdata.d");
        subjects.push_back({subjects.empty() ? std::string("quorvel")
                                             : "quorvel (" + std::to_string(subjects.size() + 1) + ")",
                            folder + "/quorvel", {}, "QuorvelV1.0", {}, {}});
    }
    std::vector<std::string> environment;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            environment.emplace_back(*e);
    environment.push_back("XDG_CONFIG_HOME=" + home.path().toStdString());
    environment.push_back("QT_QPA_PLATFORM=xcb");

    const std::string bare = (bin + QStringLiteral("/bare_window")).toStdString();
    const std::size_t bareWithKey = subjects.size();
    subjects.push_back({"bare window + key", bare, {db.path()}, "bare", {}, {}});
    subjects.push_back({"bare window", bare, {"--no-file"}, "bare", {}, {}});
    std::printf("bench_window_map: %d runs each, in turns; %d students in xsdata.d (%.1f MiB)\n",
                runs, students,
                static_cast<double>(QFile(QString::fromStdString(db.path())).size()) / 1048576.0);
    // One run of each first, not counted: the files are then in the page cache.
    for (Subject &s : subjects)
        timeToMap(display, s, environment);
    for (int r = 0; r < runs; ++r)
        for (Subject &s : subjects) {
            double cpu = 0;
            const double ms = timeToMap(display, s, environment, &cpu);
            if (ms < 0) {
                std::fprintf(stderr, "%s: no window mapped\n", s.label.c_str());
                return 1;
            }
            s.ms.push_back(ms);
            s.cpuMs.push_back(cpu);
            usleep(100000);
        }
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        const Subject &s = subjects[i];
        std::printf("  %-20s median %7.1f ms   min %7.1f   max %7.1f   processor %6.1f ms",
                    s.label.c_str(), quorvel::bench::median(s.ms), quorvel::bench::minimum(s.ms),
                    quorvel::bench::maximum(s.ms), quorvel::bench::median(s.cpuMs));
        if (i < bareWithKey)
            std::printf("   %.2f x the bare window + key",
                        quorvel::bench::median(s.ms) / quorvel::bench::median(subjects[bareWithKey].ms));
        std::printf("\n");
    }
    XCloseDisplay(display);
    return 0;
}
