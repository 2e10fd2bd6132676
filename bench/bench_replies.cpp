// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the largest video-parse replies we accept (16 MiB): hostile albums
// built to make an item-by-item reader quadratic, and a well-formed one.

#include <benchmark/benchmark.h>

#include <string>

#include "web/reply_file.h"
#include "web/video_parse.h"

namespace {

using namespace tessel::web;

const ParseHomes kHomes{u"http://www.flvcd.com", u""};
const std::u16string kHead = u"<title>优酷专辑解析</title>当前解析专辑";

std::u16string Fill(std::u16string_view unit, std::u16string_view tail) {
    std::u16string reply = kHead;
    const std::size_t units = static_cast<std::size_t>(kMaxReplyBytes);  // ASCII: one byte a unit
    reply.reserve(units + tail.size());
    while (reply.size() + unit.size() + tail.size() <= units) reply += unit;
    reply += tail;
    return reply;
}

void Run(benchmark::State& state, const std::u16string& reply) {
    for (auto _ : state) benchmark::DoNotOptimize(ReadVideoReply(reply, kHomes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}

// Item starts without end markers, one end at the very end.
void BM_AlbumOnlyItemStarts(benchmark::State& state) {
    static const std::u16string reply = Fill(u"<U>", u"http://a.test/v<X>当前解析专辑<N>T.<P>");
    Run(state, reply);
}

// Many short well-formed items: the box grows to most of the reply.
void BM_AlbumManyItems(benchmark::State& state) {
    static const std::u16string reply = Fill(u"<U>http://a.test/v.flv<X>", u"当前解析专辑<N>T.<P>");
    Run(state, reply);
}

// Items the filter refuses one after another.
void BM_AlbumRefusedItems(benchmark::State& state) {
    static const std::u16string reply = Fill(u"<U>ftp://x<X>", u"");
    Run(state, reply);
}

// A single item of 16 MiB.
void BM_AlbumOneHugeItem(benchmark::State& state) {
    static const std::u16string reply = Fill(u"a", u"<X>").insert(kHead.size(), u"<U>http://");
    Run(state, reply);
}

BENCHMARK(BM_AlbumOnlyItemStarts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlbumManyItems)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlbumRefusedItems)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlbumOneHugeItem)->Unit(benchmark::kMillisecond);

}  // namespace
