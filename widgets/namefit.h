#pragma once

#include <QFont>
#include <QHash>
#include <QString>

class QLabel;

namespace quorvel {

// The widest the text is drawn in font: its advance or its ink, whichever is more.
int textWidth(const QFont &font, const QString &text);

// base when text fits on one line within width; otherwise the largest size
// below it (half points, or whole pixels for a pixel-sized font) at which it
// does, down to a floor where nothing smaller could be read anyway.
QFont fittedFont(const QFont &base, const QString &text, int width);

// Shows names in a label as plain text, each in the largest size up to the
// label's own face at which the whole name fits on one line. Sizes are
// remembered per name, so a rolling draw measures each name once.
class NameFitter {
public:
    explicit NameFitter(QLabel *label);

    void show(const QString &text);
    // A new face to fit into, for a label whose size or look changed.
    void setBase(const QFont &base);
    const QFont &base() const { return base_; }

private:
    QLabel *label_;
    QFont base_;
    int width_ = -1;
    QHash<QString, QFont> fitted_;
};

} // namespace quorvel
