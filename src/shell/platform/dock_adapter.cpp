// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/platform/dock_adapter.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "controls/twips.h"
#include "shell/platform/dock_x11.h"

namespace tessel::shell {

namespace {

class QtDockWindowSystem final : public QObject, public DockWindowSystem {
 public:
    explicit QtDockWindowSystem(QWidget& window) : window_(window) {}

    void Hook(DockAdapter& adapter) override {
        adapter_ = &adapter;
        window_.installEventFilter(this);
    }
    void Unhook() override {
        window_.removeEventFilter(this);
        adapter_ = nullptr;
    }
    QPoint PointerPos() override { return QCursor::pos(); }
    QRect OuterRect() override { return window_.frameGeometry(); }
    void MoveTo(const QPoint& p) override {
        // Straight to the window: the widget would drop a move to the position
        // it believes it is at.
        if (QWindow* handle = window_.windowHandle())
            handle->setFramePosition(p);
        else
            window_.move(p);
    }
    void ReserveStrip(DockEdge, const QRect&) override {}
    void Rest(bool resting) override { resting_ = resting; }

 protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == &window_ && adapter_) {
            if (e->type() == QEvent::Move && adapter_->DragRunning())
                adapter_->Moving(window_.frameGeometry());
            if (e->type() == QEvent::Enter && resting_) adapter_->PointerEntered();
        }
        return QObject::eventFilter(watched, e);
    }

 private:
    QWidget& window_;
    DockAdapter* adapter_ = nullptr;
    bool resting_ = false;
};

}  // namespace

std::unique_ptr<DockWindowSystem> MakeQtDockWindowSystem(QWidget& window) {
    return std::make_unique<QtDockWindowSystem>(window);
}

std::unique_ptr<DockWindowSystem> MakeDockWindowSystem(QWidget& window) {
    if (auto x11 = MakeX11DockWindowSystem(window)) return x11;
    return MakeQtDockWindowSystem(window);
}

DockAdapter::DockAdapter(QWidget& window, QTimer& tmrCheck, QTimer& tmrMove,
                         std::unique_ptr<DockWindowSystem> system, QObject* parent)
    : QObject(parent),
      window_(window),
      tmrCheck_(tmrCheck),
      tmrMove_(tmrMove),
      system_(std::move(system)),
      engine_(
          ScreenMetrics::FromPixels(ScreenRect().width(), ScreenRect().height(), controls::kTwipsPerPixel)) {
    connect(&tmrCheck_, &QTimer::timeout, this, &DockAdapter::OnCheckTick);
    connect(&tmrMove_, &QTimer::timeout, this, &DockAdapter::OnMoveTick);
    window_.installEventFilter(this);
}

DockAdapter::~DockAdapter() = default;

QRect DockAdapter::ScreenRect() const {
    const QScreen* screen = window_.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1, 1);
}

PixelRect DockAdapter::ToEngine(const QRect& r) const {
    const QPoint o = ScreenRect().topLeft();
    return {r.left() - o.x(), r.top() - o.y(), r.left() - o.x() + r.width(), r.top() - o.y() + r.height()};
}

QRect DockAdapter::FromEngine(const PixelRect& r) const {
    const QPoint o = ScreenRect().topLeft();
    return {r.left + o.x(), r.top + o.y(), r.Width(), r.Height()};
}

PixelPoint DockAdapter::ToEngine(const QPoint& p) const {
    const QPoint o = ScreenRect().topLeft();
    return {p.x() - o.x(), p.y() - o.y()};
}

QPoint DockAdapter::FromEngine(const PixelPoint& p) const {
    return QPoint(p.x, p.y) + ScreenRect().topLeft();
}

bool DockAdapter::OptionSelected() {
    if (stopped_) return false;
    const DockEngine::OptionResult result = engine_.OnOptionSelected();
    if (result.installHook) system_->Hook(*this);
    return result.saveTopLeft;
}

void DockAdapter::Stop() {
    if (stopped_) return;
    stopped_ = true;
    tmrCheck_.stop();
    tmrMove_.stop();
    window_.removeEventFilter(this);
    if (engine_.HookInstalled()) system_->Unhook();
    hiddenAtEdge_ = false;
    if (outOfSight_) {
        outOfSight_ = false;
        emit OutOfSightChanged(false);
    }
}

bool DockAdapter::OutOfSight() const {
    return !stopped_ && hiddenAtEdge_ && engine_.CheckTimerRunning() && !engine_.MoveTimerRunning();
}

bool DockAdapter::WindowShown() const { return window_.isVisible() && !window_.isMinimized(); }

bool ShownStateMayChange(const QEvent& e) {
    return e.type() == QEvent::Show || e.type() == QEvent::Hide || e.type() == QEvent::WindowStateChange;
}

