// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/safe_tabs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <memory>

#include "controls/property_bag.h"
#include "controls/raster.h"
#include "controls/twips.h"

namespace tessel::controls {
namespace {

constexpr OleColor C = SafeTabs::kOutlineColor;

// A 400 x 200 strip with `count` empty (80-pixel) tabs.
std::unique_ptr<SafeTabs> MakeStrip(int count) {
    auto tabs = std::make_unique<SafeTabs>();
    tabs->resize(400, 200);
    EXPECT_TRUE(tabs->setTabCount(count));
    return tabs;
}

void Press(QWidget* w, int x, int y, Qt::MouseButton b = Qt::LeftButton) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), b, b,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

TEST(SafeTabsDrawing, BackColorPaintsHeaderAndTemplateCornersButNotThePanel) {
    auto tabs = MakeStrip(4);
    tabs->setBackColor(Rgb(0, 0, 255));
    const OleColor blue = Rgb(0, 0, 255);
    const QImage& skin = tabs->Skin();
    // The 24 corner pixels of the two top bands.
    for (int r : {0, 24}) {
        for (auto [x, y] : {std::pair{0, 0},
                            {1, 0},
                            {2, 0},
                            {0, 1},
                            {1, 1},
                            {0, 2},
                            {77, 0},
                            {78, 0},
                            {79, 0},
                            {78, 1},
                            {79, 1},
                            {79, 2}})
            EXPECT_EQ(GetPixel(skin, x, r + y), blue) << x << "," << r + y;
        // Just inside the rounding they are outline, not background.
        EXPECT_EQ(GetPixel(skin, 3, r), C);
        EXPECT_EQ(GetPixel(skin, 2, r + 1), C);
        EXPECT_EQ(GetPixel(skin, 79, r + 3), C);
    }
    const QImage& s = tabs->Surface();
    // Header area left of, above and right of the tabs.
    EXPECT_EQ(GetPixel(s, 0, 0), blue);
    EXPECT_EQ(GetPixel(s, 399, 20), blue);
    EXPECT_EQ(GetPixel(s, 100, 3), blue);  // above the inactive tab 1
    // The active tab's top band (rows 1-5 from x = 5): its rounded corners.
    EXPECT_EQ(GetPixel(s, 5, 1), blue);
    EXPECT_EQ(GetPixel(s, 7, 1), blue);
    EXPECT_EQ(GetPixel(s, 5, 3), blue);
    EXPECT_EQ(GetPixel(s, 84, 1), blue);
    EXPECT_EQ(GetPixel(s, 8, 1), C);
    // The inactive tab 1 (x 89..168) starts at row 6 with the same corners.
    EXPECT_EQ(GetPixel(s, 89, 6), blue);
    EXPECT_EQ(GetPixel(s, 168, 8), blue);
    EXPECT_EQ(GetPixel(s, 92, 6), C);
    // The panel stays white; its border is the outline colour.
    EXPECT_EQ(GetPixel(s, 50, 100), kWhite);
    EXPECT_EQ(GetPixel(s, 398, 198), kWhite);
    EXPECT_EQ(GetPixel(s, 0, 100), C);
    EXPECT_EQ(GetPixel(s, 399, 100), C);
    EXPECT_EQ(GetPixel(s, 200, 199), C);
}

TEST(SafeTabsDrawing, ActiveTabIsOpenAtTheBottomAndInactiveTabsAreClosed) {
    auto tabs = MakeStrip(3);
    const QImage& s = tabs->Surface();
    // Baseline under the first gap and after the last tab.
    EXPECT_EQ(GetPixel(s, 1, 30), C);
    EXPECT_EQ(GetPixel(s, 4, 30), C);
    EXPECT_EQ(GetPixel(s, 300, 30), C);
    // Active tab 0 (x 5..84): sides from row 6 down through row 30, white
    // between them on the baseline.
    EXPECT_EQ(GetPixel(s, 5, 6), C);
    EXPECT_EQ(GetPixel(s, 5, 30), C);
    EXPECT_EQ(GetPixel(s, 84, 30), C);
    EXPECT_EQ(GetPixel(s, 6, 30), kWhite);
    EXPECT_EQ(GetPixel(s, 83, 30), kWhite);
    // Body gradient of the active tab: light blue on row 6, white from row 26
    // (template row 49).
    EXPECT_EQ(GetPixel(s, 40, 6), Rgb(212, 234, 248));
    EXPECT_EQ(GetPixel(s, 40, 27), kWhite);
    // Inactive tab 1 (x 89..168): its side starts at row 9, its bottom edge is
    // closed, and the right side stops short of row 9.
    EXPECT_EQ(GetPixel(s, 89, 9), C);
    EXPECT_EQ(GetPixel(s, 120, 30), C);
    EXPECT_EQ(GetPixel(s, 168, 10), C);
    EXPECT_EQ(GetPixel(s, 120, 12), Rgb(242, 242, 242));
    EXPECT_EQ(GetPixel(s, 120, 29), Rgb(240, 240, 240));
}

// A paint of the strip shows its current state, however many changes came
// since it was last drawn or read.
TEST(SafeTabsDrawing, PaintShowsTheLatestState) {
    auto tabs = MakeStrip(3);
    const QImage before = tabs->grab().toImage();
    EXPECT_EQ(GetPixel(before, 40, 6), Rgb(212, 234, 248));  // tab 0 active
    tabs->setActiveTab(2);
    tabs->setBackColor(Rgb(0, 0, 255));
    const QImage after = tabs->grab().toImage();
    EXPECT_EQ(GetPixel(after, 40, 12), Rgb(242, 242, 242));  // tab 0 inactive now
    EXPECT_EQ(GetPixel(after, 0, 0), Rgb(0, 0, 255));
    tabs->resize(300, 150);  // hidden: no resize event until shown
    const QImage resized = tabs->grab().toImage();
    ASSERT_EQ(resized.size(), QSize(300, 150));
    EXPECT_EQ(resized, tabs->Surface().convertToFormat(resized.format()));
}

// A paint keeps only the band above the plain panel: captions in a face tall
// enough to hang below the baseline, and strips too short for a panel, still
// show every pixel of the whole drawing.
TEST(SafeTabsDrawing, PaintShowsTallCaptionsAndShortStripsWhole) {
    for (const int pixelSize : {12, 40}) {
        for (const int height : {200, 31, 20}) {
            auto tabs = MakeStrip(2);
            tabs->LoadTabs({QStringLiteral("专链转换"), QStringLiteral("gjpqy")}, 1);
            QFont f = tabs->font();
            f.setPixelSize(pixelSize);
            tabs->setFont(f);
            tabs->resize(400, height);
            const QImage shown = tabs->grab().toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(shown, tabs->Surface().convertToFormat(QImage::Format_RGB32))
                << pixelSize << " px captions, " << height << " px high";
        }
    }
}

TEST(SafeTabsHitTest, OnlyRowsNineToThirtyOfInactiveTabsSwitch) {
    // Tab 1 spans x 89..168 with three empty tabs; tab 0 is active.
    struct Case {
        const char* name;
        int x, y;
        int expectedActive;
    };
    const Case cases[] = {
        {"rounded top row 6", 100, 6, 0},    {"rounded top row 8", 100, 8, 0},
        {"first hit row", 100, 9, 1},        {"baseline row 30", 100, 30, 1},
        {"panel row 31", 100, 31, 0},        {"gap before tab 1", 87, 20, 0},
        {"left edge of tab 1", 89, 20, 1},   {"right edge of tab 1", 168, 20, 1},
        {"the active tab", 40, 20, 0},       {"right of all tabs", 300, 20, 0},
        {"right button counts", 180, 20, 2},
    };
    for (const Case& c : cases) {
        auto tabs = MakeStrip(3);
        QSignalSpy spy(tabs.get(), &SafeTabs::TabSwitch);
        Press(tabs.get(), c.x, c.y,
              std::string(c.name) == "right button counts" ? Qt::RightButton : Qt::LeftButton);
        EXPECT_EQ(tabs->ActiveTab(), c.expectedActive) << c.name;
        EXPECT_EQ(spy.count(), c.expectedActive == 0 ? 0 : 1) << c.name;
    }
}

TEST(SafeTabsHitTest, TabRectsPlaceWideTabsForClicksAndTheSizeHint) {
    auto tabs = MakeStrip(3);
    tabs->setActiveTab(1);
    tabs->setCaption(QStringLiteral("A caption far wider than the eighty-pixel template"));
    tabs->setActiveTab(0);
    const QRect wide = tabs->TabRect(1);
    ASSERT_GT(wide.width(), 80);
    EXPECT_EQ(wide.left(), 89);
    EXPECT_EQ(tabs->TabRect(2).left(), wide.right() + 1 + 4);
    EXPECT_EQ(tabs->TabRect(0).top(), 1);  // the active tab stands higher
    EXPECT_EQ(wide.top(), 6);
    // One pixel past the right edge is the gap: no switch.
    Press(tabs.get(), wide.right() + 1, 20);
    EXPECT_EQ(tabs->ActiveTab(), 0);
    Press(tabs.get(), wide.right(), 20);
    EXPECT_EQ(tabs->ActiveTab(), 1);
    // The size hint leaves room for the last tab and the panel's border.
    EXPECT_EQ(tabs->minimumSizeHint().width(), tabs->TabRect(2).right() + 2);
}

TEST(SafeTabsKeyboard, TabReachesTheStripAndArrowsChooseTabs) {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* tabs = new SafeTabs(&window);
    tabs->setGeometry(0, 30, 400, 150);
    ASSERT_TRUE(tabs->setTabCount(4));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }));
    const QImage unfocused = tabs->Surface().copy();
    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_TRUE(tabs->hasFocus());
    EXPECT_NE(tabs->Surface(), unfocused);  // the focus frame shows where the keyboard is

    QSignalSpy spy(tabs, &SafeTabs::TabSwitch);
    struct Step {
        Qt::Key key;
        int active;
    };
    for (const Step& s :
         {Step{Qt::Key_Right, 1}, Step{Qt::Key_Down, 2}, Step{Qt::Key_Left, 1}, Step{Qt::Key_End, 3},
          Step{Qt::Key_Right, 3}, Step{Qt::Key_Home, 0}, Step{Qt::Key_Up, 0}}) {
        QTest::keyClick(tabs, s.key);
        EXPECT_EQ(tabs->ActiveTab(), s.active) << s.key;
    }
    EXPECT_EQ(spy.count(), 5);  // the two steps against an end raise nothing
    EXPECT_EQ(spy.at(0).at(0).toInt(), 0);

    // Arrows a page's widget leaves unused do not reach the tabs.
    auto* page = new QWidget(tabs);
    page->setFocusPolicy(Qt::StrongFocus);
    page->setGeometry(5, 35, 100, 50);
    page->show();
    page->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->hasFocus(); }));
    QTest::keyClick(page, Qt::Key_Right);
    EXPECT_EQ(tabs->ActiveTab(), 0);
}

