#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTimer;

namespace quorvel {

// Finds and starts other programs on the desktop.
class Launcher {
public:
    virtual ~Launcher() = default;
    // The full path of the first of these programs found on the PATH; empty
    // when none is there.
    virtual QString findProgram(const QStringList &names) const = 0;
    // Called, on the event loop and at most once, when a program could not be
    // started or ended with an error soon after it started; the reason is in
    // Chinese.
    using Failed = std::function<void(const QString &reason)>;
    // Starts the program and returns at once: it runs on by itself, in a
    // session of its own, and outlives this one.
    virtual void start(const QString &program, const QStringList &arguments, Failed failed) = 0;
};

// Starts programs with posix_spawn and watches each for its first seconds:
// an exit with an error (or by a signal) within them is a failure, an exit
// without one or a program still running at their end a success. Later the
// program is only reaped.
class SystemLauncher final : public Launcher {
public:
    static constexpr int kWatchMs = 8000;

    explicit SystemLauncher(int watchMs = kWatchMs);
    ~SystemLauncher() override;
    QString findProgram(const QStringList &names) const override;
    void start(const QString &program, const QStringList &arguments, Failed failed) override;

private:
    struct Children;
    std::unique_ptr<Children> children_;
};

} // namespace quorvel
