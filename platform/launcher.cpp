#include "platform/launcher.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace quorvel {

namespace {

// How often a child is looked at while it is watched, and afterwards.
constexpr int kWatchTickMs = 100;
constexpr int kReapTickMs = 2000;

// posix_spawn's attributes and file actions, freed on every road out.
class SpawnSetup {
public:
    SpawnSetup()
    {
        posix_spawnattr_init(&attr_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;
    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;
};

QString programName(const QString &program)
{
    return QFileInfo(program).fileName();
}

} // namespace

struct SystemLauncher::Children {
    struct Child {
        pid_t pid;
        QString name;
        Failed failed;  // dropped once the watch is over
        QElapsedTimer since;
    };
    int watchMs;
    std::vector<Child> children;
    QTimer timer;

    // Reaps the children that have ended; reports those that failed while
    // watched.
    void look()
    {
        std::vector<std::pair<Failed, QString>> failures;
        for (auto it = children.begin(); it != children.end();) {
            int status = 0;
            const pid_t done = ::waitpid(it->pid, &status, WNOHANG);
            if (done == 0) {
                if (it->failed && it->since.elapsed() >= watchMs)
                    it->failed = nullptr;  // still running: it has started
                ++it;
                continue;
            }
            if (it->failed && done == it->pid) {
                if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
                    failures.emplace_back(it->failed, QStringLiteral("%1启动后出错退出（返回值%2）")
                                                          .arg(it->name).arg(WEXITSTATUS(status)));
                else if (WIFSIGNALED(status))
                    failures.emplace_back(it->failed, QStringLiteral("%1启动后意外终止（信号%2）")
                                                          .arg(it->name).arg(WTERMSIG(status)));
            }
            it = children.erase(it);
        }
        pace();
        // Last: a report may start another program.
        for (const auto &[failed, reason] : failures)
            if (failed)
                failed(reason);
    }

    void pace()
    {
        bool watching = false;
        for (const Child &c : children)
            watching = watching || static_cast<bool>(c.failed);
        if (children.empty())
            timer.stop();
        else
            timer.start(watching ? kWatchTickMs : kReapTickMs);
    }
};

SystemLauncher::SystemLauncher(int watchMs) : children_(std::make_unique<Children>())
{
    children_->watchMs = watchMs;
    QObject::connect(&children_->timer, &QTimer::timeout, [c = children_.get()] { c->look(); });
}

// Children still running go on by themselves; the system reaps them.
SystemLauncher::~SystemLauncher() = default;

QString SystemLauncher::findProgram(const QStringList &names) const
{
    for (const QString &name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

void SystemLauncher::start(const QString &program, const QStringList &arguments, Failed failed)
{
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString &a : arguments)
        texts.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    // A session of its own (closing Quorvel's terminal does not end it), the
    // default signal handling, and its chatter kept out of ours.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attr_, &none);
    posix_spawnattr_setsigdefault(&setup.attr_, &defaults);
    posix_spawnattr_setflags(&setup.attr_,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&setup.actions_, fd, "/dev/null",
                                         fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, texts[0].constData(), &setup.actions_, &setup.attr_,
                                  argv.data(), environ);
    if (err != 0) {
        const QString reason = QStringLiteral("无法启动%1（%2）")
                                   .arg(programName(program), QString::fromLocal8Bit(std::strerror(err)));
        if (failed)
            QTimer::singleShot(0, &children_->timer,
                               [failed = std::move(failed), reason] { failed(reason); });
        return;
    }
    Children::Child child{pid, programName(program), std::move(failed), {}};
    child.since.start();
    children_->children.push_back(std::move(child));
    children_->pace();
}

} // namespace quorvel
