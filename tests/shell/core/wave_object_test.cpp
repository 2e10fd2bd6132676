// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/core/wave_object.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

using namespace tessel::shell;

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

// A picture whose pixels mostly differ, so a pixel taken from the wrong place shows.
std::vector<std::uint32_t> Gradient(int w, int h) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = kBlack | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    return p;
}

WaveObject Surface(int w, int h, int mode = 0, std::uint32_t seed = 1234) {
    WaveObject wave;
    EXPECT_TRUE(wave.WaveInit(w, h, Gradient(w, h), mode, seed));
    return wave;
}

std::vector<std::uint32_t> Out(const WaveObject& w) { return {w.Pixels().begin(), w.Pixels().end()}; }

struct Cell {
    int x, y, h;
    friend bool operator==(const Cell&, const Cell&) = default;
    friend void PrintTo(const Cell& c, std::ostream* os) { *os << "(" << c.x << "," << c.y << ")=" << c.h; }
};

// Every raised cell of the surface.
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

TEST(WaveDrop, SquareBoxOneMarginInsideThePictureOrNothing) {
    struct Case {
        int mode, x, y, r, depth;
        std::vector<Cell> cells;  // empty: ignored
    };
    const Case cases[] = {
        {0, 100, 30, 2, 256, Block(99, 101, 29, 31, 256)},    // mouse move
        {0, 100, 30, 5, 1000, Block(98, 102, 28, 32, 1000)},  // left press
        {0, 1, 30, 2, 256, {}},                               // x - a = 0
        {0, 2, 30, 2, 256, Block(1, 3, 29, 31, 256)},
        {0, 100, 58, 2, 256, {}},  // y + b + 1 = H
        {0, 50, 20, 1, 77, Block(50, 50, 20, 20, 77)},
        {2, 100, 30, 5, 1000, Block(98, 102, 29, 31, 1000)},  // flat: half as tall
    };
    for (const Case& c : cases) {
        WaveObject wave = Surface(500, 60, c.mode);
        ASSERT_FALSE(wave.Active());  // the first rendering found a calm surface
        wave.WaveDrop(c.x, c.y, c.r, c.depth);
        wave.WaveDrop(c.x, c.y, c.r, c.depth);  // sets, does not add
        EXPECT_EQ(Raised(wave), c.cells) << c.x << "," << c.y << " r " << c.r;
        EXPECT_EQ(wave.Active(), !c.cells.empty());
    }
}

// Slopes of about 124 pixels must land inside the picture, or the surface
// falls asleep after one tick; hence the tall pictures.
TEST(WaveStep, SpreadsDampsClampsAtZeroAndLeavesBorderRows) {
    WaveObject wave = Surface(260, 260);
    wave.WaveDrop(130, 130, 1, 256);
    wave.WaveDrop(100, 1, 1, 256);
    wave.WaveTick();
    // 256 / 2 on each neighbour, less 128 / 32; row 0 never moves.
    EXPECT_EQ(Raised(wave), (std::vector<Cell>{{99, 1, 124},
                                               {101, 1, 124},
                                               {100, 2, 124},
                                               {130, 129, 124},
                                               {129, 130, 124},
                                               {131, 130, 124},
                                               {130, 131, 124}}));
    ASSERT_TRUE(wave.Active());
    wave.WaveTick();
    EXPECT_EQ(wave.HeightAt(130, 130), 0);    // 4 * 124 / 2 - 256 = -8, clamped
    EXPECT_EQ(wave.HeightAt(129, 129), 121);  // (124 + 124) / 2, less 124 / 32
    EXPECT_EQ(wave.HeightAt(130, 128), 61);   // 124 / 2, less 62 / 32
}

TEST(WaveStep, RowsAreOneLineSoARowEndFeedsTheNextRowStart) {
    WaveObject wave = Surface(5, 260);
    wave.WaveDrop(3, 130, 1, 256);
    wave.WaveTick();
    ASSERT_EQ(wave.HeightAt(4, 130), 124);
    ASSERT_EQ(wave.HeightAt(0, 131), 0);
    wave.WaveTick();
    EXPECT_EQ(wave.HeightAt(0, 131), 61);  // its left neighbour is (4, 130)
}

