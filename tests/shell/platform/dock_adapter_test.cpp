// SPDX-License-Identifier: GPL-3.0-or-later
// Edge docking on the real main window under the offscreen platform: optQQ
// clicked as a user would, title-bar drags reported to the adapter the way
// the window-system watcher reports them, the pointer moved with QCursor and
// the two timers running for real.
#include "shell/platform/dock_adapter.h"

#include <QCursor>
#include <QScreen>
#include <QWindow>

#include "controls/sk_button.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

class DockTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        Start();
        // Rain on the banner keeps its timer busy, so that its rests show.
        w->RippleSetAuto(3, 250, 4, 8);
        screen = w->screen()->geometry();
        QCursor::setPos(screen.center());
    }

    void ClickOption() {
        if (Child<QRadioButton>(*w, "optQQ")->isHidden())
            emit Child<controls::SkButton>(*w, "skbOption")->Click();
        QTest::mouseClick(Child<QRadioButton>(*w, "optQQ"), Qt::LeftButton, {},
                          QPoint(8, Child<QRadioButton>(*w, "optQQ")->height() / 2));
    }

    // Puts the window's outer corner at `p` (as a window manager would,
    // wherever that is) and waits until it got there.
    bool MoveTo(QPoint p) {
        w->windowHandle()->setFramePosition(p);
        return QTest::qWaitFor([&] { return w->frameGeometry().topLeft() == p; }, 2000);
    }

    // A title-bar drag that lets go with the window proposed at `drop`; true
    // when the window ends at `expected`.  The pointer stays on the title bar.
    bool Drag(QPoint drop, QPoint expected) {
        w->Dock()->TitleBarPress();
        w->windowHandle()->setFramePosition(drop);
        const bool there = QTest::qWaitFor([&] { return w->frameGeometry().topLeft() == expected; }, 2000);
        QCursor::setPos(expected + QPoint(w->width() / 2, 5));
        w->Dock()->MoveEnd();
        return there;
    }

    // Waits for a slide along x (or y) to end at `at`.
    bool SlideEnds(int at, bool horizontal = true) {
        return QTest::qWaitFor(
            [&] {
                const QPoint p = w->frameGeometry().topLeft();
                return (horizontal ? p.x() : p.y()) == at && !Child<QTimer>(*w, "tmrMove")->isActive();
            },
            2000);
    }

    QString Twips(int pixels) { return QString::number(pixels * 15); }

    QRect screen;
};

TEST_F(DockTest, EachSelectionStoresThePositionExceptDuringASlide) {
    ASSERT_TRUE(MoveTo({150, 90}));
    ClickOption();
    ASSERT_TRUE(w->Dock()->Hooked());
    EXPECT_EQ(Stored(keys::kLeft), Twips(150));
    EXPECT_EQ(Stored(keys::kTop), Twips(90));

    // Selected again: it stays selected (a lone radio button would toggle
    // off) and the position is stored again.
    ASSERT_TRUE(MoveTo({100, 60}));
    ClickOption();
    EXPECT_TRUE(Child<QRadioButton>(*w, "optQQ")->isChecked());
    EXPECT_EQ(Stored(keys::kLeft), Twips(100));
    EXPECT_EQ(Stored(keys::kTop), Twips(60));

    // A click while the window slides would store a passing position.
    ASSERT_TRUE(Drag({-50, 60}, {0, 60}));
    ASSERT_TRUE(SlideEnds(-4));
    bool clicked = false;
    QObject::connect(Child<QTimer>(*w, "tmrMove"), &QTimer::timeout, w.get(), [&] {
        if (!clicked) {
            clicked = true;
            Child<QRadioButton>(*w, "optQQ")->click();
        }
    });
    QCursor::setPos(screen.bottomRight() - QPoint(5, 5));
    ASSERT_TRUE(SlideEnds(4 - w->frameGeometry().width()));
    EXPECT_TRUE(clicked);
    EXPECT_EQ(Stored(keys::kLeft), Twips(100));
    EXPECT_EQ(Stored(keys::kTop), Twips(60));
}

struct EdgeCase {
    const char* name;
    QPoint start;
    QPoint drop;      // beyond the edge
    QPoint kept;      // where the drag keeps the window
    bool horizontal;  // the slide runs along x
    int hidden;       // x or y with only the strip left on the screen
    int shown;        // x or y when it came back
    QPoint strip;     // a point inside the strip
};

