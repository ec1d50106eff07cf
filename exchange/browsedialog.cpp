#include "exchange/browsedialog.h"

#include "exchange/historydialog.h"
#include "widgets/flexgrid.h"
#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "platform/messagebox.h"
#include "widgets/panelstatusbar.h"
#include "store/error.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/statements.h"
#include "store/store.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <array>
#include <string_view>
#include <vector>

namespace quorvel {

namespace {

constexpr int kColumns = 8;
// The grid's columns: the header of each is the student column it shows.
constexpr std::array<std::string_view, kColumns> kFields{
    store::kName, store::kGrade, store::kClass, store::kExcellent,
    store::kGood, store::kPass,  store::kFail,  store::kDeducted};
constexpr std::array<int, kColumns> kWidths{1200, 2200, 1200, 1200, 1200, 1200, 1200, 1500};

const QString kNoClassChosen = QStringLiteral("没选择年级或班级！");
const QString kNoStudents = QStringLiteral("没有相应的数据！");
const QString kDatabaseFailed = QStringLiteral("数据库操作失败：");

QString fieldName(int column)
{
    const std::string_view f = kFields[static_cast<std::size_t>(column)];
    return QString::fromUtf8(f.data(), static_cast<qsizetype>(f.size()));
}

std::vector<Choice> asChoices(const QStringList &texts)
{
    std::vector<Choice> choices;
    for (const QString &t : texts)
        choices.emplace_back(t, store::Value(t.toStdString()));
    return choices;
}

void addChoices(QComboBox *box, const std::vector<Choice> &choices)
{
    for (const auto &[text, value] : choices)
        box->addItem(text, QVariant::fromValue(value));
    box->setCurrentIndex(-1);
}

// The stored value of the chosen item: the query finds exactly the rows that
// hold it, however it is stored.
store::Value chosenValue(const QComboBox *box)
{
    const QVariant data = box->currentData();
    if (data.canConvert<store::Value>())
        return data.value<store::Value>();
    return box->currentText().toStdString();
}

template <typename W, typename... Args>
W *make(QWidget *parent, const char *name, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

// Places a control by its twips.
void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

} // namespace

BrowseDialog::BrowseDialog(store::Store &store, const Services &services,
                           const QStringList &grades, const QStringList &classes,
                           QWidget *parent)
    : BrowseDialog(store, services, asChoices(grades), asChoices(classes), parent)
{
}

BrowseDialog::BrowseDialog(store::Store &store, const Services &services,
                           const std::vector<Choice> &grades, const std::vector<Choice> &classes,
                           QWidget *parent)
    : QDialog(parent), store_(store), services_(services)
{
    setObjectName(QStringLiteral("browsj"));
    setWindowTitle(QStringLiteral("评价数据导出"));
    setFont(chineseFont(9));
    setFixedSize(twips(11535), twips(8775));
    setModal(true);
    buildControls();
    load(grades, classes);
    connect(PushButton1, &QPushButton::clicked, this, &BrowseDialog::showClass);
    connect(PushButton2, &QPushButton::clicked, this, &BrowseDialog::exportToWorkbook);
}

void BrowseDialog::buildControls()
{
    GroupBox2 = make<QGroupBox>(this, "GroupBox2");
    Label4 = make<QLabel>(GroupBox2, "Label4", QStringLiteral("年级"));
    ComboBox1 = make<QComboBox>(GroupBox2, "ComboBox1");
    Label5 = make<QLabel>(GroupBox2, "Label5", QStringLiteral("班级"));
    ComboBox2 = make<QComboBox>(GroupBox2, "ComboBox2");
    PushButton1 = make<QPushButton>(GroupBox2, "PushButton1", QStringLiteral("确  定"));
    PushButton2 = make<QPushButton>(GroupBox2, "PushButton2", QStringLiteral("导出至Excel"));
    // Enter in a list must not "accept" the dialog and close it.
    PushButton1->setAutoDefault(false);
    PushButton2->setAutoDefault(false);

    Grid1 = new FlexGrid(kColumns, 2, this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setFont(chineseFont(9));

    StatusBar1 = new PanelStatusBar(
        {twips(2313), twips(2313), twips(2313), twips(2313), twips(2400)}, this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

    place(GroupBox2, 1440, 120, 8655, 735);
    // The labels keep their tops; their height is the font's, so that no
    // stroke is cut off.
    place(Label4, 120, 300, 360, 180);
    place(Label5, 3720, 300, 360, 180);
    for (QLabel *l : {Label4, Label5}) {
        l->setFixedHeight(std::max(l->height(), l->fontMetrics().height()));
        l->move(l->x(), l->y() - (l->height() - twips(180)) / 2);
    }
    place(ComboBox1, 600, 240, 3015, 300);
    place(ComboBox2, 4200, 240, 1455, 300);
    place(PushButton1, 5880, 203, 1095, 375);
    place(PushButton2, 7080, 203, 1335, 375);
    place(Grid1, 180, 960, 11175, 7215);
    // A student's row opens the history of that student.
    connect(Grid1, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &at) { openHistory(at.row() + 1); });
    Grid1->installEventFilter(this);
    place(StatusBar1, 0, 8280, 11535, 495);
}

void BrowseDialog::load(const std::vector<Choice> &grades, const std::vector<Choice> &classes)
{
    for (int c = 0; c < kColumns; ++c) {
        Grid1->setColWidth(c, kWidths[static_cast<std::size_t>(c)]);
        Grid1->setTextMatrix(0, c, fieldName(c));
    }
    // Copied whole and in order, empty items included; nothing is chosen.
    addChoices(ComboBox1, grades);
    addChoices(ComboBox2, classes);
}

void BrowseDialog::showClass()
{
    const QString grade = ComboBox1->currentText();
    const QString className = ComboBox2->currentText();
    if (grade.isEmpty() || className.isEmpty()) {
        services_.messages.show(kNoClassChosen, MessageStyle::Error);
        return;
    }

    // Every row is read before the grid changes: a failure on the way leaves
    // it showing what it showed.
    std::vector<std::array<QString, kColumns>> rows;
    std::vector<std::int64_t> keys;
    try {
        store_.rs2 = std::make_unique<store::RecordSet>();
        const store::ConnectionScope db(store_);
        store::RecordSet &rs2 = *store_.rs2;
        rs2.open(store_.conn,
                 store::studentsOfClass(chosenValue(ComboBox1), chosenValue(ComboBox2)));
        std::array<int, kColumns> index{};
        for (std::size_t c = 0; c < index.size(); ++c)
            index[c] = rs2.columnIndex(kFields[c]);
        rows.reserve(static_cast<std::size_t>(rs2.recordCount()));
        for (rs2.moveFirst(); !rs2.eof(); rs2.moveNext()) {
            auto &row = rows.emplace_back();
            keys.push_back(rs2.key());
            for (std::size_t c = 0; c < row.size(); ++c)
                row[c] = storedText(rs2.field(index[c]));
        }
        rs2.close();
    } catch (const std::exception &e) {
        store_.rs2->close();
        services_.messages.show(kDatabaseFailed + QString::fromUtf8(e.what()), MessageStyle::Error);
        return;
    }

    if (rows.empty()) {
        services_.messages.show(kNoStudents, MessageStyle::Error);
        return;
    }
    keys_ = std::move(keys);
    Grid1->setRows(1);
    Grid1->setRows(static_cast<int>(rows.size()) + 1);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < kColumns; ++c)
            Grid1->setTextMatrix(static_cast<int>(r) + 1, c, rows[r][static_cast<std::size_t>(c)]);
    Grid1->scrollToTop();
}

bool BrowseDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Grid1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && Grid1->currentIndex().isValid()) {
            openHistory(Grid1->currentIndex().row() + 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BrowseDialog::openHistory(int gridRow)
{
    if (gridRow < 1 || gridRow > static_cast<int>(keys_.size()))
        return;
    auto *history = new HistoryDialog(store_, services_,
                                      keys_[static_cast<std::size_t>(gridRow - 1)], this);
    history->setAttribute(Qt::WA_DeleteOnClose);
    if (!history->loaded()) {
        history->deleteLater();
        return;
    }
    history->open();
}

} // namespace quorvel
