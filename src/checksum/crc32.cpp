// SPDX-License-Identifier: GPL-3.0-or-later
#include "checksum/crc32.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "checksum/file_reader.h"

namespace tessel::checksum {
namespace {

// Slicing-by-16: table k holds the CRC of a byte followed by k zero bytes,
// so sixteen input bytes fold in with sixteen independent look-ups.
using Tables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr std::uint32_t kPoly = 0xEDB88320u;

constexpr Tables MakeTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
}

constexpr Tables kTables = MakeTables();

// a * b modulo the polynomial, in the reflected bit order (bit 31 is x^0).
constexpr std::uint32_t MultModP(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
        if (a & m) product ^= b;
        b = (b & 1) ? (b >> 1) ^ kPoly : b >> 1;
    }
    return product;
}

// Long buffers go through four lanes at once: a single running CRC is one
// long chain of dependent look-ups, four independent ones keep the
// processor busy.  The lanes are then joined by shifting each partial CRC
// over the lane that follows it, i.e. multiplying it by x^(8 * lane).  That
// product is linear in the CRC, so it too is four table look-ups.
using ShiftTable = std::array<std::array<std::uint32_t, 256>, 4>;

template <std::size_t kLane>
constexpr ShiftTable MakeShiftTable() {
    static_assert(std::has_single_bit(kLane));
    std::uint32_t power = 1u << 30;  // x^1
    for (std::size_t bits = 1; bits < 8 * kLane; bits *= 2) power = MultModP(power, power);
    ShiftTable t{};
    for (std::uint32_t byte = 0; byte < 4; ++byte) {
        for (std::uint32_t i = 0; i < 256; ++i) t[byte][i] = MultModP(power, i << (8 * byte));
    }
    return t;
}

template <std::size_t kLane>
inline constexpr ShiftTable kShift = MakeShiftTable<kLane>();

template <std::size_t kLane>
inline std::uint32_t Shift(std::uint32_t c) {
    const ShiftTable& t = kShift<kLane>;
    return t[0][c & 0xFF] ^ t[1][(c >> 8) & 0xFF] ^ t[2][(c >> 16) & 0xFF] ^ t[3][c >> 24];
}

inline std::uint32_t Load32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;  // little-endian: byte 0 is the low byte
}

// Eight bytes, given as two little-endian words with the CRC already folded in.
inline std::uint32_t Fold8(std::uint32_t lo, std::uint32_t hi) {
    const auto& t = kTables;
    return t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
           t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
}

// c is the raw register (not inverted); consumes 4 * kLane bytes.
template <std::size_t kLane>
std::uint32_t FourLanes(std::uint32_t c, const unsigned char* p) {
    std::uint32_t a = c, b = 0, d = 0, e = 0;
    const unsigned char* pb = p + kLane;
    const unsigned char* pd = p + 2 * kLane;
    const unsigned char* pe = p + 3 * kLane;
    for (std::size_t i = 0; i < kLane; i += 8) {
        const std::uint32_t a0 = Load32(p + i) ^ a, a1 = Load32(p + i + 4);
        const std::uint32_t b0 = Load32(pb + i) ^ b, b1 = Load32(pb + i + 4);
        const std::uint32_t d0 = Load32(pd + i) ^ d, d1 = Load32(pd + i + 4);
        const std::uint32_t e0 = Load32(pe + i) ^ e, e1 = Load32(pe + i + 4);
        a = Fold8(a0, a1);
        b = Fold8(b0, b1);
        d = Fold8(d0, d1);
        e = Fold8(e0, e1);
    }
    c = Shift<kLane>(a) ^ b;
    c = Shift<kLane>(c) ^ d;
    return Shift<kLane>(c) ^ e;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    static_assert(std::endian::native == std::endian::little);
    const auto& t = kTables;
    auto p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    for (; size >= 4 * 8192; p += 4 * 8192, size -= 4 * 8192) c = FourLanes<8192>(c, p);
    for (; size >= 4 * 1024; p += 4 * 1024, size -= 4 * 1024) c = FourLanes<1024>(c, p);
    for (; size >= 4 * 128; p += 4 * 128, size -= 4 * 128) c = FourLanes<128>(c, p);
    while (size >= 16) {
        const std::uint32_t a = Load32(p) ^ c;
        const std::uint32_t b = Load32(p + 4);
        const std::uint32_t d = Load32(p + 8);
        const std::uint32_t e = Load32(p + 12);
        c = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
            t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
            t[7][d & 0xFF] ^ t[6][(d >> 8) & 0xFF] ^ t[5][(d >> 16) & 0xFF] ^ t[4][d >> 24] ^ t[3][e & 0xFF] ^
            t[2][(e >> 8) & 0xFF] ^ t[1][(e >> 16) & 0xFF] ^ t[0][e >> 24];
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
    if (!file.Ok()) return {};
    const std::size_t block = static_cast<std::size_t>(std::max(blockKiB, 1)) * 1024;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(block, file.Size())));
    std::uint32_t crc = 0;
    for (std::uint64_t remaining = file.Size(); remaining > 0;) {
        if (pump) pump();
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, block));
        if (!file.ReadExactly(buffer.data(), n)) return {};
        crc = Crc32(crc, buffer.data(), n);
        remaining -= n;
    }
    return Crc32Text(crc);
}

}  // namespace tessel::checksum
