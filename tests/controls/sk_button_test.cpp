// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/sk_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "controls/property_bag.h"

namespace tessel::controls {
namespace {

// Every event of one button, in order, as short words.
class Recorder {
 public:
    explicit Recorder(SkButton* b) {
        QObject::connect(b, &SkButton::Click, [this] { log << "Click"; });
        QObject::connect(b, &SkButton::DblClick, [this] { log << "DblClick"; });
        QObject::connect(b, &SkButton::MouseEnter, [this] {
            if (log.isEmpty() || log.last() != "Enter") log << "Enter";
        });
        QObject::connect(b, &SkButton::MouseLeave, [this] { log << "Leave"; });
        QObject::connect(b, &SkButton::MouseDown, [this](int button, int, float, float) {
            log << QStringLiteral("Down%1").arg(button);
        });
        QObject::connect(b, &SkButton::MouseUp, [this](int button, int, float, float) {
            log << QStringLiteral("Up%1").arg(button);
        });
        QObject::connect(b, &SkButton::KeyDown,
                         [this](int key, int) { log << QStringLiteral("KeyDown%1").arg(key); });
        QObject::connect(b, &SkButton::KeyUp,
                         [this](int key, int) { log << QStringLiteral("KeyUp%1").arg(key); });
    }
    QStringList log;
};

void Mouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton,
           Qt::MouseButtons held = Qt::NoButton) {
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) held |= button;
    QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Key(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
         const QString& text = QString(), bool repeat = false) {
    QKeyEvent e(type, key, mods, text, repeat);
    QCoreApplication::sendEvent(w, &e);
}

std::unique_ptr<SkButton> MakeButton(QWidget* parent = nullptr) {
    auto b = std::make_unique<SkButton>(parent, QStringLiteral("skbTest"));
    b->resize(75, 23);
    return b;
}

// A button in mode 1, which keeps a value that a click toggles.
std::unique_ptr<SkButton> MakeCheckButton() {
    auto b = MakeButton();
    b->setMode(1);
    return b;
}

TEST(SkButtonCreation, NewButtonTakesItsNameAsCaptionAndStyleThirteenBecomesTwo) {
    SkButton b(nullptr, QStringLiteral("skbParse"));
    EXPECT_EQ(b.Caption(), QStringLiteral("skbParse"));
    EXPECT_EQ(b.objectName(), QStringLiteral("skbParse"));
    // Without a theme engine the first drawing turns style 13 into style 2,
    // scheme 0, with that scheme's colour.
    EXPECT_EQ(b.ButtonStyle(), 2);
    EXPECT_EQ(b.ColorScheme(), 0);
    EXPECT_EQ(b.BackColor(), Rgb(236, 235, 231));
    EXPECT_FALSE(b.ShowFocusRect());
    EXPECT_TRUE(b.Enabled());
    EXPECT_EQ(b.Mode(), 0);
}

TEST(SkButtonMouse, PressMoveOffReleaseOutsideGivesNoClick) {
    auto b = MakeButton();
    Recorder r(b.get());
    Mouse(b.get(), QEvent::MouseMove, {10, 10});
    EXPECT_EQ(b->ButtonState(), SkButton::Hot);
    Mouse(b.get(), QEvent::MouseButtonPress, {10, 10});
    EXPECT_EQ(b->ButtonState(), SkButton::Down);
    EXPECT_TRUE(b->MouseHeld());
    Mouse(b.get(), QEvent::MouseMove, {120, 10}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(b->ButtonState(), SkButton::Normal);
    EXPECT_FALSE(b->MouseOver());
    Mouse(b.get(), QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(b->ButtonState(), SkButton::Down);  // back over while held
    Mouse(b.get(), QEvent::MouseMove, {-5, 10}, Qt::NoButton, Qt::LeftButton);
    Mouse(b.get(), QEvent::MouseButtonRelease, {-5, 10});
    EXPECT_EQ(r.log, (QStringList{"Enter", "Down1", "Enter", "Up1"}));
    EXPECT_FALSE(b->MouseHeld());
}

TEST(SkButtonMouse, ReleasePositionDecidesTheClick) {
    // Pixels 0 .. W-1 and 0 .. H-1 are the button; W and H are outside.
    struct Case {
        float x, y;
        bool click;
    };
    const Case cases[] = {{37, 11, true},  {74, 22, true},  {0, 0, true},     {75, 11, false},
                          {37, 23, false}, {-1, 11, false}, {74.5f, 11, true}};
    for (const Case& c : cases) {
        auto b = MakeButton();
        QSignalSpy clicks(b.get(), &SkButton::Click);
        QSignalSpy ups(b.get(), &SkButton::MouseUp);
        Mouse(b.get(), QEvent::MouseButtonPress, {10, 10});
        Mouse(b.get(), QEvent::MouseButtonRelease, {c.x, c.y});
        EXPECT_EQ(clicks.count(), c.click ? 1 : 0) << c.x << "," << c.y;
        EXPECT_EQ(ups.count(), 1);
    }
}

TEST(SkButtonMouse, RightButtonGivesOnlyMouseUp) {
    auto b = MakeButton();
    Recorder r(b.get());
    Mouse(b.get(), QEvent::MouseButtonPress, {10, 10}, Qt::RightButton);
    EXPECT_EQ(b->ButtonState(), SkButton::Normal);
    EXPECT_FALSE(b->MouseHeld());
    Mouse(b.get(), QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton);
    EXPECT_EQ(r.log, (QStringList{"Up2"}));
}

TEST(SkButtonMouse, DoubleClickRunsThePressAgainThenDblClick) {
    auto b = MakeButton();
    Recorder r(b.get());
    Mouse(b.get(), QEvent::MouseButtonPress, {10, 10});
    Mouse(b.get(), QEvent::MouseButtonRelease, {10, 10});
    Mouse(b.get(), QEvent::MouseButtonDblClick, {10, 10});
    EXPECT_EQ(b->ButtonState(), SkButton::Down);
    Mouse(b.get(), QEvent::MouseButtonRelease, {10, 10});
    EXPECT_EQ(r.log, (QStringList{"Down1", "Click", "Up1", "Down1", "DblClick", "Click", "Up1"}));
}

TEST(SkButtonMouse, LeavingReturnsToNormalUnlessSpaceIsHeld) {
    auto b = MakeButton();
    Recorder r(b.get());
    Mouse(b.get(), QEvent::MouseMove, {10, 10});
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(b.get(), &leave);
    EXPECT_EQ(b->ButtonState(), SkButton::Normal);
    EXPECT_EQ(r.log, (QStringList{"Enter", "Leave"}));

    Mouse(b.get(), QEvent::MouseMove, {10, 10});
    Key(b.get(), QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QCoreApplication::sendEvent(b.get(), &leave);
    EXPECT_EQ(b->ButtonState(), SkButton::Down);
    EXPECT_EQ(r.log.count("Leave"), 1);
    Key(b.get(), QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
}

TEST(SkButtonKeys, EnterClicksWithoutTogglingEvenAsCheckButton) {
    auto b = MakeCheckButton();
    Recorder r(b.get());
    Key(b.get(), QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_FALSE(b->Value());
    EXPECT_EQ(r.log, (QStringList{"Click", "KeyDown13"}));
}

TEST(SkButtonKeys, SpaceTogglesAtKeyDownAndClicksAtKeyUp) {
    auto b = MakeCheckButton();
    Recorder r(b.get());
    Key(b.get(), QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_TRUE(b->Value());
    EXPECT_TRUE(b->SpaceHeld());
    EXPECT_EQ(b->ButtonState(), SkButton::Down);
    // Holding the bar repeats the key-down; the value must not flicker.
    Key(b.get(), QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
    Key(b.get(), QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ", true);
    EXPECT_TRUE(b->Value());
    EXPECT_EQ(r.log, (QStringList{"KeyDown32", "KeyDown32"}));
    Key(b.get(), QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_TRUE(b->Value());
    EXPECT_FALSE(b->SpaceHeld());
    EXPECT_EQ(r.log, (QStringList{"KeyDown32", "KeyDown32", "Click", "KeyUp32"}));
}

TEST(SkButtonKeys, AltSpaceDoesNothingAtAll) {
    auto b = MakeCheckButton();
    Recorder r(b.get());
    QSignalSpy presses(b.get(), &SkButton::KeyPress);
    Key(b.get(), QEvent::KeyPress, Qt::Key_Space, Qt::AltModifier, " ");
    EXPECT_FALSE(b->Value());
    EXPECT_FALSE(b->SpaceHeld());
    EXPECT_TRUE(r.log.isEmpty());
    EXPECT_EQ(presses.count(), 0);
}

TEST(SkButtonKeys, AnotherKeyCancelsAPendingSpace) {
    auto b = MakeButton();
    Recorder r(b.get());
    Key(b.get(), QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    Key(b.get(), QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_FALSE(b->SpaceHeld());
    EXPECT_EQ(b->ButtonState(), SkButton::Normal);
    Key(b.get(), QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_EQ(r.log, (QStringList{"KeyDown32", "KeyDown65", "KeyUp32"}));
}

TEST(SkButtonKeys, SpaceWhileTheMouseIsHeldNeverClicks) {
    auto b = MakeButton();
    Recorder r(b.get());
    Mouse(b.get(), QEvent::MouseMove, {10, 10});
    Mouse(b.get(), QEvent::MouseButtonPress, {10, 10});
    Key(b.get(), QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    Key(b.get(), QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_EQ(b->ButtonState(), SkButton::Down);
    EXPECT_EQ(r.log, (QStringList{"Enter", "Down1", "KeyDown32", "KeyUp32"}));
}

TEST(SkButtonKeys, ArrowsMoveTheFocusLikeTab) {
    QWidget window;
    SkButton a(&window, "a"), b(&window, "b"), c(&window, "c");
    window.show();
    QApplication::setActiveWindow(&window);
    b.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.hasFocus(); }));
    QTest::keyClick(&b, Qt::Key_Right);
    EXPECT_TRUE(c.hasFocus());
    QTest::keyClick(&c, Qt::Key_Up);
    QTest::keyClick(&b, Qt::Key_Left);
    EXPECT_TRUE(a.hasFocus());
    QTest::keyClick(&a, Qt::Key_Down);
    EXPECT_TRUE(b.hasFocus());
}

struct AccessCase {
    const char* caption;
    QChar key;
};

class AccessKeyFromCaption : public ::testing::TestWithParam<AccessCase> {};

TEST_P(AccessKeyFromCaption, FollowsTheAmpersandRules) {
    SkButton b;
    b.setCaption(QString::fromUtf8(GetParam().caption));
    EXPECT_EQ(b.AccessKey(), GetParam().key) << GetParam().caption;
}

INSTANTIATE_TEST_SUITE_P(Captions, AccessKeyFromCaption,
                         ::testing::Values(AccessCase{"&Save", QChar('s')}, AccessCase{"A&&B", QChar()},
                                           AccessCase{"A&&B&c", QChar('c')}, AccessCase{"&", QChar()},
                                           AccessCase{"Save&", QChar()}, AccessCase{"A&&B&&c", QChar()},
                                           AccessCase{"x&Y", QChar('y')}, AccessCase{"plain", QChar()},
                                           AccessCase{"解析(&P)", QChar('p')}));

TEST(SkButtonKeys, AltAccessKeyClicksAndTogglesACheckButton) {
    QWidget window;
    SkButton other(&window, "other");
    SkButton b(&window, "b");
    b.setCaption(QStringLiteral("&Save"));
    b.setMode(1);
    window.show();
    QApplication::setActiveWindow(&window);
    other.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.hasFocus(); }));
    QSignalSpy clicks(&b, &SkButton::Click);
    QTest::keyClick(&other, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(b.Value());
    // Disabled buttons ignore their key.
    b.setEnabled(false);
    QTest::keyClick(&other, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SkButtonModes, OptionButtonsClearOnlyTheirOwnFrame) {
    QWidget frameA, frameB;
    SkButton a1(&frameA, "a1"), a2(&frameA, "a2"), a3(&frameA, "a3"), b1(&frameB, "b1");
    SkButton push(&frameA, "push");
    for (SkButton* b : {&a1, &a2, &a3, &b1}) {
        b->setMode(2);
        b->resize(60, 20);
    }
    push.setMode(1);
    push.setValue(true);
    a1.setValue(true);
    b1.setValue(true);
    Mouse(&a3, QEvent::MouseButtonPress, {5, 5});
    Mouse(&a3, QEvent::MouseButtonRelease, {5, 5});
    EXPECT_FALSE(a1.Value());
    EXPECT_FALSE(a2.Value());
    EXPECT_TRUE(a3.Value());
    EXPECT_TRUE(b1.Value());    // another frame
    EXPECT_TRUE(push.Value());  // not an option button
    // Space on an option button selects it too.
    Key(&a2, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    Key(&a2, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_TRUE(a2.Value());
    EXPECT_FALSE(a3.Value());
}

TEST(SkButtonModes, CheckButtonTogglesOncePerClickAndValueNeedsAMode) {
    auto b = MakeButton();
    b->setValue(true);  // push button: ignored
    EXPECT_FALSE(b->Value());
    b->setMode(1);
    Mouse(b.get(), QEvent::MouseButtonPress, {5, 5});
    Mouse(b.get(), QEvent::MouseButtonRelease, {5, 5});
    EXPECT_TRUE(b->Value());
    Mouse(b.get(), QEvent::MouseButtonPress, {5, 5});
    Mouse(b.get(), QEvent::MouseButtonRelease, {5, 5});
    EXPECT_FALSE(b->Value());
}

TEST(SkButtonProperties, SetterSideEffects) {
    SkButton b;
    b.setButtonStyle(2);
    b.setBackColor(Rgb(1, 2, 3));
    EXPECT_EQ(b.ColorScheme(), 3);  // the user's own colour
    b.setButtonStyle(4);
    EXPECT_TRUE(b.PicturePushOnHover());
    b.setColorScheme(1);
    b.setBackColor(Rgb(1, 2, 3));
    EXPECT_EQ(b.ColorScheme(), 1);  // style 4 keeps its scheme
    b.setButtonStyle(9);
    EXPECT_EQ(b.ColorScheme(), 2);
    EXPECT_EQ(b.BackColor(), Rgb(213, 214, 225));
    EXPECT_TRUE(b.ShowFocusRect());
    b.setButtonStyle(5);
    EXPECT_EQ(b.ColorScheme(), 2);  // style 5 keeps the scheme it had
    b.setButtonStyle(3);
    b.setColorScheme(0);
    EXPECT_EQ(b.BackColor(), Rgb(224, 236, 253));

    // PictureHot without PictureNormal becomes PictureNormal; clearing
    // PictureNormal clears the others.
    QPixmap p(8, 8);
    p.fill(Qt::red);
    b.setPictureHot(p);
    EXPECT_FALSE(b.PictureNormal().isNull());
    EXPECT_TRUE(b.PictureHot().isNull());
    b.setPictureDown(p);
    EXPECT_FALSE(b.PictureDown().isNull());
    b.setPictureNormal(QPixmap());
    EXPECT_TRUE(b.PictureDown().isNull());

    // A mouse icon turns the hand pointer off.
    b.setHandPointer(true);
    QSignalSpy changed(&b, &SkButton::PropertyChanged);
    b.setMouseIcon(p);
    EXPECT_FALSE(b.HandPointer());
    EXPECT_EQ(b.MousePointer(), 99);
    EXPECT_TRUE(changed.contains(QVariantList{QStringLiteral("HandPointer")}));
    b.setMouseIcon(QPixmap());
    EXPECT_EQ(b.MousePointer(), 0);
}

TEST(SkButtonProperties, NeverSmallerThan220Twips) {
    SkButton b;
    b.setGeometryTwips(QRectF(150, 300, 100, 60));
    EXPECT_EQ(b.geometry(), QRect(10, 20, 15, 15));
    b.resize(3, 40);
    EXPECT_EQ(b.size(), QSize(15, 40));
    b.setGeometryTwips(QRectF(0, 0, 1095, 375));
    EXPECT_EQ(b.size(), QSize(73, 25));
}

TEST(SkButtonPopup, EightAlignmentsPlaceTheMenuAroundTheButton) {
    const QSize menu(100, 60);
    struct Case {
        int align, flags;
        QPoint topLeft;
        int effective;
    };
    const int W = 75, H = 23;
    const Case cases[] = {
        {0, 0, {0, H}, 0},       {1, 0, {0, -60}, 32},     {2, 0, {-100, 0}, 8}, {3, 0, {W, 0}, 0},
        {4, 0, {-100, -60}, 40}, {5, 0, {-100, H}, 8},     {6, 0, {W, -60}, 32}, {7, 0, {W, H}, 0},
        {1, 8, {0, -60}, 32},    {2, 32, {-100, -60}, 40}, {0, 4, {-50, H}, 4},  {7, 16, {W, H - 30}, 16},
    };
    for (const Case& c : cases) {
        QPoint at;
        int flags = -1;
        ASSERT_TRUE(SkButton::PopupPlacement(c.align, c.flags, W, H, menu, &at, &flags)) << c.align;
        EXPECT_EQ(at, c.topLeft) << "align " << c.align << " flags " << c.flags;
        EXPECT_EQ(flags, c.effective) << "align " << c.align << " flags " << c.flags;
    }
    QPoint at;
    EXPECT_FALSE(SkButton::PopupPlacement(8, 0, W, H, menu, &at, nullptr));
}

TEST(SkButtonPopup, AMenuReplacesMouseDownAndOtherObjectsAreIgnored) {
    auto b = MakeButton();
    QObject notAMenu;
    b->SetPopupMenu(&notAMenu, 0);
    Recorder r(b.get());
    Mouse(b.get(), QEvent::MouseButtonPress, {5, 5});
    Mouse(b.get(), QEvent::MouseButtonRelease, {5, 5});
    EXPECT_EQ(r.log, (QStringList{"Down1", "Click", "Up1"}));

    QMenu menu;
    QAction* item = menu.addAction(QStringLiteral("item"));
    b->SetPopupMenu(&menu, 0, 0, item);
    r.log.clear();
    bool shown = false;
    QTimer::singleShot(0, &menu, [&] {
        shown = menu.isVisible();
        menu.close();
    });
    Mouse(b.get(), QEvent::MouseButtonPress, {5, 5});
    Mouse(b.get(), QEvent::MouseButtonRelease, {5, 5});
    EXPECT_TRUE(shown);
    EXPECT_EQ(menu.defaultAction(), item);
    EXPECT_TRUE(r.log.isEmpty());  // no MouseDown, Click or MouseUp with a menu
    EXPECT_EQ(b->ButtonState(), SkButton::Normal);
    b->UnsetPopupMenu();
    Mouse(b.get(), QEvent::MouseButtonPress, {5, 5});
    EXPECT_EQ(r.log, (QStringList{"Down1"}));
}

TEST(SkButtonPopup, DoubleClickShowsTheMenuOnceAndRaisesNoDblClick) {
    auto b = MakeButton();
    QMenu menu;
    menu.addAction(QStringLiteral("item"));
    int shown = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] {
        ++shown;
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    b->SetPopupMenu(&menu, 7);
    QSignalSpy dbl(b.get(), &SkButton::DblClick);
    Mouse(b.get(), QEvent::MouseButtonDblClick, {5, 5});
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dbl.count(), 0);
}

TEST(SkButtonTooltip, TurningHotBuildsTheTipWithTitleIconAndBalloon) {
    auto b = MakeButton();
    b->setToolTipText(QStringLiteral("解析视频地址"));
    b->setTooltipTitle(QStringLiteral("Parse"));
    b->setToolTipIcon(1);
    b->setToolTipType(1);
    EXPECT_EQ(b->TooltipWindow(), nullptr);
    Mouse(b.get(), QEvent::MouseMove, {5, 5});
    ASSERT_NE(b->TooltipWindow(), nullptr);
    EXPECT_FALSE(b->TooltipWindow()->isVisible());  // waits for the hover delay
    b->setEnabled(false);
    b->setEnabled(true);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(b.get(), &leave);
    EXPECT_FALSE(b->TooltipWindow()->isVisible());
}

TEST(SkButtonStore, MissingCaptionLoadsAsSkbutton1AndRoundTripKeepsValues) {
    SkButton fresh(nullptr, QStringLiteral("skbOption"));
    fresh.ReadProperties(PropertyBag());
    EXPECT_EQ(fresh.Caption(), QStringLiteral("skbutton1"));
    EXPECT_EQ(fresh.ButtonStyle(), 1);  // read default

    SkButton b;
    b.setButtonStyle(6);
    b.setColorScheme(3);
    b.setBackColor(Rgb(10, 20, 30));
    b.setCaption(QStringLiteral("转换(&T)"));
    b.setMode(2);
    b.setValue(true);
    b.setCaptionAlign(0);
    b.setToolTipText(QStringLiteral("tip"));
    b.setDropDownSymbol(6);
    b.setEnabled(false);
    QPixmap pic(4, 4);
    pic.fill(Qt::green);
    b.setPictureNormal(pic);
    PropertyBag bag;
    b.WriteProperties(bag);

    SkButton loaded;
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.ButtonStyle(), 6);
    EXPECT_EQ(loaded.BackColor(), Rgb(10, 20, 30));  // stored colours win over the style rules
    EXPECT_EQ(loaded.Caption(), QStringLiteral("转换(&T)"));
    EXPECT_EQ(loaded.AccessKey(), QChar('t'));
    EXPECT_EQ(loaded.Mode(), 2);
    EXPECT_TRUE(loaded.Value());
    EXPECT_EQ(loaded.CaptionAlign(), 0);
    EXPECT_EQ(loaded.ToolTip(), QStringLiteral("tip"));
    EXPECT_EQ(loaded.DropDownSymbol(), 6);
    EXPECT_FALSE(loaded.Enabled());
    EXPECT_EQ(loaded.PictureNormal().size(), QSize(4, 4));
    EXPECT_EQ(loaded.ColorScheme(), 3);
}

TEST(SkButtonStore, WritesInTheFixedOrderOmittingDefaultsButNotCaptionEffects) {
    SkButton b;
    b.ReadProperties(PropertyBag());  // all read defaults
    PropertyBag bag;
    b.WriteProperties(bag);
    EXPECT_EQ(bag.Keys(), (QStringList{"CaptionEffects"}));

    b.setShowFocusRect(true);
    b.setCaption(QStringLiteral("x"));
    b.setMode(1);
    b.setDropDownSeparator(true);
    b.setCaptionAlign(2);
    b.setPictureOpacity(9);
    PropertyBag bag2;
    // Keys are matched without regard to case: an old record is replaced.
    bag2.WriteProperty(QStringLiteral("caption"), QStringLiteral("old"));
    b.WriteProperties(bag2);
    EXPECT_EQ(bag2.Keys(), (QStringList{"caption", "ShowFocusRect", "Mode", "PictureOpacity",
                                        "CaptionEffects", "CaptionAlign", "DropDownSeparator"}));
    EXPECT_EQ(bag2.ReadProperty(QStringLiteral("CAPTION")).toString(), QStringLiteral("x"));
}

}  // namespace
}  // namespace tessel::controls
