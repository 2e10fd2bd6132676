// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Window positions and sizes of the forms are kept in twips, 15 to the pixel
// at normal resolution.  Widgets show them at the nearest pixel (halves to
// the even neighbour), so a position that moves away and back by whole
// multiples of 10000 twips lands on exactly the same pixel.

#include <QRect>
#include <QRectF>

namespace tessel::controls {

constexpr int kTwipsPerPixel = 15;

// Twips -> pixels, nearest pixel, halves to even.
int TwipsToPixels(double twips);
// The pixel rectangle in which a twips rectangle is shown (left, top, width
// and height each rounded on their own, as the form engine does).
QRect TwipsToPixels(const QRectF& twips);
// Pixels -> twips (exact).
inline double PixelsToTwips(int pixels) { return static_cast<double>(pixels) * kTwipsPerPixel; }
QRectF PixelsToTwips(const QRect& pixels);

}  // namespace tessel::controls