TEST(WaveRender, DisplacedPixelsBlendTheirSourceWithBorderPixelsStandingInBeyond) {
    std::vector<std::uint32_t> pic(25, kBlack);
    pic[0] = 0xFF1020F0u;   // (0, 0)
    pic[3] = 0xFF000010u;   // (3, 0), beside (4, 0)
    pic[24] = 0xFF808080u;  // (4, 4)
    WaveObject wave;
    ASSERT_TRUE(wave.WaveInit(5, 5, pic, 0, 1));
    // A cross of height 1 around (2, 2) tilts the four diagonal pixels to the corners;
    // (0, 2) and (4, 2) look beyond the picture and keep their pixel.
    wave.WaveDrop(2, 2, 1, 2);
    ASSERT_TRUE(wave.WaveTick());
    std::vector<std::uint32_t> expected = pic;
    expected[6] = 0xFF0A1496u;   // (1, 1) <- (0, 0): 10/16 of each channel
    expected[8] = 0xFF000003u;   // (3, 1) <- (4, 0): 3/16 of its left neighbour
    expected[18] = 0xFF505050u;  // (3, 3) <- (4, 4)
    EXPECT_EQ(Out(wave), expected);
}

TEST(WaveRender, RippleSettlesBackToThePictureAndSleeps) {
    WaveObject wave = Surface(500, 60, 0, 7);
    const auto pic = Gradient(500, 60);
    EXPECT_EQ(Out(wave), pic);
    EXPECT_FALSE(wave.WaveTick());  // calm: nothing to draw

    wave.WaveDrop(100, 30, 2, 256);
    int ticks = 0;
    for (; wave.Active() && ticks < 5000; ++ticks) {
        EXPECT_TRUE(wave.WaveTick());
        const auto px = Out(wave);
        if (ticks == 3) {  // rippling, but rows 0 and H - 1 always show the picture
            EXPECT_NE(px, pic);
            EXPECT_TRUE(std::equal(px.begin(), px.begin() + 500, pic.begin()));
            EXPECT_TRUE(std::equal(px.end() - 500, px.end(), pic.end() - 500));
        }
    }
    ASSERT_FALSE(wave.Active()) << "never settled";
    EXPECT_EQ(Out(wave), pic);
    EXPECT_FALSE(wave.WaveTick());
}

TEST(WaveRandom, OwnGeneratorFromKnownSeeds) {
    // 0: bytes 0, 127 (seeds 127, 30727).  0xFFFFFFFF: only its low 16 bits feed the
    // next seed; bytes 255, 2174 & 255.  Random(0) is the raw 16-bit value.
    struct Case {
        std::uint32_t seed;
        std::int32_t n, value, seedAfter;
    };
    for (const Case& c : {Case{0, 0, 32512, 30727}, Case{0, 100, 12, 30727},
                          Case{0xFFFFFFFFu, 0, 32511, (2174 * 2047 + 127) % 32767}}) {
        WaveObject wave = Surface(3, 3, 0, c.seed);
        EXPECT_EQ(wave.Random(c.n), c.value) << c.seed;
        EXPECT_EQ(wave.Seed(), c.seedAfter) << c.seed;
    }
}

TEST(WaveAuto, WanderingDropBouncesOffTheBorders) {
    struct Case {
        int startX, speed, nextX, nextDX;
    };
    const Case cases[] = {{497, 5, 496, -5}, {490, 5, 495, 5}, {3, -5, 3, 5}, {1, -1, 1, 1}};
    for (const Case& c : cases) {
        // The start comes from the effect's own generator: find a seed that gives it.
        WaveObject wave;
        for (std::uint32_t seed = 0; seed < 70000 && wave.AutoX() != c.startX; ++seed) {
            wave = Surface(500, 60, 0, seed);
            wave.WaveSetAuto(2, c.speed, 4, 250);
        }
        ASSERT_EQ(wave.AutoX(), c.startX);
        wave.WaveTick();  // odd tick: the drop rests
        EXPECT_EQ(wave.AutoX(), c.startX);
        wave.WaveTick();
        EXPECT_EQ(wave.AutoX(), c.nextX) << c.startX;
        EXPECT_EQ(wave.AutoDX(), c.nextDX) << c.startX;
    }
}

