// SPDX-License-Identifier: GPL-3.0-or-later
// The window as drawn: tidy pages, one in view at a time, with their
// captions and flags.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

// Every control lies wholly inside its container, and no two shown controls
// of one container cover each other (a one-pixel touch of neighbours whose
// rounded edges meet is tolerated), on every page.
void ExpectTidy(QWidget* container) {
    const QList<QWidget*> kids = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* c : kids) {
        if (c->isHidden() || c->objectName().isEmpty()) continue;
        EXPECT_TRUE(container->rect().contains(c->geometry()))
            << c->objectName().toStdString() << " leaves " << container->objectName().toStdString();
        for (QWidget* d : kids) {
            if (d == c || d->isHidden() || d->objectName().isEmpty()) continue;
            EXPECT_FALSE(c->geometry().adjusted(1, 1, -1, -1).intersects(d->geometry()))
                << c->objectName().toStdString() << " covers " << d->objectName().toStdString();
        }
        ExpectTidy(c);
    }
}

TEST_F(FrmMainTest, EveryPageIsTidyAndOnlyTheActiveOneIsInView) {
    Make();
    QWidget* pages[] = {&w->Disk(), &w->Link(), &w->Video(), &w->About()};
    for (QWidget* page : pages) ExpectTidy(page);
    // The window's own children, the options strip folded out included.
    emit Child<controls::SkButton>(*w, "skbOption")->Click();
    const QRect strip = w->Options().geometry();
    EXPECT_LT(strip.bottom(), w->height()) << "the unfolded strip is cut off";
    ExpectTidy(&w->Options());
    for (int tab = 0; tab < 4; ++tab) {
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(tab);
        for (int i = 0; i < 4; ++i) {
            const bool inView =
                Child<controls::SafeTabs>(*w, "SafeTabs")->rect().intersects(pages[i]->geometry());
            EXPECT_EQ(inView, i == tab) << "tab " << tab << ", page " << i;
        }
        // The page in front is where it was drawn, whichever tab it is.
        EXPECT_EQ(pages[tab]->geometry(), QRect(5, 35, 489, 177));
    }
}

TEST_F(FrmMainTest, WindowAndPagesStartAsDrawn) {
    Make().About();  // the pages behind the first are built when asked for
    EXPECT_EQ(w->windowTitle(), "TESSEL");
    EXPECT_EQ(w->size(), QSize(496, 305));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(w->BannerFrame().size(), QSize(500, 60));

    ASSERT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->TabCount(), 4);
    const char* tabs[] = {"115网盘", "专链转换", "在线视频", "关于"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->TabCaption(i), QString::fromUtf8(tabs[i]));
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 0);

    for (QWidget* hidden : std::initializer_list<QWidget*>{
             Child<ClipboardTextBox>(*w, "txtMessage"), Child<QLineEdit>(*w, "txtFilesize"),
             Child<QLabel>(*w, "lblIP"), Child<QCheckBox>(*w, "chkOntop"),
             Child<QCheckBox>(*w, "chkClipboard"), Child<QCheckBox>(*w, "chkShowIP"),
             Child<QRadioButton>(*w, "optQQ")})
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    for (QWidget* shown : std::initializer_list<QWidget*>{Child<QPlainTextEdit>(*w, "txtInput"),
                                                          Child<controls::SkButton>(*w, "skbOption"),
                                                          (&w->Options()), Child<QLabel>(*w, "imgTip")})
        EXPECT_FALSE(shown->isHidden()) << shown->objectName().toStdString();

    EXPECT_TRUE(Child<QPlainTextEdit>(*w, "txtOutput")->isReadOnly() &&
                Child<QPlainTextEdit>(*w, "txtFlvlink")->isReadOnly() &&
                Child<QLineEdit>(*w, "txtTel")->isReadOnly());
    EXPECT_FALSE(Child<QPlainTextEdit>(*w, "txtInput")->isReadOnly() ||
                 Child<QPlainTextEdit>(*w, "txtOnlineflv")->isReadOnly() ||
                 Child<QLineEdit>(*w, "txtPickcode")->isReadOnly());

    // The pictures and texts come from the resources compiled in.
    EXPECT_EQ(Child<QLabel>(*w, "imgTip")->pixmap().size(), QSize(16, 16));
    const QStringList credits = Child<QPlainTextEdit>(*w, "txtAbout")->toPlainText().split('\n');
    EXPECT_EQ(credits.size(), 54);
    EXPECT_TRUE(credits.first().startsWith("Tessel V2"));
}

}  // namespace
}  // namespace tessel::shell::testing
