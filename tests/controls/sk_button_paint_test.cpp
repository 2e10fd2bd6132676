// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing of the skinned button, checked pixel by pixel on its back buffer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <memory>

#include "controls/raster.h"
#include "controls/sk_button.h"

namespace tessel::controls {
namespace {

constexpr int W = 75, H = 23;
constexpr OleColor kFrame = Rgb(0, 60, 116);
constexpr OleColor kCorner = Rgb(77, 137, 193);

// The main window's button: style 13 (drawn as 2), scheme 0, a short
// caption that keeps clear of the columns we look at.
std::unique_ptr<SkButton> MainWindowButton(QWidget* parent = nullptr) {
    auto b = std::make_unique<SkButton>(parent, QStringLiteral("skbTogeneral"));
    b->setButtonStyle(13);
    b->setCaption(QStringLiteral("OK"));
    b->resize(W, H);
    return b;
}

void Send(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons held = Qt::NoButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    if (type == QEvent::MouseButtonPress) held |= Qt::LeftButton;
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

struct Px {
    int x, y;
    OleColor c;
    const char* what;
};

void ExpectPixels(const QImage& img, std::initializer_list<Px> pixels) {
    for (const Px& p : pixels) {
        const OleColor got = GetPixel(img, p.x, p.y);
        EXPECT_EQ(got, p.c) << p.what << " at (" << p.x << "," << p.y << "): got RGB(" << RedOf(got) << ","
                            << GreenOf(got) << "," << BlueOf(got) << ")";
    }
}

TEST(SkButtonStyle2, NormalLookOfTheMainWindowButtons) {
    auto b = MainWindowButton();
    ASSERT_EQ(b->ButtonState(), SkButton::Normal);
    ExpectPixels(b->Surface(), {
                                   {5, 0, kFrame, "outer frame top"},
                                   {0, 10, kFrame, "outer frame left"},
                                   {W - 1, 10, kFrame, "outer frame right"},
                                   {5, H - 1, kFrame, "outer frame bottom"},
                                   {1, 1, kCorner, "corner pixel"},
                                   {1, H - 2, kCorner, "corner pixel"},
                                   {W - 2, 1, kCorner, "corner pixel"},
                                   {W - 2, H - 2, kCorner, "corner pixel"},
                                   {5, 1, Rgb(255, 255, 254), "top four rows: white -> RGB(255,255,251)"},
                                   {5, 3, Rgb(255, 255, 251), "last of the top four rows"},
                                   {5, 4, Rgb(251, 250, 246), "body gradient, entry 4 of 22"},
                                   {5, H - 2, Rgb(213, 212, 208), "bottom line"},
                                   {5, H - 3, Rgb(223, 222, 218), "second bottom line"},
                                   {5, H - 4, Rgb(233, 232, 228), "third bottom line"},
                                   {W - 2, 10, Rgb(216, 215, 211), "right line"},
                                   {W - 2, H - 3, Rgb(216, 215, 211), "right line over the bottom lines"},
                                   {1, 10, Rgb(246, 245, 243), "left line"},
                                   {1, H - 3, Rgb(246, 245, 243), "left line over the bottom lines"},
                               });
    // The gradient ends at the back colour in its last row, under the lines:
    // entry k of RGB(254,253,249) -> RGB(236,235,231) over 22 steps.
    EXPECT_EQ(GetPixel(b->Surface(), 5, 12), Rgb(254 - 12 * 18 / 22, 253 - 12 * 18 / 22, 249 - 12 * 18 / 22));
    // Rounded window corners: the corner pixel itself is cut away.
    EXPECT_FALSE(b->mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(b->mask().contains(QPoint(W - 1, H - 1)));
    EXPECT_TRUE(b->mask().contains(QPoint(1, 0)));
    EXPECT_TRUE(b->mask().contains(QPoint(0, 1)));
}

TEST(SkButtonStyle2, DownLookOfTheMainWindowButtons) {
    auto b = MainWindowButton();
    Send(b.get(), QEvent::MouseButtonPress, {30, 10});
    ASSERT_EQ(b->ButtonState(), SkButton::Down);
    ExpectPixels(b->Surface(), {
                                   {5, 10, Rgb(223, 222, 218), "fill"},
                                   {5, 1, Rgb(195, 194, 190), "top shadow"},
                                   {5, 2, Rgb(210, 209, 205), "second top shadow"},
                                   {1, 10, Rgb(195, 194, 190), "left shadow"},
                                   {2, 10, Rgb(210, 209, 205), "second left shadow"},
                                   {5, H - 2, Rgb(239, 238, 234), "bottom light"},
                                   {W - 2, 10, Rgb(246, 245, 241), "right light"},
                                   {5, 0, kFrame, "frame"},
                                   {1, 1, kCorner, "corner"},
                                   {W - 2, H - 2, kCorner, "corner"},
                               });
}

TEST(SkButtonStyle2, HotFrameAndDisabledLook) {
    auto b = MainWindowButton();
    Send(b.get(), QEvent::MouseMove, {30, 10});
    ASSERT_EQ(b->ButtonState(), SkButton::Hot);
    ExpectPixels(b->Surface(), {
                                   {5, 1, Rgb(255, 240, 207), "hot top"},
                                   {5, 2, Rgb(253, 216, 137), "hot second row"},
                                   {1, 10, Rgb(249, 189, 73), "hot left"},
                                   {W - 2, 10, Rgb(249, 189, 73), "hot right"},
                                   {2, 10, Rgb(252, 210, 122), "hot inner left"},
                                   {5, H - 3, Rgb(248, 179, 48), "hot inner bottom"},
                                   {5, H - 2, Rgb(229, 151, 0), "hot bottom"},
                                   {1, 1, kCorner, "corner"},
                               });
    b->setEnabled(false);
    const OleColor edge = Rgb(210, 209, 205);  // Shift(back, -0.1)
    ExpectPixels(b->Surface(), {{5, 0, edge, "disabled frame"}, {1, 1, edge, "disabled corner"}});
    const OleColor face = FromQColor(QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(GetPixel(b->Surface(), 5, 5), Average(face, kWhite));  // Shift(back, 0.1) is white
}

TEST(SkButtonStyle2, OtherSchemesUseTheirOwnFrameAndGloss) {
    auto b = MainWindowButton();
    b->setColorScheme(1);
    EXPECT_EQ(b->BackColor(), Rgb(243, 238, 219));
    ExpectPixels(b->Surface(),
                 {{5, 0, Rgb(55, 98, 6), "scheme 1 frame"}, {1, 1, Rgb(132, 175, 83), "scheme 1 corner"}});
    b->setColorScheme(2);
    ExpectPixels(b->Surface(), {
                                   {5, 0, kFrame, "scheme 2 frame"},
                                   {1, 10, kWhite, "scheme 2 left line"},
                                   {5, 1, Rgb(254, 254, 255), "scheme 2 gloss, one step below white"},
                               });
    // Lower half starts at Shift(back, -0.01) on row H/2 rounded half to even.
    EXPECT_EQ(GetPixel(b->Surface(), 5, 12), Rgb(237, 238, 249));
}

// Bounding box of the dark (caption) pixels inside the frame.
QRect InkBox(const QImage& img) {
    QRect box;
    for (int y = 4; y < img.height() - 4; ++y)
        for (int x = 4; x < img.width() - 4; ++x)
            if (qGray(img.pixel(x, y)) < 100) box |= QRect(x, y, 1, 1);
    return box;
}

TEST(SkButtonContent, PressedCaptionMovesOnlyInStylesThatSaySo) {
    struct Case {
        int style;
        QPoint shift;
    };
    for (const Case& c : {Case{2, {0, 0}}, Case{0, {1, 1}}, Case{7, {1, 1}}, Case{8, {0, 0}}}) {
        auto b = MainWindowButton();
        b->setButtonStyle(c.style);
        b->setCaption(QStringLiteral("Convert"));
        const QRect normalRect = b->CaptionRect();
        const QRect normalInk = InkBox(b->Surface());
        ASSERT_FALSE(normalInk.isEmpty());
        Send(b.get(), QEvent::MouseButtonPress, {30, 10});
        ASSERT_EQ(b->ButtonState(), SkButton::Down);
        EXPECT_EQ(b->CaptionRect(), normalRect.translated(c.shift)) << "style " << c.style;
        EXPECT_EQ(InkBox(b->Surface()), normalInk.translated(c.shift)) << "style " << c.style;
    }
}

// What reaches the screen (a paint of the widget) is the drawing of the
// button's current state, whether or not anyone read the buffer in between.
void ExpectPaintedAsSurface(SkButton& b, const char* when) {
    const QImage painted = b.grab().toImage();
    const QImage& s = b.Surface();
    ASSERT_EQ(painted.size(), s.size()) << when;
    const QRegion shape = b.mask().isEmpty() ? QRegion(b.rect()) : b.mask();
    int differing = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (shape.contains(QPoint(x, y)) && GetPixel(painted, x, y) != GetPixel(s, x, y)) ++differing;
    EXPECT_EQ(differing, 0) << when;
}

TEST(SkButtonPaint, ScreenFollowsEveryChange) {
    auto b = MainWindowButton();
    ExpectPaintedAsSurface(*b, "as built");
    const QImage first = b->grab().toImage();
    b->setBackColor(Rgb(200, 30, 30));
    ExpectPaintedAsSurface(*b, "new back colour, painted before the buffer was read");
    EXPECT_NE(b->grab().toImage(), first);
    b->setCaption(QStringLiteral("转换"));
    b->setEnabled(false);
    ExpectPaintedAsSurface(*b, "caption and enabled changed together");
    b->resize(90, 30);  // hidden: no resize event until shown
    ExpectPaintedAsSurface(*b, "resized while hidden");
}

TEST(SkButtonContent, CheckButtonWithValueDrawsDownExceptInStylesZeroAndSix) {
    auto b = MainWindowButton();
    b->setMode(1);
    b->setValue(true);
    EXPECT_EQ(GetPixel(b->Surface(), 5, 10), Rgb(223, 222, 218));  // the Down fill
    EXPECT_EQ(GetPixel(b->Surface(), 5, 2), Rgb(210, 209, 205));
    b->setValue(false);
    EXPECT_NE(GetPixel(b->Surface(), 5, 10), Rgb(223, 222, 218));

    // Style 0 shows a selected check button with its own sunken look, and its
    // caption does not move as a pressed one would.
    b->setButtonStyle(0);
    b->setCaption(QStringLiteral("Convert"));
    const QRect up = b->CaptionRect();
    b->setValue(true);
    EXPECT_EQ(b->CaptionRect(), up);
    EXPECT_EQ(GetPixel(b->Surface(), 10, 10),
              Shift(FromQColor(QApplication::palette().color(QPalette::Button)), 0.02f));
}

TEST(SkButtonContent, NarrowButtonsStackIdeographsInAColumn) {
    SkButton b;
    b.setButtonStyle(2);
    b.setCaption(QStringLiteral("转换为"));
    b.resize(23, 80);
    const QRect r = b.CaptionRect();
    const QFontMetrics fm(b.font());
    EXPECT_LE(r.width(), 23 - 8 + 1);
    EXPECT_GE(r.height(), 3 * fm.height() - 2);
    // The block is centred vertically.
    EXPECT_NEAR(r.top() + r.height() / 2.0, 40, 1.5);
    // Latin words stay whole and wrap at the blank.
    b.resize(40, 60);
    b.setCaption(QStringLiteral("Open file"));
    ASSERT_GT(fm.horizontalAdvance(QStringLiteral("Open file")), 40 - 8);
    EXPECT_GE(b.CaptionRect().height(), 2 * fm.height() - 2);
    EXPECT_LE(b.CaptionRect().width(), 40 - 8 + 1);
}

TEST(SkButtonContent, PictureMaskOpacityAndGreyscale) {
    SkButton b;
    b.setButtonStyle(8);  // rectangular, content stays put
    b.setCaption(QString());
    b.resize(40, 40);
    QImage pic(4, 4, QImage::Format_RGB32);
    pic.fill(qRgb(200, 40, 0));
    pic.setPixel(0, 0, qRgb(224, 224, 224));  // the mask colour
    b.setPictureNormal(QPixmap::fromImage(pic));
    const QRect pr = b.PictureRect();
    ASSERT_EQ(pr, QRect(18, 18, 4, 4));  // centred when there is no caption
    const QImage& s = b.Surface();
    EXPECT_EQ(GetPixel(s, 19, 19), Rgb(200, 40, 0));
    // The mask-coloured pixel is skipped: the background of its row shows.
    EXPECT_EQ(GetPixel(s, 18, 18), GetPixel(s, 17, 18));

    // Half opacity: (background * 127 + picture * 128) / 256.
    b.setPictureOpacity(128);
    const OleColor below = GetPixel(b.Surface(), 19, 19);
    const OleColor rowBg = GetPixel(b.Surface(), 17, 19);
    EXPECT_EQ(below, Rgb((RedOf(rowBg) * 127 + 200 * 128) / 256, (GreenOf(rowBg) * 127 + 40 * 128) / 256,
                         (BlueOf(rowBg) * 127 + 0 * 128) / 256));

    // Disabled, grey mode: 0.3 R + 0.59 G + 0.11 B at 75 % of the opacity.
    b.setPictureOpacity(255);
    b.setDisabledPictureMode(1);
    b.setEnabled(false);
    const OleColor dbg = GetPixel(b.Surface(), 17, 19);
    const int grey = 84;  // 60 + 23.6 + 0 = 83.6
    const int a = 191;    // 255 * 0.75 = 191.25
    EXPECT_EQ(GetPixel(b.Surface(), 19, 19),
              Rgb((RedOf(dbg) * (255 - a) + grey * a) / 256, (GreenOf(dbg) * (255 - a) + grey * a) / 256,
                  (BlueOf(dbg) * (255 - a) + grey * a) / 256));
}

TEST(SkButtonFocus, FocusFrameOnlyWhileTheWindowIsActive) {
    QWidget window;
    window.resize(200, 100);
    auto b = MainWindowButton(&window);
    SkButton other(&window, "other");
    other.move(100, 0);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    b->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return b->HasFocus(); }));
    ASSERT_TRUE(b->ParentActive());
    ExpectPixels(b->Surface(), {
                                   {5, 1, Rgb(206, 231, 255), "focus top"},
                                   {5, 2, Rgb(188, 212, 246), "focus second"},
                                   {1, 10, Rgb(142, 175, 230), "focus side"},
                                   {2, 10, Rgb(184, 209, 244), "focus inner side"},
                                   {5, H - 3, Rgb(137, 173, 228), "focus inner bottom"},
                                   {5, H - 2, Rgb(105, 130, 238), "focus bottom"},
                               });
    // Another window becomes active: no frame, back to the plain look.
    QWidget elsewhere;
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !b->ParentActive(); }));
    EXPECT_EQ(GetPixel(b->Surface(), 5, H - 2), Rgb(213, 212, 208));
}

}  // namespace
}  // namespace tessel::controls
