#include "rollcall/remotekeys.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <functional>

namespace quorvel {

RemoteKeys::RemoteKeys(RemoteActions actions, QObject *parent)
    : QObject(parent), actions_(std::move(actions))
{
}

bool RemoteKeys::focusTakesTyping(const QWidget *focus)
{
    return qobject_cast<const QLineEdit *>(focus) || qobject_cast<const QComboBox *>(focus)
           || qobject_cast<const QAbstractSpinBox *>(focus)
           || qobject_cast<const QTextEdit *>(focus)
           || qobject_cast<const QPlainTextEdit *>(focus);
}

bool RemoteKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    const auto *widget = static_cast<QWidget *>(watched);
    if (!actions_.isOurs || !actions_.isOurs(widget->window()))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;

    const auto run = [](const std::function<void()> &action) {
        if (action)
            action();
        return true;
    };
    if (mods == Qt::ControlModifier && key->key() == Qt::Key_Z) {
        // A text box keeps Ctrl+Z as its own undo.
        const QWidget *focus = QApplication::focusWidget();
        const auto *combo = qobject_cast<const QComboBox *>(focus);
        if ((combo && combo->isEditable())
            || (!combo && focusTakesTyping(focus)))
            return false;
        return key->isAutoRepeat() || run(actions_.undo);
    }
    if (mods != Qt::NoModifier)
        return false;
    if (key->key() == Qt::Key_F5)
        return key->isAutoRepeat() || run(actions_.projector);
    if (key->key() == Qt::Key_F6)
        return key->isAutoRepeat() || run(actions_.mini);

    const QWidget *focus = QApplication::focusWidget();
    if (focusTakesTyping(focus))
        return false;
    // The slider keeps the keys that move it.
    if (qobject_cast<const QAbstractSlider *>(focus))
        return false;

    switch (key->key()) {
    case Qt::Key_PageDown:
    case Qt::Key_Right:
        // A held key must not start and stop the draw over and over.
        return key->isAutoRepeat() || run(actions_.forward);
    case Qt::Key_PageUp:
    case Qt::Key_Left:
        return run(actions_.back);
    case Qt::Key_Home:
        return run(actions_.first);
    case Qt::Key_End:
        return run(actions_.last);
    case Qt::Key_Menu:
        return run(actions_.menu);
    case Qt::Key_Escape:
        return actions_.leave && actions_.leave();
    default:
        return false;
    }
}

} // namespace quorvel
