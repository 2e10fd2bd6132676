// SPDX-License-Identifier: GPL-3.0-or-later
// The ripple banner under the mouse: drops where it is pressed, the
// automatic modes other buttons pick, and a banner that cannot ripple.
#include <QMouseEvent>
#include <QTest>

#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

void MouseAt(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPointF at) {
    QMouseEvent e(type, at, w->mapToGlobal(at), button, type == QEvent::MouseMove ? Qt::NoButton : button,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

TEST_F(FrmMainTest, MouseMakesDropsOnTheBanner) {
    Start();
    ASSERT_TRUE(w->RippleRunning());
    MouseAt(w.get(), QEvent::MouseMove, Qt::NoButton, {100.4, 29.6});  // rounds to (100, 30)
    for (int y = 29; y <= 31; ++y)
        for (int x = 99; x <= 101; ++x) EXPECT_EQ(w->Wave().HeightAt(x, y), 256) << x << "," << y;
    EXPECT_EQ(w->Wave().HeightAt(98, 30), 0);

    MouseAt(w.get(), QEvent::MouseButtonPress, Qt::LeftButton, {200, 30});
    EXPECT_EQ(w->Wave().HeightAt(202, 32), 1000);
    EXPECT_EQ(w->Wave().HeightAt(203, 30), 0);

    // The timer renders the disturbance into the banner.
    const QImage before = w->BannerFrame();
    QTest::qWait(100);
    EXPECT_NE(w->BannerFrame(), before);
}

TEST_F(FrmMainTest, OtherButtonsPickTheAutomaticMode) {
    struct Pick {
        double r;
        int mode, count, radius, depth;
    };
    const Pick picks[] = {{0.0, 2, 5, 4, 250}, {1.0 / 6, 2, 5, 4, 250},  // 0.5 rounds to 0
                          {0.2, 3, 250, 4, 8}, {0.5, 1, 5, 4, 150},      // 1.5 rounds to 2
                          {0.8, 1, 5, 4, 150}, {0.84, 0, 0, 0, 0},      {0.999, 0, 0, 0, 0}};
    for (const auto& p : picks) {
        const auto a = FrmMain::AutoDropsForPick(p.r);
        EXPECT_EQ(a.mode, p.mode) << p.r;
        EXPECT_EQ(a.count, p.count) << p.r;
        EXPECT_EQ(a.radius, p.radius) << p.r;
        EXPECT_EQ(a.depth, p.depth) << p.r;
    }
    Start();
    MouseAt(w.get(), QEvent::MouseButtonPress, Qt::RightButton, {50, 30});
    EXPECT_GE(w->Wave().AutoMode(), 0);
    EXPECT_LE(w->Wave().AutoMode(), 3);
}

// A banner that cannot ripple stays still, and the window stays open.
TEST_F(FrmMainTest, FailedRippleLeavesTheWindowOpen) {
    Make();
    w->SetBannerPicture(QImage());
    w->Load();
    w->Activate();
    EXPECT_FALSE(w->IsUnloaded());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->RippleRunning());
    MouseAt(w.get(), QEvent::MouseButtonPress, Qt::LeftButton, {100, 30});  // harmless
}

}  // namespace
}  // namespace tessel::shell::testing
