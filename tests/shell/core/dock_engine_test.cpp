// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/dock_engine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tessel::shell;

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;
constexpr int kWinW = 504, kWinH = 343;  // 7560 x 5145 twips
const PixelPoint kFarAway{kScreenW / 2, kScreenH - 10};

PixelRect At(int left, int top, int w = kWinW, int h = kWinH) { return {left, top, left + w, top + h}; }

// Plays the window adapter: applies what the engine asks for, as a window would.
struct Desk {
    DockEngine engine{ScreenMetrics::FromPixels(kScreenW, kScreenH)};
    PixelRect win = At(260, 200);

    Desk() { engine.OnOptionSelected(); }

    // A title-bar drag through the given top-left corners, then the drop.
    void Drag(const std::vector<PixelPoint>& corners) {
        engine.OnTitleBarPress();
        for (PixelPoint c : corners) win = engine.OnMoving(At(c.x, c.y, win.Width(), win.Height()), win).rect;
        engine.OnMoveEnd(win);
    }

    // One pointer check, then tmrMove ticks until the slide stops; the steps taken.
    std::vector<std::int32_t> Slide(PixelPoint pointer) {
        std::vector<std::int32_t> steps;
        engine.OnCheckTimer(pointer, win);
        while (engine.MoveTimerRunning() && steps.size() < 1000) {
            const auto r = engine.OnMoveTimer(win);
            win = At(r.position.x, r.position.y, win.Width(), win.Height());
            steps.push_back(engine.SlideStep());
        }
        return steps;
    }
    PixelPoint Corner() const { return {win.left, win.top}; }
};

struct ClampCase {
    const char* name;
    PixelRect current;
    PixelPoint to;
    PixelRect expected;
};

}  // namespace

class DockClamp : public testing::TestWithParam<ClampCase> {};

TEST_P(DockClamp, TitleBarDragStaysInsideLeftTopAndRightAndStretchesInTopCorners) {
    const ClampCase& c = GetParam();
    Desk d;
    d.engine.OnTitleBarPress();
    const auto r = d.engine.OnMoving(At(c.to.x, c.to.y, c.current.Width(), c.current.Height()), c.current);
    EXPECT_TRUE(r.passOn);
    EXPECT_EQ(r.rect, c.expected);
    EXPECT_EQ(d.engine.Stretched(), c.expected.Height() == kScreenH);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DockClamp,
    testing::Values(
        ClampCase{"left_kept_at_zero_same_width", At(100, 100), {-50, 200}, At(0, 200)},
        ClampCase{"top_kept_at_zero", At(100, 100), {200, -10}, At(200, 0)},
        ClampCase{"right_kept_at_edge", At(100, 100), {600, 200}, At(kScreenW - kWinW, 200)},
        ClampCase{"top_left_stretches", At(100, 100), {-5, -5}, {0, 0, kWinW, kScreenH}},
        ClampCase{"top_right_stretches", At(100, 100), {530, -3}, {kScreenW - kWinW, 0, kScreenW, kScreenH}},
        // Wider than the screen: the right edge wins, the left goes negative.
        ClampCase{"wider_than_screen", At(10, 100, 1100), {-30, 100}, {kScreenW - 1100, 100, kScreenW, 443}}),
    [](const auto& i) { return std::string(i.param.name); });

TEST(DockStretch, SavedHeightComesBackWhenTheCornerIsLeftEvenAfterDocking) {
    Desk d;
    d.Drag({{-5, -5}, {0, 0}, {-3, 0}});  // staying in the corner must not save the stretched height
    EXPECT_EQ(d.win, (PixelRect{0, 0, kWinW, kScreenH}));
    EXPECT_EQ(d.engine.SavedHeight(), kWinH);
    d.Slide({1, 1});
    d.Slide(kFarAway);
    EXPECT_EQ(d.win.Height(), kScreenH);
    d.Drag({{40, 120}});
    EXPECT_EQ(d.win, At(40, 120));
}

