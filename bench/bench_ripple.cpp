// SPDX-License-Identifier: GPL-3.0-or-later
// One ripple tick of the 500 x 60 banner while the surface moves: alone, and
// with the banner's finer drawing for screens scaled by 1.5 and 2 rippled in
// the same step.  Ticks come every 30 ms.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "shell/core/wave_object.h"

namespace {

using tessel::shell::WaveObject;

std::vector<std::uint32_t> Picture(int w, int h) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    return p;
}

// state.range(0): the finer drawing's pixels per banner pixel, times 10 (0: none).
void BM_RippleTick(benchmark::State& state) {
    WaveObject wave;
    wave.WaveInit(500, 60, Picture(500, 60), 0, 1);
    if (state.range(0) > 0) {
        const int w = static_cast<int>(500 * state.range(0) / 10),
                  h = static_cast<int>(60 * state.range(0) / 10);
        wave.SetFinePicture(Picture(w, h), w, h);
    }
    int n = 0;
    for (auto _ : state) {
        // A pointer crossing the banner keeps the surface moving.
        wave.WaveDrop(20 + (n * 7) % 460, 30, 2, 256);
        ++n;
        benchmark::DoNotOptimize(wave.WaveTick());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_RippleTick)->Arg(0)->Arg(15)->Arg(20);

}  // namespace
