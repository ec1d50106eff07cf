#include "exchange/rosterupdatedialog.h"

#include "exchange/pendingbackup.h"
#include "platform/messagebox.h"
#include "store/connection.h"
#include "store/error.h"
#include "store/roster.h"
#include "store/store.h"
#include "widgets/fonts.h"
#include "widgets/storedtext.h"
#include "workbook/workbookreader.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel {

namespace {

// The rows shown as read, with the columns they come from.
constexpr int kFirstRowsShown = 10;

QString line(const QString &name, const QString &grade, const QString &className)
{
    return name + QStringLiteral("　") + grade + QStringLiteral("　") + className;
}

QString line(const store::RosterRowTexts &row)
{
    return line(QString::fromStdString(row[0]), QString::fromStdString(row[1]),
                QString::fromStdString(row[2]));
}

QString line(const store::RosterStudent &s)
{
    return line(storedText(s.name), storedText(s.grade), storedText(s.className));
}

QListView *listOf(QWidget *parent, const char *name, const QStringList &lines)
{
    auto *view = new QListView(parent);
    view->setObjectName(QLatin1String(name));
    view->setUniformItemSizes(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setModel(new QStringListModel(lines, view));
    return view;
}

} // namespace

RosterUpdateDialog::RosterUpdateDialog(store::Store &store, const Services &services,
                                       std::function<void()> changed, QWidget *parent)
    : QDialog(parent), store_(store), services_(services), changed_(std::move(changed))
{
    setObjectName(QStringLiteral("rosterUpdate"));
    setWindowTitle(QStringLiteral("更新名单"));
    setFont(chineseFont(10.5));
    setModal(true);
    buildControls();
    resize(680, 640);
}

void RosterUpdateDialog::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    file_ = new QLabel(this);
    file_->setObjectName(QStringLiteral("file"));
    file_->setTextFormat(Qt::PlainText);
    file_->setWordWrap(true);
    layout->addWidget(file_);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);

    firstRows_ = new QTableWidget(0, 3, this);
    firstRows_->setObjectName(QStringLiteral("firstRows"));
    firstRows_->setHorizontalHeaderLabels({QStringLiteral("姓名（A列）"),
                                           QStringLiteral("年级（B列）"),
                                           QStringLiteral("班级（C列）")});
    firstRows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    firstRows_->setWordWrap(false);
    firstRows_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(firstRows_, 2);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    groups_ = new QTabWidget(this);
    groups_->setObjectName(QStringLiteral("groups"));
    layout->addWidget(groups_, 3);

    removeMissing_ = new QCheckBox(QStringLiteral("删除文件中没有的学生（连同其成绩和评价记录）"), this);
    removeMissing_->setObjectName(QStringLiteral("removeMissing"));
    layout->addWidget(removeMissing_);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setEnabled(false);
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &RosterUpdateDialog::apply);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

bool RosterUpdateDialog::preview(const QString &path)
{
    file_->setText(QStringLiteral("正在读取：") + QFileInfo(path).fileName());
    std::vector<store::RosterRowTexts> rows;
    std::vector<store::RosterStudent> students;
    try {
        if (!services_.workbookReader)
            throw WorkbookError(WorkbookFailure::Unreadable, 0, "没有可用的读取程序");
        // The reader opens the workbook while the table is read.
        const std::unique_ptr<Worksheet> sheet =
            services_.workbookReader->openFirstSheet(path.toLocal8Bit().toStdString());
        students = store::readWholeRoster(*store_.openFresh());
        QElapsedTimer sinceRepaint;
        sinceRepaint.start();
        rows = readRosterRows(*sheet, [&](long done, long stated) {
            if (sinceRepaint.elapsed() < 40)
                return;
            progress_->setRange(0, static_cast<int>(std::max(stated, done)));
            progress_->setValue(static_cast<int>(done));
            progress_->repaint();
            sinceRepaint.restart();
        });
    } catch (const std::exception &e) {
        services_.messages.show(QStringLiteral("无法读取名单：") + QString::fromUtf8(e.what()),
                                MessageStyle::Error);
        return false;
    }
    plan_ = planRosterUpdate(std::move(rows), students);
    showPlan(path);
    return true;
}

