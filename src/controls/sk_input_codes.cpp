// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_input_codes.h"

#include <utility>

namespace tessel::controls::input {

namespace {

constexpr std::pair<int, int> kKeys[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Backtab, 9},  {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},    {Qt::Key_Shift, 16},    {Qt::Key_Control, 17}, {Qt::Key_Alt, 18},
    {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},  {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},     {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},     {Qt::Key_Up, 38},       {Qt::Key_Right, 39},   {Qt::Key_Down, 40},
    {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46},   {Qt::Key_Menu, 93},
};

constexpr std::pair<int, Qt::CursorShape> kPointers[] = {
    {2, Qt::CrossCursor},      {3, Qt::IBeamCursor},   {5, Qt::SizeAllCursor},    {15, Qt::SizeAllCursor},
    {6, Qt::SizeBDiagCursor},  {7, Qt::SizeVerCursor}, {8, Qt::SizeFDiagCursor},  {9, Qt::SizeHorCursor},
    {10, Qt::UpArrowCursor},   {11, Qt::WaitCursor},   {12, Qt::ForbiddenCursor}, {13, Qt::BusyCursor},
    {14, Qt::WhatsThisCursor},
};

}  // namespace

int VirtualKey(int k) {
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return '0' + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
    for (const auto& [qt, vk] : kKeys)
        if (qt == k) return vk;
    return 0;
}

int ShiftState(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

int ButtonCode(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

int ButtonsCode(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

Qt::CursorShape PointerShape(int code) {
    for (const auto& [c, shape] : kPointers)
        if (c == code) return shape;
    return Qt::ArrowCursor;
}

}  // namespace tessel::controls::input
