// SPDX-License-Identifier: GPL-3.0-or-later
// The banner at rest: its timer stops while the window cannot be seen and the
// wave waits exactly where it was, so it goes on without a jump.
#include <QElapsedTimer>

#include "frm_main_fixture.h"
#include "shell/frm_tray.h"

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
    ASSERT_TRUE(w->RippleTimerActive());
    // A drop and an automatic rain keep the surface moving all the time.
    w->Wave().WaveDrop(250, 30, 5, 1000);
    w->Wave().WaveSetAuto(3, 250, 4, 8);
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

// The tray icon's click minimizes and restores: the banner follows.
TEST_F(FrmMainTest, TrayClicksPauseAndResumeTheBanner) {
    Make();
    FrmTray tray(*w);
    tray.Load();
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
