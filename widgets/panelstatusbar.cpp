#include "widgets/panelstatusbar.h"

#include <QEvent>
#include <QLabel>

namespace quorvel {

namespace {

constexpr int kFrame = QFrame::Panel | QFrame::Sunken;

} // namespace

PanelStatusBar::PanelStatusBar(const std::array<int, kPanels> &widths, QWidget *parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    // Without the grip the last panel would touch the window's edge: keep the
    // margin the bar leaves on the left.
    setContentsMargins(0, 0, 2, 0);
    for (int i = 0; i < kPanels; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameStyle(kFrame);
        panel->setTextFormat(Qt::PlainText);
        // The width comes from the share, never from the text shown.
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        addWidget(panel, widths[static_cast<std::size_t>(i)]);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
    fixPanelHeight();
}

void PanelStatusBar::fixPanelHeight()
{
    QLabel probe;
    probe.setFrameStyle(kFrame);
    probe.setFont(font());
    probe.setText(QStringLiteral("倒扣学分：-0123456789.5"));
    const int height = probe.sizeHint().height();
    for (QLabel *panel : panels_)
        panel->setFixedHeight(height);
}

void PanelStatusBar::changeEvent(QEvent *event)
{
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fixPanelHeight();
}

QLabel *PanelStatusBar::label(int panel) const
{
    Q_ASSERT(panel >= 1 && panel <= kPanels);
    return panels_[static_cast<std::size_t>(panel - 1)];
}

QString PanelStatusBar::panelText(int panel) const
{
    return label(panel)->text();
}

void PanelStatusBar::setPanelText(int panel, const QString &text)
{
    // A message shown in the bar gives way to the panels.
    clearMessage();
    QLabel *l = label(panel);
    l->setText(text);
    // A panel with text is named by it ("优秀：3"); the name given to the
    // empty panel steps aside once.
    if (!l->accessibleName().isEmpty())
        l->setAccessibleName(QString());
}

void PanelStatusBar::setPanelNames(const std::array<QString, kPanels> &names)
{
    for (int i = 0; i < kPanels; ++i)
        if (label(i + 1)->text().isEmpty())
            label(i + 1)->setAccessibleName(names[static_cast<std::size_t>(i)]);
}

} // namespace quorvel
