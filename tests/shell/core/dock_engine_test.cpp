// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/dock_engine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tessel::shell;

namespace {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;
// 504 x 343 pixels: 7560 x 5145 twips at 15 twips per pixel.
constexpr int kWinW = 504;
constexpr int kWinH = 343;

PixelRect At(int left, int top, int w = kWinW, int h = kWinH) { return {left, top, left + w, top + h}; }

// Plays the window adapter: applies what the engine asks for, as a window would.
struct Desk {
    DockEngine engine{ScreenMetrics::FromPixels(kScreenW, kScreenH)};
    PixelRect win = At(260, 200);

    explicit Desk(bool select = true) {
        if (select) engine.OnOptionSelected();
    }

    // A title-bar drag through the given top-left corners, then the drop.
    void Drag(const std::vector<PixelPoint>& corners) {
        engine.OnTitleBarPress();
        for (PixelPoint c : corners) {
            const PixelRect proposed{c.x, c.y, c.x + win.Width(), c.y + win.Height()};
            win = engine.OnMoving(proposed, win).rect;
        }
        engine.OnMoveEnd(win);
    }

    // One pointer check, then tmrMove ticks until the slide stops.
    std::vector<std::int32_t> Slide(PixelPoint pointer) {
        std::vector<std::int32_t> steps;
        if (!engine.CheckTimerRunning()) return steps;
        engine.OnCheckTimer(pointer, win);
        while (engine.MoveTimerRunning() && steps.size() < 1000) {
            const auto r = engine.OnMoveTimer(win);
            if (r.moved) win = At(r.position.x, r.position.y, win.Width(), win.Height());
            steps.push_back(engine.SlideStep());
        }
        return steps;
    }
};

const PixelPoint kFarAway{kScreenW / 2, kScreenH - 10};

}  // namespace

TEST(DockUnits, TwipsBecomePixelsRoundingHalvesToEven) {
    EXPECT_EQ(TwipsToPixels(-60, 15), -4);
    EXPECT_EQ(TwipsToPixels(22.5, 15), 2);   // 1.5 px
    EXPECT_EQ(TwipsToPixels(37.5, 15), 2);   // 2.5 px
    EXPECT_EQ(TwipsToPixels(-22.5, 15), -2);
    EXPECT_EQ(TwipsToPixels(396, 15), 26);   // 26.4 px
    const auto s = ScreenMetrics::FromPixels(1366, 768, 12);
    EXPECT_DOUBLE_EQ(s.widthTwips, 16392);
    EXPECT_DOUBLE_EQ(s.WidthPixels(), 1366);
}

namespace {
struct ClampCase {
    const char* name;
    PixelRect current;
    PixelPoint proposedCorner;
    PixelRect expected;
    bool stretched;
};
}  // namespace

class DockClamp : public testing::TestWithParam<ClampCase> {};