struct IndexCase {
    const char* name;
    int start;
    int set;
    int expected;
    int events;  // TabSwitch raised?
};

class ActiveTabSetter : public ::testing::TestWithParam<IndexCase> {};

TEST_P(ActiveTabSetter, ClampsAndRaisesOnlyOnChange) {
    const IndexCase c = GetParam();
    auto tabs = MakeStrip(4);
    tabs->setActiveTab(c.start);
    QSignalSpy spy(tabs.get(), &SafeTabs::TabSwitch);
    tabs->setActiveTab(c.set);
    EXPECT_EQ(tabs->ActiveTab(), c.expected);
    ASSERT_EQ(spy.count(), c.events);
    if (c.events) {
        EXPECT_EQ(spy.at(0).at(0).toInt(), c.start);
    }
}

INSTANTIATE_TEST_SUITE_P(FourTabs, ActiveTabSetter,
                         ::testing::Values(IndexCase{"past the end", 0, 7, 3, 1},
                                           IndexCase{"negative", 2, -1, 0, 1},
                                           IndexCase{"same index", 2, 2, 2, 0},
                                           IndexCase{"clamped to same", 3, 9, 3, 0},
                                           IndexCase{"plain", 1, 2, 2, 1}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n) {
                                 if (ch == ' ') ch = '_';
                             }
                             return n;
                         });