TEST(WaveAuto, RandomModesDrawInOrderAndRainDropsCountPlusOne) {
    struct Case {
        int mode, count, draws;  // draws: calls of Random in one tick
    };
    for (const Case& c : {Case{3, 250, 4 * 251}, Case{3, -1, 0}, Case{0, 5, 0}}) {
        WaveObject wave = Surface(500, 60, 0, 4242);
        wave.WaveSetAuto(c.mode, c.count, 1, 150);
        WaveObject twin = wave;
        wave.WaveTick();
        for (int i = 0; i < c.draws; ++i) twin.Random(1);
        EXPECT_EQ(wave.Seed(), twin.Seed()) << "mode " << c.mode << " count " << c.count;
    }
    // Mode 1 draws x, y, size, then depth + 50; size 1 always fits.
    WaveObject wave = Surface(500, 60, 0, 4242);
    wave.WaveSetAuto(1, 5, 1, 150);
    WaveObject twin = wave;
    wave.WaveTick();
    const int x = twin.Random(498) + 1, y = twin.Random(58) + 1;
    twin.Random(1);
    EXPECT_EQ(Raised(wave), (std::vector<Cell>{{x, y, twin.Random(150) + 50}}));
}

TEST(WaveInit, BadPicturesAreReportedAndLeaveTheEffectStopped) {
    struct Case {
        int w, h;
        std::size_t pixels;
    };
    for (const Case& c : {Case{0, 60, 0}, Case{500, -1, 0}, Case{500, 60, 100}, Case{1 << 20, 1 << 20, 4}}) {
        WaveObject wave = Surface(500, 60);
        wave.WaveSetAuto(3, 250, 4, 8);
        EXPECT_FALSE(wave.WaveInit(c.w, c.h, std::vector<std::uint32_t>(c.pixels, kBlack), 0, 1)) << c.w;
        EXPECT_FALSE(wave.WaveTick());
        wave.WaveDrop(1, 1, 1, 5);  // harmless on a stopped effect
        EXPECT_EQ(wave.Flags(), 0u);
        EXPECT_TRUE(wave.Pixels().empty());
    }
}

