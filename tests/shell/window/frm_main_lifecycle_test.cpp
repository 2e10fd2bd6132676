// SPDX-License-Identifier: GPL-3.0-or-later
// Load and unload against the settings file: position, options, per-run
// flags, the fold-out, always on top and Esc.
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

QPoint CentredOnScreen(const QSize& window) {
    const QRect s = QGuiApplication::primaryScreen()->geometry();
    // Twips halfway positions round to even pixels, as the move does.
    auto half = [](int screen, int win) { return static_cast<int>(std::nearbyint((screen - win) / 2.0)); };
    return {half(s.width(), window.width()), half(s.height(), window.height())};
}

TEST_F(FrmMainTest, FirstStartCentresAndStoresPosition) {
    Start();
    EXPECT_EQ(w->pos(), CentredOnScreen(w->size()));
    EXPECT_EQ(Stored(keys::kFirstRun), "1");
    const QRect s = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(Stored(keys::kLeft), SingleToText((s.width() - w->width()) * 15 / 2.0));
    EXPECT_EQ(Stored(keys::kTop), SingleToText((s.height() - w->height()) * 15 / 2.0));
}

struct BadPosition {
    const char* top;
    const char* left;
    QPoint expected;  // -1: the centred coordinate
};

// Later starts restore the stored position; text that is no number reads as
// the centred default; a position that puts the whole window off every
// screen is centred altogether.
TEST_F(FrmMainTest, LaterStartsRestoreUsablePositions) {
    const BadPosition cases[] = {{"1500", "3000", {200, 100}},
                                 {"abc", "3000", {200, -1}},
                                 {"1500", "", {-1, 100}},
                                 {"-99999", "3000", {-1, -1}},
                                 {"1500", "999999", {-1, -1}}};
    for (const auto& c : cases) {
        Put(keys::kFirstRun, "1");
        Put(keys::kTop, c.top);
        Put(keys::kLeft, c.left);
        Start();
        const QPoint centre = CentredOnScreen(w->size());
        const QPoint want(c.expected.x() < 0 ? centre.x() : c.expected.x(),
                          c.expected.y() < 0 ? centre.y() : c.expected.y());
        EXPECT_EQ(w->pos(), want) << c.top << "," << c.left;
        Restart();
    }
}

// Positions beyond any whole number of pixels centre the window instead of
// going through an undefined conversion.
TEST_F(FrmMainTest, ExtremeStoredPositionsCentreTheWindow) {
    const char* extremes[][2] = {{"1000000000000000000000000000000", "-1000000000000000000000000000000"},
                                 {"NaN", "1e30"}};
    for (const auto& e : extremes) {
        Put(keys::kFirstRun, "1");
        Put(keys::kTop, e[0]);
        Put(keys::kLeft, e[1]);
        Start();
        EXPECT_EQ(w->pos(), CentredOnScreen(w->size())) << e[0] << "," << e[1];
        Restart();
    }
}

TEST_F(FrmMainTest, StoredOptionsRunTheirClickHandlers) {
    Put(keys::kSetTop, "1");
    Put(keys::kClipboard, "1");
    Put(keys::kShowIP, "1");
    Make();
    w->Load();
    EXPECT_TRUE(Child<QCheckBox>(*w, "chkOntop")->isChecked());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(Child<QCheckBox>(*w, "chkClipboard")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(*w, "chkShowIP")->isChecked());
    // The public IP asks beside the window, which shows at once.
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->Options().PublicIpQueries(), 2);  // the restored box, then the load itself
    w->Activate();                                 // activations do not ask again
    EXPECT_EQ(w->Options().PublicIpQueries(), 2);
    WaitForRequests();
}

TEST_F(FrmMainTest, OntopClicksToggleTheBandAndTheSetting) {
    Start();
    Child<QCheckBox>(*w, "chkOntop")->click();
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Stored(keys::kSetTop), "1");
    EXPECT_TRUE(w->isVisible());
    Child<QCheckBox>(*w, "chkOntop")->click();
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Stored(keys::kSetTop), "0");
}

