#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class QStatusBar;

namespace quorvel {

class Clock;

// The daily backup of the database file: made once a day, at the first start
// of the day (after the start-up's integrity check), on a thread of its own
// while the roll call goes on, with the
// engine's online backup (keyed alike, beside the file); the newest seven are
// kept apart from the other backups. One that cannot be made never stops the
// roll call: the teacher is told in the status bar, not in a box.
class DailySnapshot : public QObject {
    Q_OBJECT
public:
    DailySnapshot(std::string databasePath, const Clock &clock, QObject *parent = nullptr);
    // Waits for a backup under way: it is never left half made.
    ~DailySnapshot() override;
    DailySnapshot(const DailySnapshot &) = delete;
    DailySnapshot &operator=(const DailySnapshot &) = delete;

    // Makes today's backup when it is due, on a thread of its own; false
    // while one is still under way. Given awaitDamage (which waits, on that
    // thread, for the integrity check's verdict: what it found, or empty), a
    // damaged file is never copied, and is reported instead.
    bool start(std::function<std::string()> awaitDamage = {});
    bool running() const { return running_; }
    // Tells a failure in this status bar: as its message until the
    // teacher's next step there, and for the rest of the run in its tooltip.
    void reportFailuresIn(QStatusBar *bar);

signals:
    void made(const QString &path);
    void failed(const QString &reason);
    // The file failed the integrity check: what the check found.
    void damaged(const QString &found);

private:
    std::string databasePath_;
    const Clock &clock_;
    std::thread worker_;
    std::atomic<bool> running_{false};
};

} // namespace quorvel