TEST(SafeTabsChildren, SwitchingMovesChildrenByWholeTabsAndBackExactly) {
    auto tabs = MakeStrip(4);
    QWidget page0, page2;
    tabs->AddTabChild(&page0, 0, QRectF(80, 400, 3000, 2000));
    tabs->AddTabChild(&page2, 2, QRectF(80, 400, 3000, 2000));
    // Stored form with tab 0 active: tab 2's page sits 20000 twips left.
    EXPECT_EQ(tabs->ChildTwips(&page2).left(), -19920);
    EXPECT_EQ(page0.geometry(), QRect(5, 27, 200, 133));  // 80/15 = 5.33, 400/15 = 26.67
    const QRect home0 = page0.geometry(), home2 = page2.geometry();

    // TabSwitch comes before the move: the handler still sees the old place.
    int leftSeenInHandler = 0;
    QObject::connect(tabs.get(), &SafeTabs::TabSwitch, [&](int) { leftSeenInHandler = page0.x(); });
    tabs->setActiveTab(2);
    EXPECT_EQ(leftSeenInHandler, home0.x());
    EXPECT_EQ(tabs->ChildTwips(&page0).left(), 20080);
    EXPECT_EQ(tabs->ChildTwips(&page2).left(), 80);
    EXPECT_EQ(page2.geometry(), home0);

    tabs->setActiveTab(0);
    EXPECT_EQ(tabs->ChildTwips(&page0).left(), 80);
    EXPECT_EQ(page0.geometry(), home0);
    EXPECT_EQ(page2.geometry(), home2);
    page0.setParent(nullptr);
    page2.setParent(nullptr);
}

