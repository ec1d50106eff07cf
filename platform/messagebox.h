#pragma once

#include <QString>

class QWidget;

namespace quorvel {

// Icon plus buttons, numbered as the message-box styles of the old toolkit:
// 16 error with OK, 36 question with Yes and No, 64 information with OK.
enum class MessageStyle : int { Error = 16, Question = 36, Information = 64 };

enum class Answer : int { Ok = 1, Yes = 6, No = 7 };

// The title of every message the program shows.
inline QString messageTitle() { return QStringLiteral("Brenmoor"); }

// A modal message with the program's title. Windows receive it from the entry
// point, so tests can answer it without a blocking dialog.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual Answer show(const QString &text, MessageStyle style) = 0;
};

class QtMessageBox final : public MessageBox {
public:
    Answer show(const QString &text, MessageStyle style) override;
};

} // namespace quorvel
