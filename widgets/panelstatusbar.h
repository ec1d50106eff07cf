#pragma once

#include <QStatusBar>

#include <array>

class QLabel;

namespace quorvel {

// A status bar of five text panels, numbered 1 to 5 from the left. The panels
// share the bar's width in the proportions of their designed widths, so all
// five show whatever the bar's width, and keep one height whatever they show,
// so the window's layout never moves as texts change.
class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPanels = 5;

    explicit PanelStatusBar(const std::array<int, kPanels> &widths, QWidget *parent = nullptr);

    QString panelText(int panel) const;
    // Sets the text, as plain text; assistive technology reads it as the
    // panel's name. A message the bar shows gives way to the panels.
    void setPanelText(int panel, const QString &text);
    // What each panel is called while it is still empty.
    void setPanelNames(const std::array<QString, kPanels> &names);

protected:
    void changeEvent(QEvent *event) override;

private:
    QLabel *label(int panel) const;
    // Every panel as high as one holding a label and its number takes.
    void fixPanelHeight();
    std::array<QLabel *, kPanels> panels_{};
};

} // namespace quorvel
