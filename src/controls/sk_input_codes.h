// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The codes the skinned button's own events carry, taken from Qt's events:
// mouse buttons 1 left, 2 right, 4 middle; shift states 1 shift, 2 ctrl,
// 4 alt; keys as virtual-key numbers (13 Enter, 27 Esc, 32 space, 37-40
// arrows, 65-90 letters, ...); pointer shapes by their pointer codes.

#include <Qt>

namespace tessel::controls::input {

inline constexpr int kAltShift = 4;

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeySpace = 32;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyDown = 40;

// The virtual-key number of a Qt key, 0 for keys without one.
int VirtualKey(int qtKey);
int ShiftState(Qt::KeyboardModifiers m);
// One button (the one that changed) and a set of held buttons.
int ButtonCode(Qt::MouseButton b);
int ButtonsCode(Qt::MouseButtons b);
// The pointer shape of a pointer code; 0 and unknown codes give the arrow.
Qt::CursorShape PointerShape(int code);

}  // namespace tessel::controls::input
