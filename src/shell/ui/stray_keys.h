// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A question raised by something outside the program (a link a web page
// opened) comes up while the user may be typing in another program, and
// takes the keyboard: a "y" meant for a chat would answer Yes and start a
// download.  Guarding the box, keys count only once the keyboard has been
// quiet for a while since the box appeared: every key pressed before is
// dropped and starts the wait again, so steady typing never reaches the box.
// Clicks count at once; someone who clicks a button has seen it.
//
//   QMessageBox box(...);
//   GuardAgainstStrayKeys(&box);
//   box.exec();

#include <chrono>

class QWidget;

namespace tessel::shell {

// Long enough to notice a new window, short enough not to be felt.
inline constexpr std::chrono::milliseconds kStrayKeyQuiet{500};

// Drops the keys meant for `box` (and every widget in it) until none has
// come for `quiet` since it was shown, and asks the window manager to draw
// attention to it where it did not get the focus.  The guard lives as long
// as the box.
void GuardAgainstStrayKeys(QWidget* box, std::chrono::milliseconds quiet = kStrayKeyQuiet);

}  // namespace tessel::shell