TEST(SafeTabsChildren, WidgetsPlacedWithoutTheStripsHelpMoveToo) {
    auto tabs = MakeStrip(3);
    auto* plain = new QWidget(tabs.get());
    plain->setGeometry(10, 40, 50, 20);
    tabs->setActiveTab(1);
    EXPECT_EQ(tabs->ChildTwips(plain).left(), 150 + 10000);
    EXPECT_EQ(plain->x(), 10 + 667);  // 10150 / 15 = 676.67 -> 677
    tabs->setActiveTab(0);
    EXPECT_EQ(plain->geometry(), QRect(10, 40, 50, 20));
    // Moved in pixels by its owner: the next switch starts from there.
    plain->move(20, 40);
    tabs->setActiveTab(1);
    tabs->setActiveTab(0);
    EXPECT_EQ(plain->geometry(), QRect(20, 40, 50, 20));
}

TEST(SafeTabsCount, ShrinkingPastTheActiveTabSwitchesAndGrowingBackGivesEmptyTabs) {
    auto tabs = MakeStrip(4);
    for (int i = 0; i < 4; ++i) {
        tabs->setActiveTab(i);
        tabs->setCaption(QStringLiteral("Tab number %1 with a long caption").arg(i));
    }
    ASSERT_EQ(tabs->ActiveTab(), 3);
    QWidget child;
    tabs->AddChildTwips(&child, QRectF(80, 0, 1500, 1500));
    QSignalSpy spy(tabs.get(), &SafeTabs::TabSwitch);

    ASSERT_TRUE(tabs->setTabCount(2));
    EXPECT_EQ(tabs->ActiveTab(), 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 3);
    EXPECT_EQ(tabs->ChildTwips(&child).left(), 80 - 20000);

    ASSERT_TRUE(tabs->setTabCount(4));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_GT(tabs->TabWidth(1), 80);  // kept
    for (int i : {2, 3}) {
        EXPECT_TRUE(tabs->TabCaption(i).isEmpty());
        EXPECT_EQ(tabs->TabWidth(i), 80);
    }
    child.setParent(nullptr);
}

TEST(SafeTabsCount, BelowOneIsRefusedAndChangesNothing) {
    auto tabs = MakeStrip(4);
    tabs->setActiveTab(2);
    EXPECT_FALSE(tabs->setTabCount(0));
    EXPECT_FALSE(tabs->setTabCount(-3));
    EXPECT_EQ(tabs->TabCount(), 4);
    EXPECT_EQ(tabs->ActiveTab(), 2);
}

TEST(SafeTabsCaption, NarrowCaptionsCentreInEightyPixelsWideOnesAddTheMargin) {
    auto tabs = MakeStrip(2);
    const QFontMetricsF fm(tabs->font());
    for (const QString& caption : {QStringLiteral("Hi"), QStringLiteral("关于"),
                                   QStringLiteral("A considerably wider caption than eighty pixels")}) {
        tabs->setCaption(caption);
        const double t = fm.horizontalAdvance(caption);
        const int width = tabs->TabWidth(0);
        if (t + 12 < 79.5) {
            EXPECT_EQ(width, 80) << caption.toStdString();
        } else {
            EXPECT_NEAR(width, t + 12, 0.5) << caption.toStdString();
        }
        // The caption sits centred (to the pixel) in its tab.
        EXPECT_NEAR(tabs->TabTextOffset(0), (width - t) / 2, 0.5) << caption.toStdString();
        EXPECT_EQ(tabs->Caption(), caption);
    }
    // The next tab starts after this one and a 4-pixel gap.
    EXPECT_EQ(tabs->TabLeft(1), 5 + tabs->TabWidth(0) + 4);
}

