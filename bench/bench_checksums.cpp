// SPDX-License-Identifier: GPL-3.0-or-later
// CRC-32 beside zlib's on the same buffer, MD5 throughput, and the whole
// fingerprint of a file in the page cache.

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "checksum/crc32.h"
#include "checksum/fingerprint.h"
#include "checksum/md5_hash.h"

namespace {

using namespace tessel::checksum;

const std::string& Buffer(std::size_t size) {
    static std::string data;
    if (data.size() < size) {
        std::mt19937_64 rng(42);
        data.resize(size);
        for (std::size_t i = 0; i + 8 <= size; i += 8) {
            const std::uint64_t v = rng();
            data.replace(i, 8, reinterpret_cast<const char*>(&v), 8);
        }
    }
    return data;
}

void BM_Crc32Ours(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::string& data = Buffer(n);
    for (auto _ : state) benchmark::DoNotOptimize(Crc32(0, data.data(), n));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void BM_Crc32Zlib(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::string& data = Buffer(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(n)));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

void BM_Md5HashBytes(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const std::string data = Buffer(n).substr(0, n);
    MD5Hash md5;
    for (auto _ : state) benchmark::DoNotOptimize(md5.HashBytes(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

// A 64 MiB file, read from the page cache after the first round.
class CachedFile : public benchmark::Fixture {
 public:
    void SetUp(const benchmark::State&) override {
        if (!path_.empty()) return;
        path_ = std::filesystem::temp_directory_path() / ("tessel-bench-" + std::to_string(::getpid()));
        const std::string& data = Buffer(kSize);
        std::ofstream(path_, std::ios::binary).write(data.data(), static_cast<std::streamsize>(kSize));
    }
    void TearDown(const benchmark::State&) override {}
    ~CachedFile() override {
        if (!path_.empty()) std::filesystem::remove(path_);
    }

 protected:
    static constexpr std::size_t kSize = std::size_t{64} << 20;
    std::filesystem::path path_;
};

BENCHMARK_DEFINE_F(CachedFile, Fingerprint)(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Fingerprint(path_));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

BENCHMARK_DEFINE_F(CachedFile, HashFileThenFileCRC32)(benchmark::State& state) {
    MD5Hash md5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(md5.HashFile(path_));
        benchmark::DoNotOptimize(FileCRC32(path_, 1024));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// Wall-clock time: the fingerprint reads ahead and sums the CRC on a second thread.
BENCHMARK_REGISTER_F(CachedFile, Fingerprint)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(CachedFile, HashFileThenFileCRC32)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Ours)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_Crc32Zlib)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_Md5HashBytes)->Arg(4096)->Arg(1 << 20);

}  // namespace
