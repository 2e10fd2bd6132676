// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard on the real window: Tab stays on the page in front, the page
// keys step through the pages, and Enter or Space does what a double-click
// does on the IP and the file name.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <functional>
#include <utility>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "shell/pages/link_page.h"
#include "support/frm_main_fixture.h"
#include "web/public_ip.h"

namespace tessel::shell::testing {
namespace {

class FrmMainKeysTest : public FrmMainTest {
 protected:
    FrmMain& StartActive() {
        Start();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return *w;
    }
    QWidget* Page(int tab) const {
        QWidget* pages[] = {&w->Disk(), &w->Link(), &w->Video(), &w->About()};
        return pages[tab];
    }
    // A key as the user presses it: to whichever control has the focus.
    static void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr) << "nothing has the focus";
        QTest::keyClick(target, key, mods);
    }
    // The controls of `container` that Tab may reach as it stands.
    static QSet<QWidget*> Reachable(QWidget* container) {
        QSet<QWidget*> out;
        for (QWidget* c : container->findChildren<QWidget*>())
            if ((c->focusPolicy() & Qt::TabFocus) && c->isVisible() && c->isEnabled()) out.insert(c);
        return out;
    }
    bool InFrontOrAround(QWidget* c, int tab) const {
        return Page(tab)->isAncestorOf(c) || w->Options().isAncestorOf(c) ||
               c == Child<controls::SkButton>(*w, "skbOption") ||
               c == Child<controls::SafeTabs>(*w, "SafeTabs");
    }
};

TEST_F(FrmMainKeysTest, TabCyclesOnlyThroughThePageInFrontTheOptionsAndTheStrip) {
    StartActive();
    emit Child<controls::SkButton>(*w, "skbOption")
        ->Click();  // the options folded out: their boxes join the cycle
    for (int tab = 0; tab < 4; ++tab) {
        SCOPED_TRACE(tab);
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(tab);
        const QSet<QWidget*> expected = Reachable(Page(tab));
        ASSERT_FALSE(expected.isEmpty()) << "the page offers the keyboard nothing";
        // Its first control, as a click would leave it.
        QWidget* first = nullptr;
        for (QWidget* c = Child<controls::SafeTabs>(*w, "SafeTabs")->nextInFocusChain();
             c != Child<controls::SafeTabs>(*w, "SafeTabs"); c = c->nextInFocusChain())
            if (expected.contains(c)) {
                first = c;
                break;
            }
        ASSERT_NE(first, nullptr);
        first->setFocus(Qt::MouseFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), first);

        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            QSet<QWidget*> seen;
            int presses = 0;
            do {
                Press(key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QWidget* now = QApplication::focusWidget();
                ASSERT_NE(now, nullptr);
                EXPECT_TRUE(InFrontOrAround(now, tab)) << now->objectName().toStdString() << " is not shown";
                seen.insert(now);
            } while (QApplication::focusWidget() != first && ++presses < 80);
            EXPECT_EQ(QApplication::focusWidget(), first) << "Tab never came back";
            for (QWidget* c : expected)
                EXPECT_TRUE(seen.contains(c)) << c->objectName().toStdString() << " cannot be reached";
            EXPECT_TRUE(seen.contains(Child<QCheckBox>(*w, "chkShowIP")));
        }
    }
}

TEST_F(FrmMainKeysTest, PagesBehindAreHiddenFromAccessibilityButKeepTheirPlaces) {
    Start();
    const QRect home(5, 35, 489, 177);
    for (int tab : {2, 0, 3, 1}) {
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(tab);
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(Page(i));
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->state().invisible, i != tab) << "tab " << tab << ", page " << i;
            // Where the strip puts it: 10000 twips (666.67 pixels) per tab away.
            EXPECT_NEAR(Page(i)->x(), home.x() + (tab - i) * 10000 / 15.0, 1.0);
            EXPECT_EQ(Page(i)->y(), home.y());
        }
        EXPECT_EQ(Page(tab)->geometry(), home);
    }
}

