#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace quorvel {

// What a presenter remote's keys do in the main window and the projector view.
struct RemoteActions {
    std::function<void()> forward;   // PageDown, Right: start or stop the draw, or the next student
    std::function<void()> back;      // PageUp, Left: the previous student
    std::function<void()> first;     // Home
    std::function<void()> last;      // End
    std::function<void()> projector; // F5, wherever the focus is
    std::function<void()> mini;      // F6, wherever the focus is
    std::function<void()> menu;      // the Menu key
    std::function<void()> undo;      // Ctrl+Z, unless a text box has the focus
    // Esc: leaves the projector view; false when it is not open.
    std::function<bool()> leave;
    // The windows the keys work in.
    std::function<bool(const QWidget *window)> isOurs;
};

// Turns a presenter remote's keys (and the same keys on the keyboard) into
// roll-call actions, application-wide, before the focused control sees them.
// Keys stay with a text box or combo box that has the focus, and with a slider
// for the keys it uses itself; F5 works everywhere. Space and Enter are left
// alone: they press the focused button as always.
class RemoteKeys : public QObject {
public:
    explicit RemoteKeys(RemoteActions actions, QObject *parent = nullptr);

    // Whether the focus is in a control that keeps typed keys for itself.
    static bool focusTakesTyping(const QWidget *focus);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    RemoteActions actions_;
};

} // namespace quorvel
