#include "exchange/rosterdialog.h"

#include "exchange/rosterchoices.h"
#include "platform/messagebox.h"
#include "store/classlists.h"
#include "store/connection.h"
#include "store/error.h"
#include "store/schema.h"
#include "store/store.h"
#include "widgets/fonts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace quorvel {

namespace {

const QString kDatabaseFailed = QStringLiteral("数据库操作失败：");
const QString kNoneSelected = QStringLiteral("请先在名单中选择一名学生！");
const QString kEmptyName = QStringLiteral("姓名不能为空！");

} // namespace

RosterDialog::RosterDialog(store::Store &store, const Services &services, Choice grade,
                           Choice className, std::function<void()> changed, QWidget *parent)
    : QDialog(parent), store_(store), services_(services), grade_(std::move(grade)),
      class_(std::move(className)), changed_(std::move(changed))
{
    setObjectName(QStringLiteral("roster"));
    setWindowTitle(QStringLiteral("学生名单"));
    setFont(chineseFont(10.5));
    setModal(true);
    buildControls();
    resize(620, 520);
}

void RosterDialog::buildControls()
{
    auto *grid = new QGridLayout(this);
    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("heading"));
    heading_->setTextFormat(Qt::PlainText);
    grid->addWidget(heading_, 0, 0, 1, 6);

    table_ = new QTableWidget(0, 6, this);
    table_->setObjectName(QStringLiteral("students"));
    table_->setHorizontalHeaderLabels({QStringLiteral("姓名"), QStringLiteral("优秀"),
                                       QStringLiteral("良好"), QStringLiteral("及格"),
                                       QStringLiteral("不及格"), QStringLiteral("倒扣学分")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < 6; ++c)
        table_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    grid->addWidget(table_, 1, 0, 1, 6);

    grid->addWidget(new QLabel(QStringLiteral("姓名："), this), 2, 0);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    grid->addWidget(name_, 2, 1, 1, 3);
    add_ = new QPushButton(QStringLiteral("添加"), this);
    add_->setObjectName(QStringLiteral("add"));
    rename_ = new QPushButton(QStringLiteral("改名"), this);
    rename_->setObjectName(QStringLiteral("rename"));
    grid->addWidget(add_, 2, 4);
    grid->addWidget(rename_, 2, 5);

    grid->addWidget(new QLabel(QStringLiteral("年级："), this), 3, 0);
    toGrade_ = new QComboBox(this);
    toGrade_->setObjectName(QStringLiteral("toGrade"));
    grid->addWidget(toGrade_, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("班级："), this), 3, 2);
    toClass_ = new QComboBox(this);
    toClass_->setObjectName(QStringLiteral("toClass"));
    grid->addWidget(toClass_, 3, 3);
    move_ = new QPushButton(QStringLiteral("调到该班"), this);
    move_->setObjectName(QStringLiteral("move"));
    grid->addWidget(move_, 3, 4, 1, 2);

    remove_ = new QPushButton(QStringLiteral("删除学生"), this);
    remove_->setObjectName(QStringLiteral("remove"));
    grid->addWidget(remove_, 4, 0, 1, 2);
    close_ = new QPushButton(QStringLiteral("关闭"), this);
    close_->setObjectName(QStringLiteral("close"));
    grid->addWidget(close_, 4, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    for (QPushButton *b : {add_, rename_, move_, remove_, close_})
        b->setAutoDefault(false);

    connect(add_, &QPushButton::clicked, this, &RosterDialog::addStudent);
    connect(rename_, &QPushButton::clicked, this, &RosterDialog::renameStudent);
    connect(move_, &QPushButton::clicked, this, &RosterDialog::moveStudent);
    connect(remove_, &QPushButton::clicked, this, &RosterDialog::removeStudent);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &RosterDialog::showSelected);
}

