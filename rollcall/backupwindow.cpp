#include "rollcall/backupwindow.h"

#include "platform/clock.h"
#include "platform/messagebox.h"
#include "store/error.h"
#include "store/schema.h"
#include "store/store.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {

const QString kTitle = QStringLiteral("备份与恢复");
const QString kRestore = QStringLiteral("恢复所选备份");
const QString kClose = QStringLiteral("关闭");
const QString kReading = QStringLiteral("读取中…");
const QString kSound = QStringLiteral("完好");
const QString kDamaged = QStringLiteral("已损坏");
const QString kForeign = QStringLiteral("无法识别");
const QString kUnreadable = QStringLiteral("暂时无法读取");
const QString kNone = QStringLiteral("—");
const QString kNoBackups = QStringLiteral(
    "还没有备份。每天第一次启动时，本程序会把数据库自动备份一份；"
    "清空原有数据的导入和每次恢复之前也会先备份。");
const QString kChooseFirst = QStringLiteral("请先选择要恢复的备份。");
const QString kNotUsable = QStringLiteral("这份备份%1，不能用来恢复。");
const QString kAsk = QStringLiteral(
    "是否用 %1 的备份（%2）恢复数据库？\n"
    "恢复之前，当前的数据库会先另存为一份“恢复前”备份。");
const QString kRestored = QStringLiteral("已用 %1 的备份（%2）恢复数据库。\n原来的数据库已另存为：%3");
const QString kRestoreFailed = QStringLiteral("恢复失败：%1\n数据库文件没有任何改动。");
const QString kDamagedFile = QStringLiteral("数据库文件已损坏：");
const QString kOfferNewest = QStringLiteral(
    "\n\n最近一份完好的备份是 %1 的备份（%2，%3名学生，%4次评价）。\n"
    "是否用这份备份恢复数据库？损坏的文件会原样另存为一份“恢复前”备份。");
const QString kNoSoundBackup =
    QStringLiteral("\n\n没有找到完好的备份。备份文件保存在数据库所在的文件夹：%1");

enum Column { When, Why, Students, Evaluations, State, Columns };

std::string stampOf(const Clock &clock)
{
    return clock.now().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
}

QString folderOf(const std::string &databasePath)
{
    return QDir::toNativeSeparators(
        QFileInfo(QString::fromStdString(databasePath)).absolutePath());
}

} // namespace

QString stampShown(const std::string &stamp)
{
    const QString s = QString::fromStdString(stamp);
    return s.mid(0, 4) + u'-' + s.mid(4, 2) + u'-' + s.mid(6, 2) + u' ' + s.mid(9, 2) + u':'
           + s.mid(11, 2) + u':' + s.mid(13, 2);
}

QString reasonShown(store::BackupKind kind)
{
    switch (kind) {
    case store::BackupKind::Daily:
        return QStringLiteral("每日");
    case store::BackupKind::BeforeRestore:
        return QStringLiteral("恢复前");
    case store::BackupKind::BeforeImport:
        break;
    }
    return QStringLiteral("导入前");
}

BackupWindow::BackupWindow(std::string databasePath, const Services &services,
                           RestoreHooks hooks, QWidget *parent)
    : QDialog(parent), databasePath_(std::move(databasePath)), services_(services),
      hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("backups"));
    setWindowTitle(kTitle);
    buildControls();
    refill();
}

BackupWindow::~BackupWindow()
{
    stopReading();
    if (restorer_.joinable())
        restorer_.join();
}

