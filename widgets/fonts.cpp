#include "widgets/fonts.h"

#include <QStringList>

namespace quorvel {

QFont chineseFont(double pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace quorvel