void RosterUpdateDialog::showPlan(const QString &path)
{
    progress_->hide();
    file_->setText(QFileInfo(path).fileName() + QStringLiteral("：共%1行学生").arg(plan_.rows.size()));
    const int shown = static_cast<int>(std::min<std::size_t>(plan_.rows.size(), kFirstRowsShown));
    firstRows_->setRowCount(shown);
    QStringList rowNumbers;
    for (int r = 0; r < shown; ++r) {
        for (int c = 0; c < 3; ++c)
            firstRows_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(
                                          plan_.rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])));
        rowNumbers.append(QStringLiteral("第%1行").arg(r + 2));
    }
    firstRows_->setVerticalHeaderLabels(rowNumbers);

    QStringList added, kept, missing, repeated;
    for (const std::size_t i : plan_.added)
        added.append(line(plan_.rows[i]));
    for (const auto &s : plan_.kept)
        kept.append(line(s));
    for (const auto &s : plan_.missing)
        missing.append(line(s));
    for (const auto &[row, first] : plan_.repeated)
        repeated.append(QStringLiteral("第%1行：").arg(row + 2) + line(plan_.rows[row])
                        + QStringLiteral("（与第%1行重复）").arg(first + 2));
    groups_->clear();
    groups_->addTab(listOf(groups_, "added", added), QStringLiteral("新学生（%1）").arg(added.size()));
    groups_->addTab(listOf(groups_, "kept", kept), QStringLiteral("已在名单中（%1）").arg(kept.size()));
    groups_->addTab(listOf(groups_, "missing", missing),
                    QStringLiteral("文件中没有（%1）").arg(missing.size()));
    if (!repeated.isEmpty())
        groups_->addTab(listOf(groups_, "repeated", repeated),
                        QStringLiteral("重复的行（%1）").arg(repeated.size()));

    QString summary = QStringLiteral("将新增%1名学生；%2名学生已在名单中，保留其成绩和评价记录；"
                                     "文件所含的年级和班级中有%3名学生不在文件中，默认保留。")
                          .arg(added.size())
                          .arg(kept.size())
                          .arg(missing.size());
    if (!repeated.isEmpty())
        summary += QStringLiteral("\n文件中有%1行重复了前面的学生，只算一次。").arg(repeated.size());
    summary_->setText(summary);
    removeMissing_->setEnabled(!plan_.missing.empty());
    ok_->setEnabled(true);
}

void RosterUpdateDialog::apply()
{
    std::vector<store::RosterRowTexts> added;
    added.reserve(plan_.added.size());
    for (const std::size_t i : plan_.added)
        added.push_back(plan_.rows[i]);
    std::vector<std::int64_t> removed;
    if (removeMissing_->isChecked())
        for (const auto &s : plan_.missing)
            removed.push_back(s.key);
    try {
        const std::shared_ptr<store::Connection> conn = store_.openFresh();
        PendingBackup backup(*conn, services_.clock);
        store::applyRosterUpdate(*conn, added, removed);
        backup.keep();
    } catch (const store::DbError &e) {
        services_.messages.show(QStringLiteral("更新名单失败：") + QString::fromUtf8(e.what())
                                    + QStringLiteral("\n数据库中的原有数据没有任何改动。"),
                                MessageStyle::Error);
        return;
    }
    if (changed_)
        changed_();
    services_.messages.show(QStringLiteral("名单已更新：新增%1名学生，删除%2名学生。")
                                .arg(added.size())
                                .arg(removed.size()),
                            MessageStyle::Information);
    accept();
}

} // namespace quorvel