TEST(DockDrop, EdgePriorityLeftThenRightThenTop) {
    struct Case {
        PixelRect dropped;
        bool docks;
        DockEdge edge;
    };
    // Corners; the top 100 px from both sides; wider than the screen; beyond one edge
    // without a clamped drag (a keyboard move) docks to the edge it crosses; the middle.
    const Case cases[] = {{At(0, 0), true, DockEdge::Left},
                          {At(kScreenW - kWinW, 0), true, DockEdge::Right},
                          {{100, 0, kScreenW - 100, kWinH}, true, DockEdge::Top},
                          {{-76, 100, kScreenW, 443}, true, DockEdge::Right},
                          {At(100, -10), true, DockEdge::Top},
                          {At(1, 1), false, DockEdge::Left}};
    for (const Case& c : cases) {
        Desk d;
        d.engine.OnTitleBarPress();
        d.engine.OnMoveEnd(c.dropped);
        EXPECT_EQ(d.engine.CheckTimerRunning(), c.docks) << c.dropped.left << "," << c.dropped.top;
        EXPECT_EQ(d.engine.Edge(), c.edge) << c.dropped.left << "," << c.dropped.top;
    }
}

TEST(DockSlide, OutToTheStripAndBackToTheOverlapAtEveryEdge) {
    struct Case {
        PixelPoint drop, shown, hidden, inStrip;
    };
    const Case cases[] = {
        {{-50, 200}, {-4, 200}, {4 - kWinW, 200}, {2, 300}},
        {{900, 200}, {kScreenW - kWinW + 4, 200}, {kScreenW - 4, 200}, {kScreenW - 2, 300}},
        {{300, -20}, {300, -4}, {300, 4 - kWinH}, {400, 2}},
    };
    for (const Case& c : cases) {
        Desk d;
        d.Drag({c.drop});
        // The pointer is still inside after the drop: the window settles 60 twips beyond the edge.
        d.Slide({d.win.left + 10, d.win.top + 10});
        EXPECT_EQ(d.Corner(), c.shown);
        const auto steps = d.Slide(kFarAway);
        EXPECT_EQ(d.Corner(), c.hidden);
        const std::vector<std::int32_t> expected{60, 90, 120, 150, 180, 210, 240, 270, 300, 396, 511, 649};
        ASSERT_GE(steps.size(), expected.size());
        EXPECT_EQ(std::vector<std::int32_t>(steps.begin(), steps.begin() + 12), expected);
        EXPECT_FALSE(d.engine.OnCheckTimer(kFarAway, d.win));  // still outside: nothing starts
        d.Slide(c.inStrip);
        EXPECT_EQ(d.Corner(), c.shown);
    }
}

TEST(DockSlide, PressStopsTimersAndDropInTheMiddleEndsAutoHide) {
    Desk d;
    d.Drag({{-50, 200}});
    d.engine.OnCheckTimer({5, 300}, d.win);
    d.engine.OnTitleBarPress();
    EXPECT_FALSE(d.engine.CheckTimerRunning() || d.engine.MoveTimerRunning());
    d.Drag({{200, 150}});
    EXPECT_EQ(d.win, At(200, 150));
    EXPECT_FALSE(d.engine.CheckTimerRunning());
    EXPECT_FALSE(d.engine.OnMoveTimer(d.win).moved);  // a stale tick moves nothing
    d.Drag({{900, 150}});
    EXPECT_TRUE(d.engine.CheckTimerRunning());
}

TEST(DockOption, OneHookPositionStoredOnEachSelectionNothingDuringASlide) {
    DockEngine e(ScreenMetrics::FromPixels(kScreenW, kScreenH));
    e.OnTitleBarPress();  // before the option nothing is watched
    EXPECT_EQ(e.OnMoving(At(-30, -30), At(0, 0)).rect, At(-30, -30));
    EXPECT_TRUE(e.OnOptionSelected().installHook);
    const auto second = e.OnOptionSelected();
    EXPECT_FALSE(second.installHook);
    EXPECT_TRUE(second.saveTopLeft);

    // A keyboard move (no title-bar press) is neither clamped nor stretched.
    const auto keys = e.OnMoving(At(-30, -30), At(0, 0));
    EXPECT_FALSE(keys.passOn);
    EXPECT_EQ(keys.rect, At(-30, -30));
    EXPECT_FALSE(e.Stretched());

    e.OnTitleBarPress();
    e.OnMoveEnd(At(0, 200));
    e.OnCheckTimer({5, 300}, At(0, 200));
    ASSERT_TRUE(e.MoveTimerRunning());
    const auto during = e.OnOptionSelected();
    EXPECT_FALSE(during.installHook || during.saveTopLeft);
}