// The pages behind the first are built when one is first needed: by a
// switch to their tab, or by whatever asks for one; a window shown and
// painted holds only the front page.  However they come, they lie where the
// strip wants them and Tab visits the window's parts in the order they were
// laid out in: the strip, the four pages, the options, the fold-out button.
TEST_F(FrmMainKeysTest, PagesBuiltLateKeepTheirPlacesAndTheTabOrder) {
    const std::pair<const char*, std::function<void(FrmMain&)>> ways[] = {
        {"shown, then a tab switch",
         [](FrmMain& m) {
             m.show();
             ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
             QTest::qWait(50);
             EXPECT_EQ(m.findChild<LinkPage*>(), nullptr) << "a page nobody asked for was built";
             m.Tabs().setActiveTab(1);
         }},
        {"tab switch", [](FrmMain& m) { m.Tabs().setActiveTab(2); }},
        {"a page asked for", [](FrmMain& m) { m.Video(); }},
    };
    for (const auto& [how, build] : ways) {
        SCOPED_TRACE(how);
        build(Make());
        w->Tabs().setActiveTab(2);
        EXPECT_EQ(Page(2)->geometry(), QRect(5, 35, 489, 177));
        EXPECT_TRUE(Page(2)->isVisibleTo(w.get()) && !Page(1)->isVisibleTo(w.get()));
        QWidget* const parts[] = {&w->Tabs(),
                                  Page(0),
                                  Page(1),
                                  Page(2),
                                  Page(3),
                                  &w->Options(),
                                  Child<controls::SkButton>(*w, "skbOption")};
        int part = 0;
        for (QWidget* c = w->nextInFocusChain(); c != w.get(); c = c->nextInFocusChain()) {
            if (c->focusPolicy() == Qt::NoFocus) continue;
            int now = 0;
            while (now < 7 && parts[now] != c && !parts[now]->isAncestorOf(c)) ++now;
            if (now == 7) continue;  // not one of them (the hidden clipboard box)
            EXPECT_GE(now, part) << c->objectName().toStdString() << " comes too late";
            part = std::max(part, now);
        }
        EXPECT_EQ(part, 6) << "the fold-out button is not last";
    }
}

TEST_F(FrmMainKeysTest, PageKeysStepThroughThePagesAndWrap) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int step;
    };
    const Case cases[] = {{Qt::Key_Tab, Qt::ControlModifier, +1},
                          {Qt::Key_PageDown, Qt::ControlModifier, +1},
                          {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, -1},
                          {Qt::Key_PageUp, Qt::ControlModifier, -1}};
    StartActive();
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.mods).toString().toStdString());
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(0);
        Child<QLineEdit>(*w, "txtPickcode")->setFocus(Qt::MouseFocusReason);
        for (int n = 1; n <= 4; ++n) {
            Press(c.key, c.mods);
            const int expected = ((c.step * n) % 4 + 4) % 4;
            EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), expected);
            // The focus went along, so typing lands on the page that is shown.
            QWidget* f = QApplication::focusWidget();
            ASSERT_NE(f, nullptr);
            EXPECT_TRUE(Page(expected)->isAncestorOf(f)) << f->objectName().toStdString();
        }
    }
}

TEST_F(FrmMainKeysTest, TypingAfterAPageKeyNeverReachesAHiddenBox) {
    StartActive();
    Child<QLineEdit>(*w, "txtPickcode")->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(QApplication::focusWidget(), "ab");
    Press(Qt::Key_PageDown, Qt::ControlModifier);  // to the conversion page
    QTest::keyClicks(QApplication::focusWidget(), "cd");
    EXPECT_EQ(Child<QLineEdit>(*w, "txtPickcode")->text(), "ab");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "cd");
    // Back again: the focus returns to where it was on that page.
    Press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>(*w, "txtPickcode"));
}

TEST_F(FrmMainKeysTest, EnterOrSpaceCopiesTheIpAndTheFileNameAsADoubleClickDoes) {
    StartActive();
    QLabel* ip = Child<QLabel>(*w, "lblIP");
    QLabel* name = Child<QLabel>(*w, "lblfilename");
    EXPECT_EQ(ip->focusPolicy(), Qt::TabFocus);  // a click still does what it did
    EXPECT_EQ(name->focusPolicy(), Qt::TabFocus);

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        SCOPED_TRACE(key);
        QGuiApplication::clipboard()->setText("untouched");
        ip->setText("203.0.113.7");
        ip->show();
        ip->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), ip);
        EXPECT_NE(ip->palette().color(QPalette::Window), QColor(Qt::white)) << "focus not shown";
        Press(key);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "203.0.113.7");
        EXPECT_EQ(ip->text(), Q(web::kIpCopied));
        // The caption that says it was copied is not copied again.
        QGuiApplication::clipboard()->setText("untouched");
        Press(key);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched");
        Child<QTimer>(*w, "tmrClipboard")->stop();

        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(2);
        w->Video().ShowTitle(QString());
        name->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), name);
        Press(key);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched") << "no title yet: nothing to copy";
        w->Video().ShowTitle("某视频标题");
        Press(key);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "某视频标题");
        Child<QPlainTextEdit>(*w, "txtOnlineflv")->setFocus();
        EXPECT_EQ(name->palette().color(QPalette::Window), QColor(Qt::white)) << "focus look stuck";
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(0);
    }
}

}  // namespace
}  // namespace tessel::shell::testing
