#include "app/remotecommands.h"

#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "rollcall/miniwindow.h"
#include "rollcall/projectorview.h"

#include <QApplication>

namespace quorvel {

namespace {

const QString kDialogOpen = QStringLiteral("请先关闭对话框“%1”。");
const QString kAlreadyDrawing = QStringLiteral("随机点名已经在进行。");
const QString kNotDrawing = QStringLiteral("现在没有在随机点名。");
const QString kWalking = QStringLiteral("依次点名进行中，不能随机点名。");
const QString kNotWalking = QStringLiteral("现在没有在依次点名。");
const QString kNotNow = QStringLiteral("现在不能这样做。");

} // namespace

RemoteCommands::RemoteCommands(MainWindow &main, Classroom &classroom,
                               RoutedMessageBox &messages, QObject *parent)
    : QObject(parent), main_(main), classroom_(classroom), messages_(messages)
{
    connect(&main_, &MainWindow::nameShown, this, [this](const QString &name, bool settled) {
        if (settled)
            emit NameShown(name);
    });
}

QString RemoteCommands::carryOut(Command command)
{
    if (QWidget *dialog = QApplication::activeModalWidget()) {
        if (command == Command::Activate) {
            dialog->raise();
            dialog->activateWindow();
            return {};
        }
        // The window takes nothing while a dialog waits for the teacher.
        return kDialogOpen.arg(dialog->windowTitle());
    }
    RoutedMessageBox::Collecting held(messages_);
    try {
        const QString why = act(command, held);
        if (why.isEmpty())
            held.showLater();
        return why;
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
}

QString RemoteCommands::act(Command command, const RoutedMessageBox::Collecting &held)
{
    using Control = MainWindow::Control;
    // Refused: the first error the window met, as it would have shown it.
    const auto refused = [&held] {
        const QStringList errors = held.errors();
        return errors.isEmpty() ? kNotNow : errors.first();
    };
    const auto inWalk = [&](Control control) {
        if (!main_.walking())
            return kNotWalking;
        main_.press(control);
        return held.errors().isEmpty() ? QString() : refused();
    };
    switch (command) {
    case Command::ToggleDraw:
        return act(main_.drawing() ? Command::StopDraw : Command::StartDraw, held);
    case Command::StartDraw:
        if (main_.drawing())
            return kAlreadyDrawing;
        if (main_.walking())
            return kWalking;
        main_.press(Control::Draw);
        return main_.drawing() ? QString() : refused();
    case Command::StopDraw:
        if (!main_.drawing())
            return kNotDrawing;
        main_.press(Control::Draw);
        return main_.drawing() ? refused() : QString();
    case Command::Next:
        return inWalk(Control::Next);
    case Command::Previous:
        return inWalk(Control::Previous);
    case Command::ShowMiniWindow:
        classroom_.openMiniWindow();
        return {};
    case Command::HideMiniWindow:
        classroom_.closeMiniWindow();
        return {};
    case Command::ShowProjector:
        classroom_.openProjector();
        return {};
    case Command::HideProjector:
        if (ProjectorView *projector = classroom_.projector())
            projector->close();
        return {};
    case Command::Activate:
        if (MiniWindow *mini = classroom_.miniWindow()) {
            mini->showAbove();
        } else {
            main_.showNormal();
            main_.raise();
            main_.activateWindow();
        }
        return {};
    }
    return kNotNow;
}

void RemoteCommands::answer(Command command)
{
    const QString why = carryOut(command);
    if (!why.isEmpty() && calledFromDBus())
        sendErrorReply(kRefused, why);
}

void RemoteCommands::StartDraw() { answer(Command::StartDraw); }
void RemoteCommands::StopDraw() { answer(Command::StopDraw); }
void RemoteCommands::ToggleDraw() { answer(Command::ToggleDraw); }
void RemoteCommands::Next() { answer(Command::Next); }
void RemoteCommands::Previous() { answer(Command::Previous); }
void RemoteCommands::ShowMiniWindow() { answer(Command::ShowMiniWindow); }
void RemoteCommands::HideMiniWindow() { answer(Command::HideMiniWindow); }
void RemoteCommands::ShowProjector() { answer(Command::ShowProjector); }
void RemoteCommands::HideProjector() { answer(Command::HideProjector); }
void RemoteCommands::Activate() { answer(Command::Activate); }

QString RemoteCommands::Class() const
{
    return chosenClassText(main_);
}

QString RemoteCommands::Name() const
{
    return main_.shownName();
}

} // namespace quorvel
