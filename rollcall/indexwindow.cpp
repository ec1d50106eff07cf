#include "rollcall/indexwindow.h"

#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "rollcall/texts.h"

#include <QLabel>
#include <QTimer>

namespace quorvel {

IndexWindow::IndexWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("index"));
    setWindowTitle(QStringLiteral("数据加载"));
    setFixedSize(twips(3150), twips(1350));
    setFont(chineseFont(9));

    Label1 = new QLabel(texts::kLoading, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(chineseFont(12));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(rect());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &IndexWindow::blinkLabel);
    Timer1->start();
}

void IndexWindow::blinkLabel()
{
    Label1->setText(Label1->text() == texts::kLoading ? texts::kLoadingShort : texts::kLoading);
}

} // namespace quorvel
