// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a screen with more pixels per point (run under
// QT_SCALE_FACTOR 2 and 1.5): the banner, the tab strip and the skinned
// buttons are painted at the device's resolution, never as enlarged blocks
// of a drawing made for one pixel per point.
#include <QTest>
#include <cmath>

#include "controls/raster.h"
#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "shell/ui/resource_image.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

QRgb Dev(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFFu; }

// The logical pixel a device pixel's centre lies in, along one axis.
int LogicalOf(int device, qreal dpr) { return static_cast<int>(std::floor((device + 0.5) / dpr)); }

// Blocks of device pixels that together make one logical pixel inside
// `logical`, counted when their device pixels are not all alike.  A drawing
// made for one pixel per point and enlarged has none.
int MixedBlocks(const QImage& shot, const QRect& logical, qreal dpr) {
    int mixed = 0;
    for (int y = logical.top(); y <= logical.bottom(); ++y)
        for (int x = logical.left(); x <= logical.right(); ++x) {
            const int x0 = static_cast<int>(std::ceil(x * dpr - 0.5)),
                      x1 = static_cast<int>(std::ceil((x + 1) * dpr - 0.5));
            const int y0 = static_cast<int>(std::ceil(y * dpr - 0.5)),
                      y1 = static_cast<int>(std::ceil((y + 1) * dpr - 0.5));
            bool alike = true;
            for (int Y = y0; Y < y1 && alike; ++Y)
                for (int X = x0; X < x1 && alike; ++X) alike = Dev(shot, X, Y) == Dev(shot, x0, y0);
            mixed += !alike;
        }
    return mixed;
}

QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

class FrmMainScaleTest : public FrmMainTest {
 protected:
    void StartScaled() {
        Start();
        dpr = w->devicePixelRatioF();
        ASSERT_GT(dpr, 1.0) << "run this test with QT_SCALE_FACTOR above 1";
        // The window is a few pixels narrower than the banner, which it
        // clips, and the tab strip covers its last rows.
        const int top = w->findChild<controls::SafeTabs*>(QStringLiteral("SafeTabs"))->y();
        visible = QRect(0, 0, std::min(500, w->width()), std::min(60, top));
        device = QSize(qRound(500 * dpr), qRound(60 * dpr));
    }
    qreal dpr = 1;
    QRect visible;
    QSize device;
};

