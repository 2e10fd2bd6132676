// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The codes the skinned button's own events carry, taken from Qt's events:
// mouse buttons 1 left, 2 right, 4 middle; shift states 1 shift, 2 ctrl,
// 4 alt; keys as virtual-key numbers (13 Enter, 27 Esc, 32 space, 37-40
// arrows, 65-90 letters, ...); pointer shapes by their pointer codes.

#include <Qt>

namespace tessel::controls::input {

inline constexpr int kAltShift = 4;

// The virtual-key numbers the button's own code looks at.
enum VirtualKeyCode : int {
    kKeyEnter = 13,
    kKeyEscape = 27,
    kKeySpace = 32,
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
};

// The virtual-key number of a Qt key, 0 for keys without one.
int VirtualKey(int qtKey);
int ShiftState(Qt::KeyboardModifiers m);
// One button (the one that changed) and a set of held buttons.
int ButtonCode(Qt::MouseButton b);
int ButtonsCode(Qt::MouseButtons b);
// The pointer shape of a pointer code; 0 and unknown codes give the arrow.
Qt::CursorShape PointerShape(int code);

}  // namespace tessel::controls::input
