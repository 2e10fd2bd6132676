// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Wine registry files, ordinary and hostile.  Run one case at a time
// (--benchmark_filter) under `/usr/bin/time -v` to see its peak memory
// beside the file's size.

#include <benchmark/benchmark.h>

#include <string>

#include "handoff/wine_registry.h"

namespace {

using namespace tessel::handoff;

// About 20 MB of keys with a few values each, as a busy prefix has.
std::string Ordinary() {
    std::string text = "WINE REGISTRY Version 2\n#arch=win64\n\n";
    for (int i = 0; text.size() < 20u * 1024 * 1024; ++i) {
        const std::string n = std::to_string(i);
        text += "[Software\\\\Vendor" + std::to_string(i % 97) + "\\\\Product\\\\Item" + n + "] 1700000000\n";
        text += "#time=1da0000000000\n\"DisplayName\"=\"Item " + n + "\"\n";
        text += "\"Path\"=str(2):\"%ProgramFiles%\\\\Vendor\\\\" + n + "\"\n\"Flags\"=dword:000000ff\n\n";
    }
    return text;
}

std::string DeepKey() {
    std::string text = "[k";
    for (int i = 1; i < 30000; ++i) text += "\\\\k";
    return text + "] 1\n\"V\"=\"deep\"\n";
}

// 16 MB of the smallest distinct keys: the most keys a file of that size holds.
std::string TinyKeys() {
    std::string text;
    for (int i = 0; text.size() < 16u * 1024 * 1024; ++i) text += "[" + std::to_string(i) + "]\n";
    return text;
}

void Run(benchmark::State& state, const std::string& text) {
    for (auto _ : state) benchmark::DoNotOptimize(ParseWineRegistry(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_OrdinaryHive(benchmark::State& state) { Run(state, Ordinary()); }
void BM_DeepKey(benchmark::State& state) { Run(state, DeepKey()); }
void BM_BlankLines(benchmark::State& state) { Run(state, std::string(100u * 1024 * 1024, '\n')); }
void BM_TinyKeys(benchmark::State& state) { Run(state, TinyKeys()); }

BENCHMARK(BM_OrdinaryHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeepKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlankLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TinyKeys)->Unit(benchmark::kMillisecond);

}  // namespace