namespace {

// A picture with every pixel made `k` x `k` pixels.
std::vector<std::uint32_t> Enlarged(std::span<const std::uint32_t> p, int w, int h, int k) {
    std::vector<std::uint32_t> big(static_cast<std::size_t>(w) * h * k * k);
    for (int y = 0; y < h * k; ++y)
        for (int x = 0; x < w * k; ++x)
            big[static_cast<std::size_t>(y) * w * k + x] = p[static_cast<std::size_t>(y / k) * w + x / k];
    return big;
}

struct ScaledScript {
    const char* name;
    std::vector<std::array<int, 4>> drops;  // x, y, r, depth before the ticks
    int autoMode;
};

std::vector<std::uint32_t> Fine(const WaveObject& w) {
    return {w.FinePixels().begin(), w.FinePixels().end()};
}

class WaveFinePicture : public ::testing::TestWithParam<ScaledScript> {};

// The finer picture ripples with the same wave: over the picture merely
// enlarged it is the ordinary rendering enlarged, tick after tick, so the
// same pixels move the same way; over a picture with real detail the same
// places move, and what moves keeps that detail.
TEST_P(WaveFinePicture, IsTheSameWaveWithFinerPixels) {
    constexpr int W = 60, H = 24;
    const std::vector<std::uint32_t> picture = Gradient(W, H);
    const std::vector<std::uint32_t> detailed = Gradient(2 * W, 2 * H);
    // Four runs of one script from the same seed: the fine pictures differ.
    struct Run {
        int k;
        std::vector<std::uint32_t> fine;
        WaveObject wave;
    };
    std::vector<Run> runs;
    runs.push_back({1, picture, Surface(W, H)});
    runs.push_back({2, Enlarged(picture, W, H, 2), Surface(W, H)});
    runs.push_back({3, Enlarged(picture, W, H, 3), Surface(W, H)});
    runs.push_back({2, detailed, Surface(W, H)});
    for (Run& r : runs) {
        ASSERT_TRUE(r.wave.SetFinePicture(r.fine, W * r.k, H * r.k));
        EXPECT_EQ(Fine(r.wave), r.fine) << "a calm surface changed the picture";
        for (const auto& d : GetParam().drops) r.wave.WaveDrop(d[0], d[1], d[2], d[3]);
        if (GetParam().autoMode) r.wave.WaveSetAuto(GetParam().autoMode, 3, 3, 30);
    }
    int movedBlocks = 0, mixedMovedBlocks = 0;
    for (int tick = 0; tick < 12; ++tick) {
        for (Run& r : runs) r.wave.WaveTick();
        const std::vector<std::uint32_t> out = Out(runs[0].wave);
        for (const Run& r : runs) ASSERT_EQ(Out(r.wave), out) << "the fine picture changed the wave";
        ASSERT_EQ(Fine(runs[0].wave), out) << "tick " << tick;
        ASSERT_EQ(Fine(runs[1].wave), Enlarged(out, W, H, 2)) << "tick " << tick;
        ASSERT_EQ(Fine(runs[2].wave), Enlarged(out, W, H, 3)) << "tick " << tick;

        const std::vector<std::uint32_t> fine = Fine(runs[3].wave);
        auto at = [&](const std::vector<std::uint32_t>& p, int x, int y) {
            return p[static_cast<std::size_t>(y) * 2 * W + x];
        };
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * W + x;
                bool movedThere = false, mixed = false;
                for (int d = 0; d < 4; ++d) {
                    const int fx = 2 * x + d % 2, fy = 2 * y + d / 2;
                    movedThere |= at(fine, fx, fy) != at(detailed, fx, fy);
                    mixed |= at(fine, fx, fy) != at(fine, 2 * x, 2 * y);
                }
                wrong += (out[i] != picture[i]) != movedThere;
                if (tick == 11 && movedThere) {
                    ++movedBlocks;
                    mixedMovedBlocks += mixed;
                }
            }
        ASSERT_EQ(wrong, 0) << "tick " << tick << ": places moved on one picture and not on the other";
    }
    EXPECT_GT(movedBlocks, 10);
    EXPECT_GE(mixedMovedBlocks * 10, movedBlocks * 9)
        << "moved parts of the detailed picture are enlarged blocks";
}

