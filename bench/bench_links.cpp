// SPDX-License-Identifier: GPL-3.0-or-later
// Link conversion throughput: items per second on one core.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "links/commands.h"
#include "links/special_link.h"
#include "links/url.h"
#include "text/codepage.h"

namespace {

using namespace tessel::links;

std::vector<std::u16string> Addresses(bool chinese) {
    std::vector<std::u16string> v;
    for (int i = 0; i < 256; ++i) {
        std::u16string a = u"http://down.example.com.cn/soft/2024/";
        for (char c : std::to_string(i * 7919)) a.push_back(static_cast<char16_t>(c));
        a += chinese ? u"/下载工具_完整版.zip" : u"/setup_full.zip";
        v.push_back(std::move(a));
    }
    return v;
}

// Runs `work` on the 256 inputs in turn, one item per iteration.
template <class Work>
void EachInTurn(benchmark::State& state, const std::vector<std::u16string>& inputs, Work work) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(work(inputs[i++ & 255]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

template <std::u16string (*Encode)(std::u16string_view)>
void BM_Encode(benchmark::State& state) {
    EachInTurn(state, Addresses(state.range(0) != 0), Encode);
}

template <std::u16string (*Encode)(std::u16string_view)>
void BM_Decode(benchmark::State& state) {
    std::vector<std::u16string> links;
    for (const auto& a : Addresses(state.range(0) != 0)) links.push_back(Encode(a));
    EachInTurn(state, links, [](const std::u16string& link) { return DecodeSpecialLink(link); });
}

// The whole window command, cleaning included.
void BM_ToGeneralThunder(benchmark::State& state) {
    std::vector<std::u16string> links;
    for (const auto& a : Addresses(false)) links.push_back(EncodeThunderLink(a));
    EachInTurn(state, links, [](const std::u16string& link) { return ToGeneral(link); });
}

void BM_UrlEncode(benchmark::State& state) {
    EachInTurn(state, Addresses(state.range(0) != 0), [](const std::u16string& a) { return UrlEncode(a); });
}

// Argument: 0 = ASCII address, 1 = address with Chinese characters.
BENCHMARK(BM_Encode<EncodeThunderLink>)->Name("EncodeThunder")->Arg(0)->Arg(1);
BENCHMARK(BM_Encode<EncodeFlashGetLink>)->Name("EncodeFlashGet")->Arg(0)->Arg(1);
BENCHMARK(BM_Encode<EncodeQqdlLink>)->Name("EncodeQqdl")->Arg(0)->Arg(1);
BENCHMARK(BM_Decode<EncodeThunderLink>)->Name("DecodeThunder")->Arg(0)->Arg(1);
BENCHMARK(BM_Decode<EncodeFlashGetLink>)->Name("DecodeFlashGet")->Arg(0)->Arg(1);
BENCHMARK(BM_Decode<EncodeQqdlLink>)->Name("DecodeQqdl")->Arg(0)->Arg(1);
BENCHMARK(BM_ToGeneralThunder)->Name("ToGeneralThunder");
BENCHMARK(BM_UrlEncode)->Name("UrlEncode")->Arg(0)->Arg(1);

}  // namespace

namespace {

// Characters GBK lacks (Arabic, emoji) among Chinese ones: each must cost
// no more than a mapped one.
void BM_ToAnsiUnmappable(benchmark::State& state) {
    std::u16string text;
    for (int i = 0; i < 1000; ++i) text += state.range(0) != 0 ? u"\u0627\U0001F600" : u"下载";
    for (auto _ : state) {
        benchmark::DoNotOptimize(tessel::text::ToAnsi(text));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2000);
}

// Argument: 0 = characters GBK has, 1 = characters it lacks.
BENCHMARK(BM_ToAnsiUnmappable)->Name("ToAnsi")->Arg(0)->Arg(1);

}  // namespace
