// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/crc32.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "links/file_reader.h"

namespace tessel::links {
namespace {

// Slicing-by-16: table k holds the CRC of a byte followed by k zero bytes,
// so sixteen input bytes fold in with sixteen independent look-ups.
using Tables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr Tables MakeTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
}

constexpr Tables kTables = MakeTables();

inline std::uint32_t Load32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;  // little-endian: byte 0 is the low byte
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    static_assert(std::endian::native == std::endian::little);
    const auto& t = kTables;
    auto p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    while (size >= 16) {
        const std::uint32_t a = Load32(p) ^ c;
        const std::uint32_t b = Load32(p + 4);
        const std::uint32_t d = Load32(p + 8);
        const std::uint32_t e = Load32(p + 12);
        c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
            t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
            t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^ t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24] ^
            t[3][e & 0xFF] ^ t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^ t[0][e >> 24];
        p += 16;
        size -= 16;
    }
    while (size-- > 0) c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
    return ~c;
}

std::u16string Crc32Text(std::uint32_t crc) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out(8, u'0');
    for (int i = 7; i >= 0; --i, crc >>= 4) out[static_cast<std::size_t>(i)] = kHex[crc & 15];
    return out;
}

std::u16string FileCRC32(const std::filesystem::path& path, int blockKiB, const EventPump& pump) {
    FileReader file(path);
    if (!file.ok()) return {};
    const std::size_t block = static_cast<std::size_t>(std::max(blockKiB, 1)) * 1024;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(block, file.size())));
    std::uint32_t crc = 0;
    for (std::uint64_t remaining = file.size(); remaining > 0;) {
        if (pump) pump();
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, block));
        if (!file.ReadExactly(buffer.data(), n)) return {};
        crc = Crc32(crc, buffer.data(), n);
        remaining -= n;
    }
    return Crc32Text(crc);
}

}  // namespace tessel::links