void BackupWindow::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    folder_ = new QLabel(QStringLiteral("备份保存在数据库所在的文件夹：\n") + folderOf(databasePath_), this);
    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setTextFormat(Qt::PlainText);
    folder_->setWordWrap(true);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(folder_);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("backupList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({QStringLiteral("备份时间"), QStringLiteral("原因"),
                            QStringLiteral("学生"), QStringLiteral("评价"),
                            QStringLiteral("状态")});
    list_->header()->setStretchLastSection(true);
    list_->header()->setDefaultAlignment(Qt::AlignCenter);
    const QFontMetrics fm(font());
    const int pad = fm.horizontalAdvance(u'0') * 3;
    const std::pair<Column, QString> widest[] = {{When, QStringLiteral("2026-12-10 08:30:15")},
                                                 {Why, QStringLiteral("恢复前")},
                                                 {Students, QStringLiteral("100000")},
                                                 {Evaluations, QStringLiteral("1000000")},
                                                 {State, kUnreadable}};
    int width = 0;
    for (const auto &[column, text] : widest) {
        const int w = std::max(fm.horizontalAdvance(text),
                               fm.horizontalAdvance(list_->headerItem()->text(column)))
                      + pad;
        list_->setColumnWidth(column, w);
        width += w;
    }
    list_->setMinimumSize(width + list_->frameWidth() * 2
                              + list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                          fm.height() * 14);
    layout->addWidget(list_);

    empty_ = new QLabel(kNoBackups, this);
    empty_->setObjectName(QStringLiteral("noBackups"));
    empty_->setWordWrap(true);
    layout->addWidget(empty_);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    restore_ = new QPushButton(kRestore, this);
    restore_->setObjectName(QStringLiteral("restoreButton"));
    close_ = new QPushButton(kClose, this);
    close_->setObjectName(QStringLiteral("closeButton"));
    buttons->addWidget(restore_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    connect(restore_, &QPushButton::clicked, this, &BackupWindow::restoreSelected);
    connect(close_, &QPushButton::clicked, this, &BackupWindow::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &BackupWindow::restoreSelected);
}

void BackupWindow::stopReading()
{
    stopReading_ = true;
    if (reader_.joinable())
        reader_.join();
    stopReading_ = false;
}

void BackupWindow::refill()
{
    stopReading();
    ++generation_;
    backups_ = store::backupsOf(databasePath_);
    list_->clear();
    for (const store::BackupFile &b : backups_) {
        auto *item = new QTreeWidgetItem(list_, {stampShown(b.stamp), reasonShown(b.kind),
                                                 QString(), QString(), kReading});
        item->setToolTip(When, QString::fromStdString(b.path));
        item->setTextAlignment(Students, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(Evaluations, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!backups_.empty())
        list_->setCurrentItem(list_->topLevelItem(0));
    empty_->setVisible(backups_.empty());
    restore_->setEnabled(!backups_.empty());
    unread_ = static_cast<int>(backups_.size());
    if (unread_ == 0) {
        emit allReadNow();
        return;
    }
    // Each backup costs a key derivation and a read of every page: the list
    // fills in as they are read, newest first.
    std::vector<std::string> paths;
    for (const store::BackupFile &b : backups_)
        paths.push_back(b.path);
    reader_ = std::thread([this, paths, generation = generation_] {
        for (std::size_t i = 0; i < paths.size() && !stopReading_; ++i) {
            store::BackupContents contents;
            QString note;
            try {
                contents = store::readBackup(paths[i], store::kDatabasePassword);
            } catch (const std::exception &e) {
                note = kUnreadable;
                contents.reason = e.what();
            }
            QMetaObject::invokeMethod(
                this,
                [this, i, contents, note, generation] {
                    if (generation == generation_)
                        showContents(static_cast<int>(i), contents, note);
                },
                Qt::QueuedConnection);
        }
    });
}

void BackupWindow::showContents(int row, const store::BackupContents &contents,
                                const QString &note)
{
    QTreeWidgetItem *item = list_->topLevelItem(row);
    const bool sound = note.isEmpty() && contents.state == store::BackupContents::State::Sound;
    item->setText(Students, sound ? QString::number(contents.students) : kNone);
    item->setText(Evaluations, sound ? QString::number(contents.evaluations) : kNone);
    QString state = kSound;
    if (!note.isEmpty())
        state = note;
    else if (contents.state == store::BackupContents::State::Damaged)
        state = kDamaged;
    else if (contents.state == store::BackupContents::State::Foreign)
        state = kForeign;
    item->setText(State, state);
    item->setToolTip(State, QString::fromStdString(contents.reason));
    if (!sound)
        for (int c = 0; c < Columns; ++c)
            item->setForeground(c, QColor(0xb0, 0x00, 0x20));
    if (--unread_ == 0)
        emit allReadNow();
}

int BackupWindow::rows() const
{
    return list_->topLevelItemCount();
}

QStringList BackupWindow::rowTexts(int row) const
{
    QStringList texts;
    const QTreeWidgetItem *item = list_->topLevelItem(row);
    for (int c = 0; item && c < Columns; ++c)
        texts << item->text(c);
    return texts;
}

void BackupWindow::select(int row)
{
    list_->setCurrentItem(list_->topLevelItem(row));
}

void BackupWindow::restoreSelected()
{
    if (restoring_)
        return;
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0) {
        services_.messages.show(kChooseFirst, MessageStyle::Error);
        return;
    }
    const QString state = list_->topLevelItem(row)->text(State);
    if (state == kDamaged || state == kForeign) {
        services_.messages.show(kNotUsable.arg(state), MessageStyle::Error);
        return;
    }
    if (hooks_.whyNotNow) {
        const QString why = hooks_.whyNotNow();
        if (!why.isEmpty()) {
            services_.messages.show(why, MessageStyle::Error);
            return;
        }
    }
    const store::BackupFile chosen = backups_[static_cast<std::size_t>(row)];
    const QString when = stampShown(chosen.stamp);
    const QString why = reasonShown(chosen.kind);
    if (services_.messages.show(kAsk.arg(when, why), MessageStyle::Question) != Answer::Yes)
        return;

    stopReading();
    if (hooks_.letGo)
        hooks_.letGo();
    restoring_ = true;
    restore_->setEnabled(false);
    close_->setEnabled(false);
    list_->setEnabled(false);
    if (restorer_.joinable())
        restorer_.join();
    const std::string stamp = stampOf(services_.clock);
    restorer_ = std::thread([this, chosen, stamp, when, why] {
        QString failure, former;
        try {
            former = QString::fromStdString(store::restoreBackup(
                databasePath_, chosen.path, store::kDatabasePassword, stamp, false));
        } catch (const std::exception &e) {
            failure = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, failure, former, when, why] {
                restoring_ = false;
                if (hooks_.reload)
                    hooks_.reload();
                restore_->setEnabled(true);
                close_->setEnabled(true);
                list_->setEnabled(true);
                if (failure.isEmpty())
                    services_.messages.show(
                        kRestored.arg(when, why, QFileInfo(former).fileName()),
                        MessageStyle::Information);
                else
                    services_.messages.show(kRestoreFailed.arg(failure), MessageStyle::Error);
                refill();
                emit restoreDone(failure.isEmpty());
            },
            Qt::QueuedConnection);
    });
}

