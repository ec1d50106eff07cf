#include "exchange/browsedialog.h"

#include "platform/fonts.h"
#include "platform/geometry.h"

namespace quorvel {

BrowseDialog::BrowseDialog(store::Store &store, const Services &services,
                           const QStringList &grades, const QStringList &classes,
                           QWidget *parent)
    : QDialog(parent), store_(store), services_(services), grades_(grades), classes_(classes)
{
    setObjectName(QStringLiteral("browsj"));
    setWindowTitle(QStringLiteral("评价数据导出"));
    setFont(chineseFont(10.5));
    setFixedSize(twips(11535), twips(8775));
    setModal(true);
}

} // namespace quorvel