TEST_F(FrmMainScaleTest, TheBannerIsTheDetailedDrawingAtTheDevicesResolution) {
    StartScaled();
    const QImage shot = Shot(w.get());
    const QImage detailed = ResourcePng(QStringLiteral(":/tessel/banner@2x.png"));
    ASSERT_EQ(detailed.size(), QSize(1000, 120));
    const QImage expected =
        (detailed.size() == device ? detailed
                                   : detailed.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
            .convertToFormat(QImage::Format_RGB32);
    const int shownWidth = std::min(device.width(), shot.width());
    ASSERT_GE(shownWidth, qRound(visible.width() * dpr) - 1);
    int off = 0;
    for (int y = 0; y < qRound(visible.height() * dpr); ++y)
        for (int x = 0; x < shownWidth; ++x) off += Dev(shot, x, y) != Dev(expected, x, y);
    EXPECT_EQ(off, 0) << "pixels unlike the detailed picture";

    // Not the 500 x 60 picture enlarged: most logical pixels have detail.
    const int blocks = (visible.width() - 1) * visible.height();
    EXPECT_GT(MixedBlocks(shot, visible.adjusted(0, 0, -1, 0), dpr), blocks / 3);
    // Yet it is the same picture: averaged over each logical pixel, close
    // to the ordinary banner.
    const QImage small =
        ResourcePng(QStringLiteral(":/tessel/banner.png")).convertToFormat(QImage::Format_RGB32);
    const QImage averaged = expected.scaled(500, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double diff = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 500; ++x) diff += std::abs(qGray(Dev(averaged, x, y)) - qGray(Dev(small, x, y)));
    EXPECT_LT(diff / (500 * 60), 6.0) << "the detailed banner shows another picture";
}

// The pointer leaves ripples as at one pixel per point: the same places of
// the banner move, tick for tick, and what moves keeps the finer pixels.
TEST_F(FrmMainScaleTest, TheRippleIsTheSameWaveInFinerPixels) {
    StartScaled();
    ASSERT_TRUE(w->RippleRunning());
    const QImage picture =
        ResourcePng(QStringLiteral(":/tessel/banner.png")).convertToFormat(QImage::Format_RGB32);
    const QImage still = w->BannerDeviceFrame(dpr).copy();
    ASSERT_EQ(still.size(), device);
    for (int x = 96; x <= 112; x += 4) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 30), w->mapToGlobal(QPointF(x, 30)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &move);
        QTest::qWait(FrmMain::kRipplePeriodMs);
    }
    QTest::qWait(3 * FrmMain::kRipplePeriodMs);
    const QImage shot = Shot(w.get());
    const QImage frame = w->BannerFrame();
    const QImage fine = w->BannerDeviceFrame(dpr);
    ASSERT_EQ(fine.size(), device);
    // What the window shows is the rippled drawing.
    int shownOff = 0;
    for (int y = 0; y < qRound(visible.height() * dpr); ++y)
        for (int x = 0; x < std::min(device.width(), shot.width()); ++x)
            shownOff += Dev(shot, x, y) != Dev(fine, x, y);
    EXPECT_EQ(shownOff, 0);

    std::vector<char> movedFine(500 * 60, 0);
    int far = 0;
    for (int y = 0; y < device.height(); ++y)
        for (int x = 0; x < device.width(); ++x)
            if (Dev(fine, x, y) != Dev(still, x, y)) {
                const int lx = std::min(499, LogicalOf(x, dpr)), ly = std::min(59, LogicalOf(y, dpr));
                movedFine[static_cast<std::size_t>(ly) * 500 + lx] = 1;
                far += std::abs(lx - 104) > 40;
            }
    EXPECT_EQ(far, 0) << "pixels moved far from the pointer";
    int moved = 0, disagree = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 500; ++x) {
            const bool here = Dev(frame, x, y) != Dev(picture, x, y);
            moved += here;
            disagree += here != static_cast<bool>(movedFine[static_cast<std::size_t>(y) * 500 + x]);
        }
    EXPECT_GT(moved, 20) << "the pointer left no ripple";
    // Where the banner is flat a moved pixel may keep its colour on one
    // drawing and not on the other; elsewhere they agree.
    EXPECT_LE(disagree, moved / 10) << "the two drawings show different waves";
    if (dpr == 2.0) {
        int mixedMoved = 0, movedBlocks = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 500; ++x)
                if (movedFine[static_cast<std::size_t>(y) * 500 + x]) {
                    ++movedBlocks;
                    mixedMoved += MixedBlocks(fine, QRect(x, y, 1, 1), dpr);
                }
        // Enlarged blocks would leave none; the smooth sky has some alike.
        EXPECT_GE(mixedMoved * 2, movedBlocks) << "the ripple moves enlarged blocks";
    }
    // On a screen of one pixel per point (the window moved there) the
    // banner is the ordinary frame, and nothing finer is rippled any more.
    EXPECT_GT(w->Wave().FineWidth(), 0);
    EXPECT_EQ(&w->BannerDeviceFrame(1.0), &w->BannerFrame());
    EXPECT_EQ(w->Wave().FineWidth(), 0);
}

