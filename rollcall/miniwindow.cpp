#include "rollcall/miniwindow.h"

#include "rollcall/mainwindow.h"
#include "rollcall/texts.h"
#include "widgets/fonts.h"
#include "widgets/namefit.h"
#include "widgets/namelabel.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSizeGrip>
#include <QVBoxLayout>
#include <QWindow>

namespace quorvel {

namespace {

const QString kGeometryKey = QStringLiteral("miniWindow/geometry");
const QString kBack = QStringLiteral("主窗口");
const QString kBackTip = QStringLiteral("回到主窗口（F6）");
const QString kNoClass = QStringLiteral("未选择班级");
constexpr QSize kFirstSize(360, 210);
constexpr QSize kSmallest(220, 140);

} // namespace

MiniWindow::MiniWindow(MainWindow &main, QSettings &settings)
    : QWidget(nullptr, Qt::Window | Qt::Tool | Qt::FramelessWindowHint
                           | Qt::WindowStaysOnTopHint),
      main_(main), settings_(settings)
{
    // No parent: a window manager may hide a window that belongs to another
    // along with it, and the main window is minimized while this one shows.
    setObjectName(QStringLiteral("miniWindow"));
    setWindowTitle(QStringLiteral("小窗"));
    setFont(chineseFont(10.5));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xfa, 0xfa, 0xf7));
    p.setColor(QPalette::WindowText, QColor(0x1a, 0x1a, 0x1a));
    setPalette(p);
    setMinimumSize(kSmallest);

    classLabel_ = new QLabel(this);
    classLabel_->setObjectName(QStringLiteral("miniClass"));
    classLabel_->setTextFormat(Qt::PlainText);
    classLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    classLabel_->setAccessibleDescription(QStringLiteral("年级和班级"));
    QPalette quiet = p;
    quiet.setColor(QPalette::WindowText, QColor(0x5a, 0x5a, 0x5a));
    classLabel_->setPalette(quiet);

    back_ = new QPushButton(kBack, this);
    back_->setObjectName(QStringLiteral("miniBack"));
    back_->setToolTip(kBackTip);
    back_->setFlat(true);
    back_->setFocusPolicy(Qt::NoFocus);
    connect(back_, &QPushButton::clicked, this, &MiniWindow::backRequested);

    nameLabel_ = new NameLabel(this);
    nameLabel_->setObjectName(QStringLiteral("miniName"));
    nameLabel_->setTextFormat(Qt::PlainText);
    nameLabel_->setAlignment(Qt::AlignCenter);
    nameLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    nameLabel_->setAccessibleDescription(texts::kCalledStudent);
    fitter_ = std::make_unique<NameFitter>(nameLabel_);

    button_ = new QPushButton(this);
    button_->setObjectName(QStringLiteral("miniButton"));
    button_->setFont(chineseFont(12, true));
    button_->setMinimumHeight(36);
    connect(button_, &QPushButton::clicked, this, &MiniWindow::pressButton);

    auto *top = new QHBoxLayout;
    top->addWidget(classLabel_, 1);
    top->addWidget(back_);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(button_, 1);
    bottom->addWidget(new QSizeGrip(this), 0, Qt::AlignBottom | Qt::AlignRight);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 4, 4);
    layout->addLayout(top);
    layout->addWidget(nameLabel_, 1);
    layout->addLayout(bottom);

    connect(&main_, &MainWindow::rollCallChanged, this, &MiniWindow::showButton);
    connect(&main_, &MainWindow::rollCallChanged, this, &MiniWindow::showClass);
    connect(&main_, &MainWindow::choiceChanged, this, &MiniWindow::showClass);
    connect(&main_, &MainWindow::nameShown, this, &MiniWindow::showName);
    showClass();
    showButton();
    showName(main_.shownName(), !main_.drawing());

    if (!restoreGeometry(settings_.value(kGeometryKey).toByteArray()))
        resize(kFirstSize);
}

MiniWindow::~MiniWindow() = default;

void MiniWindow::showAbove()
{
    if (!settings_.contains(kGeometryKey)) {
        const QScreen *screen = main_.screen() ? main_.screen() : QGuiApplication::primaryScreen();
        if (screen) {
            const QRect free = screen->availableGeometry();
            move(free.right() - width() - 24, free.top() + 24);
        }
    }
    show();
    raise();
    activateWindow();
    button_->setFocus(Qt::OtherFocusReason);
}

QString MiniWindow::classText() const
{
    return classLabel_->text();
}

QString MiniWindow::nameText() const
{
    return nameLabel_->text();
}

QString chosenClassText(const MainWindow &main)
{
    const auto chosen = main.chosen();
    return chosen ? chosen->first.first + u' ' + chosen->second.first : QString();
}

void MiniWindow::showClass()
{
    QString text = chosenClassText(main_);
    if (text.isEmpty())
        text = kNoClass;
    classLabel_->setText(text);
    classLabel_->setAccessibleName(text);
}

void MiniWindow::showButton()
{
    button_->setText(main_.walking()   ? kNext
                     : main_.drawing() ? texts::kStopRandom
                                       : texts::kStartRandom);
}

void MiniWindow::showName(const QString &text, bool settled)
{
    nameLabel_->setFlashing(!settled);
    fitter_->show(text);
    if (settled)
        nameLabel_->setAccessibleName(text);
}

void MiniWindow::pressButton()
{
    main_.press(main_.walking() ? MainWindow::Control::Next : MainWindow::Control::Draw);
}

// ---- dragging and sizing ---------------------------------------------------

void MiniWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // The window manager moves it where it can; by hand where it cannot
    // (no window manager, or one that does not offer it).
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragging_ = true;
    grab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MiniWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - grab_);
    QWidget::mouseMoveEvent(event);
}

void MiniWindow::mouseReleaseEvent(QMouseEvent *event)
{
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void MiniWindow::mouseDoubleClickEvent(QMouseEvent *)
{
    emit backRequested();
}

void MiniWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The name's band is laid out only after this event: fit the name once it is.
    QMetaObject::invokeMethod(this, &MiniWindow::fitName, Qt::QueuedConnection);
    rememberPlace();
}

void MiniWindow::fitName()
{
    // The name as tall as its band allows, shrunk further when long.
    QFont face = chineseFont(12, true);
    face.setPixelSize(std::max(12, nameLabel_->height() * 3 / 5));
    fitter_->setBase(face);
    fitter_->show(nameLabel_->text());
}

void MiniWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    rememberPlace();
}

void MiniWindow::paintEvent(QPaintEvent *)
{
    // Without a frame of the window manager's: an edge of its own, so that it
    // stands apart from a white slide.
    QPainter p(this);
    p.setPen(QColor(0x8a, 0x8a, 0x8a));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MiniWindow::rememberPlace()
{
    if (isVisible())
        settings_.setValue(kGeometryKey, saveGeometry());
}

} // namespace quorvel
