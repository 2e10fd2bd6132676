// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/dock_engine.h"

#include <algorithm>

#include "text/vbstring.h"

namespace tessel::shell {

using text::RoundHalfEven;

namespace {

// A slide always ends within a few dozen ticks; the cap only keeps a step
// that somehow kept growing from overflowing.
constexpr std::int64_t kMaxStepTwips = 1 << 28;

}  // namespace

ScreenMetrics ScreenMetrics::FromPixels(int width, int height, double twipsPerPixel) {
    return ScreenMetrics{width * twipsPerPixel, height * twipsPerPixel, twipsPerPixel, twipsPerPixel};
}

int TwipsToPixels(double twips, double twipsPerPixel) {
    return static_cast<int>(RoundHalfEven(twips / twipsPerPixel));
}

DockEngine::DockEngine(ScreenMetrics screen) : screen_(screen) {}

DockEngine::OptionResult DockEngine::OnOptionSelected() {
    OptionResult result;
    // A click during a slide would store a position the window is only passing through.
    if (moveTimer_) return result;
    if (!hooked_) {
        hooked_ = true;
        result.installHook = true;
    }
    result.saveTopLeft = true;
    return result;
}

void DockEngine::OnTitleBarPress() {
    if (!hooked_) return;
    dragging_ = true;
    checkTimer_ = false;
    moveTimer_ = false;
}

DockEngine::MovingResult DockEngine::OnMoving(PixelRect proposed, PixelRect current) {
    if (!hooked_) return {proposed, true};
    // Only a title-bar drag is steered; keyboard and program moves go their own way.
    if (!dragging_) return {proposed, false};

    const int w = current.Width();
    const int h = current.Height();
    const double screenWidth = screen_.WidthPixels();
    const int sw = static_cast<int>(RoundHalfEven(screenWidth));
    PixelRect r = proposed;

    if (r.left < 0) {
        r.left = 0;
        r.right = w;
    }
    if (r.top < 0) {
        r.top = 0;
        r.bottom = h;
    }
    if (r.right > sw) {
        // Wider than the screen: the left edge ends up negative, the right edge wins.
        r.left = sw - w;
        r.right = sw;
    }

    const bool topCorner = (r.left == 0 || r.right == screenWidth) && r.top == 0;
    if (topCorner) {
        if (!stretched_) {
            stretched_ = true;
            savedHeight_ = r.bottom - r.top;
            r.bottom = static_cast<int>(RoundHalfEven(screen_.HeightPixels()));
        }
    } else if (stretched_) {
        stretched_ = false;
        r.bottom = savedHeight_ + r.top;
    }
    return {r, true};
}

void DockEngine::OnMoveEnd(PixelRect current) {
    if (!hooked_) return;
    dragging_ = false;
    const double s = screen_.WidthPixels();
    if (!(current.top <= 0 || current.left <= 0 || current.right >= s)) return;

    if (current.left == 0) {
        edge_ = DockEdge::Left;
    } else if (current.right >= s) {
        edge_ = DockEdge::Right;
    } else if (current.top == 0) {
        edge_ = DockEdge::Top;
    } else if (current.left < 0) {
        // Beyond an edge without touching it exactly: after a slide that was
        // interrupted, or a move that was not clamped. Dock to the edge the
        // window actually crosses rather than to whatever edge came last.
        edge_ = DockEdge::Left;
    } else {
        edge_ = DockEdge::Top;
    }
    checkTimer_ = true;
}

void DockEngine::StartSlide(std::int32_t inside) {
    mouseInside_ = inside;
    slideStep_ = kFirstStepTwips;
    moveTimer_ = true;
}

bool DockEngine::OnCheckTimer(PixelPoint pointer, PixelRect current) {
    if (!hooked_ || !checkTimer_) return false;
    const bool inside = current.Contains(pointer);
    if (inside && mouseInside_ != 1) {
        StartSlide(1);
        return true;
    }
    if (!inside && mouseInside_ != 0) {
        StartSlide(0);
        return true;
    }
    return false;
}

DockEngine::SlideResult DockEngine::OnMoveTimer(PixelRect current) {
    SlideResult result;
    if (!hooked_ || !moveTimer_) return result;

    std::int64_t step = std::int64_t{slideStep_} + kFirstStepTwips;
    if (step > 300) step = RoundHalfEven(static_cast<double>(step) + static_cast<double>(step) * 0.2);
    slideStep_ = static_cast<std::int32_t>(std::min(step, kMaxStepTwips));

    const double tppX = screen_.twipsPerPixelX;
    const double tppY = screen_.twipsPerPixelY;
    const double left = current.left * tppX;
    const double top = current.top * tppY;
    const double width = current.Width() * tppX;
    const double height = current.Height() * tppY;
    const bool slidingIn = mouseInside_ != 0;
    const double strip = kStripTwips;

    // One move towards the resting position `limit`, ending exactly there
    // when it reaches or passes it.
    auto advance = [&](double from, bool increasing, double limit) {
        double x = static_cast<double>(RoundHalfEven(increasing ? from + slideStep_ : from - slideStep_));
        const bool passed = increasing ? x > limit : limit > x;
        if (passed) {
            x = static_cast<double>(RoundHalfEven(limit));
            moveTimer_ = false;
        }
        return x;
    };

    result.moved = true;
    result.leftTwips = left;
    result.topTwips = top;
    result.position = {current.left, current.top};
    switch (edge_) {
        case DockEdge::Left:
            result.leftTwips = slidingIn ? advance(left, true, -strip) : advance(left, false, strip - width);
            result.position.x = TwipsToPixels(result.leftTwips, tppX);
            break;
        case DockEdge::Right: {
            const double screenWidth = screen_.widthTwips;
            result.leftTwips = slidingIn ? advance(left, false, screenWidth - width + strip)
                                         : advance(left, true, screenWidth - strip);
            result.position.x = TwipsToPixels(result.leftTwips, tppX);
            break;
        }
        case DockEdge::Top:
            result.topTwips = slidingIn ? advance(top, true, -strip) : advance(top, false, strip - height);
            result.position.y = TwipsToPixels(result.topTwips, tppY);
            break;
    }
    return result;
}

}  // namespace tessel::shell
