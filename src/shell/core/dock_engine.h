// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The edge-docking auto-hide of the main window, without any window system.
//
// While the option is on, a title-bar drag keeps the window inside the left,
// top and right screen edges and stretches it to the full screen height in a
// top corner; a drop against an edge docks it there, after which it slides
// out (leaving a 60-twip strip) when the pointer leaves it and back in when
// the pointer enters it.
//
// Contract with the window adapter (everything on the user-interface thread):
//
//  * Click on the option button   -> OnOptionSelected(); install the move hook
//    when `installHook`, store the window's "Top" and "Left" when `saveTopLeft`.
//  * Left button down on the title bar (before the window manager starts the
//    move)                        -> OnTitleBarPress().
//  * Every proposed position during a move (before the window takes it)
//                                 -> OnMoving(proposed, current); use the
//    returned rectangle instead of the proposal.  `passOn` is false for a move
//    that is not a title-bar drag (keyboard, program): leave it untouched.
//  * End of the move              -> OnMoveEnd(current).
//  * tmrCheck tick (50 ms)        -> OnCheckTimer(pointer, current).
//  * tmrMove tick (1 ms)          -> OnMoveTimer(current); when `moved`, put
//    the window's top-left corner at `position`.
//  * After every call, run tmrCheck exactly while CheckTimerRunning() and
//    tmrMove exactly while MoveTimerRunning(); a tick that still arrives
//    after the engine stopped its timer is ignored.
//
// Rectangles and the pointer are in screen pixels; a rectangle's right and
// bottom are exclusive (a point is inside when left <= x < right and
// top <= y < bottom).  The window's Left/Top/Width/Height in twips are its
// pixel values times the twips per pixel, exactly as the window reports them;
// twips become pixels by rounding to the nearest integer, halves to even.
// Until the option has been selected every call is a no-op that passes the
// message on unchanged: the window behaves normally.

#include <cstdint>

namespace tessel::shell {

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(PixelPoint p) const { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Twips per pixel at normal resolution.
inline constexpr double kNormalTwipsPerPixel = 15;

// The screen as the window system describes it: its size in twips and the
// twips per pixel along each axis.
struct ScreenMetrics {
    double widthTwips = 0;
    double heightTwips = 0;
    double twipsPerPixelX = kNormalTwipsPerPixel;
    double twipsPerPixelY = kNormalTwipsPerPixel;

    static ScreenMetrics FromPixels(int width, int height, double twipsPerPixel = kNormalTwipsPerPixel);
    double WidthPixels() const { return widthTwips / twipsPerPixelX; }
    double HeightPixels() const { return heightTwips / twipsPerPixelY; }
};

// Twips to whole pixels, rounding halves to the even neighbour.
int TwipsToPixels(double twips, double twipsPerPixel);

enum class DockEdge : std::int32_t { Left = 0, Right = 1, Top = 2 };

class DockEngine {
 public:
    // Distance of the hidden strip and of the overlap when shown, twips.
    static constexpr int kStripTwips = 60;
    static constexpr int kFirstStepTwips = 30;

    struct OptionResult {
        bool installHook = false;  // first selection: hook the main window now
        bool saveTopLeft = false;  // store the window's "Top" and "Left"
    };

    struct MovingResult {
        PixelRect rect;      // the rectangle the window is to take
        bool passOn = true;  // false: not a title-bar drag, leave the move alone
    };

    struct SlideResult {
        bool moved = false;    // false: nothing to do this tick
        PixelPoint position;   // new top-left corner of the window, pixels
        double leftTwips = 0;  // the same position in twips
        double topTwips = 0;
    };

    explicit DockEngine(ScreenMetrics screen);

    // The screen the window is on (call again when it changes).
    void SetScreen(ScreenMetrics screen) { screen_ = screen; }
    const ScreenMetrics& Screen() const { return screen_; }

    // Ignored while a slide runs (the window is only passing through).
    OptionResult OnOptionSelected();
    void OnTitleBarPress();
    MovingResult OnMoving(PixelRect proposed, PixelRect current);
    // A window touching or beyond the left, right or top edge docks there,
    // in that order of priority; anywhere else auto-hide pauses.
    void OnMoveEnd(PixelRect current);
    // True when this check started a slide.
    bool OnCheckTimer(PixelPoint pointer, PixelRect current);
    SlideResult OnMoveTimer(PixelRect current);

    bool CheckTimerRunning() const { return checkTimer_; }
    bool MoveTimerRunning() const { return moveTimer_; }

    bool HookInstalled() const { return hooked_; }
    DockEdge Edge() const { return edge_; }
    // 1 when the pointer was inside the window at the last check (slide in).
    std::int32_t MouseInside() const { return mouseInside_; }
    std::int32_t SlideStep() const { return slideStep_; }
    bool Dragging() const { return dragging_; }
    bool Stretched() const { return stretched_; }
    std::int32_t SavedHeight() const { return savedHeight_; }

 private:
    void StartSlide(std::int32_t inside);

    ScreenMetrics screen_;
    bool hooked_ = false;
    bool checkTimer_ = false;
    bool moveTimer_ = false;
    DockEdge edge_ = DockEdge::Left;
    std::int32_t mouseInside_ = 0;
    std::int32_t slideStep_ = 0;
    bool dragging_ = false;
    bool stretched_ = false;
    std::int32_t savedHeight_ = 0;
};

}  // namespace tessel::shell
