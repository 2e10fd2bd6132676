// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/wave_object.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace tessel::shell {

namespace {

// Keeps the buffers' indices well inside 32 bits; the banner is 500 x 60.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

std::int32_t Saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

bool WaveObject::WaveInit(int width, int height, std::span<const std::uint32_t> source, int mode,
                          std::uint32_t seed) {
    WaveRelease();
    if (width <= 0 || height <= 0) return false;
    const std::int64_t count = std::int64_t{width} * height;
    if (count > kMaxPixels || source.size() != static_cast<std::size_t>(count)) return false;

    try {
        source_.assign(source.begin(), source.end());
        output_.assign(source.begin(), source.end());
        heightCur_.assign(static_cast<std::size_t>(count), 0);
        heightPrev_.assign(static_cast<std::size_t>(count), 0);
    } catch (const std::bad_alloc&) {
        WaveRelease();
        return false;
    }
    width_ = width;
    height_ = height;
    if (mode == 2) flags_ |= kFlat;
    seed_ = static_cast<std::int32_t>(seed);

    flags_ |= kActive | kDirty;
    RenderStep();
    flags_ &= ~kDirty;  // the caller draws the first rendering right away
    return true;
}

void WaveObject::WaveRelease() { *this = WaveObject{}; }

std::int32_t WaveObject::RandomByte() {
    const std::int32_t before = seed_;
    const std::int32_t s = before & 0xFFFF;
    seed_ = (s * 2047 + 127) % 32767;
    return before & 0xFF;
}

std::int32_t WaveObject::Random(std::int32_t n) {
    const std::int32_t a = RandomByte();
    const std::int32_t b = RandomByte();
    const std::int32_t v = a + 256 * b;
    return n != 0 ? v % n : v;
}

bool WaveObject::Rest() {
    if (resting_) return true;
    if (!Running() || !Calm() || uneven_) return false;
    const auto level = [](const std::vector<std::int32_t>& h) {
        return std::all_of(h.begin(), h.end(), [](std::int32_t v) { return v == 0; });
    };
    if (!level(heightCur_) || !level(heightPrev_)) {
        uneven_ = true;  // checked again once the surface has moved
        return false;
    }
    // Level heights leave every pixel where it is: the rendering is the
    // picture, at both sizes.
    FreeSurface();
    resting_ = true;
    return true;
}

void WaveObject::FreeSurface() {
    std::vector<std::int32_t>().swap(heightCur_);
    std::vector<std::int32_t>().swap(heightPrev_);
    std::vector<std::uint32_t>().swap(output_);
    std::vector<std::uint32_t>().swap(fineOutput_);
}

bool WaveObject::Wake() {
    if (!resting_) return true;
    const auto count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    try {
        heightCur_.assign(count, 0);
        heightPrev_.assign(count, 0);
        output_ = source_;
        fineOutput_ = fineSource_;
    } catch (const std::bad_alloc&) {
        FreeSurface();
        return false;
    }
    resting_ = false;
    return true;
}

std::int32_t WaveObject::HeightAt(int x, int y) const {
    if (resting_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return heightCur_[static_cast<std::size_t>(y) * width_ + x];
}

void WaveObject::WaveStep() {
    const std::int64_t w = width_;
    // Rows 0 and H - 1 never change; inside, the arrays are one long line, so
    // a row's first pixel sees the previous row's last one as its left neighbour.
    const std::int64_t end = (std::int64_t{height_} - 1) * w;
    for (std::int64_t i = w; i < end; ++i) {
        const std::int64_t sum =
            std::int64_t{heightCur_[i - 1]} + heightCur_[i + 1] + heightCur_[i - w] + heightCur_[i + w];
        std::int64_t v = sum / 2 - heightPrev_[i];
        if (v < 0) v = 0;
        heightPrev_[i] = Saturate(v - v / 32);
    }
    heightCur_.swap(heightPrev_);
}

namespace {

// The smoothing of a displaced pixel: four parts its own colour, three parts
// each of its four neighbours, per colour byte; the top byte is the centre's.
std::uint32_t BlendAround(std::uint32_t centre, const std::uint32_t (&around)[4]) {
    std::uint32_t out = centre & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        std::uint32_t sum = 0;
        for (std::uint32_t p : around) sum += (p >> shift) & 0xFFu;
        const std::uint32_t c = (4 * ((centre >> shift) & 0xFFu) + 3 * sum) / 16;
        out |= c << shift;
    }
    return out;
}

}  // namespace

std::uint32_t WaveObject::Blend(int sx, int sy) const {
    // Neighbours beyond the picture's border take the nearest border pixel.
    auto at = [&](int x, int y) {
        x = std::clamp(x, 0, width_ - 1);
        y = std::clamp(y, 0, height_ - 1);
        return source_[static_cast<std::size_t>(y) * width_ + x];
    };
    return BlendAround(at(sx, sy), {at(sx + 1, sy), at(sx - 1, sy), at(sx, sy + 1), at(sx, sy - 1)});
}

void WaveObject::RenderStep() {
    flags_ |= kDirty;
    bool moved = false;
    const std::int64_t w = width_;
    for (int y = 1; y < height_ - 1; ++y) {
        for (int x = 0; x < width_; ++x) {
            const std::int64_t i = y * w + x;
            const std::int64_t sy = y + std::int64_t{heightCur_[i - w]} - heightCur_[i + w];
            const std::int64_t sx = x + std::int64_t{heightCur_[i - 1]} - heightCur_[i + 1];
            // A slope pointing outside the picture leaves the pixel as it was.
            if (sx < 0 || sx >= width_ || sy < 0 || sy >= height_) continue;
            if (sx == x && sy == y) {
                output_[i] = source_[i];
            } else {
                output_[i] = Blend(static_cast<int>(sx), static_cast<int>(sy));
                moved = true;
            }
        }
    }
    RenderFine();
    if (!moved) flags_ &= ~kActive;
}

bool WaveObject::SetFinePicture(std::span<const std::uint32_t> fine, int fineWidth, int fineHeight) {
    fineWidth_ = fineHeight_ = 0;
    fineSource_.clear();
    fineOutput_.clear();
    fineColumn_.clear();
    fineRow_.clear();
    if (!Running() || fineWidth <= 0 || fineHeight <= 0) return false;
    const std::int64_t count = std::int64_t{fineWidth} * fineHeight;
    if (count > kMaxPixels || fine.size() != static_cast<std::size_t>(count)) return false;
    try {
        fineSource_.assign(fine.begin(), fine.end());
        if (!resting_) fineOutput_.assign(fine.begin(), fine.end());
        fineColumn_.resize(static_cast<std::size_t>(fineWidth));
        fineRow_.resize(static_cast<std::size_t>(fineHeight));
    } catch (const std::bad_alloc&) {
        fineSource_.clear();
        fineOutput_.clear();
        fineColumn_.clear();
        return false;
    }
    fineWidth_ = fineWidth;
    fineHeight_ = fineHeight;
    // The surface pixel each fine column and row lies in (by its centre).
    for (std::int64_t X = 0; X < fineWidth; ++X)
        fineColumn_[static_cast<std::size_t>(X)] =
            static_cast<int>((2 * X + 1) * width_ / (2 * std::int64_t{fineWidth}));
    for (std::int64_t Y = 0; Y < fineHeight; ++Y)
        fineRow_[static_cast<std::size_t>(Y)] =
            static_cast<int>((2 * Y + 1) * height_ / (2 * std::int64_t{fineHeight}));
    if (!resting_) RenderFine();
    return true;
}

void WaveObject::RenderFine() {
    if (fineWidth_ <= 0) return;
    const int dw = fineWidth_, dh = fineHeight_;
    const std::vector<std::uint32_t>& source = fineSource_;
    std::vector<std::uint32_t>& out = fineOutput_;
    const std::int64_t W = width_, H = height_;
    // Every device pixel follows the surface pixel its centre lies in: it is
    // displaced by that pixel's slope (in device pixels), kept where that
    // slope points outside the picture, and smoothed with the pixels one
    // surface pixel away, just as the surface pixel is at its own size.
    // Only the picture under the surface has the finer pixels.
    const double kx = double(dw) / double(W), ky = double(dh) / double(H);
    const std::int64_t stepX = std::max<std::int64_t>(1, std::llround(kx));
    const std::int64_t stepY = std::max<std::int64_t>(1, std::llround(ky));
    auto at = [&](std::int64_t x, std::int64_t y) {
        x = std::clamp<std::int64_t>(x, 0, dw - 1);
        y = std::clamp<std::int64_t>(y, 0, dh - 1);
        return source[static_cast<std::size_t>(y * dw + x)];
    };
    for (std::int64_t Y = 0; Y < dh; ++Y) {
        const std::int64_t y = fineRow_[static_cast<std::size_t>(Y)];
        if (y < 1 || y > H - 2) continue;  // the outermost rows never move
        for (std::int64_t X = 0; X < dw; ++X) {
            const std::int64_t x = fineColumn_[static_cast<std::size_t>(X)];
            const std::int64_t i = y * W + x;
            const std::int64_t dy = std::int64_t{heightCur_[i - W]} - heightCur_[i + W];
            const std::int64_t dx = std::int64_t{heightCur_[i - 1]} - heightCur_[i + 1];
            if (x + dx < 0 || x + dx >= W || y + dy < 0 || y + dy >= H) continue;
            const std::size_t o = static_cast<std::size_t>(Y * dw + X);
            if (dx == 0 && dy == 0) {
                out[o] = source[o];
                continue;
            }
            const std::int64_t px = X + std::llround(double(dx) * kx);
            const std::int64_t py = Y + std::llround(double(dy) * ky);
            out[o] = BlendAround(
                at(px, py), {at(px + stepX, py), at(px - stepX, py), at(px, py + stepY), at(px, py - stepY)});
        }
    }
}

bool WaveObject::WaveTick() {
    if (!Running()) return false;
    if (flags_ & kActive) {
        WaveStep();
        RenderStep();
    }
    const bool changed = (flags_ & kDirty) != 0;
    flags_ &= ~kDirty;
    if (flags_ & kAutoDrop) AutoDrops();
    return changed;
}

void WaveObject::WaveDrop(int x, int y, int r, int depth) {
    if (!Running()) return;
    const std::int64_t a = r / 2;
    const std::int64_t b = (flags_ & kFlat) ? a / 2 : a;
    if (!(x - a >= 1 && x + a + 1 < width_ && y - b >= 1 && y + b + 1 < height_)) return;
    if (!Wake()) return;  // no memory for the surface: the picture stays still
    uneven_ = false;
    const std::int64_t radius = r == 0 ? 1 : r;
    for (std::int64_t j = y - b; j <= y + b; ++j) {
        for (std::int64_t i = x - a; i <= x + a; ++i) {
            if ((i - x) * (i - x) + (j - y) * (j - y) <= radius * radius) heightCur_[j * width_ + i] = depth;
        }
    }
    flags_ |= kActive;
}

void WaveObject::WaveSetAuto(int mode, int count, int radius, int depth) {
    if (mode == 0) {
        autoMode_ = 0;
        flags_ &= ~kAutoDrop;
        return;
    }
    if (mode == 2) {
        autoDX_ = count;
        autoDY_ = count;
        autoX_ = Random(width_ - 2) + 1;
        autoY_ = Random(height_ - 2) + 1;
    }
    autoDepth_ = depth;
    autoCount_ = count;
    autoMode_ = mode;
    autoRadius_ = radius;
    flags_ |= kAutoDrop;
}

void WaveObject::AutoDrops() {
    switch (autoMode_) {
        case 1: {
            // Drawn in this order: x, y, size, depth.
            const int x = Random(width_ - 2) + 1;
            const int y = Random(height_ - 2) + 1;
            const int r = Random(autoRadius_) + 1;
            const int depth = Random(autoDepth_) + 50;
            WaveDrop(x, y, r, depth);
            break;
        }
        case 2: {
            ++tickCounter_;
            if (tickCounter_ % 2 != 0) break;  // the drop moves on every second tick
            std::int64_t x = std::int64_t{autoX_} + autoDX_;
            std::int64_t y = std::int64_t{autoY_} + autoDY_;
            std::int64_t dx = autoDX_;
            std::int64_t dy = autoDY_;
            const std::int64_t maxX = width_ - 1;
            const std::int64_t maxY = height_ - 1;
            if (x < 1) {
                x = 1 - x;
                dx = -dx;
            }
            if (y < 1) {
                y = 1 - y;
                dy = -dy;
            }
            if (x > maxX) {
                x = 2 * maxX - x;
                dx = -dx;
            }
            if (y > maxY) {
                y = 2 * maxY - y;
                dy = -dy;
            }
            autoX_ = Saturate(x);
            autoY_ = Saturate(y);
            autoDX_ = Saturate(dx);
            autoDY_ = Saturate(dy);
            WaveDrop(autoX_, autoY_, autoRadius_, autoDepth_);
            break;
        }
        case 3:
            for (std::int64_t n = 0; n <= autoCount_; ++n) {  // none when the count is negative
                const int x = Random(width_ - 2) + 1;
                const int y = Random(height_ - 2) + 1;
                const int r = Random(autoRadius_) + 1;
                const int depth = Random(autoDepth_);
                WaveDrop(x, y, r, depth);
            }
            break;
        default:
            break;
    }
}

}  // namespace tessel::shell