TEST(SafeTabsCaption, WidthsAreThoseOfTheFontTheCaptionsWereLoadedIn) {
    // Captions are measured when first needed (not while the window is
    // built), yet in the font they were loaded in: a font set in between
    // moves no tab, as when they were measured at once.
    auto tabs = MakeStrip(2);
    const QString caption = QStringLiteral("A considerably wider caption than eighty pixels");
    const double t = QFontMetricsF(tabs->font()).horizontalAdvance(caption);
    tabs->LoadTabs({caption, QStringLiteral("关于")}, 0);
    QFont bigger = tabs->font();
    bigger.setPixelSize(bigger.pixelSize() > 0 ? bigger.pixelSize() * 3 : 36);
    tabs->setFont(bigger);
    EXPECT_NEAR(tabs->TabWidth(0), t + 12, 0.5);
    EXPECT_NEAR(tabs->TabTextOffset(0), 6, 0.5);
    // A caption set after the change is measured in the new font.
    tabs->setActiveTab(1);
    tabs->setCaption(caption);
    EXPECT_NEAR(tabs->TabWidth(1), QFontMetricsF(bigger).horizontalAdvance(caption) + 12, 0.5);
}

TEST(SafeTabsStore, RoundTripKeepsEverythingAndWritesInTheFixedOrder) {
    auto tabs = MakeStrip(4);
    const QStringList captions = {QStringLiteral("115网盘"), QStringLiteral("专链转换"),
                                  QStringLiteral("在线视频"), QStringLiteral("关于")};
    tabs->LoadTabs(captions, 2);
    tabs->setBackColor(Rgb(255, 255, 255));
    tabs->setFontBlod(true);
    PropertyBag bag;
    tabs->WriteProperties(bag);
    EXPECT_EQ(bag.Keys(), (QStringList{"tabcount", "caption0", "caption1", "caption2", "caption3",
                                       "ActiveTab", "backcolor", "fontblod"}));

    SafeTabs loaded;
    loaded.resize(400, 200);
    QSignalSpy spy(&loaded, &SafeTabs::TabSwitch);
    loaded.ReadProperties(bag);
    EXPECT_EQ(spy.count(), 0);  // loading raises nothing
    EXPECT_EQ(loaded.TabCount(), 4);
    EXPECT_EQ(loaded.ActiveTab(), 2);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(loaded.TabCaption(i), captions[i]);
        EXPECT_EQ(loaded.TabWidth(i), tabs->TabWidth(i));
    }
    EXPECT_EQ(loaded.BackColor(), Rgb(255, 255, 255));
    EXPECT_TRUE(loaded.FontBlod());
    EXPECT_FALSE(loaded.FontItalic());
}

TEST(SafeTabsStore, MissingKeysGiveDefaultsAndKeysIgnoreCase) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("TABCOUNT"), 5);
    bag.WriteProperty(QStringLiteral("activetab"), 9);
    bag.WriteProperty(QStringLiteral("Caption1"), QStringLiteral("x"));
    SafeTabs tabs;
    tabs.ReadProperties(bag);
    EXPECT_EQ(tabs.TabCount(), 5);
    EXPECT_EQ(tabs.ActiveTab(), 4);  // clamped
    EXPECT_TRUE(tabs.TabCaption(0).isEmpty());
    EXPECT_EQ(tabs.TabCaption(1), QStringLiteral("x"));
    EXPECT_EQ(tabs.BackColor(), kButtonFace);

    // A stored count below one keeps the strip usable.
    PropertyBag broken;
    broken.WriteProperty(QStringLiteral("tabcount"), 0);
    SafeTabs fresh;
    fresh.ReadProperties(broken);
    EXPECT_EQ(fresh.TabCount(), 3);

    // Writing the defaults stores nothing.
    PropertyBag empty;
    SafeTabs defaults;
    defaults.setBackColor(kButtonFace);
    defaults.WriteProperties(empty);
    EXPECT_EQ(empty.Count(), 0);
}

}  // namespace
}  // namespace tessel::controls