bool DockAdapter::eventFilter(QObject* watched, QEvent* e) {
    if (watched == &window_ && !stopped_ && ShownStateMayChange(*e)) SyncTimers();
    return QObject::eventFilter(watched, e);
}

void DockAdapter::TitleBarPress() {
    if (stopped_ || !engine_.HookInstalled()) return;
    const QRect screen = ScreenRect();
    engine_.SetScreen(ScreenMetrics::FromPixels(screen.width(), screen.height(), controls::kTwipsPerPixel));
    engine_.OnTitleBarPress();
    drag_ = true;
    hiddenAtEdge_ = false;
    dragRect_ = system_->OuterRect();
    dragHeight_ = dragRect_.height();
    SyncTimers();
    UpdateStrip();
}

QRect DockAdapter::Moving(const QRect& outer) {
    if (stopped_ || !drag_) return outer;
    QRect proposed = outer;
    proposed.setHeight(dragHeight_);
    const DockEngine::MovingResult r = engine_.OnMoving(ToEngine(proposed), ToEngine(proposed));
    if (!r.passOn) return outer;
    const QRect target = FromEngine(r.rect);
    dragHeight_ = target.height();
    dragRect_ = target;
    if (target != outer) Place(target);
    return target;
}

void DockAdapter::MoveEnd() {
    if (stopped_ || !drag_) return;
    drag_ = false;
    engine_.OnMoveEnd(ToEngine(dragRect_));
    SyncTimers();
    UpdateStrip();
}

void DockAdapter::OnCheckTick() {
    if (stopped_) return;
    const QRect outer = system_->OuterRect();
    const bool wasSliding = engine_.MoveTimerRunning();
    // A slide that turns round goes on from where the last step put the
    // window, which the screen may not show yet.
    if (engine_.OnCheckTimer(ToEngine(system_->PointerPos()), ToEngine(outer))) {
        hiddenAtEdge_ = false;
        if (!wasSliding) slideRect_ = outer;
    }
    SyncTimers();
}

void DockAdapter::PointerEntered() {
    if (OutOfSight()) OnCheckTick();
}

void DockAdapter::OnMoveTick() {
    if (stopped_) return;
    const DockEngine::SlideResult s = engine_.OnMoveTimer(ToEngine(slideRect_));
    if (s.moved) {
        slideRect_.moveTopLeft(FromEngine(s.position));
        Place(slideRect_);
    }
    if (s.moved && !engine_.MoveTimerRunning()) hiddenAtEdge_ = engine_.MouseInside() == 0;
    SyncTimers();
    // The pointer may have come back during the last step, before the
    // window system was asked to report it.
    if (OutOfSight()) OnCheckTick();
}

void DockAdapter::SyncTimers() {
    if (stopped_) return;
    const bool shown = WindowShown();
    const bool outOfSight = OutOfSight();
    // Started only when off: a restart would put the next tick a whole period away.
    auto run = [](QTimer& t, bool on) {
        if (on && !t.isActive()) t.start();
        if (!on) t.stop();
    };
    run(tmrCheck_, shown && engine_.CheckTimerRunning() && !outOfSight);
    run(tmrMove_, shown && engine_.MoveTimerRunning());
    const bool resting = !shown || outOfSight;
    if (engine_.HookInstalled() && resting != resting_) {
        resting_ = resting;
        system_->Rest(resting);
    }
    if (outOfSight != outOfSight_) {
        outOfSight_ = outOfSight;
        emit OutOfSightChanged(outOfSight);
    }
}

void DockAdapter::Place(const QRect& outer) {
    QWindow* handle = window_.windowHandle();
    const QMargins m = handle ? handle->frameMargins() : QMargins();
    const int height = outer.height() - m.top() - m.bottom();
    if (window_.minimumHeight() != height || window_.maximumHeight() != height)
        window_.setFixedHeight(height);
    // The window manager may have changed the size behind Qt's back; ask again.
    if (window_.height() != height) window_.resize(window_.width(), height);
    system_->MoveTo(outer.topLeft());
}

void DockAdapter::UpdateStrip() {
    if (!engine_.CheckTimerRunning()) {
        system_->ReserveStrip(engine_.Edge(), QRect());
        return;
    }
    const QRect screen = ScreenRect();
    const QRect outer = dragRect_;
    const int strip = TwipsToPixels(DockEngine::kStripTwips, controls::kTwipsPerPixel);
    QRect r;
    switch (engine_.Edge()) {
        case DockEdge::Left:
            r = QRect(screen.left(), outer.top(), strip, outer.height());
            break;
        case DockEdge::Right:
            r = QRect(screen.right() + 1 - strip, outer.top(), strip, outer.height());
            break;
        case DockEdge::Top:
            r = QRect(outer.left(), screen.top(), outer.width(), strip);
            break;
    }
    system_->ReserveStrip(engine_.Edge(), r & screen);
}

}  // namespace tessel::shell
