#pragma once

#include <QStatusBar>

#include <array>

class QLabel;

namespace quorvel {

// A status bar of five text panels, numbered 1 to 5 from the left, each as
// wide as given (the last one takes what is left).
class PanelBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPanels = 5;

    explicit PanelBar(const std::array<int, kPanels> &widths, QWidget *parent = nullptr);

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

private:
    QLabel *label(int panel) const;
    std::array<QLabel *, kPanels> panels_{};
};

} // namespace quorvel
