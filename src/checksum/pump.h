// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace tessel::checksum {

// Called between blocks of a long operation so the window can handle its
// pending events (repaint, a click on another page).  Empty: nothing to do.
using EventPump = std::function<void()>;

}  // namespace tessel::checksum
