#pragma once

#include "platform/messagebox.h"

#include <QObject>
#include <QStringList>

#include <utility>
#include <vector>

namespace quorvel {

// Passes every message on to the box it is given, except while a command
// from another program is carried out: that program waits for its answer,
// and a modal box would keep it waiting until the teacher clicks. While a
// Collecting lives, errors are kept for the command to answer with, a
// question is answered No (the choice that changes nothing), and every
// message waits; once the command has answered, the messages of a command
// that was carried out are shown after all.
class RoutedMessageBox final : public MessageBox {
public:
    explicit RoutedMessageBox(MessageBox &shown) : shown_(shown) {}
    Answer show(const QString &text, MessageStyle style) override;

    class Collecting {
    public:
        explicit Collecting(RoutedMessageBox &box);
        ~Collecting();
        Collecting(const Collecting &) = delete;
        Collecting &operator=(const Collecting &) = delete;

        // The errors met so far, in order.
        QStringList errors() const;
        // The command was carried out: what it said is shown once the event
        // loop runs again, after its caller has the answer.
        void showLater();

    private:
        RoutedMessageBox &box_;
        std::vector<std::pair<QString, MessageStyle>> held_;
        Collecting *outer_;
        friend class RoutedMessageBox;
    };

private:
    MessageBox &shown_;
    Collecting *collecting_ = nullptr;
    QObject alive_;  // no message waits to be shown past this box
};

} // namespace quorvel
