// The main window's controls: names, captions, initial states and places.

#include "rollcall/mainwindow.h"

#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "widgets/digitkeyfilter.h"
#include "widgets/namefit.h"
#include "widgets/namelabel.h"
#include "widgets/panelstatusbar.h"
#include "rollcall/texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace quorvel {

namespace {

template <typename W, typename... Args>
W *make(QWidget *parent, const char *name, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    return make<QLabel>(parent, name, text);
}

QPushButton *pushButton(QWidget *parent, const char *name, const QString &text)
{
    return make<QPushButton>(parent, name, text);
}

} // namespace

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // The display panel: the called name, and the countdown in its corner.
    Picture1 = make<QFrame>(client, "Picture1");
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Names come from the file: shown as typed, never as markup.
    showname = make<NameLabel>(Picture1, "showname");
    showname->setText(QStringLiteral("XXXXXX"));
    showname->setFont(chineseFont(72, true));
    showname->setAlignment(Qt::AlignCenter);
    showname->setAttribute(Qt::WA_TranslucentBackground);
    showname->setAccessibleName(texts::kNobodyCalled);
    showname->setAccessibleDescription(texts::kCalledStudent);
    nameFitter_ = std::make_unique<NameFitter>(showname);
    showtime = label(Picture1, "showtime", QStringLiteral("00"));
    showtime->setFont(chineseFont(48, true));
    showtime->setAlignment(Qt::AlignRight | Qt::AlignTop);
    showtime->setAttribute(Qt::WA_TranslucentBackground);
    showtime->setTextFormat(Qt::PlainText);
    showtime->setAccessibleName(showtime->text());
    showtime->setAccessibleDescription(texts::kCountdownName);
    showtime->hide();

    GroupBox4 = make<QGroupBox>(client, "GroupBox4");
    PushButton7 = pushButton(GroupBox4, "PushButton7", QStringLiteral("<<"));
    prev = pushButton(GroupBox4, "prev", QStringLiteral("<"));
    PushButton5 = pushButton(GroupBox4, "PushButton5", QStringLiteral(">"));
    PushButton6 = pushButton(GroupBox4, "PushButton6", QStringLiteral(">>"));
    GroupBox4->setEnabled(false);

    GroupBox2 = make<QGroupBox>(client, "GroupBox2", QStringLiteral("数据源"));
    Label4 = label(GroupBox2, "Label4", QStringLiteral("年级"));
    ComboBox1 = make<QComboBox>(GroupBox2, "ComboBox1");
    Label5 = label(GroupBox2, "Label5", QStringLiteral("班级"));
    ComboBox2 = make<QComboBox>(GroupBox2, "ComboBox2");

    GroupBox3 = make<QGroupBox>(client, "GroupBox3", QStringLiteral("评价"));
    Label6 = label(GroupBox3, "Label6", QStringLiteral("评价等级"));
    ComboBox3 = make<QComboBox>(GroupBox3, "ComboBox3");
    Label7 = label(GroupBox3, "Label7", QStringLiteral("倒扣学分"));
    Text1 = make<QLineEdit>(GroupBox3, "Text1");
    digitsOnly_->attach(Text1, 3);
    PushButton4 = pushButton(GroupBox3, "PushButton4", QStringLiteral("评价记入"));

    Frame1 = make<QFrame>(client, "Frame1");
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    stoponoff = make<QCheckBox>(Frame1, "stoponoff", QStringLiteral("自动停止时间限制"));
    stoptime = make<QLineEdit>(Frame1, "stoptime", QStringLiteral("10"));
    digitsOnly_->attach(stoptime, 2);
    Label3 = label(Frame1, "Label3", QStringLiteral("秒"));

    // Each input is named by the label beside it; "秒" alone would say too
    // little, so the countdown box says what its seconds are for.
    for (auto [caption, input] : {std::pair<QLabel *, QWidget *>{Label4, ComboBox1},
                                  {Label5, ComboBox2}, {Label6, ComboBox3}, {Label7, Text1},
                                  {Label3, stoptime}}) {
        caption->setBuddy(input);
        input->setAccessibleName(caption->text());
    }
    stoptime->setAccessibleName(texts::kStopTimeName);

    GroupBox1 = make<QGroupBox>(client, "GroupBox1");
    Label2 = label(GroupBox1, "Label2", QStringLiteral("慢"));
    Slider1 = make<QSlider>(GroupBox1, "Slider1", Qt::Horizontal);
    Slider1->setRange(1, 100);
    Slider1->setValue(10);
    Slider1->setPageStep(10);
    Label1 = label(GroupBox1, "Label1", QStringLiteral("快"));

    PushButton2 = pushButton(client, "PushButton2", QStringLiteral("导入数据"));
    PushButton1 = pushButton(client, "PushButton1", texts::kStartRandom);
    PushButton3 = pushButton(client, "PushButton3", texts::kStartWalk);
    PushButton10 = pushButton(client, "PushButton10", QStringLiteral("评价导出"));
    for (QPushButton *b : {PushButton2, PushButton1, PushButton3, PushButton10})
        b->setFont(chineseFont(14.25));

    Stat = new PanelStatusBar({twips(2313), twips(2313), twips(2313), twips(2313), twips(2400)},
                              this);
    Stat->setObjectName(QStringLiteral("Stat"));
    Stat->setPanelNames({QStringLiteral("优秀"), QStringLiteral("良好"), QStringLiteral("及格"),
                         QStringLiteral("不及格"), QStringLiteral("倒扣学分")});
    Stat->setFont(chineseFont(12));
    setStatusBar(Stat);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(100);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer2->setInterval(1000);

    layOutControls();
}

void MainWindow::layOutControls()
{
    // Top to bottom: display, navigation, data source | evaluation,
    // automatic stop | speed, the four buttons, the status bar.
    Picture1->setGeometry(16, 10, 739, 236);
    showname->setGeometry(0, 0, 739, 236);
    showtime->setGeometry(589, 2, 140, 84);

    GroupBox4->setGeometry(236, 252, 300, 50);
    int x = 15;
    for (QPushButton *b : {PushButton7, prev, PushButton5, PushButton6}) {
        b->setGeometry(x, 10, 60, 30);
        x += 70;
    }

    GroupBox2->setGeometry(16, 308, 364, 98);
    Label4->setGeometry(16, 28, 40, 26);
    ComboBox1->setGeometry(58, 28, 290, 26);
    Label5->setGeometry(16, 62, 40, 26);
    ComboBox2->setGeometry(58, 62, 290, 26);

    GroupBox3->setGeometry(391, 308, 364, 98);
    Label6->setGeometry(16, 28, 70, 26);
    ComboBox3->setGeometry(88, 28, 150, 26);
    Label7->setGeometry(16, 62, 70, 26);
    Text1->setGeometry(88, 62, 150, 26);
    PushButton4->setGeometry(252, 28, 98, 60);

    Frame1->setGeometry(16, 414, 364, 56);
    stoponoff->setGeometry(16, 15, 170, 26);
    stoptime->setGeometry(192, 14, 50, 28);
    Label3->setGeometry(248, 15, 30, 26);

    GroupBox1->setGeometry(391, 414, 364, 56);
    Label2->setGeometry(16, 15, 24, 26);
    Slider1->setGeometry(44, 14, 276, 28);
    Label1->setGeometry(328, 15, 24, 26);

    x = 16;
    for (QPushButton *b : {PushButton2, PushButton1, PushButton3, PushButton10}) {
        b->setGeometry(x, 480, 178, 56);
        x += 187;
    }
}

} // namespace quorvel
