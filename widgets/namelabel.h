#pragma once

#include <QCache>
#include <QLabel>
#include <QPixmap>

namespace quorvel {

// A one-line label for a name shown large. Text this size is filled from its
// outlines at every paint: several milliseconds for a name a few hundred
// pixels tall, drawn smooth. So a name drawn smooth is kept as a pixmap and
// the pixmap reused whenever that name shows again; the pixmaps kept are
// bounded in bytes, the least recently shown going first.
//
// While names flash (setFlashing), one not kept is drawn without
// antialiasing, about five times cheaper: it is on screen for a few
// hundredths of a second, and a whole class of pixmaps would take a hundred
// megabytes on a projector. The name that stays is always drawn smooth.
class NameLabel : public QLabel {
    Q_OBJECT
public:
    explicit NameLabel(QWidget *parent = nullptr);

    void setFlashing(bool flashing);
    bool flashing() const { return flashing_; }
    // At most this many bytes of drawn names are kept.
    void setCacheBytes(qsizetype bytes);
    // The names drawn and kept, and the KiB they take, for tests and benchmarks.
    int cachedNames() const { return static_cast<int>(drawn_.count()); }
    int cachedKiB() const { return static_cast<int>(drawn_.totalCost()); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Drawn {
        QPixmap pixmap;
        QPoint offset;  // from the text's origin on its baseline
    };
    Drawn *drawnFor(const QString &key, const QColor &ink, const QColor &paper, bool smooth);

    QCache<QString, Drawn> drawn_;
    bool flashing_ = false;
};

} // namespace quorvel
