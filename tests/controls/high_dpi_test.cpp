// SPDX-License-Identifier: GPL-3.0-or-later
// The controls on a screen with a device pixel ratio above 1: drawn again at
// the device's resolution, not a ratio-1 drawing blown up.  A drawing blown
// up by 2 consists of uniform 2 x 2 blocks; these tests look for edges that
// keep the ratio-1 colours with hard steps, and for captions and gradients
// that have detail inside the blocks.
#include <gtest/gtest.h>

#include <QApplication>
#include <cmath>
#include <memory>

#include "controls/raster.h"
#include "controls/safe_tabs.h"
#include "controls/sk_button.h"

namespace tessel::controls {
namespace {

QRgb Dev(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFFu; }

// 2 x 2 blocks (aligned to even device pixels) inside `logical` whose four
// pixels are not all the same.
int MixedBlocks(const QImage& img2, const QRect& logical) {
    int mixed = 0;
    for (int y = logical.top(); y <= logical.bottom(); ++y)
        for (int x = logical.left(); x <= logical.right(); ++x) {
            const QRgb a = Dev(img2, 2 * x, 2 * y);
            if (Dev(img2, 2 * x + 1, 2 * y) != a || Dev(img2, 2 * x, 2 * y + 1) != a ||
                Dev(img2, 2 * x + 1, 2 * y + 1) != a)
                ++mixed;
        }
    return mixed;
}

// Bounding box of the dark (caption) pixels inside `area` (device pixels).
QRect InkBox(const QImage& img, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(img.pixel(x, y)) < 100) box |= QRect(x, y, 1, 1);
    return box;
}

std::unique_ptr<SkButton> MainWindowButton() {
    auto b = std::make_unique<SkButton>(nullptr, QStringLiteral("skbTogeneral"));
    b->setButtonStyle(13);
    b->setCaption(QStringLiteral("转换 OK"));
    b->resize(75, 23);
    return b;
}

TEST(HighDpiButton, RatioTwoKeepsTheFrameHardAndDrawsCaptionAndGradientAnew) {
    auto b = MainWindowButton();
    const QImage one = b->RenderAt(1.0);
    const QImage two = b->RenderAt(2.0);
    ASSERT_EQ(two.size(), one.size() * 2);
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    // Frame lines and corner pixels: each logical pixel is a 2 x 2 block of
    // its ratio-1 colour, with no blended colour between them.
    for (int y = 0; y < 23; ++y)
        for (int x : {0, 1, 73, 74}) {
            const QRgb c = Dev(one, x, y);
            EXPECT_EQ(Dev(two, 2 * x, 2 * y), c) << x << "," << y;
            EXPECT_EQ(Dev(two, 2 * x + 1, 2 * y + 1), c) << x << "," << y;
        }
    // The body gradient has an entry per device row: rows 2k and 2k+1 differ
    // somewhere, and both lie between the ratio-1 rows around them.
    int differingPairs = 0;
    for (int y = 5; y < 19; ++y) {
        const int upper = qRed(Dev(two, 8, 2 * y)), lower = qRed(Dev(two, 8, 2 * y + 1));
        if (upper != lower) ++differingPairs;
        EXPECT_LE(lower, upper);
        EXPECT_LE(upper, qRed(Dev(one, 8, y - 1)));
        EXPECT_GE(lower, qRed(Dev(one, 8, y + 1)));
    }
    EXPECT_GT(differingPairs, 3);
    // The caption is rendered at the device's resolution, in the same place.
    const QRect caption = b->CaptionRect();
    EXPECT_GT(MixedBlocks(two, caption), 20);
    const QRect ink1 = InkBox(one, caption);
    const QRect ink2 = InkBox(two, QRect(caption.topLeft() * 2, caption.size() * 2));
    ASSERT_FALSE(ink1.isEmpty());
    EXPECT_NEAR(ink2.center().x(), 2 * ink1.center().x(), 3);
    EXPECT_NEAR(ink2.center().y(), 2 * ink1.center().y(), 3);
}

TEST(HighDpiButton, OddRatiosCoverEveryDevicePixelOnce) {
    // At 1.5 a logical pixel covers one or two device pixels; the frame and
    // its corner pixels still meet without gaps.
    auto b = MainWindowButton();
    const QImage img = b->RenderAt(1.5);
    ASSERT_EQ(img.size(), QSize(113, 35));  // 75 x 23 times 1.5, rounded
    const QRgb frame = (ToQRgb(Rgb(0, 60, 116)) & 0xFFFFFFu),
               corner = (ToQRgb(Rgb(77, 137, 193)) & 0xFFFFFFu);
    for (int y = 3; y < 32; ++y) {
        EXPECT_EQ(Dev(img, 0, y), frame) << y;
        EXPECT_EQ(Dev(img, 112, y), frame) << y;
    }
    // Pixel 0 covers device pixels 0 and 1, pixel 1 device pixel 2 alone.
    EXPECT_EQ(Dev(img, 1, 1), frame);
    EXPECT_EQ(Dev(img, 2, 2), corner);
    EXPECT_NE(Dev(img, 3, 3), corner);
    EXPECT_EQ(Dev(img, 111, 20), frame);
}

TEST(HighDpiTabs, RatioTwoKeepsTheOutlineHardAndDrawsCaptionsAnew) {
    SafeTabs tabs;
    tabs.resize(400, 120);
    tabs.LoadTabs({QStringLiteral("115网盘"), QStringLiteral("专链转换"), QStringLiteral("在线视频")}, 1);
    const QImage one = tabs.RenderAt(1.0);
    const QImage two = tabs.RenderAt(2.0);
    ASSERT_EQ(two.size(), one.size() * 2);
    const QRgb outline = ToQRgb(SafeTabs::kOutlineColor) & 0xFFFFFFu;
    // The baseline (row 30) and the panel border: two device rows and columns.
    for (int x : {2, 300, 390}) {
        EXPECT_EQ(Dev(two, 2 * x, 60), outline) << x;
        EXPECT_EQ(Dev(two, 2 * x + 1, 61), outline) << x;
        EXPECT_NE(Dev(two, 2 * x, 62), outline) << x;
    }
    EXPECT_EQ(Dev(two, 799, 150), outline);
    EXPECT_EQ(Dev(two, 798, 150), outline);
    EXPECT_NE(Dev(two, 797, 150), outline);
    // Every tab where its rectangle says, on both drawings.
    for (int i = 0; i < 3; ++i) {
        const QRect r = tabs.TabRect(i);
        EXPECT_EQ(Dev(one, r.left(), 20), outline) << i;
        EXPECT_EQ(Dev(two, 2 * r.left(), 40), outline) << i;
        EXPECT_EQ(Dev(two, 2 * r.right() + 1, 40), outline) << i;
    }
    // Captions drawn at the device's resolution.
    const QRect active = tabs.TabRect(1);
    EXPECT_GT(MixedBlocks(two, QRect(active.left() + 4, 12, active.width() - 8, 14)), 20);
}

// Run with QT_SCALE_FACTOR set (the scale tests of ctest do): what reaches
// the screen is the drawing for the widget's own ratio.
TEST(HighDpiOnScreen, WidgetsPaintTheirDeviceResolutionBuffers) {
    QWidget window;
    window.resize(420, 200);
    SkButton b(&window, QStringLiteral("skbParse"));
    b.setCaption(QStringLiteral("解析"));
    b.setGeometry(10, 150, 75, 23);
    SafeTabs tabs(&window);
    tabs.setGeometry(0, 0, 400, 120);
    tabs.LoadTabs({QStringLiteral("115网盘"), QStringLiteral("关于")});
    window.show();
    const qreal ratio = window.devicePixelRatioF();
    if (ratio == 1.0) GTEST_SKIP() << "needs QT_SCALE_FACTOR";
    const QImage buttonShown = b.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& buttonBuffer = b.Surface();
    ASSERT_EQ(buttonShown.size(), buttonBuffer.size());
    EXPECT_EQ(buttonBuffer.devicePixelRatio(), ratio);
    // Inside the rounded corners the two agree pixel for pixel.
    const int w = buttonBuffer.width(), h = buttonBuffer.height(), in = static_cast<int>(std::ceil(ratio));
    int differing = 0;
    for (int y = in; y < h - in; ++y)
        for (int x = in; x < w - in; ++x)
            if (Dev(buttonShown, x, y) != Dev(buttonBuffer, x, y)) ++differing;
    EXPECT_EQ(differing, 0);
    const QImage tabsShown = tabs.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(tabsShown, tabs.Surface().convertToFormat(QImage::Format_RGB32));
}

}  // namespace
}  // namespace tessel::controls
