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

OleColor Solid(OleColor c) {
    const qint64 t = TranslateColor(c);
    return t < 0 ? 0xFFFFFFu : static_cast<OleColor>(t);
}

QImage MakeBuffer(int w, int h, qreal ratio, OleColor fill) {
    const qreal r = ratio > 0 ? ratio : 1.0;
    QImage img(std::max(1, qRound(w * r)), std::max(1, qRound(h * r)), QImage::Format_RGB32);
    img.setDevicePixelRatio(r);
    img.fill(ToQRgb(fill));
    return img;
}

int DeviceEdge(const QImage& img, int e) {
    const qreal r = img.devicePixelRatio();
    return r == 1.0 ? e : qRound(e * r);
}

namespace {

// Fills device pixels [x1, x2) x [y1, y2), clipped to the image.
void FillDevice(QImage& img, int x1, int y1, int x2, int y2, QRgb v) {
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, img.width());
    y2 = std::min(y2, img.height());
    for (int y = y1; y < y2; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        std::fill(row + x1, row + std::max(x1, x2), v);
    }
}

}  // namespace

void SetPixel(QImage& img, int x, int y, OleColor c) { FillRect(img, x, y, x + 1, y + 1, c); }

OleColor GetPixel(const QImage& img, int x, int y) {
    const int dx = DeviceEdge(img, x), dy = DeviceEdge(img, y);
    if (dx < 0 || dy < 0 || dx >= img.width() || dy >= img.height()) return 0xFFFFFFFFu;
    return FromQRgb(img.pixel(dx, dy));
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
    FillDevice(img, DeviceEdge(img, left), DeviceEdge(img, top), DeviceEdge(img, right),
               DeviceEdge(img, bottom), ToQRgb(c));
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
        const int x2 = std::min(DeviceEdge(img, x + 1), img.width());
        const int y2 = std::min(DeviceEdge(img, y + 1), img.height());
        for (int dy = std::max(DeviceEdge(img, y), 0); dy < y2; ++dy)
            for (int dx = std::max(DeviceEdge(img, x), 0); dx < x2; ++dx)
                img.setPixel(dx, dy, img.pixel(dx, dy) ^ 0x00FFFFFFu);
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
    const int x0 = DeviceEdge(img, x), y0 = DeviceEdge(img, y);
    const int cols = DeviceEdge(img, x + w) - x0, rows = DeviceEdge(img, y + h) - y0;
    const int n = dir == GradientDirection::Vertical     ? rows - 1
                  : dir == GradientDirection::Horizontal ? cols - 1
                                                         : cols + rows - 2;
    auto entry = [&](int i) {
        if (n == 0)
            return ToQRgb(Rgb(RedOf(c1) / 2 + RedOf(c2) / 2, GreenOf(c1) / 2 + GreenOf(c2) / 2,
                              BlueOf(c1) / 2 + BlueOf(c2) / 2));
        auto ch = [&](int a, int b) { return a + i * (b - a) / n; };
        return ToQRgb(
            Rgb(ch(RedOf(c1), RedOf(c2)), ch(GreenOf(c1), GreenOf(c2)), ch(BlueOf(c1), BlueOf(c2))));
    };
    for (int r = 0; r < rows; ++r) {
        const int ty = y0 + r;
        if (ty < 0 || ty >= img.height()) continue;
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(ty));
        for (int k = 0; k < cols; ++k) {
            const int tx = x0 + k;
            if (tx < 0 || tx >= img.width()) continue;
            row[tx] = entry(dir == GradientDirection::Vertical     ? r
                            : dir == GradientDirection::Horizontal ? k
                                                                   : r + k);
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
