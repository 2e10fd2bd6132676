// SPDX-License-Identifier: GPL-3.0-or-later
// The skinned button as a Qt button: what it takes from Qt (clicks through
// click(), the focus chain, the accessible role, option groups per
// container) and where it keeps its own rules against Qt's.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "controls/sk_button.h"

namespace tessel::controls {
namespace {

void Key(QWidget* w, QEvent::Type type, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
         const QString& text = QString()) {
    QKeyEvent e(type, key, mods, text);
    QCoreApplication::sendEvent(w, &e);
}

void ShowActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

TEST(SkButtonOnQt, ClickIsQtsClickedAndClickTogglesLikeAMouseClick) {
    SkButton b;
    b.setMode(1);
    QSignalSpy clicks(&b, &SkButton::Click);
    QSignalSpy clicked(&b, &QAbstractButton::clicked);
    b.click();  // what an accessibility tool's press action does
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(b.Value());
    b.setEnabled(false);
    b.click();
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SkButtonOnQt, AccessibleRoleFollowsTheMode) {
    QWidget frame;
    SkButton b(&frame, QStringLiteral("skbSave"));
    b.setCaption(QStringLiteral("&Save"));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&b);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Save"));
    b.setMode(1);
    EXPECT_EQ(a->role(), QAccessible::CheckBox);
    b.setMode(2);
    EXPECT_EQ(a->role(), QAccessible::RadioButton);
    b.setMode(0);
    EXPECT_EQ(a->role(), QAccessible::Button);
}

TEST(SkButtonOnQt, TabWalksThroughSkinnedButtonsLikeQtButtons) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* skinned = new SkButton(&window, QStringLiteral("skbGo"));
    auto* plain = new QPushButton(QStringLiteral("plain"), &window);
    ShowActive(window);
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(skinned->hasFocus());
    EXPECT_TRUE(skinned->HasFocus());
    QTest::keyClick(skinned, Qt::Key_Tab);
    EXPECT_TRUE(plain->hasFocus());
    QTest::keyClick(plain, Qt::Key_Backtab);
    EXPECT_TRUE(skinned->hasFocus());
}

