// SPDX-License-Identifier: GPL-3.0-or-later
// The banner at rest: its timer stops while the window cannot be seen and the
// wave waits exactly where it was, so it goes on without a jump.
#include <QElapsedTimer>
#include <QMouseEvent>

#include "shell/window/frm_tray.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

bool SameWave(const WaveObject& a, const WaveObject& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    if (!std::equal(a.Pixels().begin(), a.Pixels().end(), b.Pixels().begin(), b.Pixels().end())) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.HeightAt(x, y) != b.HeightAt(x, y)) return false;
    return a.Flags() == b.Flags() && a.Seed() == b.Seed();
}

struct Away {
    const char* name;
    void (*leave)(FrmMain&);
    void (*back)(FrmMain&);
};

void PrintTo(const Away& a, std::ostream* os) { *os << a.name; }

class RippleRestTest : public FrmMainTest, public ::testing::WithParamInterface<Away> {};

// Away (minimized, or hidden to the tray), the ripple's timer is off and the
// wave does not move however long it waits; back, the timer runs again and
// the wave goes on from the very state it was left in: a few ticks on from
// it, never re-started and never advanced by the time it was away.
TEST_P(RippleRestTest, WaveWaitsWhileAwayAndGoesOnWhenBack) {
    const Away& away = GetParam();
    Start();
    // A drop and an automatic rain keep the surface moving all the time.
    w->RippleDrop(250, 30, 5, 1000);
    w->RippleSetAuto(3, 250, 4, 8);
    ASSERT_TRUE(w->RippleTimerActive());
    QTest::qWait(100);

    away.leave(*w);
    EXPECT_FALSE(w->RippleTimerActive()) << away.name;
    const WaveObject left = w->Wave();
    const QImage frame = w->BannerFrame();
    QTest::qWait(10 * FrmMain::kRipplePeriodMs);
    EXPECT_TRUE(SameWave(w->Wave(), left)) << away.name << ": the wave moved while away";
    EXPECT_EQ(w->BannerFrame(), frame) << away.name;

    QElapsedTimer since;
    since.start();
    away.back(*w);
    EXPECT_TRUE(w->RippleTimerActive()) << away.name;
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->BannerFrame() != frame; }, 2000)) << away.name;
    away.leave(*w);  // holds the wave still while it is compared
    const qint64 elapsed = since.elapsed();

    // However many ticks ran since it came back (no more than the time
    // allows), the wave is the one it left with, ticked on that often.
    WaveObject expected = left;
    const qint64 most = elapsed / FrmMain::kRipplePeriodMs + 2;
    int ticks = 0;
    while (ticks < most && !SameWave(expected, w->Wave())) {
        expected.WaveTick();
        ++ticks;
    }
    EXPECT_TRUE(SameWave(expected, w->Wave()))
        << away.name << ": not the wave it left with, ticked on up to " << most << " times";
    EXPECT_GE(ticks, 1) << away.name;
}

INSTANTIATE_TEST_SUITE_P(Away, RippleRestTest,
                         ::testing::Values(Away{"minimized", [](FrmMain& m) { m.showMinimized(); },
                                                [](FrmMain& m) { m.showNormal(); }},
                                           Away{"hidden", [](FrmMain& m) { m.hide(); },
                                                [](FrmMain& m) { m.show(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

// Over a calm surface the timer rests and a drop wakes it.  The ticks it
// skipped would have changed nothing, so from the drop on the frames are the
// ones a timer that never stopped would have drawn.
TEST_F(FrmMainTest, CalmBannerRestsAndADropWakesItWithTheSameFrames) {
    Start();
    EXPECT_FALSE(w->RippleTimerActive()) << "a still picture needs no ticks";
    QMouseEvent move(QEvent::MouseMove, QPointF(100, 30), w->mapToGlobal(QPointF(100, 30)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &move);
    ASSERT_TRUE(w->RippleTimerActive()) << "the pointer's drop wakes the timer";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->RippleTimerActive(); }, 10000)) << "the wave never calmed";
    ASSERT_TRUE(w->Wave().Calm());

    // What the old timer did meanwhile: tick on over the calm surface.
    WaveObject always = w->Wave();
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(always.WaveTick());
    ASSERT_TRUE(SameWave(always, w->Wave()));

    const QImage calm = w->BannerFrame();
    w->RippleDrop(300, 30, 2, 256);
    always.WaveDrop(300, 30, 2, 256);
    ASSERT_TRUE(w->RippleTimerActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->BannerFrame() != calm; }, 2000));
    w->hide();  // holds the wave still while it is compared
    int ticks = 0;
    while (ticks < 200 && !SameWave(always, w->Wave())) {
        always.WaveTick();
        ++ticks;
    }
    ASSERT_TRUE(SameWave(always, w->Wave())) << "not the wave the ever-running timer makes";
    const QImage expected(reinterpret_cast<const uchar*>(always.Pixels().data()), always.Width(),
                          always.Height(), QImage::Format_RGB32);
    EXPECT_EQ(w->BannerFrame(), expected);
}

// Shown and untouched, the banner is one picture: the level surface has let
// its buffers go and the frame shown shares the picture's pixels.  The first
// drop brings the ripple back.
TEST_F(FrmMainTest, UntouchedBannerKeepsOneCopyOfThePicture) {
    Start();
    ASSERT_FALSE(w->RippleTimerActive());
    EXPECT_TRUE(w->Wave().Resting());
    EXPECT_FALSE(w->BannerFrame().isDetached()) << "the frame shown is a second copy of the picture";
    const QImage still = w->BannerFrame().copy();
    w->RippleDrop(100, 30, 2, 256);  // the pointer's drop
    EXPECT_FALSE(w->Wave().Resting());
    ASSERT_TRUE(w->RippleTimerActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->BannerFrame() != still; }, 2000)) << "the drop never showed";
}

// The tray icon's click minimizes and restores: the banner follows.
TEST_F(FrmMainTest, TrayClicksPauseAndResumeTheBanner) {
    Make();
    FrmTray tray(*w);
    tray.Load();
    w->RippleSetAuto(3, 250, 4, 8);
    ASSERT_TRUE(w->RippleTimerActive());
    tray.OnIconNotification(FrmTray::kLeftButtonUp);
    ASSERT_TRUE(w->isMinimized());
    EXPECT_FALSE(w->RippleTimerActive());
    tray.OnIconNotification(FrmTray::kLeftButtonUp);
    ASSERT_FALSE(w->isMinimized());
    EXPECT_TRUE(w->RippleTimerActive());
}

// A ripple started while the window cannot be seen waits for it to show;
// a banner that cannot ripple never starts a timer.
TEST_F(FrmMainTest, RippleStartedWhileAwayWaitsForTheWindow) {
    Make();
    w->Load();
    w->hide();
    w->Activate();
    EXPECT_TRUE(w->RippleRunning());
    w->RippleSetAuto(3, 250, 4, 8);
    EXPECT_FALSE(w->RippleTimerActive());
    w->show();
    EXPECT_TRUE(w->RippleTimerActive());

    w->SetBannerPicture(QImage());
    w->hide();
    w->show();
    EXPECT_FALSE(w->RippleTimerActive());
}

}  // namespace
}  // namespace tessel::shell::testing