void BackupWindow::reject()
{
    // A restore under way is seen to its end.
    if (!restoring_)
        QDialog::reject();
}

bool offerBackupForDamagedFile(const std::string &databasePath, const Services &services,
                               const QString &why)
{
    const QString damaged =
        kDamagedFile + QDir::toNativeSeparators(QString::fromStdString(databasePath)) + u'\n'
        + why;
    for (const store::BackupFile &b : store::backupsOf(databasePath)) {
        store::BackupContents contents;
        try {
            contents = store::readBackup(b.path, store::kDatabasePassword);
        } catch (const store::DbError &) {
            continue;
        }
        if (contents.state != store::BackupContents::State::Sound)
            continue;
        const QString offer = damaged
                              + kOfferNewest.arg(stampShown(b.stamp), reasonShown(b.kind))
                                    .arg(contents.students)
                                    .arg(contents.evaluations);
        if (services.messages.show(offer, MessageStyle::Question) != Answer::Yes)
            return false;
        try {
            store::restoreBackup(databasePath, b.path, store::kDatabasePassword,
                                 stampOf(services.clock), true);
            return true;
        } catch (const std::exception &e) {
            services.messages.show(kRestoreFailed.arg(QString::fromUtf8(e.what())),
                                   MessageStyle::Error);
            return false;
        }
    }
    services.messages.show(damaged + kNoSoundBackup.arg(folderOf(databasePath)),
                           MessageStyle::Error);
    return false;
}

bool restoreDamagedWhileShown(store::Store &store, const Services &services,
                              const RestoreHooks &hooks, const QString &found)
{
    if (hooks.letGo)
        hooks.letGo();
    if (!offerBackupForDamagedFile(store.databasePath(), services, found))
        return false;
    store.fileReplaced();
    if (hooks.reload)
        hooks.reload();
    return true;
}

} // namespace quorvel