TEST(SkButtonOnQt, AccessKeyClicksAtOnceAndLeavesTheFocusWhereItWas) {
    // Qt's button would take the focus and click 100 ms later.
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* b = new SkButton(&window, QStringLiteral("skbOpen"));
    b->setCaption(QStringLiteral("打开(&O)"));
    ShowActive(window);
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
    QSignalSpy clicks(b, &SkButton::Click);
    QTest::keyClick(edit, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(edit->hasFocus());
}

TEST(SkButtonOnQt, AccessKeyAfterAnEscapedAmpersandFollowsTheButtonsRule) {
    // Qt's mnemonic rule would take "d" here.
    SkButton b;
    b.setCaption(QStringLiteral("A&&B&&c&d"));
    EXPECT_TRUE(b.AccessKey().isNull());
    EXPECT_TRUE(b.shortcut().isEmpty());
    b.setCaption(QStringLiteral("A&&B&c"));
    EXPECT_EQ(b.shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
}

TEST(SkButtonOnQt, SpaceOnACheckButtonTogglesOnceAtKeyDown) {
    // Qt's button toggles at key-up; a second toggle there would undo ours.
    SkButton b;
    b.setMode(1);
    QSignalSpy clicks(&b, &SkButton::Click);
    Key(&b, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    EXPECT_TRUE(b.Value());
    EXPECT_EQ(clicks.count(), 0);
    Key(&b, QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    EXPECT_TRUE(b.Value());
    EXPECT_EQ(clicks.count(), 1);
}

// Three option buttons in a frame, one in a frame inside it.
struct Frames {
    QWidget outer;
    QWidget* inner = new QWidget(&outer);
    SkButton a{&outer, QStringLiteral("a")}, b{&outer, QStringLiteral("b")}, c{&outer, QStringLiteral("c")};
    SkButton nested{inner, QStringLiteral("nested")};
    Frames() {
        for (SkButton* x : {&a, &b, &c, &nested}) x->setMode(2);
    }
};

TEST(SkButtonOnQt, SettingValueStoresItWithoutTouchingTheOtherOptions) {
    // An exclusive Qt group would clear a when b is set, and refuse to clear b.
    Frames f;
    f.a.setValue(true);
    f.b.setValue(true);
    EXPECT_TRUE(f.a.Value());
    EXPECT_TRUE(f.b.Value());
    f.b.setValue(false);
    EXPECT_FALSE(f.b.Value());
    // Activation clears every selected option of the frame, not just one.
    f.b.setValue(true);
    f.c.click();
    EXPECT_FALSE(f.a.Value());
    EXPECT_FALSE(f.b.Value());
    EXPECT_TRUE(f.c.Value());
    // Clicking the selected option keeps it selected.
    f.c.click();
    EXPECT_TRUE(f.c.Value());
}

TEST(SkButtonOnQt, OptionGroupsEndAtTheContainer) {
    // Qt's auto-exclusive buttons would reach into the nested frame.
    Frames f;
    f.nested.setValue(true);
    f.a.click();
    EXPECT_TRUE(f.nested.Value());
    f.nested.click();
    EXPECT_TRUE(f.a.Value());
    EXPECT_EQ(f.a.group(), f.b.group());
    EXPECT_NE(f.a.group(), f.nested.group());
    // Moved to another container, a button leaves its old group.
    f.c.setParent(f.inner);
    EXPECT_EQ(f.c.group(), f.nested.group());
    f.c.click();
    EXPECT_FALSE(f.nested.Value());
    EXPECT_TRUE(f.a.Value());
    f.c.setParent(nullptr);
}

TEST(SkButtonOnQt, ArrowsMoveTheFocusBetweenOptionsWithoutSelecting) {
    // Qt moves the selection along with the focus inside a group.
    QWidget window;
    SkButton a(&window, QStringLiteral("a")), b(&window, QStringLiteral("b"));
    a.setMode(2);
    b.setMode(2);
    a.setValue(true);
    ShowActive(window);
    a.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.hasFocus(); }));
    QTest::keyClick(&a, Qt::Key_Down);
    EXPECT_TRUE(b.hasFocus());
    EXPECT_TRUE(a.Value());
    EXPECT_FALSE(b.Value());
    // Tab, too, visits the option that is not selected (Qt's groups keep
    // only the selected member in the chain).
    QTest::keyClick(&b, Qt::Key_Backtab);
    EXPECT_TRUE(a.hasFocus());
    QTest::keyClick(&a, Qt::Key_Tab);
    EXPECT_TRUE(b.hasFocus());
}

TEST(SkButtonOnQt, ModeChangesKeepOrClearTheValue) {
    SkButton b;
    b.setMode(1);
    b.setValue(true);
    b.setMode(2);  // Qt's button forgets checked when made checkable again
    EXPECT_TRUE(b.Value());
    b.setMode(0);
    EXPECT_FALSE(b.Value());
    EXPECT_FALSE(b.isCheckable());
}

TEST(SkButtonOnQt, SizeHintShowsTheCaptionOnOneLine) {
    SkButton b;
    b.setButtonStyle(2);
    b.setCaption(QStringLiteral("解析视频地址并复制到剪贴板"));
    const QSize hint = b.sizeHint();
    EXPECT_GT(hint.width(), 75);
    b.resize(hint);
    EXPECT_EQ(b.CaptionRect().height(), QFontMetrics(b.font()).height());
    b.resize(hint.width() - 10, hint.height());
    EXPECT_GT(b.CaptionRect().height(), QFontMetrics(b.font()).height());  // wraps
    b.setCaption(QStringLiteral("OK"));
    EXPECT_EQ(b.sizeHint(), QSize(75, 23));
}

}  // namespace
}  // namespace tessel::controls
