#include "exchange/worksheetpicture.h"

#include "widgets/fonts.h"

#include <QPainter>

namespace quorvel {

namespace {

constexpr int kWidth = 253, kHeight = 107;
constexpr int kRowHeadWidth = 25, kColumnWidth = 76;  // 25 + 3 × 76 = 253
constexpr int kColumnHeadHeight = 19, kRowHeight = 22;  // 19 + 4 × 22 = 107

} // namespace

QPixmap worksheetPicture()
{
    QPixmap picture(kWidth, kHeight);
    picture.fill(Qt::white);
    QPainter p(&picture);

    const QColor headFill(0xE6, 0xE9, 0xEF);
    const QColor headText(0x33, 0x33, 0x33);
    const QColor grid(0xC8, 0xCC, 0xD2);
    const QColor titleFill(0xFF, 0xF4, 0xD6);

    // Heads: the corner, the column letters and the row numbers.
    p.fillRect(0, 0, kWidth, kColumnHeadHeight, headFill);
    p.fillRect(0, 0, kRowHeadWidth, kHeight, headFill);
    // Row 1, the titles, lightly shaded.
    p.fillRect(kRowHeadWidth, kColumnHeadHeight, kWidth - kRowHeadWidth, kRowHeight, titleFill);

    p.setPen(grid);
    for (int c = 0; c <= 3; ++c) {
        const int x = kRowHeadWidth + c * kColumnWidth - (c == 3 ? 1 : 0);
        p.drawLine(x, 0, x, kHeight - 1);
    }
    for (int r = 0; r <= 4; ++r) {
        const int y = kColumnHeadHeight + r * kRowHeight - (r == 4 ? 1 : 0);
        p.drawLine(0, y, kWidth - 1, y);
    }
    p.drawRect(0, 0, kWidth - 1, kHeight - 1);

    QFont font = chineseFont(9);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(headText);
    const char *letters[] = {"A", "B", "C"};
    for (int c = 0; c < 3; ++c)
        p.drawText(QRect(kRowHeadWidth + c * kColumnWidth, 0, kColumnWidth, kColumnHeadHeight),
                   Qt::AlignCenter, QLatin1String(letters[c]));
    for (int r = 0; r < 4; ++r)
        p.drawText(QRect(0, kColumnHeadHeight + r * kRowHeight, kRowHeadWidth, kRowHeight),
                   Qt::AlignCenter, QString::number(r + 1));

    const QString cells[4][3] = {
        {QStringLiteral("姓名"), QStringLiteral("年级"), QStringLiteral("班级")},
        {QStringLiteral("林晓雨"), QStringLiteral("高2013级"), QStringLiteral("1班")},
        {QStringLiteral("周子航"), QStringLiteral("高2013级"), QStringLiteral("1班")},
        {QStringLiteral("陈思远"), QStringLiteral("高2013级"), QStringLiteral("1班")},
    };
    p.setPen(Qt::black);
    for (int r = 0; r < 4; ++r) {
        QFont cellFont = font;
        cellFont.setBold(r == 0);
        p.setFont(cellFont);
        for (int c = 0; c < 3; ++c)
            p.drawText(QRect(kRowHeadWidth + c * kColumnWidth + 4,
                             kColumnHeadHeight + r * kRowHeight, kColumnWidth - 8, kRowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, cells[r][c]);
    }
    return picture;
}

} // namespace quorvel