TEST_F(FrmMainTest, UnloadResetsFlagsAndSavesPosition) {
    Start();
    Put(keys::kLinkActiveTab, "1");
    Put(keys::kUDownActiveTab, "1");
    w->move(120, 80);
    w->close();
    EXPECT_TRUE(w->IsUnloaded());
    EXPECT_EQ(Stored(keys::kLinkActiveTab), "0");
    EXPECT_EQ(Stored(keys::kUDownActiveTab), "0");
    EXPECT_EQ(Stored(keys::kLeft), "1800");
    EXPECT_EQ(Stored(keys::kTop), "1200");
}

// Minimized or docked, the window is not where the user left it.
TEST_F(FrmMainTest, UnloadKeepsOldPositionWhenMinimizedOrDocked) {
    for (const bool docked : {false, true}) {
        Put(keys::kFirstRun, "1");
        Put(keys::kTop, "1500");
        Put(keys::kLeft, "3000");
        Start();
        w->move(120, 80);
        if (docked)
            Child<QRadioButton>(*w, "optQQ")->setChecked(true);
        else
            w->showMinimized();
        w->close();
        EXPECT_EQ(Stored(keys::kLeft), "3000") << docked;
        EXPECT_EQ(Stored(keys::kTop), "1500") << docked;
        EXPECT_EQ(Stored(keys::kLinkActiveTab), "0") << docked;
        Restart();
    }
}

TEST_F(FrmMainTest, EscClosesFromAnyControl) {
    for (const char* focus : {"txtInput", "skbTogeneral"}) {
        Start();
        Put(keys::kLinkActiveTab, "1");
        auto* target = w->findChild<QWidget*>(focus);
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, Qt::Key_A);
        EXPECT_FALSE(w->IsUnloaded()) << focus;
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_TRUE(w->IsUnloaded()) << focus;
        EXPECT_EQ(Stored(keys::kLinkActiveTab), "0");
        Restart();
    }
}

TEST_F(FrmMainTest, OtherKeysReachTheFocusedBox) {
    Start();
    Child<QPlainTextEdit>(*w, "txtInput")->setFocus();
    QTest::keyClicks(Child<QPlainTextEdit>(*w, "txtInput"), "ab");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "ab");
}

TEST_F(FrmMainTest, FoldOutAndBackRestoresTheLayout) {
    Start();
    const QSize in = w->size();
    const QRect strip = (&w->Options())->geometry();
    emit Child<controls::SkButton>(*w, "skbOption")->Click();
    EXPECT_EQ(Child<controls::SkButton>(*w, "skbOption")->Caption(), "收起设置<<");
    EXPECT_EQ(w->height(), (5445 - 480) / 15);
    EXPECT_EQ((&w->Options())->height(), 57);
    EXPECT_FALSE(Child<QCheckBox>(*w, "chkOntop")->isHidden() ||
                 Child<QRadioButton>(*w, "optQQ")->isHidden());
    EXPECT_TRUE(Child<QLabel>(*w, "lblIP")->isHidden());
    emit Child<controls::SkButton>(*w, "skbOption")->Click();
    EXPECT_EQ(Child<controls::SkButton>(*w, "skbOption")->Caption(), "展开设置>>");
    EXPECT_EQ(w->size(), in);
    EXPECT_EQ((&w->Options())->geometry(), strip);
    for (QWidget* c : std::initializer_list<QWidget*>{
             Child<QCheckBox>(*w, "chkOntop"), Child<QCheckBox>(*w, "chkClipboard"),
             Child<QCheckBox>(*w, "chkShowIP"), Child<QRadioButton>(*w, "optQQ")})
        EXPECT_TRUE(c->isHidden());
}

}  // namespace
}  // namespace tessel::shell::testing
