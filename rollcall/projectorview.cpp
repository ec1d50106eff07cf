#include "rollcall/projectorview.h"

#include "widgets/fonts.h"
#include "widgets/namelabel.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace quorvel {

namespace {

template <typename Label = QLabel>
Label *makeLabel(QWidget *parent, const char *name, const QString &accessibleDescription)
{
    auto *l = new Label(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignCenter);
    l->setAccessibleDescription(accessibleDescription);
    return l;
}

// Sizes follow the screen: the name up to 40 % of its height.
QFont faceFor(int pixels, bool bold)
{
    QFont f = chineseFont(12, bold);
    f.setPixelSize(std::max(10, pixels));
    return f;
}

} // namespace

ProjectorView::ProjectorView(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("projector"));
    setWindowTitle(QStringLiteral("投影视图"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    classLabel_ = makeLabel(this, "projectorClass", QStringLiteral("年级和班级"));
    nameLabel_ = makeLabel<NameLabel>(this, "projectorName", QStringLiteral("点到的学生"));
    // Filled by itself, so that each name is kept drawn on its background.
    nameLabel_->setAutoFillBackground(true);
    nameLabel_->setCacheBytes(kDrawnNameBytes);
    timeLabel_ = makeLabel(this, "projectorTime", QStringLiteral("倒计时"));
    timeLabel_->hide();
    // Long names shrink to fit: their text must never widen the window.
    for (QLabel *l : {classLabel_, timeLabel_})
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Only as tall as the name: a new name repaints no more than its own band.
    nameLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(classLabel_);
    layout->addStretch(1);
    layout->addWidget(nameLabel_);
    layout->addStretch(1);
    layout->addWidget(timeLabel_);
    fitter_ = std::make_unique<NameFitter>(nameLabel_);
    frame_ = new QTimer(this);
    frame_->setSingleShot(true);
    connect(frame_, &QTimer::timeout, this, &ProjectorView::paintName);
    resize(1024, 768);
    setTheme(Theme::Light);
}

ProjectorView::~ProjectorView() = default;

void ProjectorView::showOn(const QWidget *beside)
{
    QScreen *target = beside ? beside->screen() : QGuiApplication::primaryScreen();
    for (QScreen *s : QGuiApplication::screens())
        if (s != target) {
            target = s;
            break;
        }
    if (target) {
        create();
        windowHandle()->setScreen(target);
        setGeometry(target->geometry());
    }
    showFullScreen();
    raise();
    activateWindow();
    setFocus();
}

void ProjectorView::setClassText(const QString &text)
{
    classLabel_->setText(text);
    classLabel_->setAccessibleName(text);
}

void ProjectorView::setName(const QString &text, bool settled)
{
    name_ = text;
    nameLabel_->setFlashing(!settled);
    if (settled) {
        paintName();
        nameLabel_->setAccessibleName(text);
        return;
    }
    if (frame_->isActive())
        return;  // the frame already due shows the latest name
    const qint64 since = sinceFrame_.isValid() ? sinceFrame_.elapsed() : kFlashFrameMs;
    if (since >= kFlashFrameMs)
        paintName();
    else
        frame_->start(static_cast<int>(kFlashFrameMs - since));
}

void ProjectorView::paintName()
{
    frame_->stop();
    sinceFrame_.start();
    fitter_->show(name_);
}

void ProjectorView::setCountdown(const QString &text, bool visible)
{
    timeLabel_->setText(text);
    timeLabel_->setAccessibleName(text);
    timeLabel_->setVisible(visible);
}

void ProjectorView::setTheme(Theme theme)
{
    theme_ = theme;
    const bool dark = theme == Theme::Dark;
    QPalette p = palette();
    p.setColor(QPalette::Window, dark ? QColor(0x12, 0x16, 0x1c) : QColor(0xfa, 0xfa, 0xf7));
    p.setColor(QPalette::WindowText, dark ? QColor(0xf4, 0xf4, 0xf0) : QColor(0x1a, 0x1a, 0x1a));
    setPalette(p);
    QPalette quiet = p;
    quiet.setColor(QPalette::WindowText, dark ? QColor(0x9a, 0xa6, 0xb4) : QColor(0x5a, 0x5a, 0x5a));
    classLabel_->setPalette(quiet);
    QPalette alert = p;
    alert.setColor(QPalette::WindowText, dark ? QColor(0xff, 0xc8, 0x3c) : QColor(0xb0, 0x1e, 0x1e));
    timeLabel_->setPalette(alert);
}

void ProjectorView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if (event->key() == Qt::Key_T && !event->isAutoRepeat()) {
        setTheme(theme_ == Theme::Light ? Theme::Dark : Theme::Light);
        emit themeToggled(theme_);
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProjectorView::mouseDoubleClickEvent(QMouseEvent *)
{
    close();
}

void ProjectorView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int h = height();
    classLabel_->setFont(faceFor(h / 16, false));
    timeLabel_->setFont(faceFor(h / 8, true));
    const QFont face = faceFor(h * 2 / 5, true);
    fitter_->setBase(face);
    nameLabel_->setFixedHeight(QFontMetrics(face).height());
    // The name's box is laid out only after this event; fit the name once it is.
    QMetaObject::invokeMethod(this, &ProjectorView::paintName, Qt::QueuedConnection);
}

} // namespace quorvel