// Every skinned button's caption and the tab strip's captions and outline,
// as the window shows them: drawn for the device's pixels.
TEST_F(FrmMainScaleTest, ButtonsAndTabsShowTheirDeviceResolutionDrawings) {
    StartScaled();
    const QImage shot = Shot(w.get());
    auto* tabs = w->findChild<controls::SafeTabs*>(QStringLiteral("SafeTabs"));
    ASSERT_NE(tabs, nullptr);
    int checked = 0;
    for (auto* b : w->findChildren<controls::SkButton*>()) {
        if (!b->isVisible() || b->Caption().trimmed().isEmpty()) continue;
        SCOPED_TRACE(b->objectName().toStdString());
        const QRect caption = b->CaptionRect().translated(b->mapTo(w.get(), QPoint(0, 0)));
        // The shown button is its own drawing at the window's ratio, whole,
        // also where its place falls between device pixels.
        const QImage drawn = b->Surface().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(drawn.devicePixelRatio(), dpr);
        const QPoint at = b->mapTo(w.get(), QPoint(0, 0));
        const QPoint origin(qRound(at.x() * dpr), qRound(at.y() * dpr));
        // Inside the corners, which show what lies behind the button.
        const int in = static_cast<int>(std::ceil(dpr));
        int off = 0;
        for (int y = in; y < drawn.height() - in; ++y)
            for (int x = in; x < drawn.width() - in; ++x) {
                const bool differs = Dev(shot, origin.x() + x, origin.y() + y) != Dev(drawn, x, y);
                off += differs;
            }
        EXPECT_EQ(off, 0) << "at " << at.x() << "," << at.y();
        EXPECT_GT(MixedBlocks(shot, caption, dpr), caption.width() / 2) << "caption drawn as enlarged blocks";
        ++checked;
    }
    EXPECT_GE(checked, 5);
    for (int i = 0; i < tabs->TabCount(); ++i) {
        SCOPED_TRACE(i);
        const QRect r = tabs->TabRect(i).translated(tabs->mapTo(w.get(), QPoint(0, 0)));
        EXPECT_GT(MixedBlocks(shot, r.adjusted(4, 4, -4, -4), dpr), r.width() / 2)
            << "tab caption as enlarged blocks";
    }
    // The strip's outline stays one logical pixel of hard colour: no
    // blended colours between the line and the panel.
    const QImage strip = tabs->Surface().convertToFormat(QImage::Format_RGB32);
    const QRgb outline = controls::ToQRgb(controls::SafeTabs::kOutlineColor) & 0xFFFFFFu;
    const int right = strip.width() - 1;
    for (int y = strip.height() / 2; y < strip.height() - 2; y += 7) {
        EXPECT_EQ(Dev(strip, right, y), outline) << y;
        EXPECT_EQ(Dev(strip, right - qRound(dpr) + 1, y), outline) << y;
    }
}

// The multi-line boxes keep all four lines of their frame wherever they lie,
// also where their edges fall between device pixels.
TEST_F(FrmMainScaleTest, MultiLineBoxesKeepTheirWholeFrame) {
    StartScaled();
    int checked = 0;
    for (int tab = 0; tab < Child<controls::SafeTabs>(*w, "SafeTabs")->TabCount(); ++tab) {
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(tab);
        QApplication::processEvents();
        const QImage shot = Shot(w.get());
        for (auto* t : w->findChildren<QPlainTextEdit*>()) {
            if (!t->isVisible() || t->visibleRegion().isEmpty()) continue;
            SCOPED_TRACE(t->objectName().toStdString());
            const QRectF r(QPointF(t->mapTo(w.get(), QPoint(0, 0))) * dpr, QSizeF(t->size()) * dpr);
            // Some pixel of the few around each edge, halfway along it, is
            // the frame's grey on the white box and page.
            auto lineAt = [&](int x0, int x1, int y0, int y1) {
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x)
                        if (qGray(Dev(shot, x, y)) < 235) return true;
                return false;
            };
            const int midX = qRound(r.center().x()), midY = qRound(r.center().y());
            const int left = static_cast<int>(std::floor(r.left())),
                      top = static_cast<int>(std::floor(r.top()));
            const int right = static_cast<int>(std::ceil(r.right())) - 1;
            const int bottom = static_cast<int>(std::ceil(r.bottom())) - 1;
            EXPECT_TRUE(lineAt(left - 1, left + 2, midY, midY)) << "left";
            EXPECT_TRUE(lineAt(midX, midX, top - 1, top + 2)) << "top";
            EXPECT_TRUE(lineAt(right - 2, right + 1, midY, midY)) << "right";
            EXPECT_TRUE(lineAt(midX, midX, bottom - 2, bottom + 1)) << "bottom";
            ++checked;
        }
    }
    EXPECT_GE(checked, 5);
}

}  // namespace
}  // namespace tessel::shell::testing
