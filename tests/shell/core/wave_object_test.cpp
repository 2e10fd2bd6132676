// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/wave_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

using namespace tessel::shell;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

// A picture whose every pixel differs, so a pixel taken from the wrong place shows.
std::vector<std::uint32_t> Gradient(int w, int h) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[static_cast<std::size_t>(y) * w + x] = kBlack | static_cast<std::uint32_t>((y * 4) << 16 | (x & 0xFF) << 8 | (x * 7 + y) % 256);
    return p;
}

WaveObject Banner(int mode = 0, std::uint32_t seed = 1234) {
    WaveObject wave;
    const auto pic = Gradient(500, 60);
    EXPECT_TRUE(wave.WaveInit(500, 60, pic, mode, seed));
    return wave;
}

// Every cell of the surface that is not zero, as (x, y, height).
struct Cell {
    int x, y, h;
    friend bool operator==(const Cell&, const Cell&) = default;
    friend void PrintTo(const Cell& c, std::ostream* os) { *os << "(" << c.x << "," << c.y << ")=" << c.h; }
};
std::vector<Cell> Raised(const WaveObject& w) {
    std::vector<Cell> cells;
    for (int y = 0; y < w.Height(); ++y)
        for (int x = 0; x < w.Width(); ++x)
            if (w.HeightAt(x, y) != 0) cells.push_back({x, y, w.HeightAt(x, y)});
    return cells;
}
std::vector<Cell> Block(int x0, int x1, int y0, int y1, int h) {
    std::vector<Cell> cells;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) cells.push_back({x, y, h});
    return cells;
}

}  // namespace

namespace {
struct DropCase {
    const char* name;
    int mode;
    int x, y, r, depth;
    std::optional<std::vector<Cell>> cells;  // nullopt: ignored
};
}  // namespace

class WaveDrops : public testing::TestWithParam<DropCase> {};

