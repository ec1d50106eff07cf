#pragma once

class QWidget;

namespace quorvel {

// Form sizes are given in twips, 1/1440 inch; the windows are laid out for 96 dpi.
constexpr int twips(int t) { return (t + 7) / 15; }

// Puts a top-level window in the middle of the screen it is on.
void centreOnScreen(QWidget *window);

} // namespace quorvel