bool RosterDialog::reload()
{
    try {
        const std::shared_ptr<store::Connection> conn = store_.openFresh();
        students_ = store::readClassRoster(*conn, grade_.second, class_.second);
        const store::ClassLists lists = store::readClassLists(*conn);
        grades_ = choicesFor(lists.grades);
        classes_ = choicesFor(lists.classes);
    } catch (const store::DbError &e) {
        services_.messages.show(kDatabaseFailed + QString::fromUtf8(e.what()), MessageStyle::Error);
        return false;
    }
    heading_->setText(QStringLiteral("年级：%1　班级：%2　共%3名学生")
                          .arg(grade_.first, class_.first)
                          .arg(students_.size()));
    table_->clearContents();
    table_->setRowCount(static_cast<int>(students_.size()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        const store::RosterStudent &s = students_[static_cast<std::size_t>(r)];
        table_->setItem(r, 0, new QTableWidgetItem(storedText(s.name)));
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(storedText(s.tallies[static_cast<std::size_t>(c)]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, c + 1, item);
        }
    }
    fillEditable(toGrade_, grades_, grade_.second);
    fillEditable(toClass_, classes_, class_.second);
    return true;
}

void RosterDialog::showSelected()
{
    const int row = table_->currentRow();
    if (row >= 0 && row < static_cast<int>(students_.size()))
        name_->setText(storedText(students_[static_cast<std::size_t>(row)].name));
}

const store::RosterStudent *RosterDialog::selected()
{
    const auto rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.front().row() >= static_cast<int>(students_.size())) {
        services_.messages.show(kNoneSelected, MessageStyle::Error);
        return nullptr;
    }
    return &students_[static_cast<std::size_t>(rows.front().row())];
}

QString RosterDialog::nameTyped()
{
    QString name = name_->text();
    while (name.startsWith(u' '))
        name.remove(0, 1);
    while (name.endsWith(u' '))
        name.chop(1);
    if (name.isEmpty())
        services_.messages.show(kEmptyName, MessageStyle::Error);
    return name;
}

bool RosterDialog::mayShareName(const std::vector<store::RosterStudent> &classmates,
                                const QString &name, std::int64_t except)
{
    for (const store::RosterStudent &s : classmates)
        if (s.key != except && storedText(s.name) == name)
            return services_.messages.show(
                       QStringLiteral("这个班已有名为“%1”的学生，是否仍然继续？").arg(name),
                       MessageStyle::Question)
                == Answer::Yes;
    return true;
}

void RosterDialog::change(const std::function<void(store::Connection &)> &write)
{
    try {
        write(*store_.openFresh());
    } catch (const store::DbError &e) {
        services_.messages.show(kDatabaseFailed + QString::fromUtf8(e.what()), MessageStyle::Error);
    }
    // Also after a failure: the file may have been changed by another copy.
    reload();
    if (changed_)
        changed_();
}

void RosterDialog::addStudent()
{
    const QString name = nameTyped();
    if (name.isEmpty() || !mayShareName(students_, name, 0))
        return;
    change([&](store::Connection &c) {
        store::addStudent(c, name.toStdString(), grade_.second, class_.second);
    });
}

void RosterDialog::renameStudent()
{
    const store::RosterStudent *s = selected();
    if (!s)
        return;
    const QString name = nameTyped();
    if (name.isEmpty() || name == storedText(s->name) || !mayShareName(students_, name, s->key))
        return;
    const store::RosterStudent student = *s;
    change([&](store::Connection &c) {
        store::changeStudent(c, student.key, store::kName, student.name, name.toStdString());
    });
}

void RosterDialog::moveStudent()
{
    const store::RosterStudent *s = selected();
    if (!s)
        return;
    const store::RosterStudent student = *s;
    const store::Value grade = valueTyped(toGrade_->currentText(), grades_);
    const store::Value className = valueTyped(toClass_->currentText(), classes_);
    if (grade == store::Value(std::string()) || className == store::Value(std::string())) {
        services_.messages.show(QStringLiteral("请填写要调往的年级和班级！"), MessageStyle::Error);
        return;
    }
    if (grade == student.grade && className == student.className)
        return;
    try {
        const auto target = store::readClassRoster(*store_.openFresh(), grade, className);
        if (!mayShareName(target, storedText(student.name), student.key))
            return;
    } catch (const store::DbError &e) {
        services_.messages.show(kDatabaseFailed + QString::fromUtf8(e.what()), MessageStyle::Error);
        return;
    }
    change([&](store::Connection &c) { store::moveStudent(c, student, grade, className); });
}

void RosterDialog::removeStudent()
{
    const store::RosterStudent *s = selected();
    if (!s)
        return;
    const store::RosterStudent student = *s;
    if (services_.messages.show(QStringLiteral("确定要删除学生“%1”吗？\n"
                                               "这名学生的成绩和评价记录将一并删除。")
                                    .arg(storedText(student.name)),
                                MessageStyle::Question)
        != Answer::Yes)
        return;
    change([&](store::Connection &c) { store::removeStudent(c, student.key); });
}

} // namespace quorvel
