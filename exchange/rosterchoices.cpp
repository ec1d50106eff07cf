#include "exchange/rosterchoices.h"

#include <QComboBox>

namespace quorvel {

store::Value valueTyped(const QString &typed, const std::vector<Choice> &choices)
{
    for (const auto &[text, value] : choices)
        if (text == typed)
            return value;
    QString t = typed;
    while (t.startsWith(u' '))
        t.remove(0, 1);
    while (t.endsWith(u' '))
        t.chop(1);
    for (const auto &[text, value] : choices)
        if (text == t)
            return value;
    return t.toStdString();
}

void fillEditable(QComboBox *box, const std::vector<Choice> &choices, const store::Value &current)
{
    box->clear();
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    int shown = -1;
    for (const auto &[text, value] : choices) {
        if (value == current)
            shown = box->count();
        box->addItem(text, QVariant::fromValue(value));
    }
    if (shown >= 0)
        box->setCurrentIndex(shown);
    else
        box->setEditText(storedText(current));
}

std::string readingOf(const store::Value &value)
{
    if (const auto *text = std::get_if<std::string>(&value)) {
        // Most texts are UTF-8 already and read as they are.
        const QString decoded = QString::fromUtf8(*text);
        if (!decoded.contains(QChar::ReplacementCharacter))
            return *text;
    }
    return storedText(value).toStdString();
}

} // namespace quorvel
