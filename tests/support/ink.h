#pragma once

// Where a widget has drawn something: what the teacher actually sees, read
// from the pixels rather than from the widget's properties.

#include <QHash>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <cstdlib>

namespace quorvel::testing {

struct Ink {
    QRect box;       // the smallest rectangle holding every inked pixel (empty: none)
    int pixels = 0;  // how many pixels differ from the background
    QRgb background = 0;

    bool any() const { return pixels > 0; }
};

// The background is the colour most pixels of the picture have; a pixel is
// ink when one of its channels differs from it by more than tolerance.
inline Ink inkOf(const QImage &picture, int tolerance = 48)
{
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    Ink ink;
    if (img.isNull())
        return ink;
    QHash<QRgb, int> counts;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            ++counts[line[x] | 0xff000000u];
    }
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            ink.background = it.key();
        }
    const auto differs = [&](QRgb c) {
        return std::abs(qRed(c) - qRed(ink.background)) > tolerance
               || std::abs(qGreen(c) - qGreen(ink.background)) > tolerance
               || std::abs(qBlue(c) - qBlue(ink.background)) > tolerance;
    };
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (!differs(line[x]))
                continue;
            ++ink.pixels;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (ink.pixels)
        ink.box = QRect(QPoint(left, top), QPoint(right, bottom));
    return ink;
}

// The ink of what the widget shows now, children included, in the widget's
// own coordinates (device pixels are scaled back to them).
inline Ink inkOf(QWidget *widget, int tolerance = 48)
{
    QImage picture = widget->grab().toImage();
    if (picture.devicePixelRatio() != 1.0)
        picture = picture.scaled(widget->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return inkOf(picture, tolerance);
}

// The same, for the part of a window that one of its children covers: the
// child drawn over what lies beneath it, as the window shows it, less inset
// pixels at each edge (a frame around it, say). The box is in the child's
// coordinates.
inline Ink inkOver(QWidget *child, int inset = 0, int tolerance = 48)
{
    QWidget *top = child->window();
    const QRect area = QRect(child->mapTo(top, QPoint(0, 0)), child->size())
                           .adjusted(inset, inset, -inset, -inset);
    Ink ink = inkOf(top->grab(area).toImage(), tolerance);
    if (ink.any())
        ink.box.translate(inset, inset);
    return ink;
}

// Whether two pictures of the same widget differ in their ink.
inline bool sameInk(const Ink &a, const Ink &b)
{
    return a.box == b.box && a.pixels == b.pixels;
}

} // namespace quorvel::testing
