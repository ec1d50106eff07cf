#pragma once

#include "store/value.h"
#include "widgets/storedtext.h"

#include <QString>

#include <string>
#include <vector>

class QComboBox;

namespace quorvel {

// The stored value a grade or class typed or picked in an editable list
// stands for: the value of the item that reads exactly so (also one stored
// as GBK bytes or a number), else the text typed, blanks around it removed.
store::Value valueTyped(const QString &typed, const std::vector<Choice> &choices);

// Fills an editable list with the items and shows `current` (a stored value).
void fillEditable(QComboBox *box, const std::vector<Choice> &choices,
                  const store::Value &current);

// A stored value as it reads, in UTF-8: what a workbook's text is matched with.
std::string readingOf(const store::Value &value);

} // namespace quorvel
