// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/raster.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>
#include <tuple>

namespace tessel::controls {
namespace {

constexpr OleColor kBack = Rgb(236, 235, 231);

struct ShiftCase {
    float f;
    OleColor expected;
};

class ShiftOfButtonBack : public ::testing::TestWithParam<ShiftCase> {};

// The listed shades of the main window's button colour.  -0.10 is the trap:
// a float sum or a round-half-up gives RGB(210, 210, 206).
TEST_P(ShiftOfButtonBack, GivesTheListedShade) {
    const ShiftCase c = GetParam();
    const OleColor got = Shift(kBack, c.f);
    EXPECT_EQ(std::make_tuple(RedOf(got), GreenOf(got), BlueOf(got)),
              std::make_tuple(RedOf(c.expected), GreenOf(c.expected), BlueOf(c.expected)))
        << "factor " << c.f;
}

INSTANTIATE_TEST_SUITE_P(
    Listed, ShiftOfButtonBack,
    ::testing::Values(ShiftCase{0.07f, Rgb(254, 253, 249)}, ShiftCase{0.08f, Rgb(255, 255, 251)},
                      ShiftCase{0.10f, Rgb(255, 255, 255)}, ShiftCase{-0.01f, Rgb(233, 232, 228)},
                      ShiftCase{-0.05f, Rgb(223, 222, 218)}, ShiftCase{-0.08f, Rgb(216, 215, 211)},
                      ShiftCase{-0.09f, Rgb(213, 212, 208)}, ShiftCase{-0.10f, Rgb(210, 209, 205)},
                      ShiftCase{-0.16f, Rgb(195, 194, 190)}, ShiftCase{0.01f, Rgb(239, 238, 234)},
                      ShiftCase{0.04f, Rgb(246, 245, 241)}));

// A system colour index reads the palette role that plays its part; 25 and
// anything past 30 name no colour.
TEST(SystemColours, ReadTheirPaletteRoleAndNoOther) {
    const QPalette saved = QGuiApplication::palette();
    QPalette p = saved;
    p.setColor(QPalette::Active, QPalette::Dark, QColor(1, 2, 3));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(4, 5, 6));
    p.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(7, 8, 9));
    p.setColor(QPalette::Active, QPalette::Window, QColor(10, 11, 12));
    QGuiApplication::setPalette(p);
    EXPECT_EQ(TranslateColor(SystemColor(0)), qint64{Rgb(1, 2, 3)});
    EXPECT_EQ(TranslateColor(SystemColor(kColorGrayText)), qint64{Rgb(4, 5, 6)});
    EXPECT_EQ(TranslateColor(SystemColor(kColorInfoBk)), qint64{Rgb(7, 8, 9)});
    EXPECT_EQ(TranslateColor(SystemColor(30)), qint64{Rgb(10, 11, 12)});
    EXPECT_EQ(TranslateColor(SystemColor(25)), -1);
    EXPECT_EQ(TranslateColor(SystemColor(31)), -1);
    QGuiApplication::setPalette(saved);
}

TEST(ColourArithmetic, AverageAndFrameCornersRoundHalfToEven) {
    EXPECT_EQ(Average(kWhite, kBack), Rgb(246, 245, 243));
    EXPECT_EQ(Shift(Rgb(0, 60, 116), 0.3f), Rgb(77, 137, 193));
    EXPECT_EQ(Shift(Rgb(55, 98, 6), 0.3f), Rgb(132, 175, 83));
    // Limits: a positive shift never wraps past 255, a negative one not below 0.
    EXPECT_EQ(Shift(Rgb(250, 5, 128), 0.5f), Rgb(255, 132, 255));  // 132.5 -> 132
    EXPECT_EQ(Shift(Rgb(250, 5, 128), -0.5f), Rgb(122, 0, 0));
}

TEST(ColourArithmetic, BrightenAndDarkenTables) {
    EXPECT_EQ(Brighten(0), 0);
    EXPECT_EQ(Brighten(100), 114);  // 29300 / 255
    EXPECT_EQ(Brighten(230), 255);  // capped
    EXPECT_EQ(Darken(255), 217);
    EXPECT_EQ(Darken(100), 85);
}

TEST(Raster, LineLeavesItsEndPointAndGradientHitsBothEnds) {
    QImage img(10, 10, QImage::Format_RGB32);
    img.fill(Qt::black);
    Line(img, 1, 2, 5, 2, kWhite);
    EXPECT_EQ(GetPixel(img, 1, 2), kWhite);
    EXPECT_EQ(GetPixel(img, 4, 2), kWhite);
    EXPECT_EQ(GetPixel(img, 5, 2), kBlack);
    Line(img, 7, 8, 7, 3, kWhite);  // upwards
    EXPECT_EQ(GetPixel(img, 7, 8), kWhite);
    EXPECT_EQ(GetPixel(img, 7, 4), kWhite);
    EXPECT_EQ(GetPixel(img, 7, 3), kBlack);

    // Vertical ramp over 4 rows: integer steps truncating toward zero.
    Gradient(img, 0, 0, 2, 4, Rgb(255, 0, 100), Rgb(0, 255, 91));
    EXPECT_EQ(GetPixel(img, 1, 0), Rgb(255, 0, 100));
    EXPECT_EQ(GetPixel(img, 1, 1), Rgb(170, 85, 97));
    EXPECT_EQ(GetPixel(img, 0, 3), Rgb(0, 255, 91));
    // A one-row ramp is the average of both ends, each half truncated.
    Gradient(img, 0, 9, 3, 1, Rgb(255, 3, 0), Rgb(0, 3, 9));
    EXPECT_EQ(GetPixel(img, 2, 9), Rgb(127, 2, 4));
    // Nothing for an empty block.
    Gradient(img, 5, 5, 0, 3, kWhite, kWhite);
    EXPECT_EQ(GetPixel(img, 5, 5), kBlack);
}

}  // namespace
}  // namespace tessel::controls
