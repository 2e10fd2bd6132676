// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/raster.h"

#include <algorithm>
#include <cstdlib>

#include "text/vbstring.h"

namespace tessel::controls {

namespace {

int ShiftChannel(int v, float f) {
    // The factor is single precision (-0.1f is a little below -0.1), the sum
    // is not: 236 - 25.5000004 rounds to 210, where a float sum would give 211.
    const double shifted = static_cast<double>(v) + static_cast<double>(f) * 255.0;
    int r = static_cast<int>(tessel::text::RoundHalfEven(shifted));
    if (f > 0)
        r = std::min(r, 255);
    else
        r = std::max(r, 0);
    return std::clamp(r, 0, 255);
}

int AverageChannel(int a, int b) { return static_cast<int>(tessel::text::RoundHalfEven((a + b) / 2.0)); }

}  // namespace

OleColor Shift(OleColor c, float f) {
    return Rgb(ShiftChannel(RedOf(c), f), ShiftChannel(GreenOf(c), f), ShiftChannel(BlueOf(c), f));
}

OleColor Average(OleColor a, OleColor b) {
    return Rgb(AverageChannel(RedOf(a), RedOf(b)), AverageChannel(GreenOf(a), GreenOf(b)),
               AverageChannel(BlueOf(a), BlueOf(b)));
}

int Brighten(int v) { return std::min(255, v * 293 / 255); }
int Darken(int v) { return v * 217 / 255; }

void SetPixel(QImage& img, int x, int y, OleColor c) {
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return;
    img.setPixel(x, y, ToQRgb(c));
}

OleColor GetPixel(const QImage& img, int x, int y) {
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return 0xFFFFFFFFu;
    return FromQRgb(img.pixel(x, y));
}

void Line(QImage& img, int x1, int y1, int x2, int y2, OleColor c) {
    // Bresenham from the start point, stopping before the end point.
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1, y = y1;
    while (x != x2 || y != y2) {
        SetPixel(img, x, y, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void FillRect(QImage& img, int left, int top, int right, int bottom, OleColor c) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, img.width());
    bottom = std::min(bottom, img.height());
    const QRgb v = ToQRgb(c);
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        std::fill(row + left, row + std::max(left, right), v);
    }
}

void FrameRect(QImage& img, int left, int top, int right, int bottom, OleColor c) {
    if (right <= left || bottom <= top) return;
    FillRect(img, left, top, right, top + 1, c);
    FillRect(img, left, bottom - 1, right, bottom, c);
    FillRect(img, left, top, left + 1, bottom, c);
    FillRect(img, right - 1, top, right, bottom, c);
}

void DrawFocusRect(QImage& img, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    auto invert = [&img](int x, int y) {
        if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return;
        img.setPixel(x, y, img.pixel(x, y) ^ 0x00FFFFFFu);
    };
    // The pattern is anchored to the surface, so every other pixel flips.
    for (int x = left; x < right; ++x) {
        if (((x + top) & 1) == 0) invert(x, top);
        if (bottom - 1 != top && ((x + bottom - 1) & 1) == 0) invert(x, bottom - 1);
    }
    for (int y = top + 1; y < bottom - 1; ++y) {
        if (((left + y) & 1) == 0) invert(left, y);
        if (right - 1 != left && ((right - 1 + y) & 1) == 0) invert(right - 1, y);
    }
}

void Gradient(QImage& img, int x, int y, int w, int h, OleColor c1, OleColor c2, GradientDirection dir) {
    if (w <= 0 || h <= 0) return;
    const int n = dir == GradientDirection::Vertical     ? h - 1
                  : dir == GradientDirection::Horizontal ? w - 1
                                                         : w + h - 2;
    auto entry = [&](int i) {
        if (n == 0)
            return Rgb(RedOf(c1) / 2 + RedOf(c2) / 2, GreenOf(c1) / 2 + GreenOf(c2) / 2,
                       BlueOf(c1) / 2 + BlueOf(c2) / 2);
        auto ch = [&](int a, int b) { return a + i * (b - a) / n; };
        return Rgb(ch(RedOf(c1), RedOf(c2)), ch(GreenOf(c1), GreenOf(c2)), ch(BlueOf(c1), BlueOf(c2)));
    };
    for (int r = 0; r < h; ++r) {
        for (int k = 0; k < w; ++k) {
            const int i = dir == GradientDirection::Vertical     ? r
                          : dir == GradientDirection::Horizontal ? k
                                                                 : r + k;
            SetPixel(img, x + k, y + r, entry(i));
        }
    }
}

void DrawEdge(QImage& img, int left, int top, int right, int bottom, Edge edge) {
    const OleColor light = static_cast<OleColor>(TranslateColor(SystemColor(22)));
    const OleColor highlight = static_cast<OleColor>(TranslateColor(SystemColor(20)));
    const OleColor shadow = static_cast<OleColor>(TranslateColor(SystemColor(16)));
    const OleColor dark = static_cast<OleColor>(TranslateColor(SystemColor(21)));
    auto bevel = [&](int l, int t, int r, int b, OleColor topLeft, OleColor bottomRight) {
        Line(img, l, b - 1, l, t, topLeft);
        Line(img, l, t, r - 1, t, topLeft);
        Line(img, l, b - 1, r - 1, b - 1, bottomRight);
        Line(img, r - 1, b - 1, r - 1, t - 1, bottomRight);
    };
    switch (edge) {
        case Edge::Raised:
            bevel(left, top, right, bottom, light, dark);
            bevel(left + 1, top + 1, right - 1, bottom - 1, highlight, shadow);
            break;
        case Edge::Sunken:
            bevel(left, top, right, bottom, shadow, highlight);
            bevel(left + 1, top + 1, right - 1, bottom - 1, dark, light);
            break;
        case Edge::RaisedInner:
            bevel(left, top, right, bottom, highlight, shadow);
            break;
    }
}

}  // namespace tessel::controls
