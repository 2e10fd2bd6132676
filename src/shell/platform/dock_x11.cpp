// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/platform/dock_x11.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <array>
#include <climits>
#include <cstdlib>
#include <optional>

namespace tessel::shell {

namespace {

// Pointer watch while a drag runs.
constexpr int kDragPollMs = 10;
// A window manager that never lets go of the pointer does not keep the drag
// open for ever.
constexpr int kSettleLimitMs = 500;

template <typename Reply>
struct Freed {
    Reply* p;
    explicit Freed(Reply* r) : p(r) {}
    ~Freed() { std::free(p); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    Reply* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class X11DockWindowSystem final : public QObject, public DockWindowSystem, public QAbstractNativeEventFilter {
 public:
    X11DockWindowSystem(QWidget& window, xcb_connection_t* connection) : window_(window), c_(connection) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        // Asked now, read when first needed: no round trip on the way to the window.
        strutPartialAsked_ = Intern("_NET_WM_STRUT_PARTIAL");
        strutAsked_ = Intern("_NET_WM_STRUT");
        connect(&watch_, &QTimer::timeout, this, &X11DockWindowSystem::Watch);
    }

    ~X11DockWindowSystem() override {
        if (!atomsRead_) {
            xcb_discard_reply(c_, strutPartialAsked_.sequence);
            xcb_discard_reply(c_, strutAsked_.sequence);
        }
        if (!adapter_ || !qApp) return;
        qApp->removeNativeEventFilter(this);
        SelectOnFrame(XCB_NONE, XCB_EVENT_MASK_NO_EVENT);
    }

    void Hook(DockAdapter& adapter) override {
        adapter_ = &adapter;
        state_ = State::Idle;
        qApp->installNativeEventFilter(this);
        SelectForState();
    }

    void Unhook() override {
        if (!adapter_) return;
        qApp->removeNativeEventFilter(this);
        SelectOnFrame(XCB_NONE, XCB_EVENT_MASK_NO_EVENT);
        resting_ = false;
        watch_.stop();
        ReserveStrip(DockEdge::Left, QRect());
        adapter_ = nullptr;
    }

    void Rest(bool resting) override {
        if (resting == resting_) return;
        resting_ = resting;
        // A drag still running goes on being watched to its end.
        if (adapter_) SelectForState();
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (!adapter_ || type != "xcb_generic_event_t") return false;
        const auto* e = static_cast<const xcb_generic_event_t*>(message);
        // Acted on later, not inside the native event handling: both talk to the server.
        switch (e->response_type & 0x7f) {
            case XCB_CONFIGURE_NOTIFY: {
                // The frame moved.  The window manager moves it as the pointer
                // drags its title bar; our own moves land where they were sent.
                const auto* c = static_cast<const xcb_configure_notify_event_t*>(message);
                if (resting_ || state_ != State::Idle || c->window != frame_ || pressQueued_) break;
                if (QPoint(c->x, c->y) == movedTo_) break;
                pressQueued_ = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        pressQueued_ = false;
                        if (!resting_ && adapter_ && state_ == State::Idle) WatchPress();
                    },
                    Qt::QueuedConnection);
                break;
            }
            case XCB_ENTER_NOTIFY: {
                const auto* enter = static_cast<const xcb_enter_notify_event_t*>(message);
                if (!resting_) break;
                if (enter->event != frame_ && enter->event != OwnWindow()) break;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (resting_ && adapter_) adapter_->PointerEntered();
                    },
                    Qt::QueuedConnection);
                break;
            }
            case XCB_REPARENT_NOTIFY:
                // A new frame (the window was shown again, or another window
                // manager took over): ask that one instead.
                if (static_cast<const xcb_reparent_notify_event_t*>(message)->window != OwnWindow()) break;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (adapter_) SelectForState();
                    },
                    Qt::QueuedConnection);
                break;
            default:
                break;
        }
        return false;
    }

    QPoint PointerPos() override {
        if (const auto p = QueryPointer()) return p->pos;
        return {};
    }

    QRect OuterRect() override {
        if (const xcb_window_t frame = Frame()) {
            Freed g(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, frame), nullptr));
            if (g) {
                const int b = g->border_width;
                return {g->x, g->y, g->width + 2 * b, g->height + 2 * b};
            }
        }
        return window_.frameGeometry();
    }

    // A plain move request.  Moved through Qt (which rewrites the size hints
    // with every move) in the middle of a drag, the window was shifted by its
    // frame's size for the rest of the drag under openbox.
    void MoveTo(const QPoint& p) override {
        if (!window_.testAttribute(Qt::WA_WState_Created)) return window_.move(p);
        const auto w = static_cast<xcb_window_t>(window_.winId());
        QPoint at = p;
        if (StaticGravity(w)) {
            const QMargins m = window_.windowHandle() ? window_.windowHandle()->frameMargins() : QMargins();
            at += QPoint(m.left(), m.top());
        }
        const std::array<std::uint32_t, 2> xy = {static_cast<std::uint32_t>(at.x()),
                                                 static_cast<std::uint32_t>(at.y())};
        movedTo_ = p;
        xcb_configure_window(c_, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy.data());
        xcb_flush(c_);
    }

    void ReserveStrip(DockEdge edge, const QRect& strip) override {
        std::array<std::uint32_t, 12> partial{};
        if (!strip.isEmpty()) {
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
            auto u = [](int v) { return static_cast<std::uint32_t>(v < 0 ? 0 : v); };
            switch (edge) {
                case DockEdge::Left:
                    partial = {
                        u(strip.right() + 1), 0, 0, 0, u(strip.top()), u(strip.bottom()), 0, 0, 0, 0, 0, 0};
                    break;
                case DockEdge::Right:
                    partial = {0,
                               u(screen->width_in_pixels - strip.left()),
                               0,
                               0,
                               0,
                               0,
                               u(strip.top()),
                               u(strip.bottom()),
                               0,
                               0,
                               0,
                               0};
                    break;
                case DockEdge::Top:
                    partial = {0, 0, u(strip.bottom() + 1), 0, 0, 0, 0, 0, u(strip.left()), u(strip.right()),
                               0, 0};
                    break;
            }
        }
        if (partial == reserved_ || !window_.testAttribute(Qt::WA_WState_Created)) return;
        reserved_ = partial;
        ReadAtoms();
        const auto w = static_cast<xcb_window_t>(window_.winId());
        if (strip.isEmpty()) {
            xcb_delete_property(c_, w, strutPartial_);
            xcb_delete_property(c_, w, strut_);
        } else {
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, strutPartial_, XCB_ATOM_CARDINAL, 32, 12,
                                partial.data());
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, strut_, XCB_ATOM_CARDINAL, 32, 4,
                                partial.data());
        }
        xcb_flush(c_);
    }

 private:
    enum class State { Idle, Dragging, Settling };

    struct Pointer {
        QPoint pos;
        bool left = false;
        xcb_window_t child = XCB_NONE;  // the top-level window under it
    };

    xcb_intern_atom_cookie_t Intern(const char* name) {
        return xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(qstrlen(name)), name);
    }

    void ReadAtoms() {
        if (atomsRead_) return;
        atomsRead_ = true;
        const auto read = [this](xcb_intern_atom_cookie_t asked) {
            Freed r(xcb_intern_atom_reply(c_, asked, nullptr));
            return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
        };
        strutPartial_ = read(strutPartialAsked_);
        strut_ = read(strutAsked_);
    }

    // True when the window asked to be placed by its own corner rather than
    // by its frame's (the gravity in its size hints).
    bool StaticGravity(xcb_window_t w) {
        Freed r(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, 18),
            nullptr));
        if (!r || r->format != 32 || xcb_get_property_value_length(r.p) < 18 * 4) return false;
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r.p));
        constexpr std::uint32_t kWinGravityFlag = 1u << 9;
        return (v[0] & kWinGravityFlag) && v[17] == XCB_GRAVITY_STATIC;
    }

    std::optional<Pointer> QueryPointer() {
        Freed r(xcb_query_pointer_reply(c_, xcb_query_pointer(c_, root_), nullptr));
        if (!r) return std::nullopt;
        return Pointer{{r->root_x, r->root_y}, (r->mask & XCB_BUTTON_MASK_1) != 0, r->child};
    }

    // The window's ancestor just below the root: the frame the window manager
    // put around it, or the window itself without one.
    xcb_window_t Frame() {
        if (!window_.testAttribute(Qt::WA_WState_Created)) return XCB_NONE;
        auto w = static_cast<xcb_window_t>(window_.winId());
        for (int depth = 0; depth < 16; ++depth) {
            Freed t(xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr));
            if (!t) return XCB_NONE;
            if (t->parent == root_ || t->parent == XCB_NONE) return w;
            w = t->parent;
        }
        return XCB_NONE;
    }

    // Top of the client area, screen pixels.
    std::optional<int> ClientTop() {
        const auto w = static_cast<xcb_window_t>(window_.winId());
        Freed t(xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0), nullptr));
        if (!t) return std::nullopt;
        return t->dst_y;
    }

    // True while another client (the window manager, during its move) holds
    // the pointer.  A grab of our own succeeds only once it has let go.
    bool PointerHeldElsewhere() {
        Freed g(
            xcb_grab_pointer_reply(c_,
                                   xcb_grab_pointer(c_, 0, root_, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                    XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                   nullptr));
        if (!g) return false;
        if (g->status == XCB_GRAB_STATUS_SUCCESS) {
            xcb_ungrab_pointer(c_, XCB_CURRENT_TIME);
            xcb_flush(c_);
            return false;
        }
        return g->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
    }

    xcb_window_t OwnWindow() const {
        return window_.testAttribute(Qt::WA_WState_Created) ? static_cast<xcb_window_t>(window_.winId())
                                                            : xcb_window_t{XCB_NONE};
    }

    // What the window manager's frame is to report: shown, its moves (a
    // title-bar drag moves it); resting, the pointer entering it.
    void SelectForState() {
        SelectOnFrame(Frame(), resting_ ? XCB_EVENT_MASK_ENTER_WINDOW : XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    }

    // Our own window reports both already (Qt selects them), and its event
    // mask is Qt's business; a frame's mask of ours is only ever ours.
    void SelectOnFrame(xcb_window_t frame, std::uint32_t mask) {
        if (frame == OwnWindow()) frame = XCB_NONE;
        if (frame_ != XCB_NONE && frame_ != frame) {
            // The old frame may be gone (the window manager makes a new one
            // when the window is shown again); that error is of no interest.
            const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
            xcb_discard_reply(
                c_, xcb_change_window_attributes_checked(c_, frame_, XCB_CW_EVENT_MASK, &none).sequence);
        }
        if (frame != XCB_NONE && (frame != frame_ || mask != frameMask_)) {
            xcb_discard_reply(
                c_, xcb_change_window_attributes_checked(c_, frame, XCB_CW_EVENT_MASK, &mask).sequence);
        }
        frame_ = frame;
        frameMask_ = frame == XCB_NONE ? std::uint32_t{XCB_EVENT_MASK_NO_EVENT} : mask;
        xcb_flush(c_);
    }

    void Watch() {
        if (!adapter_) return;
        switch (state_) {
            case State::Idle:
                break;
            case State::Dragging:
                WatchDrag();
                break;
            case State::Settling:
                WatchSettle();
                break;
        }
    }

    // The frame moved by itself: a drag is on when the left button holds the
    // title bar.  The drag has begun, so the engine hears of the press and
    // of where the window is now, then of every move until the end.
    void WatchPress() {
        const auto p = QueryPointer();
        if (!p || !p->left || !window_.isVisible()) return;
        const xcb_window_t frame = Frame();
        if (frame == XCB_NONE || p->child != frame) return;  // not on us, or covered
        const QRect outer = OuterRect();
        const auto clientTop = ClientTop();
        if (!clientTop || !outer.contains(p->pos) || p->pos.y() >= *clientTop) return;
        state_ = State::Dragging;
        watch_.start(kDragPollMs);
        adapter_->TitleBarPress();
        lastSeen_ = outer;
        adapter_->Moving(outer);
    }

    void WatchDrag() {
        const auto p = QueryPointer();
        const QRect outer = OuterRect();
        if (outer != lastSeen_) {
            lastSeen_ = outer;
            adapter_->Moving(outer);
        }
        if (!p || !p->left) {
            state_ = State::Settling;
            settle_.start();
        }
    }

    // The button is up, but the window manager may still put the window where
    // its own drag ended; hold the engine's answer until it has let go.
    void WatchSettle() {
        const bool late = settle_.elapsed() > kSettleLimitMs;
        if (!late && PointerHeldElsewhere()) return;
        const QRect outer = OuterRect();
        const QRect wanted = adapter_->Moving(outer);
        if (wanted != outer && !late) return;
        state_ = State::Idle;
        watch_.stop();
        adapter_->MoveEnd();
    }

    QWidget& window_;
    xcb_connection_t* c_;
    xcb_window_t root_ = XCB_NONE;
    xcb_intern_atom_cookie_t strutPartialAsked_{};
    xcb_intern_atom_cookie_t strutAsked_{};
    bool atomsRead_ = false;
    xcb_atom_t strutPartial_ = XCB_ATOM_NONE;
    xcb_atom_t strut_ = XCB_ATOM_NONE;
    DockAdapter* adapter_ = nullptr;
    QTimer watch_;
    bool resting_ = false;
    // The frame whose events we asked for, and which.
    xcb_window_t frame_ = XCB_NONE;
    std::uint32_t frameMask_ = XCB_EVENT_MASK_NO_EVENT;
    bool pressQueued_ = false;
    // Where MoveTo last put the frame: its own moves start no drag.
    QPoint movedTo_{INT_MIN, INT_MIN};
    QElapsedTimer settle_;
    State state_ = State::Idle;
    QRect lastSeen_;
    std::array<std::uint32_t, 12> reserved_{};
};

}  // namespace

std::unique_ptr<DockWindowSystem> MakeX11DockWindowSystem(QWidget& window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return nullptr;
    return std::make_unique<X11DockWindowSystem>(window, x11->connection());
}

}  // namespace tessel::shell
