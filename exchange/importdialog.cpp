#include "exchange/importdialog.h"

#include "platform/fonts.h"
#include "platform/geometry.h"

namespace quorvel {

ImportDialog::ImportDialog(store::Store &store, const Services &services,
                           std::function<void()> reloadLists, QWidget *parent)
    : QDialog(parent), store_(store), services_(services), reloadLists_(std::move(reloadLists))
{
    setObjectName(QStringLiteral("drxs"));
    setWindowTitle(QStringLiteral("导入学生信息"));
    setFont(chineseFont(10.5));
    setFixedSize(twips(6675), twips(5010));
    setModal(true);
}

} // namespace quorvel
