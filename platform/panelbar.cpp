#include "platform/panelbar.h"

#include <QLabel>

namespace quorvel {

PanelBar::PanelBar(const std::array<int, kPanels> &widths, QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < kPanels; ++i) {
        const int width = widths[static_cast<std::size_t>(i)];
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(width);
        if (i < kPanels - 1)
            panel->setMaximumWidth(width);
        addWidget(panel, i == kPanels - 1 ? 1 : 0);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
}

QLabel *PanelBar::label(int panel) const
{
    Q_ASSERT(panel >= 1 && panel <= kPanels);
    return panels_[static_cast<std::size_t>(panel - 1)];
}

QString PanelBar::panelText(int panel) const
{
    return label(panel)->text();
}

void PanelBar::setPanelText(int panel, const QString &text)
{
    label(panel)->setText(text);
}

} // namespace quorvel