TEST_P(DockClamp, TitleBarDragStaysInsideLeftTopAndRight) {
    const ClampCase& c = GetParam();
    Desk d;
    d.win = c.current;
    d.engine.OnTitleBarPress();
    const PixelRect proposed{c.proposedCorner.x, c.proposedCorner.y, c.proposedCorner.x + c.current.Width(),
                             c.proposedCorner.y + c.current.Height()};
    const auto r = d.engine.OnMoving(proposed, d.win);
    EXPECT_TRUE(r.passOn);
    EXPECT_EQ(r.rect, c.expected);
    EXPECT_EQ(d.engine.Stretched(), c.stretched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DockClamp,
    testing::Values(
        ClampCase{"inside_untouched", At(100, 100), {300, 250}, At(300, 250), false},
        ClampCase{"left_beyond_kept_at_zero_same_width", At(100, 100), {-50, 200}, At(0, 200), false},
        ClampCase{"top_beyond_kept_at_zero", At(100, 100), {200, -10}, At(200, 0), false},
        ClampCase{"right_beyond_kept_at_screen_edge", At(100, 100), {600, 200}, At(kScreenW - kWinW, 200), false},
        ClampCase{"below_screen_not_clamped", At(100, 100), {100, 700}, At(100, 700), false},
        ClampCase{"top_left_corner_stretches", At(100, 100), {-5, -5}, {0, 0, kWinW, kScreenH}, true},
        ClampCase{"top_right_corner_stretches", At(100, 100), {530, -3}, {kScreenW - kWinW, 0, kScreenW, kScreenH},
                  true},
        // Wider than the screen: the right edge wins and the left goes negative.
        ClampCase{"wider_than_screen_against_right", At(10, 100, 1100), {-30, 100}, {kScreenW - 1100, 100, kScreenW, 443},
                  false}),
    [](const testing::TestParamInfo<ClampCase>& i) { return std::string(i.param.name); });

TEST(DockStretch, CornerStretchIsUndoneWithTheSavedHeightWhenLeavingTheCorner) {
    Desk d;
    d.Drag({{-5, -5}});
    EXPECT_EQ(d.win, (PixelRect{0, 0, kWinW, kScreenH}));
    EXPECT_EQ(d.engine.SavedHeight(), kWinH);
    // A drop in the corner docks left (left beats top) and keeps the full height.
    EXPECT_EQ(d.engine.Edge(), DockEdge::Left);
    d.Slide({1, 1});
    d.Slide(kFarAway);
    EXPECT_EQ(d.win.Height(), kScreenH);
    // Staying in the corner while dragging does not store the stretched height.
    d.Drag({{0, 0}, {-3, 0}});
    EXPECT_EQ(d.engine.SavedHeight(), kWinH);
    d.Drag({{40, 120}});
    EXPECT_EQ(d.win, At(40, 120));
    EXPECT_FALSE(d.engine.Stretched());
}

namespace {
struct DropCase {
    const char* name;
    PixelRect dropped;
    bool docks;
    DockEdge edge;
};
}  // namespace

class DockDrop : public testing::TestWithParam<DropCase> {};

TEST_P(DockDrop, EdgePriorityLeftThenRightThenTop) {
    const DropCase& c = GetParam();
    Desk d;
    d.engine.OnTitleBarPress();
    d.engine.OnMoveEnd(c.dropped);
    EXPECT_FALSE(d.engine.Dragging());
    EXPECT_EQ(d.engine.CheckTimerRunning(), c.docks);
    EXPECT_EQ(d.engine.Edge(), c.edge);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DockDrop,
    testing::Values(DropCase{"left", At(0, 200), true, DockEdge::Left},
                    DropCase{"top_left_corner_goes_left", At(0, 0), true, DockEdge::Left},
                    DropCase{"right", At(kScreenW - kWinW, 200), true, DockEdge::Right},
                    DropCase{"top_right_corner_goes_right", At(kScreenW - kWinW, 0), true, DockEdge::Right},
                    DropCase{"top_100_px_from_both_sides", {100, 0, kScreenW - 100, kWinH}, true, DockEdge::Top},
                    DropCase{"wider_than_screen_goes_right", {-76, 100, kScreenW, 443}, true, DockEdge::Right},
                    // Not clamped (no drag reaches this): dock to the edge it crosses.
                    DropCase{"beyond_top_only", At(100, -10), true, DockEdge::Top},
                    DropCase{"beyond_left_only", At(-10, 100), true, DockEdge::Left},
                    DropCase{"middle_does_not_dock", At(1, 1), false, DockEdge::Left}),
    [](const testing::TestParamInfo<DropCase>& i) { return std::string(i.param.name); });

TEST(DockSlide, StepsGrowByThirtyThenByAFifth) {
    Desk d;
    d.Drag({{-50, 200}});
    d.Slide({1, 300});  // in: from 0 to the shown overlap
    const auto steps = d.Slide(kFarAway);
    const std::vector<std::int32_t> expected{60, 90, 120, 150, 180, 210, 240, 270, 300, 396, 511, 649};
    ASSERT_GE(steps.size(), expected.size());
    EXPECT_EQ(std::vector<std::int32_t>(steps.begin(), steps.begin() + expected.size()), expected);
}

namespace {
struct EdgeCycle {
    const char* name;
    PixelPoint dropCorner;
    PixelPoint shown;    // top-left corner at rest, pixels
    PixelPoint hidden;
    PixelPoint inStrip;  // a point in the strip left on screen when hidden
};
}  // namespace

class DockCycle : public testing::TestWithParam<EdgeCycle> {};

TEST_P(DockCycle, SlidesOutToTheStripAndBackToTheOverlap) {
    const EdgeCycle& c = GetParam();
    Desk d;
    d.Drag({{300, 300}, c.dropCorner});
    ASSERT_TRUE(d.engine.CheckTimerRunning());

    // The pointer still inside after the drop: the window settles 60 twips beyond the edge.
    d.Slide({d.win.left + 10, d.win.top + 10});
    EXPECT_EQ((PixelPoint{d.win.left, d.win.top}), c.shown);

    d.Slide(kFarAway);
    EXPECT_EQ((PixelPoint{d.win.left, d.win.top}), c.hidden);
    const int visibleX = std::min(d.win.right, kScreenW) - std::max(d.win.left, 0);
    const int visibleY = std::min(d.win.bottom, kScreenH) - std::max(d.win.top, 0);
    EXPECT_EQ(std::min(visibleX, visibleY), 4);  // 60 twips

    // Pointer where it already was: nothing starts.
    EXPECT_FALSE(d.engine.OnCheckTimer(kFarAway, d.win));
    d.Slide(c.inStrip);
    EXPECT_EQ((PixelPoint{d.win.left, d.win.top}), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DockCycle,
    testing::Values(EdgeCycle{"left", {-50, 200}, {-4, 200}, {4 - kWinW, 200}, {2, 300}},
                    EdgeCycle{"right", {900, 200}, {kScreenW - kWinW + 4, 200}, {kScreenW - 4, 200}, {kScreenW - 2, 300}},
                    EdgeCycle{"top", {300, -20}, {300, -4}, {300, 4 - kWinH}, {400, 2}}),
    [](const testing::TestParamInfo<EdgeCycle>& i) { return std::string(i.param.name); });

TEST(DockSlide, ReversesMidwayAndStillEndsExactlyAtRest) {
    Desk d;
    d.Drag({{0, 200}});
    d.Slide({5, 300});
    d.engine.OnCheckTimer(kFarAway, d.win);
    for (int i = 0; i < 11; ++i) {  // part of the way out: 396 twips is not a whole pixel count
        const auto r = d.engine.OnMoveTimer(d.win);
        d.win = At(r.position.x, r.position.y);
    }
    ASSERT_TRUE(d.engine.MoveTimerRunning());
    d.Slide({d.win.right - 1, 300});
    EXPECT_EQ(d.win.left, -4);
}

TEST(DockSlide, DropInTheMiddleAfterDockingStopsAutoHide) {
    Desk d;
    d.Drag({{-50, 200}});
    d.Slide({10, 300});
    d.Slide(kFarAway);
    ASSERT_EQ(d.win.left, 4 - kWinW);
    d.Drag({{200, 150}});
    EXPECT_EQ(d.win, At(200, 150));
    EXPECT_FALSE(d.engine.CheckTimerRunning());
    EXPECT_FALSE(d.engine.MoveTimerRunning());
    EXPECT_FALSE(d.engine.OnCheckTimer(kFarAway, d.win));  // a stale tick changes nothing
    EXPECT_FALSE(d.engine.OnMoveTimer(d.win).moved);
    // Dropped at an edge again, it docks again.
    d.Drag({{900, 150}});
    EXPECT_TRUE(d.engine.CheckTimerRunning());
    EXPECT_EQ(d.engine.Edge(), DockEdge::Right);
}

TEST(DockSlide, TitleBarPressStopsBothTimers) {
    Desk d;
    d.Drag({{0, 200}});
    d.engine.OnCheckTimer({5, 300}, d.win);
    ASSERT_TRUE(d.engine.MoveTimerRunning());
    d.engine.OnTitleBarPress();
    EXPECT_TRUE(d.engine.Dragging());
    EXPECT_FALSE(d.engine.CheckTimerRunning());
    EXPECT_FALSE(d.engine.MoveTimerRunning());
}

TEST(DockMoves, KeyboardMoveIsNeitherClampedNorStretched) {
    Desk d;
    const PixelRect proposed = At(-30, -30);
    const auto r = d.engine.OnMoving(proposed, d.win);
    EXPECT_FALSE(r.passOn);
    EXPECT_EQ(r.rect, proposed);
    EXPECT_FALSE(d.engine.Stretched());
    // The end of a drag clears the flag, so the next keyboard move is free again.
    d.Drag({{100, 100}});
    EXPECT_FALSE(d.engine.OnMoving(At(-30, 0), d.win).passOn);
}

TEST(DockOption, HookedOnceAndPositionStoredOnEverySelection) {
    Desk d(false);
    // Before the option, nothing is watched.
    d.engine.OnTitleBarPress();
    EXPECT_FALSE(d.engine.Dragging());
    const auto free = d.engine.OnMoving(At(-30, -30), d.win);
    EXPECT_TRUE(free.passOn);
    EXPECT_EQ(free.rect, At(-30, -30));
    d.engine.OnMoveEnd(At(0, 0));
    EXPECT_FALSE(d.engine.CheckTimerRunning());

    const auto first = d.engine.OnOptionSelected();
    EXPECT_TRUE(first.installHook);
    EXPECT_TRUE(first.saveTopLeft);
    const auto second = d.engine.OnOptionSelected();
    EXPECT_FALSE(second.installHook);
    EXPECT_TRUE(second.saveTopLeft);
    EXPECT_TRUE(d.engine.HookInstalled());

    // During a slide a selection does nothing at all.
    d.Drag({{0, 200}});
    d.engine.OnCheckTimer({5, 300}, d.win);
    ASSERT_TRUE(d.engine.MoveTimerRunning());
    const auto during = d.engine.OnOptionSelected();
    EXPECT_FALSE(during.installHook);
    EXPECT_FALSE(during.saveTopLeft);
}
