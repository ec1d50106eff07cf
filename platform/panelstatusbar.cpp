#include "platform/panelstatusbar.h"

#include <QLabel>

namespace quorvel {

PanelStatusBar::PanelStatusBar(const std::array<int, kPanels> &widths, QWidget *parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < kPanels; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        panel->setMinimumWidth(widths[static_cast<std::size_t>(i)]);
        // The last panel takes what is left of the bar.
        if (i < kPanels - 1)
            panel->setMaximumWidth(widths[static_cast<std::size_t>(i)]);
        addWidget(panel, i == kPanels - 1 ? 1 : 0);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
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
