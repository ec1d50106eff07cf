#pragma once

#include <QString>
#include <QStringList>

namespace quorvel {

// Finds and starts other programs on the desktop.
class Launcher {
public:
    virtual ~Launcher() = default;
    // The full path of the first of these programs found on the PATH; empty
    // when none is there.
    virtual QString findProgram(const QStringList &names) const = 0;
    // Starts the program and returns at once: it runs on by itself and is
    // never waited for. False, with the reason in Chinese, when it could not
    // be started.
    virtual bool startDetached(const QString &program, const QStringList &arguments,
                               QString *reason) = 0;
};

class SystemLauncher final : public Launcher {
public:
    QString findProgram(const QStringList &names) const override;
    bool startDetached(const QString &program, const QStringList &arguments,
                       QString *reason) override;
};

} // namespace quorvel
