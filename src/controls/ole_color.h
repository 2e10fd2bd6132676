// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Colours as the controls store them: 32-bit values, low byte red, then
// green, then blue.  A value with the high bit set names a system colour
// (0x80000000 | index, e.g. 0x8000000F = button face) and is translated to
// RGB through the application palette before use.

#include <QColor>
#include <QtGlobal>

namespace tessel::controls {

using OleColor = quint32;

constexpr OleColor Rgb(int r, int g, int b) {
    return static_cast<OleColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(OleColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(OleColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(OleColor c) { return static_cast<int>((c >> 16) & 0xFF); }

// System colour indices we use.
constexpr int kColorAppWorkspace = 12;
constexpr int kColorBtnFace = 15;
constexpr int kColorGrayText = 17;
constexpr int kColorBtnText = 18;
constexpr int kColorInfoBk = 24;

constexpr OleColor SystemColor(int index) { return 0x80000000u | static_cast<OleColor>(index); }
constexpr OleColor kButtonFace = SystemColor(kColorBtnFace);
constexpr OleColor kButtonText = SystemColor(kColorBtnText);
constexpr OleColor kWhite = Rgb(255, 255, 255);
constexpr OleColor kBlack = Rgb(0, 0, 0);

// A system-colour reference becomes its current RGB value (as an OleColor
// without the high bit); a plain RGB value is returned unchanged.  Returns
// -1 for a value that cannot be translated (unknown system index, or stray
// bits in the top byte of a plain value).
qint64 TranslateColor(OleColor c);

// TranslateColor as a QColor.  An untranslatable value is used as -1, whose
// low 24 bits draw as white.
QColor ToQColor(OleColor c);

// The RGB value (high byte clear) of a QColor.
OleColor FromQColor(const QColor& c);

}  // namespace tessel::controls