INSTANTIATE_TEST_SUITE_P(
    Drops, WaveFinePicture,
    ::testing::Values(ScaledScript{"PointerTrail", {{20, 12, 2, 20}, {22, 12, 2, 20}, {24, 13, 2, 20}}, 0},
                      ScaledScript{"NearTheEdges", {{2, 2, 2, 16}, {57, 21, 2, 16}, {1, 12, 1, 9}}, 0},
                      ScaledScript{"DeepPressThenMove", {{30, 12, 5, 1000}, {45, 12, 2, 20}}, 0},
                      ScaledScript{"Rain", {}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// At a ratio that is not whole (1.5) a calm surface leaves the picture as it
// is, a drop moves only pixels around its place, and the outermost rows of
// the surface never move.  Bad fine pictures are refused.
TEST(WaveFinePictureOddRatio, MovesOnlyAroundTheDropAndNeverTheOutermostRows) {
    WaveObject wave = Surface(40, 20);
    const std::vector<std::uint32_t> big = Gradient(60, 30);
    ASSERT_TRUE(wave.SetFinePicture(big, 60, 30));
    EXPECT_EQ(Fine(wave), big) << "a calm surface changed the picture";

    wave.WaveDrop(10, 10, 2, 16);
    for (int tick = 0; tick < 6; ++tick) wave.WaveTick();
    const std::vector<std::uint32_t> out = Fine(wave);
    int movedNear = 0, movedFar = 0, movedEdge = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * 60 + x;
            if (out[i] == big[i]) continue;
            const double dx = x / 1.5 - 10, dy = y / 1.5 - 10;
            (dx * dx + dy * dy <= 10 * 10 ? movedNear : movedFar) += 1;
            movedEdge += y < 2 || y >= 28;  // fine rows of surface rows 0 and 19
        }
    EXPECT_GT(movedNear, 20);
    EXPECT_EQ(movedFar, 0);
    EXPECT_EQ(movedEdge, 0);

    EXPECT_FALSE(wave.SetFinePicture(big, 60, 31));
    EXPECT_TRUE(wave.FinePixels().empty());
    EXPECT_FALSE(wave.SetFinePicture(big, 0, 30));
    WaveObject stopped;
    EXPECT_FALSE(stopped.SetFinePicture(big, 60, 30));
    ASSERT_TRUE(wave.SetFinePicture(big, 60, 30));
    wave.WaveInit(40, 20, Gradient(40, 20), 0, 1);
    EXPECT_TRUE(wave.FinePixels().empty()) << "a new start keeps an old fine picture";
}

}  // namespace

// A surface that rests whenever it may (calm and level, its buffers let go)
// shows the same frames as one that never rests: through a pointer trail, a
// deep press, rain and a wandering drop, at the picture's size and finer.
TEST(WaveRest, ChangesNoFrameOfThePictureOrItsFinerDrawing) {
    struct Script {
        const char* name;
        std::vector<std::array<int, 4>> drops;
        int autoMode;
    };
    const Script scripts[] = {{"PointerTrail", {{20, 12, 2, 20}, {22, 12, 2, 20}}, 0},
                              {"DeepPress", {{30, 12, 5, 1000}}, 0},
                              {"Rain", {}, 3},
                              {"Wandering", {}, 2}};
    constexpr int W = 60, H = 24;
    const std::vector<std::uint32_t> picture = Gradient(W, H);
    const std::vector<std::uint32_t> fine = Gradient(2 * W, 2 * H);
    for (const Script& s : scripts) {
        WaveObject resting = Surface(W, H), kept = Surface(W, H);
        ASSERT_TRUE(resting.Rest()) << "a fresh surface is level";
        EXPECT_EQ(Out(resting), picture);
        ASSERT_TRUE(resting.SetFinePicture(fine, 2 * W, 2 * H));
        ASSERT_TRUE(kept.SetFinePicture(fine, 2 * W, 2 * H));
        EXPECT_EQ(Fine(resting), fine);
        for (int round = 0; round < 3; ++round) {
            for (const auto& d : s.drops) {
                resting.WaveDrop(d[0], d[1], d[2], d[3]);
                kept.WaveDrop(d[0], d[1], d[2], d[3]);
            }
            resting.WaveSetAuto(s.autoMode, 3, 3, 30);
            kept.WaveSetAuto(s.autoMode, 3, 3, 30);
            for (int tick = 0; tick < 400; ++tick) {
                if (tick == 20) {  // the rain stops; the surface settles
                    resting.WaveSetAuto(0, 0, 0, 0);
                    kept.WaveSetAuto(0, 0, 0, 0);
                }
                ASSERT_EQ(resting.WaveTick(), kept.WaveTick()) << s.name << " tick " << tick;
                resting.Rest();
                ASSERT_EQ(Out(resting), Out(kept)) << s.name << " tick " << tick;
                ASSERT_EQ(Fine(resting), Fine(kept)) << s.name << " tick " << tick;
                ASSERT_EQ(resting.Flags(), kept.Flags()) << s.name << " tick " << tick;
                ASSERT_EQ(resting.Seed(), kept.Seed()) << s.name << " tick " << tick;
                ASSERT_EQ(Raised(resting), Raised(kept)) << s.name << " tick " << tick;
            }
        }
    }
}
