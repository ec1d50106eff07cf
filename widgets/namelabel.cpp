#include "widgets/namelabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <limits>
#include <memory>

namespace quorvel {

namespace {

constexpr qsizetype kDefaultCacheBytes = 8 * 1024 * 1024;

// The pixmaps' cost in the cache is counted in KiB.
int kib(qsizetype bytes)
{
    return static_cast<int>(std::min<qsizetype>(bytes / 1024, std::numeric_limits<int>::max()));
}

} // namespace

NameLabel::NameLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    drawn_.setMaxCost(kib(kDefaultCacheBytes));
}

void NameLabel::setFlashing(bool flashing)
{
    if (flashing_ == flashing)
        return;
    flashing_ = flashing;
    if (!flashing_)
        update();  // the name that stays, smooth
}

void NameLabel::setCacheBytes(qsizetype bytes)
{
    drawn_.setMaxCost(kib(bytes));
}

NameLabel::Drawn *NameLabel::drawnFor(const QString &key, const QColor &ink, const QColor &paper,
                                      bool smooth)
{
    if (Drawn *d = drawn_.object(key))
        return d;
    if (!smooth)
        return nullptr;
    const QFontMetrics fm(font());
    // Covers every pixel the text inks when drawn at the origin.
    const QRect box = fm.boundingRect(text()).adjusted(-2, -2, 2, 2);
    if (box.isEmpty())
        return nullptr;
    const qreal ratio = devicePixelRatioF();
    auto d = std::make_unique<Drawn>();
    d->offset = box.topLeft();
    d->pixmap = QPixmap((QSizeF(box.size()) * ratio).toSize());
    d->pixmap.setDevicePixelRatio(ratio);
    d->pixmap.fill(paper);
    {
        QPainter p(&d->pixmap);
        p.setFont(font());
        p.setPen(ink);
        p.drawText(-box.topLeft(), text());
    }
    const qsizetype bytes = qsizetype(d->pixmap.width()) * d->pixmap.height() * 4;
    if (kib(bytes) > drawn_.maxCost())
        return nullptr;
    Drawn *kept = d.get();
    drawn_.insert(key, d.release(), std::max(1, kib(bytes)));
    return kept;
}

void NameLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = text();
    // Several lines (a name stored with a line break) are the label's own.
    if (shown.isEmpty() || shown.contains(u'\n') || shown.contains(QChar::LineSeparator)) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    drawFrame(&p);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QFontMetrics fm(font());
    const QRect line = QStyle::alignedRect(layoutDirection(), alignment(),
                                           QSize(fm.horizontalAdvance(shown), fm.height()), room);
    const QPoint origin(line.x(), line.y() + fm.ascent());
    const QColor ink = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       foregroundRole());
    // A pixmap covers what lies beneath it: opaque only on a plain background
    // the label fills itself, see-through elsewhere.
    const QBrush &ground = palette().brush(backgroundRole());
    const QColor paper = autoFillBackground() && ground.style() == Qt::SolidPattern
                             ? ground.color()
                             : QColor(Qt::transparent);
    const QString key = font().key() + QChar(0x1f) + QString::number(ink.rgba(), 16)
                        + QChar(0x1f) + QString::number(paper.rgba(), 16) + QChar(0x1f)
                        + QString::number(devicePixelRatioF()) + QChar(0x1f) + shown;
    p.setClipRect(room);
    if (const Drawn *d = drawnFor(key, ink, paper, !flashing_)) {
        p.drawPixmap(origin + d->offset, d->pixmap);
        return;
    }
    QFont rough = font();
    if (flashing_)
        rough.setStyleStrategy(QFont::NoAntialias);
    p.setFont(rough);
    p.setPen(ink);
    p.drawText(origin, shown);
}

} // namespace quorvel
