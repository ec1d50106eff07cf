#include "exchange/importdialog.h"

#include "exchange/pendingbackup.h"
#include "exchange/rosterupdate.h"
#include "exchange/worksheetpicture.h"
#include "platform/clock.h"
#include "platform/filedialog.h"
#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "platform/messagebox.h"
#include "workbook/rostertexts.h"
#include "workbook/workbookreader.h"
#include "store/store.h"
#include "store/schema.h"
#include "store/studentimport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <string>

namespace quorvel {

namespace {

const QString kNotice = QStringLiteral(
    "注意：导入的Excel表请规范成如下样式，否则数据将不能正确导入数据库中，"
    "数据必须放在Excel工作薄的第一个表中。");
const QString kAskToContinue = QStringLiteral(
    "你将导入的Excel文件数据存在第一个表中，且数据是从第一列第二行开始，是否继续？");
const QString kAskToClear = QStringLiteral("是否清空原有数据？");
const QString kFailed = QStringLiteral("导入失败：");
const QString kNothingChanged = QStringLiteral("\n数据库中的原有数据没有任何改动。");
const QString kListsNotRefilled = QStringLiteral("学生已导入，但年级和班级列表未能刷新：");

// The progress bar is repainted at most this often: enough to be seen moving,
// rare enough not to slow a long import down.
constexpr qint64 kRepaintEveryMs = 40;

template <typename W>
W *place(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(twips(left), twips(top), twips(width), twips(height));
    return w;
}

} // namespace

ImportDialog::ImportDialog(store::Store &store, const Services &services,
                           std::function<void()> reloadLists, QWidget *parent)
    : QDialog(parent), store_(store), services_(services), reloadLists_(std::move(reloadLists))
{
    setObjectName(QStringLiteral("drxs"));
    setWindowTitle(QStringLiteral("导入学生信息"));
    setFont(chineseFont(10.5));
    setFixedSize(twips(6675), twips(5010));
    setModal(true);
    buildControls();
}

void ImportDialog::buildControls()
{
    Label1 = place<QLabel>(this, "Label1", 1410, 600, 3855, 615);
    Label1->setText(kNotice);
    Label1->setWordWrap(true);
    Label1->setFont(chineseFont(9));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Drawn with fewer lines of a lower face, the notice fitted its designed
    // height; here it grows downwards, towards the picture, until every line shows.
    Label1->resize(Label1->width(),
                   std::max(Label1->height(), Label1->heightForWidth(Label1->width())));

    PushButton3 = place<QPushButton>(this, "PushButton3", 1290, 1560, 4095, 1935);
    const QPixmap picture = worksheetPicture();
    QIcon icon(picture);
    icon.addPixmap(picture, QIcon::Disabled);  // in colour, though the button is disabled
    PushButton3->setIcon(icon);
    PushButton3->setIconSize(picture.size());
    PushButton3->setEnabled(false);

    ProgressBar1 = place<QProgressBar>(this, "ProgressBar1", 90, 3600, 6495, 375);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    PushButton1 = place<QPushButton>(this, "PushButton1", 1290, 4200, 1815, 615);
    PushButton1->setText(QStringLiteral("选择文件并导入"));
    PushButton1->setAutoDefault(false);
    PushButton2 = place<QPushButton>(this, "PushButton2", 3570, 4200, 1815, 615);
    PushButton2->setText(QStringLiteral("关闭窗口"));
    PushButton2->setAutoDefault(false);

    connect(PushButton1, &QPushButton::clicked, this, &ImportDialog::importStudents);
    connect(PushButton2, &QPushButton::clicked, this, &QDialog::close);
}

void ImportDialog::importStudents()
{
    if (services_.messages.show(kAskToContinue, MessageStyle::Question) != Answer::Yes)
        return;
    const QString path = services_.files.openFile(rosterFileKinds());
    if (path.isEmpty())
        return;

    long added = 0;
    std::optional<store::ConnectionScope> db;
    try {
        added = importWorkbook(path, db);
    } catch (const std::exception &e) {
        db.reset();
        services_.messages.show(kFailed + QString::fromUtf8(e.what()) + kNothingChanged,
                                MessageStyle::Error);
        return;
    }
    try {
        reloadLists_();
    } catch (const std::exception &e) {
        db.reset();
        services_.messages.show(kListsNotRefilled + QString::fromUtf8(e.what()),
                                MessageStyle::Error);
        return;
    }
    db.reset();
    services_.messages.show(QStringLiteral("导入了 ") + QString::number(added)
                                + QStringLiteral("条数据"),
                            MessageStyle::Information);
}

long ImportDialog::importWorkbook(const QString &path, std::optional<store::ConnectionScope> &db)
{
    if (!services_.workbookReader)
        throw WorkbookError(WorkbookFailure::Unreadable, 0, "没有可用的读取程序");
    // The reader opens the workbook while the database is opened.
    const std::unique_ptr<Worksheet> sheet =
        services_.workbookReader->openFirstSheet(path.toLocal8Bit().toStdString());
    db.emplace(store_);
    const int lastRow = sheet->usedRows() - 1;  // a workbook that cannot be read fails here

    bool clear = false;
    if (store::hasStudents(*store_.conn))
        clear = services_.messages.show(kAskToClear, MessageStyle::Question) == Answer::Yes;

    showRowCount(lastRow);
    ProgressBar1->setValue(ProgressBar1->minimum());
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();

    // The backup counts only once the import it was made for has committed.
    std::optional<PendingBackup> backup;
    if (clear)
        backup.emplace(*store_.conn, services_.clock);
    store::StudentImport import(*store_.conn, clear);
    SheetRow row;
    sheet->nextRow(row);  // row 1 holds the titles and is not read
    int r = 2;
    while (sheet->nextRow(row)) {
        if (endsRoster(row))
            break;
        const auto texts = rosterTexts(row);
        import.add(texts[0], texts[1], texts[2]);
        if (sinceRepaint.elapsed() >= kRepaintEveryMs) {
            // A sheet read as a stream tells its number of rows better as
            // it goes on.
            showRowCount(sheet->usedRows() - 1);
            showProgress(r - 1, true);
            sinceRepaint.restart();
        }
        ++r;
    }
    import.commit();
    if (backup)
        backup->keep();
    showProgress(r - 1, false);
    return import.added();
}

void ImportDialog::showRowCount(int lastRow)
{
    ProgressBar1->setRange(lastRow >= 1 ? 1 : 0, std::max(lastRow, 1));
}

void ImportDialog::showProgress(int value, bool force)
{
    ProgressBar1->setValue(std::clamp(value, ProgressBar1->minimum(), ProgressBar1->maximum()));
    if (force)
        ProgressBar1->repaint();
}

} // namespace quorvel