TEST_P(WaveDrops, SquareBoxInsideTheMarginOrNothing) {
    const DropCase& c = GetParam();
    WaveObject wave = Banner(c.mode);
    ASSERT_FALSE(wave.Active());  // the first rendering found a calm surface
    wave.WaveDrop(c.x, c.y, c.r, c.depth);
    EXPECT_EQ(Raised(wave), c.cells.value_or(std::vector<Cell>{}));
    EXPECT_EQ(wave.Active(), c.cells.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveDrops,
    testing::Values(DropCase{"mouse_move_3x3_of_256", 0, 100, 30, 2, 256, Block(99, 101, 29, 31, 256)},
                    DropCase{"left_press_5x5_of_1000", 0, 100, 30, 5, 1000, Block(98, 102, 28, 32, 1000)},
                    DropCase{"touching_left_border_ignored", 0, 1, 30, 2, 256, std::nullopt},
                    DropCase{"one_pixel_margin_applied", 0, 2, 30, 2, 256, Block(1, 3, 29, 31, 256)},
                    DropCase{"right_margin_applied", 0, 497, 30, 2, 256, Block(496, 498, 29, 31, 256)},
                    DropCase{"touching_right_border_ignored", 0, 498, 30, 2, 256, std::nullopt},
                    DropCase{"touching_bottom_ignored", 0, 100, 58, 2, 256, std::nullopt},
                    DropCase{"top_margin_applied", 0, 100, 1, 1, 256, Block(100, 100, 1, 1, 256)},
                    DropCase{"outside_picture_ignored", 0, -40, 900, 2, 256, std::nullopt},
                    DropCase{"r1_single_cell", 0, 50, 20, 1, 77, Block(50, 50, 20, 20, 77)},
                    DropCase{"r0_single_cell", 0, 50, 20, 0, 77, Block(50, 50, 20, 20, 77)},
                    DropCase{"flat_half_as_tall", 2, 100, 30, 5, 1000, Block(98, 102, 29, 31, 1000)},
                    DropCase{"flat_small_is_one_row", 2, 100, 30, 2, 256, Block(99, 101, 30, 30, 256)}),
    [](const testing::TestParamInfo<DropCase>& i) { return std::string(i.param.name); });

TEST(WaveDrop, SetsHeightsRatherThanAddingToThem) {
    WaveObject wave = Banner();
    wave.WaveDrop(100, 30, 2, 256);
    wave.WaveDrop(100, 30, 2, 256);
    wave.WaveDrop(101, 30, 1, 5);
    EXPECT_EQ(wave.HeightAt(100, 30), 256);
    EXPECT_EQ(wave.HeightAt(101, 30), 5);
}

// Slopes of about 124 pixels must land inside the picture, or the surface
// falls asleep after one tick; hence the large pictures below.
TEST(WaveStep, SpreadsDampsAndClampsAtZero) {
    WaveObject wave;
    const auto pic = Gradient(260, 260);
    ASSERT_TRUE(wave.WaveInit(260, 260, pic, 0, 1));
    wave.WaveDrop(130, 130, 1, 256);
    wave.WaveTick();
    // 256 / 2 = 128 on each neighbour, less 128 / 32.
    EXPECT_EQ(Raised(wave), (std::vector<Cell>{{130, 129, 124}, {129, 130, 124}, {131, 130, 124}, {130, 131, 124}}));
    ASSERT_TRUE(wave.Active());
    wave.WaveTick();
    // The centre: 4 * 124 / 2 - 256 = -8, clamped to 0.
    EXPECT_EQ(wave.HeightAt(130, 130), 0);
    EXPECT_EQ(wave.HeightAt(129, 129), 121);  // (124 + 124) / 2 - 0, less 124 / 32
    EXPECT_EQ(wave.HeightAt(130, 128), 61);   // 124 / 2 - 0, less 62 / 32
}

TEST(WaveStep, BorderRowsNeverMove) {
    WaveObject wave;
    const auto pic = Gradient(260, 260);
    ASSERT_TRUE(wave.WaveInit(260, 260, pic, 0, 1));
    wave.WaveDrop(130, 1, 1, 256);
    wave.WaveDrop(130, 258, 1, 256);
    wave.WaveTick();
    EXPECT_EQ(wave.HeightAt(130, 0), 0);
    EXPECT_EQ(wave.HeightAt(130, 259), 0);
    EXPECT_EQ(wave.HeightAt(130, 2), 124);
}

TEST(WaveStep, RowsAreOneLineSoTheRowEndFeedsTheNextRowStart) {
    WaveObject wave;
    const auto pic = Gradient(5, 260);
    ASSERT_TRUE(wave.WaveInit(5, 260, pic, 0, 1));
    wave.WaveDrop(3, 130, 1, 256);
    wave.WaveTick();
    ASSERT_EQ(wave.HeightAt(4, 130), 124);
    ASSERT_EQ(wave.HeightAt(0, 131), 0);
    ASSERT_TRUE(wave.Active());
    wave.WaveTick();
    // (0, 131) sees (4, 130) as its left neighbour: 124 / 2, less 62 / 32.
    EXPECT_EQ(wave.HeightAt(0, 131), 61);
}

TEST(WaveStep, HeightsNeverGoNegativeUnderHeavyRain) {
    WaveObject wave = Banner(0, 99);
    wave.WaveSetAuto(3, 250, 4, 8);
    wave.WaveDrop(100, 30, 5, 1000);
    for (int t = 0; t < 60; ++t) {
        wave.WaveTick();
        if (t % 10 == 0) wave.WaveDrop(50 + t * 5, 30, 5, 1000);
    }
    const auto cells = Raised(wave);
    ASSERT_FALSE(cells.empty());
    EXPECT_TRUE(std::all_of(cells.begin(), cells.end(), [](const Cell& c) { return c.h > 0; }));
}

TEST(WaveRender, DisplacedPixelsBlendTheirSourceAndNeighbours) {
    // Black except three marked source pixels near the corners.
    std::vector<std::uint32_t> pic(25, kBlack);
    pic[0] = 0xFF1020F0u;       // (0, 0)
    pic[3] = 0xFF000010u;       // (3, 0), right beside (4, 0)
    pic[24] = 0xFF808080u;      // (4, 4)
    WaveObject wave;
    ASSERT_TRUE(wave.WaveInit(5, 5, pic, 0, 1));
    // A cross of height 1 around (2, 2) tilts the four diagonal pixels towards the corners.
    wave.WaveDrop(2, 2, 1, 2);
    ASSERT_TRUE(wave.WaveTick());
    std::vector<std::uint32_t> expected = pic;
    // (1, 1) <- (0, 0): beyond the border the nearest pixel stands in, so 10/16 of each channel.
    expected[6] = 0xFF0A1496u;
    // (3, 1) <- (4, 0): only the left neighbour is coloured, 3/16 of it.
    expected[8] = 0xFF000003u;
    // (3, 3) <- (4, 4): 10/16 of 0x80.
    expected[18] = 0xFF505050u;
    // (1, 3) <- (0, 4): all black.
    const auto px = wave.Pixels();
    EXPECT_EQ(std::vector<std::uint32_t>(px.begin(), px.end()), expected);
    EXPECT_TRUE(wave.Active());
}

TEST(WaveRender, SlopeOutsideThePictureKeepsThePreviousPixel) {
    const auto pic = Gradient(5, 5);
    WaveObject wave;
    ASSERT_TRUE(wave.WaveInit(5, 5, pic, 0, 1));
    wave.WaveDrop(2, 2, 1, 2);
    wave.WaveTick();
    const auto first = std::vector<std::uint32_t>(wave.Pixels().begin(), wave.Pixels().end());
    // (0, 2) looks at x = -1 and (4, 2) at x = 5: both kept from the first rendering.
    EXPECT_EQ(first[10], pic[10]);
    EXPECT_EQ(first[14], pic[14]);
    EXPECT_NE(first[6], pic[6]);  // while (1, 1) did move
}

TEST(WaveRender, CalmSurfaceShowsThePictureAndSleeps) {
    const auto pic = Gradient(500, 60);
    WaveObject wave;
    ASSERT_TRUE(wave.WaveInit(500, 60, pic, 0, 7));
    EXPECT_EQ(std::vector<std::uint32_t>(wave.Pixels().begin(), wave.Pixels().end()), pic);
    EXPECT_FALSE(wave.Active());
    EXPECT_FALSE(wave.WaveTick());  // asleep: nothing to draw

    wave.WaveDrop(100, 30, 2, 256);
    int ticks = 0;
    bool differed = false;
    while (wave.Active() && ticks < 5000) {
        EXPECT_TRUE(wave.WaveTick());
        const auto px = wave.Pixels();
        differed = differed || !std::equal(px.begin(), px.end(), pic.begin());
        // Rows 0 and H - 1 always show the picture.
        EXPECT_TRUE(std::equal(px.begin(), px.begin() + 500, pic.begin()));
        EXPECT_TRUE(std::equal(px.end() - 500, px.end(), pic.end() - 500));
        ++ticks;
    }
    EXPECT_TRUE(differed);
    ASSERT_FALSE(wave.Active()) << "the ripple never settled";
    EXPECT_TRUE(Raised(wave).empty());
    EXPECT_EQ(std::vector<std::uint32_t>(wave.Pixels().begin(), wave.Pixels().end()), pic);
    EXPECT_FALSE(wave.WaveTick());
}

TEST(WaveRender, SlopesBeyondThePictureEverywhereLetTheSurfaceSleep) {
    // A lone 1000-high press tilts every pixel outside a 60-pixel banner: nothing
    // is displaced, so the surface sleeps with its heights until the next drop.
    WaveObject wave = Banner();
    wave.WaveDrop(100, 30, 5, 1000);
    EXPECT_TRUE(wave.WaveTick());
    EXPECT_FALSE(wave.Active());
    EXPECT_FALSE(Raised(wave).empty());
    const auto before = Raised(wave);
    EXPECT_FALSE(wave.WaveTick());
    EXPECT_EQ(Raised(wave), before);
}

TEST(WaveRandom, OwnGeneratorFromKnownSeeds) {
    struct Case {
        std::uint32_t seed;
        std::int32_t n;
        std::int32_t value;
        std::int32_t seedAfter;
    };
    // seed 0: bytes 0 then 127 (seed 127, then 127 * 2048 mod 32767 = 30727).
    // seed -1: only the low 16 bits (65535) feed the next seed; bytes 255, 126.
    // seed 0x12345: low 16 bits 9029; bytes 0x45, 1902 & 255 = 110.
    const Case cases[] = {
        {0, 0, 32512, 30727},  {0, 100, 12, 30727},  {0xFFFFFFFFu, 0, 32511, (2174 * 2047 + 127) % 32767},
        {0x12345, 0, 28229, (1902 * 2047 + 127) % 32767}, {0x12345, -7, 28229 % 7, (1902 * 2047 + 127) % 32767},
    };
    for (const Case& c : cases) {
        WaveObject wave;
        ASSERT_TRUE(wave.WaveInit(3, 3, std::vector<std::uint32_t>(9, kBlack), 0, c.seed));
        EXPECT_EQ(wave.Random(c.n), c.value) << c.seed << " " << c.n;
        EXPECT_EQ(wave.Seed(), c.seedAfter) << c.seed;
    }
}

namespace {

// A banner whose wandering drop starts at column `startX`: the start is drawn
// from the effect's own generator, so look for a seed that yields it.
WaveObject Wanderer(int startX, int speed) {
    for (std::uint32_t seed = 0; seed < 70000; ++seed) {
        WaveObject wave = Banner(0, seed);
        wave.WaveSetAuto(2, speed, 4, 250);
        if (wave.AutoX() == startX) return wave;
    }
    ADD_FAILURE() << "no seed starts the drop at " << startX;
    return WaveObject{};
}

}  // namespace

TEST(WaveAuto, WanderingDropBouncesOffTheBorders) {
    struct Case {
        int startX, speed, nextX, nextDX;
    };
    const Case cases[] = {
        {497, 5, 496, -5},  // 2 * 499 - 502
        {490, 5, 495, 5},
        {3, -5, 3, 5},      // 1 - (-2)
        {1, -1, 1, 1},      // 1 - 0
    };
    for (const Case& c : cases) {
        WaveObject wave = Wanderer(c.startX, c.speed);
        ASSERT_TRUE(wave.Running());
        EXPECT_EQ(wave.AutoDX(), c.speed);
        wave.WaveTick();  // odd tick: the drop rests
        EXPECT_EQ(wave.AutoX(), c.startX);
        wave.WaveTick();
        EXPECT_EQ(wave.AutoX(), c.nextX) << c.startX;
        EXPECT_EQ(wave.AutoDX(), c.nextDX) << c.startX;
        EXPECT_EQ(std::abs(wave.AutoDY()), std::abs(c.speed));
    }
}

TEST(WaveAuto, RandomModesDrawInOrderAndCountPlusOneDrops) {
    struct Case {
        int mode, count, radius, depth;
        int draws;  // calls of Random per tick
    };
    const Case cases[] = {{1, 5, 1, 150, 4}, {3, 250, 1, 8, 4 * 251}, {3, -1, 1, 8, 0}, {2, 5, 4, 250, 0}};
    for (const Case& c : cases) {
        WaveObject wave = Banner(0, 4242);
        wave.WaveSetAuto(c.mode, c.count, c.radius, c.depth);
        WaveObject twin = wave;
        wave.WaveTick();
        for (int i = 0; i < c.draws; ++i) twin.Random(1);
        EXPECT_EQ(wave.Seed(), twin.Seed()) << "mode " << c.mode << " count " << c.count;
    }
    // Mode 1: x, y, size, depth + 50, in that order; size 1 is always inside.
    WaveObject wave = Banner(0, 4242);
    wave.WaveSetAuto(1, 5, 1, 150);
    WaveObject twin = wave;
    wave.WaveTick();
    const int x = twin.Random(498) + 1;
    const int y = twin.Random(58) + 1;
    EXPECT_EQ(twin.Random(1) + 1, 1);
    const int depth = twin.Random(150) + 50;
    EXPECT_EQ(Raised(wave), (std::vector<Cell>{{x, y, depth}}));

    wave.WaveSetAuto(0, 0, 0, 0);
    const auto seed = wave.Seed();
    wave.WaveTick();
    EXPECT_EQ(wave.Seed(), seed);
    EXPECT_EQ(wave.Flags() & WaveObject::kAutoDrop, 0u);
}

TEST(WaveInit, BadPicturesAreReportedAndLeaveNothingRunning) {
    struct Case {
        const char* name;
        int w, h;
        std::size_t pixels;
    };
    const Case cases[] = {{"zero_width", 0, 60, 0},       {"negative_height", 500, -1, 0},
                          {"too_few_pixels", 500, 60, 100}, {"too_many_pixels", 2, 2, 5},
                          {"absurd_size", 1 << 20, 1 << 20, 4}};
    for (const Case& c : cases) {
        WaveObject wave = Banner();
        wave.WaveSetAuto(3, 250, 4, 8);
        EXPECT_FALSE(wave.WaveInit(c.w, c.h, std::vector<std::uint32_t>(c.pixels, kBlack), 0, 1)) << c.name;
        EXPECT_FALSE(wave.Running()) << c.name;
        EXPECT_TRUE(wave.Pixels().empty()) << c.name;
        EXPECT_FALSE(wave.WaveTick()) << c.name;
        wave.WaveDrop(1, 1, 1, 5);  // harmless on a stopped effect
        EXPECT_EQ(wave.Flags(), 0u) << c.name;
    }
}

TEST(WaveInit, RestartForgetsTheRunBefore) {
    WaveObject wave = Banner();
    wave.WaveSetAuto(3, 250, 4, 8);
    wave.WaveDrop(100, 30, 2, 256);
    const auto pic = Gradient(20, 10);
    ASSERT_TRUE(wave.WaveInit(20, 10, pic, 2, 5));
    EXPECT_EQ(wave.Flags(), WaveObject::kFlat);
    EXPECT_TRUE(Raised(wave).empty());
    EXPECT_EQ(wave.Pixels().size(), 200u);
}

TEST(WaveAuto, ButtonPickMapsToTheFourModes) {
    struct Case {
        double r;
        int mode, count, radius, depth;
    };
    const Case cases[] = {{0.0, 2, 5, 4, 250},   {0.16, 2, 5, 4, 250}, {0.2, 3, 250, 4, 8},
                          {0.5, 1, 5, 4, 150},   {0.8, 1, 5, 4, 150},  {0.9, 0, 0, 0, 0}};
    for (const Case& c : cases) {
        const auto s = WaveAutoForPick(c.r);
        EXPECT_EQ((std::vector<int>{s.mode, s.count, s.radius, s.depth}),
                  (std::vector<int>{c.mode, c.count, c.radius, c.depth}))
            << c.r;
    }
}
