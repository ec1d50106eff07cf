#include "exchange/promotedialog.h"

#include "exchange/pendingbackup.h"
#include "exchange/rosterchoices.h"
#include "platform/messagebox.h"
#include "store/classlists.h"
#include "store/connection.h"
#include "store/error.h"
#include "store/store.h"
#include "widgets/fonts.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>

namespace quorvel {

namespace {

const QString kRemoved = QStringLiteral("（移除）");

const std::array<QStringList, 3> kChains{
    QStringList{QStringLiteral("初一"), QStringLiteral("初二"), QStringLiteral("初三")},
    QStringList{QStringLiteral("高一"), QStringLiteral("高二"), QStringLiteral("高三")},
    QStringList{QStringLiteral("一年级"), QStringLiteral("二年级"), QStringLiteral("三年级"),
                QStringLiteral("四年级"), QStringLiteral("五年级"), QStringLiteral("六年级")}};

} // namespace

QString nextGrade(const QString &grade)
{
    for (const QStringList &chain : kChains) {
        const qsizetype at = chain.indexOf(grade);
        if (at >= 0 && at + 1 < chain.size())
            return chain[at + 1];
    }
    return grade;
}

PromoteDialog::PromoteDialog(store::Store &store, const Services &services,
                             std::function<void(const Renamed &)> changed, QWidget *parent)
    : QDialog(parent), store_(store), services_(services), changed_(std::move(changed))
{
    setObjectName(QStringLiteral("promote"));
    setWindowTitle(QStringLiteral("升年级"));
    setFont(chineseFont(10.5));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("每个年级的学生将升入右边的年级，成绩和评价记录随学生一起保留。"
                                            "选择“（移除）”将删除该年级的学生。"),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("grades"));
    table_->setHorizontalHeaderLabels({QStringLiteral("现在的年级"), QStringLiteral("人数"),
                                       QStringLiteral("升为"), QStringLiteral("预览")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setTextFormat(Qt::PlainText);
    note_->setWordWrap(true);
    layout->addWidget(note_);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(QStringLiteral("确定"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    ok_->setAutoDefault(false);
    cancel_->setAutoDefault(false);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    connect(ok_, &QPushButton::clicked, this, &PromoteDialog::apply);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 440);
}

bool PromoteDialog::reload()
{
    std::map<store::Value, long> count;
    try {
        const std::shared_ptr<store::Connection> conn = store_.openFresh();
        grades_ = choicesFor(store::readClassLists(*conn).grades);
        for (const store::RosterStudent &s : store::readWholeRoster(*conn))
            ++count[s.grade];
    } catch (const store::DbError &e) {
        services_.messages.show(QStringLiteral("数据库操作失败：") + QString::fromUtf8(e.what()),
                                MessageStyle::Error);
        return false;
    }
    counts_.clear();
    table_->setRowCount(static_cast<int>(grades_.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const auto &[text, value] = grades_[static_cast<std::size_t>(r)];
        counts_.push_back(count[value]);
        table_->setItem(r, 0, new QTableWidgetItem(text));
        auto *n = new QTableWidgetItem(QString::number(counts_.back()));
        n->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(r, 1, n);
        auto *to = new QComboBox(table_);
        to->setObjectName(QStringLiteral("target%1").arg(r));
        to->setEditable(true);
        to->setInsertPolicy(QComboBox::NoInsert);
        for (const Choice &c : grades_)
            to->addItem(c.first);
        to->addItem(kRemoved);
        const QString next = nextGrade(storedText(value));
        const int item = next == storedText(value) ? r : to->findText(next);
        if (item >= 0)
            to->setCurrentIndex(item);
        else
            to->setEditText(next);
        table_->setCellWidget(r, 2, to);
        table_->setItem(r, 3, new QTableWidgetItem);
        connect(to, &QComboBox::currentTextChanged, this, [this, r] { showPreview(r); });
        showPreview(r);
    }
    ok_->setEnabled(!grades_.empty());
    return true;
}

QComboBox *PromoteDialog::target(int row) const
{
    return qobject_cast<QComboBox *>(table_->cellWidget(row, 2));
}

store::GradeChange PromoteDialog::changeOf(int row) const
{
    const store::Value &from = grades_[static_cast<std::size_t>(row)].second;
    const QString typed = target(row)->currentText();
    if (typed == kRemoved)
        return {from, {}, true};
    return {from, valueTyped(typed, grades_), false};
}

QString PromoteDialog::previewOf(int row) const
{
    return table_->item(row, 3)->text();
}

void PromoteDialog::showPreview(int row)
{
    const store::GradeChange c = changeOf(row);
    const long n = counts_[static_cast<std::size_t>(row)];
    QString text;
    if (c.removed)
        text = QStringLiteral("%1名学生将被删除").arg(n);
    else if (c.to == c.from)
        text = QStringLiteral("%1名学生不变").arg(n);
    else if (c.to == store::Value(std::string()))
        text = QStringLiteral("请填写新的年级");
    else
        text = QStringLiteral("%1名学生升入%2").arg(n).arg(storedText(c.to));
    table_->item(row, 3)->setText(text);

    // A grade that keeps its students while another grade moves into it mixes two years.
    QStringList mixed;
    for (int r = 0; r < table_->rowCount(); ++r) {
        if (!target(r) || !table_->item(r, 3))
            continue;
        const store::GradeChange kept = changeOf(r);
        if (kept.removed || kept.to != kept.from)
            continue;
        for (int o = 0; o < table_->rowCount(); ++o)
            if (o != r && target(o) && !changeOf(o).removed && changeOf(o).to == kept.from) {
                mixed.append(grades_[static_cast<std::size_t>(r)].first);
                break;
            }
    }
    note_->setText(mixed.isEmpty() ? QString()
                                   : QStringLiteral("注意：%1的学生不变，另一年级的学生升入后将与他们同在一个年级。")
                                         .arg(mixed.join(QStringLiteral("、"))));
}

void PromoteDialog::apply()
{
    std::vector<store::GradeChange> changes;
    Renamed renamed;
    long removing = 0;
    for (int r = 0; r < table_->rowCount(); ++r) {
        store::GradeChange c = changeOf(r);
        if (!c.removed && c.to == store::Value(std::string())) {
            services_.messages.show(QStringLiteral("请为“%1”填写新的年级！")
                                        .arg(grades_[static_cast<std::size_t>(r)].first),
                                    MessageStyle::Error);
            return;
        }
        if (c.removed) {
            removing += counts_[static_cast<std::size_t>(r)];
            renamed[c.from] = std::nullopt;
        } else if (c.to != c.from) {
            renamed[c.from] = c.to;
        }
        changes.push_back(std::move(c));
    }
    if (removing > 0
        && services_.messages.show(QStringLiteral("将删除%1名学生及其成绩和评价记录，是否继续？")
                                       .arg(removing),
                                   MessageStyle::Question)
               != Answer::Yes)
        return;
    try {
        const std::shared_ptr<store::Connection> conn = store_.openFresh();
        PendingBackup backup(*conn, services_.clock);
        store::changeGrades(*conn, changes);
        backup.keep();
    } catch (const store::DbError &e) {
        services_.messages.show(QStringLiteral("升年级失败：") + QString::fromUtf8(e.what())
                                    + QStringLiteral("\n数据库中的原有数据没有任何改动。"),
                                MessageStyle::Error);
        return;
    }
    if (changed_)
        changed_(renamed);
    services_.messages.show(QStringLiteral("升年级完成。"), MessageStyle::Information);
    accept();
}

} // namespace quorvel
