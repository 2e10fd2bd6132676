// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Edge docking on the real main window: feeds the dock engine with what the
// window system reports and applies what the engine answers.
//
// The window system tells us about a title-bar drag through three calls,
// made in this order by whichever DockWindowSystem watches the window:
// TitleBarPress(), Moving() for every position the window takes during the
// drag, MoveEnd() once the window manager has let go of it.  Nobody can make
// a window manager ask before it moves a window, so Moving() cannot veto a
// position: it moves the window back to the engine's answer right after.
//
// The two timers belong to the window (tmrCheck, 50 ms; tmrMove, 1 ms); the
// adapter runs each while the engine wants it running and the window can be
// seen.  Minimized or hidden, neither runs.  Slid out of sight at an edge,
// the pointer check stops too: the window system reports the pointer coming
// onto the strip that is left, which costs nothing until it happens, and the
// check runs then.
//
// All rectangles are outer rectangles (frame included) in screen pixels.

#include <QObject>
#include <QPoint>
#include <QRect>
#include <memory>

#include "shell/core/dock_engine.h"

class QEvent;
class QTimer;
class QWidget;

namespace tessel::shell {

// True for the events after which a window may have been shown, hidden,
// minimised or restored: when the timers that only run while it is on
// screen are to be started or stopped.
bool ShownStateMayChange(const QEvent& e);

class DockAdapter;

// What differs between window systems.
class DockWindowSystem {
 public:
    virtual ~DockWindowSystem() = default;
    // Starts reporting the window's title-bar drags to `adapter`.
    virtual void Hook(DockAdapter& adapter) = 0;
    // Stops every report (the window is going away).
    virtual void Unhook() = 0;
    virtual QPoint PointerPos() = 0;
    // The window's outer rectangle as the screen shows it now.
    virtual QRect OuterRect() = 0;
    // Puts the window's outer top-left corner at `p`.
    virtual void MoveTo(const QPoint& p) = 0;
    // Keeps `strip` along the screen's `edge` for the window; an empty strip
    // gives it back.  Some window managers keep every ordinary window at least
    // partly on the screen unless it holds such a strip.
    virtual void ReserveStrip(DockEdge edge, const QRect& strip) = 0;
    // True while nothing on the window can be pressed or dragged (it is
    // minimized, hidden, or out of sight at an edge): stop watching for
    // drags, and call adapter.PointerEntered() when the pointer comes onto
    // what is left of the window.  False: watch as before.
    virtual void Rest(bool resting) = 0;
};

// Qt alone: the pointer from QCursor, the rectangle from the widget.  It
// learns of no title-bar press by itself (window decorations are outside Qt),
// but once told of one it reports the moves Qt sees.
std::unique_ptr<DockWindowSystem> MakeQtDockWindowSystem(QWidget& window);
// The window system of the running application: X11 where Qt runs on xcb,
// Qt alone elsewhere.
std::unique_ptr<DockWindowSystem> MakeDockWindowSystem(QWidget& window);

class DockAdapter : public QObject {
    Q_OBJECT

 public:
    DockAdapter(QWidget& window, QTimer& tmrCheck, QTimer& tmrMove, std::unique_ptr<DockWindowSystem> system,
                QObject* parent = nullptr);
    ~DockAdapter() override;

    // A click on the option; true when the window's "Top" and "Left" are to
    // be stored.  The first one hooks the window.
    bool OptionSelected();
    // The window is going away: timers off, hook off.
    void Stop();
    // Docked and slid out until only the strip shows (the slide has ended).
    bool OutOfSight() const;

    // --- reported by the window system --------------------------------------
    void TitleBarPress();
    // The window now lies at `outer` during a move; returns where the engine
    // wants it (the window is put there when that differs).
    QRect Moving(const QRect& outer);
    void MoveEnd();
    // The pointer came onto the window (reported while resting).
    void PointerEntered();

    const DockEngine& Engine() const { return engine_; }
    bool Hooked() const { return engine_.HookInstalled(); }
    bool DragRunning() const { return drag_; }

 signals:
    // OutOfSight() changed.
    void OutOfSightChanged(bool outOfSight);

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

 private:
    void OnCheckTick();
    void OnMoveTick();
    void SyncTimers();
    // Neither minimized nor hidden.
    bool WindowShown() const;
    // Screen of the window; engine coordinates are relative to its corner.
    QRect ScreenRect() const;
    PixelRect ToEngine(const QRect& r) const;
    QRect FromEngine(const PixelRect& r) const;
    PixelPoint ToEngine(const QPoint& p) const;
    QPoint FromEngine(const PixelPoint& p) const;
    // Puts the window's outer rectangle at `outer` (the width never changes).
    void Place(const QRect& outer);
    void UpdateStrip();

    QWidget& window_;
    QTimer& tmrCheck_;
    QTimer& tmrMove_;
    std::unique_ptr<DockWindowSystem> system_;
    DockEngine engine_;
    bool drag_ = false;
    bool stopped_ = false;
    bool hiddenAtEdge_ = false;  // the last slide was out and has ended
    bool resting_ = false;       // what the window system was last told
    bool outOfSight_ = false;    // what OutOfSightChanged last said
    // Where the window is to be during a drag: where the last move put it
    // or, before any, where the press found it.
    QRect dragRect_;
    // Window managers put the size back to the one a drag started with at
    // every pointer motion; the height the engine last chose is held here.
    int dragHeight_ = 0;
    // Where the slide put the window last; the next step starts from there,
    // whether or not the window manager has confirmed it yet.
    QRect slideRect_;
};

}  // namespace tessel::shell
