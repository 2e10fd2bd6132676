// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Edge docking's window-system side on X11.
//
// The window manager owns the title bar: it grabs the pointer for the whole
// drag and (openbox, for one) tells the client where the window went only
// once the drag is over.  But it moves the frame it put around the window,
// and the frame reports that to whoever asks: a move of the frame while the
// left button holds its title bar starts a drag, the frame's position is
// read from the server every few milliseconds while the button is held, and
// the drag ends once the window manager has let go of the pointer and the
// window stands where the engine wants it.  Between drags nothing polls.
//
// While the window is docked it reserves its 4-pixel strip along the edge as
// a strut: without one, window managers keep at least a tenth of an ordinary
// window on the screen whenever the client moves it, and the hidden window
// could not slide out of view.
//
// At rest (minimized, hidden, out of sight at an edge) the frame reports the
// pointer entering it instead, which costs nothing until it happens either.

#include <QWidget>
#include <memory>

#include "shell/platform/dock_adapter.h"

namespace tessel::shell {

// Null when the application does not run on X11.
std::unique_ptr<DockWindowSystem> MakeX11DockWindowSystem(QWidget& window);

}  // namespace tessel::shell
