#include "widgets/namefit.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

constexpr double kSmallestPoints = 8.0;
constexpr int kSmallestPixels = 10;
constexpr int kRememberedNames = 1024;

// The label's width less a little room, so that a long name does not touch
// the edges.
int availableWidth(const QLabel *label)
{
    const int inner = label->contentsRect().width() - 2 * label->margin()
                      - std::max(0, label->indent());
    return std::max(0, inner - std::max(8, inner / 40));
}

} // namespace

int textWidth(const QFont &font, const QString &text)
{
    const QFontMetrics m(font);
    return std::max(m.horizontalAdvance(text), m.boundingRect(text).width());
}

QFont fittedFont(const QFont &base, const QString &text, int width)
{
    const int full = textWidth(base, text);
    if (full <= width || full == 0)
        return base;
    QFont f = base;
    // Text width grows about in step with the size: start from that estimate
    // and step down until hinting no longer pushes it over.
    const double ratio = static_cast<double>(width) / full;
    if (base.pixelSize() > 0) {
        int px = std::max(kSmallestPixels, static_cast<int>(base.pixelSize() * ratio));
        f.setPixelSize(px);
        while (px > kSmallestPixels && textWidth(f, text) > width)
            f.setPixelSize(--px);
    } else {
        double pt = std::max(kSmallestPoints, std::floor(base.pointSizeF() * ratio * 2) / 2);
        f.setPointSizeF(pt);
        while (pt > kSmallestPoints && textWidth(f, text) > width) {
            pt -= 0.5;
            f.setPointSizeF(pt);
        }
    }
    return f;
}

NameFitter::NameFitter(QLabel *label) : label_(label), base_(label->font())
{
    label_->setTextFormat(Qt::PlainText);
}

void NameFitter::setBase(const QFont &base)
{
    base_ = base;
    fitted_.clear();
}

void NameFitter::show(const QString &text)
{
    const int width = availableWidth(label_);
    if (width != width_ || fitted_.size() > kRememberedNames) {
        fitted_.clear();
        width_ = width;
    }
    auto it = fitted_.constFind(text);
    if (it == fitted_.constEnd())
        it = fitted_.insert(text, fittedFont(base_, text, width));
    if (label_->font() != *it)
        label_->setFont(*it);
    label_->setText(text);
}

} // namespace quorvel