class DockEdgeTest : public DockTest, public ::testing::WithParamInterface<EdgeCase (*)(QRect, QSize)> {};

// Screen 0,0 to W,H; window w x h.
EdgeCase LeftEdge(QRect, QSize win) {
    return {"left", {100, 80}, {-50, 80}, {0, 80}, true, 4 - win.width(), -4, {1, 80 + win.height() / 2}};
}
EdgeCase RightEdge(QRect s, QSize win) {
    const int keptX = s.width() - win.width();
    return {"right", {100, 80},     {keptX + 60, 80}, {keptX, 80},
            true,    s.width() - 4, keptX + 4,        {s.width() - 2, 80 + win.height() / 2}};
}
EdgeCase TopEdge(QRect, QSize win) {
    return {"top", {100, 80}, {100, -30}, {100, 0}, false, 4 - win.height(), -4, {100 + win.width() / 2, 1}};
}

// Dragged beyond an edge, the window is kept at it and docks there; with the
// pointer away it slides out until 4 pixels remain, and back when the
// pointer comes onto them.  Closing it then keeps the position stored when
// the option was selected.
TEST_P(DockEdgeTest, KeptAtTheEdgeThenSlidesOutAndBackIn) {
    ClickOption();
    const QSize size = w->frameGeometry().size();
    const EdgeCase c = GetParam()(screen, size);
    ASSERT_TRUE(MoveTo(c.start));
    ClickOption();

    ASSERT_TRUE(Drag(c.drop, c.kept)) << c.name;
    EXPECT_EQ(w->frameGeometry().size(), size) << c.name;
    EXPECT_TRUE(Child<QTimer>(*w, "tmrCheck")->isActive()) << c.name;
    // The pointer is on it: it settles where it shows, just over the edge.
    EXPECT_TRUE(SlideEnds(c.shown, c.horizontal)) << c.name;

    EXPECT_FALSE(w->Dock()->OutOfSight()) << c.name;

    QCursor::setPos(screen.center() + QPoint(0, screen.height() / 3));
    ASSERT_TRUE(SlideEnds(c.hidden, c.horizontal))
        << c.name << " hides at " << w->frameGeometry().x() << "," << w->frameGeometry().y();
    const QRect visible = w->frameGeometry() & screen;
    EXPECT_EQ(c.horizontal ? visible.width() : visible.height(), 4) << c.name;
    // Out of sight, nothing polls: the banner and the pointer check rest.
    EXPECT_TRUE(w->Dock()->OutOfSight()) << c.name;
    EXPECT_FALSE(Child<QTimer>(*w, "tmrCheck")->isActive()) << c.name;
    EXPECT_FALSE(w->RippleTimerActive()) << c.name;

    // The pointer coming onto the strip brings it out all the same, and
    // everything runs again.
    QCursor::setPos(c.strip);
    EXPECT_TRUE(SlideEnds(c.shown, c.horizontal)) << c.name;
    EXPECT_FALSE(w->Dock()->OutOfSight()) << c.name;
    EXPECT_TRUE(Child<QTimer>(*w, "tmrCheck")->isActive()) << c.name;
    EXPECT_TRUE(w->RippleTimerActive()) << c.name;

    w->close();
    EXPECT_EQ(Stored(keys::kLeft), Twips(c.start.x())) << c.name;
    EXPECT_EQ(Stored(keys::kTop), Twips(c.start.y())) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Edges, DockEdgeTest, ::testing::Values(&LeftEdge, &RightEdge, &TopEdge));

// Docks at the left edge and lets it slide out of sight.
class DockRestTest : public DockTest {
 protected:
    void SetUp() override {
        DockTest::SetUp();
        ASSERT_TRUE(MoveTo({100, 80}));
        ClickOption();
        ASSERT_TRUE(Drag({-50, 80}, {0, 80}));
        ASSERT_TRUE(SlideEnds(-4));
        hidden = 4 - w->frameGeometry().width();
        strip = QPoint(1, 80 + w->frameGeometry().height() / 2);
    }
    void PointerAway() { QCursor::setPos(screen.center() + QPoint(0, screen.height() / 3)); }

