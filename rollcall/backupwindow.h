#pragma once

#include "platform/services.h"
#include "store/backup.h"
#include "store/restore.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quorvel {

namespace store {
class Store;
}

// What the backup window needs of the windows that use the file.
struct RestoreHooks {
    // Why a restore cannot be made now (a draw runs, a walk is under way),
    // or empty.
    std::function<QString()> whyNotNow;
    // Lets go of every connection to the file before it is replaced.
    std::function<void()> letGo;
    // Reads the file afresh (the lists), after a restore or a failed one.
    std::function<void()> reload;
};

// 备份与恢复: every backup beside the database, newest first, with when and
// why it was made and what it holds (read from the backup itself, on a
// thread of its own), and the restoring of the one selected.
class BackupWindow : public QDialog {
    Q_OBJECT
public:
    BackupWindow(std::string databasePath, const Services &services, RestoreHooks hooks,
                 QWidget *parent = nullptr);
    ~BackupWindow() override;
    BackupWindow(const BackupWindow &) = delete;
    BackupWindow &operator=(const BackupWindow &) = delete;

    // The rows as shown: 时间, 原因, 学生, 评价, 状态.
    QStringList rowTexts(int row) const;
    int rows() const;
    void select(int row);
    // Every backup listed has been read.
    bool allRead() const { return unread_ == 0; }
    // A restore is under way.
    bool restoring() const { return restoring_; }

    // Restores the selected backup, after asking the teacher.
    void restoreSelected();

    void reject() override;

signals:
    void allReadNow();
    void restoreDone(bool restored);

private:
    void buildControls();
    // Lists the backups and starts reading them.
    void refill();
    void stopReading();
    // note: why the backup could not be read now (another program's lock).
    void showContents(int row, const store::BackupContents &contents, const QString &note);

    std::string databasePath_;
    Services services_;
    RestoreHooks hooks_;
    std::vector<store::BackupFile> backups_;
    int unread_ = 0;
    // Counts the fillings of the list: a reading posted for an earlier one is dropped.
    int generation_ = 0;
    bool restoring_ = false;

    QLabel *folder_;
    QTreeWidget *list_;
    QLabel *empty_;
    QPushButton *restore_, *close_;
    std::thread reader_, restorer_;
    std::atomic<bool> stopReading_{false};
};

// At start-up, for a file that fails the integrity check (why: what the check
// found): says so and offers the newest backup that passes the check; on Yes
// restores it, keeping the damaged file aside byte for byte. Without a sound
// backup, says where the backups are. True when the file was restored.
bool offerBackupForDamagedFile(const std::string &databasePath, const Services &services,
                               const QString &why);

// The same once the window is up, when the check in the background found the
// file damaged: lets go of the file first, and reads it afresh once restored.
// False when the teacher is left without a sound file (Quorvel then ends, as
// it does at start-up).
bool restoreDamagedWhileShown(store::Store &store, const Services &services,
                              const RestoreHooks &hooks, const QString &found);

// "20261210-083015" as "2026-12-10 08:30:15".
QString stampShown(const std::string &stamp);
// 每日, 导入前 or 恢复前.
QString reasonShown(store::BackupKind kind);

} // namespace quorvel
