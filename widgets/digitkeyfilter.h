#pragma once

#include <QObject>

class QLineEdit;

namespace quorvel {

// Lets only the characters 0 to 9 be typed into a box. Every other character,
// Backspace and control characters included, is dropped; keys that type no
// character (Delete, the arrows) work as usual. Text that is not all digits
// cannot be pasted in either.
class DigitKeyFilter : public QObject {
    Q_OBJECT
public:
    explicit DigitKeyFilter(QObject *parent = nullptr) : QObject(parent) {}

    // Installs the filter on box and limits it to maxLength characters.
    void attach(QLineEdit *box, int maxLength);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace quorvel