    int hidden = 0;
    QPoint strip;
};

// Minimized, a docked window runs neither timer, wherever it was; shown
// again, it goes on where it was.
TEST_F(DockRestTest, MinimizedNothingRuns) {
    // Shown at the edge: the pointer check runs until it is minimized.
    ASSERT_TRUE(Child<QTimer>(*w, "tmrCheck")->isActive());
    w->showMinimized();
    EXPECT_FALSE(Child<QTimer>(*w, "tmrCheck")->isActive());
    EXPECT_FALSE(Child<QTimer>(*w, "tmrMove")->isActive());
    EXPECT_FALSE(w->RippleTimerActive());
    w->showNormal();
    EXPECT_TRUE(Child<QTimer>(*w, "tmrCheck")->isActive());
    EXPECT_TRUE(w->RippleTimerActive());

    // Minimized in the middle of a slide, it stops there and finishes the
    // slide once it is back.
    bool minimized = false;
    QObject::connect(Child<QTimer>(*w, "tmrMove"), &QTimer::timeout, w.get(), [&] {
        if (!minimized && w->frameGeometry().x() < -50) {
            minimized = true;
            w->showMinimized();
        }
    });
    PointerAway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return minimized; }, 2000));
    const int stoppedAt = w->frameGeometry().x();
    EXPECT_FALSE(Child<QTimer>(*w, "tmrMove")->isActive());
    QTest::qWait(100);
    EXPECT_EQ(w->frameGeometry().x(), stoppedAt);
    w->showNormal();
    EXPECT_TRUE(SlideEnds(hidden));
    EXPECT_TRUE(w->Dock()->OutOfSight());
}

// Out of sight, then minimized and shown again (the tray icon's two clicks):
// still out of sight and resting, and the strip still brings it out.
TEST_F(DockRestTest, OutOfSightStaysRestingAcrossMinimize) {
    PointerAway();
    ASSERT_TRUE(SlideEnds(hidden));
    w->showMinimized();
    w->showNormal();
    EXPECT_TRUE(w->Dock()->OutOfSight());
    EXPECT_FALSE(Child<QTimer>(*w, "tmrCheck")->isActive());
    EXPECT_FALSE(w->RippleTimerActive());
    QCursor::setPos(strip);
    EXPECT_TRUE(SlideEnds(-4));
}

// The pointer back on the strip during the last steps of the slide out,
// before the pointer check came round: nothing reports it entering once the
// window rests (it was inside already), so the window looks when it arrives.
TEST_F(DockRestTest, PointerBackDuringTheLastStepsIsNotMissed) {
    bool back = false;
    QObject::connect(Child<QTimer>(*w, "tmrMove"), &QTimer::timeout, w.get(), [&] {
        if (!back && w->frameGeometry().x() < -300 && Child<QTimer>(*w, "tmrMove")->isActive()) {
            back = true;
            QCursor::setPos(strip);
            Child<QTimer>(*w, "tmrCheck")->stop();  // as if its next tick were far off
        }
    });
    PointerAway();
    ASSERT_TRUE(QTest::qWaitFor([&] { return back; }, 2000));
    EXPECT_TRUE(SlideEnds(-4));
}

TEST_F(DockTest, TopCornerStretchesUntilDraggedOut) {
    ASSERT_TRUE(MoveTo({100, 80}));
    ClickOption();
    const int height = w->frameGeometry().height();

    ASSERT_TRUE(Drag({-20, -20}, {0, 0}));
    EXPECT_EQ(w->frameGeometry().height(), screen.height());
    // Docked to the left (it comes before the top); a drop in the middle
    // brings the old height back and ends the auto-hide.
    EXPECT_EQ(w->Dock()->Engine().Edge(), DockEdge::Left);

    ASSERT_TRUE(Drag({200, 150}, {200, 150}));
    EXPECT_EQ(w->frameGeometry().height(), height);
    EXPECT_FALSE(Child<QTimer>(*w, "tmrCheck")->isActive());
    QCursor::setPos(screen.bottomRight() - QPoint(5, 5));
    QTest::qWait(150);
    EXPECT_EQ(w->frameGeometry().topLeft(), QPoint(200, 150));
}

}  // namespace
}  // namespace tessel::shell::testing
