#pragma once

#include "platform/routedmessagebox.h"

#include <QObject>
#include <QString>
#include <QtDBus/QDBusContext>

namespace quorvel {

class Classroom;
class MainWindow;

// What other programs may ask of a running Quorvel.
enum class Command {
    StartDraw,
    StopDraw,
    ToggleDraw,  // the button: start the draw, or stop it
    Next,
    Previous,
    ShowMiniWindow,
    HideMiniWindow,
    ShowProjector,
    HideProjector,
    Activate,  // bring the window to the front
};

// The session-bus interface org.quorvel.Quorvel, at kObjectPath. Each
// command presses what the teacher would press, through the same code; a
// command the window cannot take now changes nothing and answers with the
// reason the window would show, as a D-Bus error named kRefused. While a
// command runs, the window's messages are collected rather than shown in a
// modal box, which would keep the caller waiting for the teacher.
class RemoteCommands : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Quorvel")
public:
    static inline const QString kInterface = QStringLiteral("org.quorvel.Quorvel");
    static inline const QString kObjectPath = QStringLiteral("/org/quorvel/Quorvel");
    static inline const QString kRefused = QStringLiteral("org.quorvel.Quorvel.Error.Refused");

    RemoteCommands(MainWindow &main, Classroom &classroom, RoutedMessageBox &messages,
                   QObject *parent = nullptr);

    // Carries the command out; empty when done, else why not (nothing changed).
    QString carryOut(Command command);

public slots:
    void StartDraw();
    void StopDraw();
    void ToggleDraw();
    void Next();
    void Previous();
    void ShowMiniWindow();
    void HideMiniWindow();
    void ShowProjector();
    void HideProjector();
    void Activate();
    // The grade and class chosen, as shown ("高一 1班"); empty when none is.
    QString Class() const;
    // The name on the display.
    QString Name() const;

signals:
    // A name now stays on the display (a draw stopped, a walk moved).
    void NameShown(const QString &name);

private:
    // Carries the command out while held collects the window's messages.
    QString act(Command command, const RoutedMessageBox::Collecting &held);
    // Answers a caller on the bus: an error when the command was refused.
    void answer(Command command);

    MainWindow &main_;
    Classroom &classroom_;
    RoutedMessageBox &messages_;
};

} // namespace quorvel
