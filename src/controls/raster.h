// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pixel drawing and colour arithmetic shared by the two controls.  Both draw
// into an RGB32 back buffer with one-pixel lines whose end point is not set
// (a line that continues starts where the previous one stopped), rectangles
// given as (left, top, right, bottom) with right and bottom excluded, and
// colours rounded half to even, so every pixel is defined exactly.
//
// Coordinates are in the controls' own pixels.  A buffer made for a screen
// with a device pixel ratio r (QImage::devicePixelRatio) is r times larger:
// a pixel then covers the device pixels from round(x * r) to round((x + 1) * r),
// so lines and frames keep their place and proportion with hard edges, while
// gradients are computed again for every device row.  At ratio 1 the two are
// the same.

#include <QImage>
#include <QRect>
#include <QtGlobal>

#include "controls/ole_color.h"

namespace tessel::controls {

// Each channel v -> v + f * 255 (f taken at single precision), rounded half
// to even, limited to 255 when f > 0 and to 0 otherwise.
OleColor Shift(OleColor c, float f);
// Each channel (a + b) / 2 rounded half to even.
OleColor Average(OleColor a, OleColor b);
// Brighten: min(255, v * 293 / 255); darken: v * 217 / 255 (integer division).
int Brighten(int v);
int Darken(int v);
// A colour ready to draw: system colours translated, untranslatable as white.
OleColor Solid(OleColor c);

inline QRgb ToQRgb(OleColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
inline OleColor FromQRgb(QRgb c) { return Rgb(qRed(c), qGreen(c), qBlue(c)); }

// A buffer of w x h pixels for a device pixel ratio, filled with `fill`.
QImage MakeBuffer(int w, int h, qreal ratio, OleColor fill);
// The device pixel at which pixel edge `e` of the buffer lies.
int DeviceEdge(const QImage& img, int e);

// Sets one pixel; outside the image nothing happens.
void SetPixel(QImage& img, int x, int y, OleColor c);
OleColor GetPixel(const QImage& img, int x, int y);
// A one-pixel line from (x1, y1) to (x2, y2), end point excluded.
void Line(QImage& img, int x1, int y1, int x2, int y2, OleColor c);
// Fills (left, top, right, bottom), right and bottom excluded.
void FillRect(QImage& img, int left, int top, int right, int bottom, OleColor c);
// A one-pixel frame just inside (left, top, right, bottom).
void FrameRect(QImage& img, int left, int top, int right, int bottom, OleColor c);
// The dotted focus rectangle: every other pixel of the frame inverted.
void DrawFocusRect(QImage& img, int left, int top, int right, int bottom);

enum class GradientDirection { Vertical, Horizontal, Diagonal };
// Ramp of n + 1 entries (n = h-1 vertical, w-1 horizontal, w+h-2 diagonal,
// counted in device pixels), entry i = c1 + i * (c2 - c1) / n per channel,
// truncating; painted unscaled at (x, y).  Nothing when w <= 0 or h <= 0.
void Gradient(QImage& img, int x, int y, int w, int h, OleColor c1, OleColor c2,
              GradientDirection dir = GradientDirection::Vertical);

// Three-dimensional edges on (left, top, right, bottom).
enum class Edge { Raised, Sunken, RaisedInner };
void DrawEdge(QImage& img, int left, int top, int right, int bottom, Edge edge);

}  // namespace tessel::controls
