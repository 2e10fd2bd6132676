// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/base64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "text/codepage.h"

namespace tessel::links {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of every byte while decoding: its alphabet index, 63 for anything else.
constexpr std::array<std::uint8_t, 256> MakeValues() {
    std::array<std::uint8_t, 256> v{};
    for (auto& x : v) x = 63;
    for (int i = 0; i < 64; ++i) v[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    return v;
}
constexpr std::array<std::uint8_t, 256> kValues = MakeValues();

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Two alphabet characters for every 12 bits, as they lie in memory: a
// group of three bytes takes two lookups.
struct PairTable {
    std::array<std::uint16_t, 4096> pairs{};
    constexpr PairTable() {
        const bool little = std::endian::native == std::endian::little;
        for (int v = 0; v < 4096; ++v) {
            const auto first = static_cast<std::uint16_t>(kAlphabet[v >> 6]);
            const auto second = static_cast<std::uint16_t>(kAlphabet[v & 63]);
            pairs[v] = static_cast<std::uint16_t>(little ? first | second << 8 : first << 8 | second);
        }
    }
};
constexpr PairTable kPairs;

// The first byte in memory as the top byte.
std::uint64_t BigEndian(std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(w);
    return w;
}

}  // namespace

void AppendBase64(std::string& out, std::string_view bytes) {
    const std::size_t n = bytes.size();
    const std::size_t start = out.size();
    out.resize(start + (n + 2) / 3 * 4, '=');
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    char* o = out.data() + start;
    std::size_t i = 0;
    // Six bytes at a time from an eight-byte load, while eight can be read.
    for (; i + 8 <= n; i += 6, o += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        w = BigEndian(w);
        const std::uint64_t a = kPairs.pairs[(w >> 52) & 4095];
        const std::uint64_t b = kPairs.pairs[(w >> 40) & 4095];
        const std::uint64_t c = kPairs.pairs[(w >> 28) & 4095];
        const std::uint64_t d = kPairs.pairs[(w >> 16) & 4095];
        const std::uint64_t chars = std::endian::native == std::endian::little
                                        ? a | b << 16 | c << 32 | d << 48
                                        : a << 48 | b << 32 | c << 16 | d;
        std::memcpy(o, &chars, 8);
    }
    for (; i + 3 <= n; i += 3, o += 4) {
        const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (std::uint32_t{p[i + 1]} << 8) | p[i + 2];
        const std::uint16_t chars[2] = {kPairs.pairs[v >> 12], kPairs.pairs[v & 4095]};
        std::memcpy(o, chars, 4);
    }
    if (i < n) {
        const std::uint32_t b0 = p[i];
        const std::uint32_t b1 = i + 1 < n ? p[i + 1] : 0;
        o[0] = kAlphabet[b0 >> 2];
        o[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        if (i + 1 < n) o[2] = kAlphabet[(b1 & 15) << 2];
    }
}

std::string Base64EncodeBytes(std::string_view bytes) {
    std::string out;
    AppendBase64(out, bytes);
    return out;
}

namespace {

// The decoding walk over units that are bytes, or UTF-16 units known to be
// ASCII (so the text needs no GBK conversion first), appended to `out`.
template <typename Unit>
void DecodeUnits(std::string& out, const Unit* p, std::size_t avail, std::size_t significant) {
    const std::size_t n = significant;
    if (n == 0) return;
    const std::size_t outLen = n - 1 - (n - 1) / 4;
    const std::size_t start = out.size();
    out.resize(start + outLen);
    char* const dst = out.data() + start;
    auto val = [](Unit u) -> std::uint32_t { return kValues[static_cast<unsigned char>(u)]; };
    // Positions past the end of the bytes count as 0, not as 63.
    auto value = [&](std::size_t k) -> std::uint32_t { return k < avail ? val(p[k]) : 0; };

    std::size_t o = 0;
    std::size_t k = 0;
    // Whole groups whose four units exist and whose three output bytes are all kept.
    const std::size_t wholeGroups = std::min(outLen / 3, avail / 4);
    for (std::size_t g = 0; g < wholeGroups; ++g, o += 3, k += 4) {
        const std::uint32_t v =
            (val(p[k]) << 18) | (val(p[k + 1]) << 12) | (val(p[k + 2]) << 6) | val(p[k + 3]);
        dst[o] = static_cast<char>(v >> 16);
        dst[o + 1] = static_cast<char>(v >> 8);
        dst[o + 2] = static_cast<char>(v);
    }
    while (o < outLen) {
        const std::uint32_t v = (value(k) << 18) | (value(k + 1) << 12) | (value(k + 2) << 6) | value(k + 3);
        for (int shift = 16; shift >= 0 && o < outLen; shift -= 8) dst[o++] = static_cast<char>(v >> shift);
        k += 4;
    }
}

template <typename Unit>
std::string DecodeUnits(const Unit* p, std::size_t avail, std::size_t significant) {
    std::string out;
    DecodeUnits(out, p, avail, significant);
    return out;
}

bool IsAsciiText(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::string Base64DecodeBytes(std::string_view b64, std::size_t significant) {
    return DecodeUnits(b64.data(), b64.size(), significant);
}

void AppendBase64Decoded(std::string& out, std::string_view b64, std::size_t significant) {
    DecodeUnits(out, b64.data(), b64.size(), significant);
}

std::string Base64DecodeBytes(std::string_view b64) {
    const std::size_t eq = b64.find('=');
    return Base64DecodeBytes(b64, eq == std::string_view::npos ? b64.size() : eq);
}

std::u16string Base64Encode(std::u16string_view text) { return Widen(Base64EncodeBytes(text::ToAnsi(text))); }

std::string Base64DecodeToBytes(std::u16string_view text) {
    // The output length counts characters of the text, while the groups are
    // walked over its GBK bytes; the two differ only for non-ASCII input.
    const std::size_t eq = text.find(u'=');
    const std::size_t significant = eq == std::u16string_view::npos ? text.size() : eq;
    if (IsAsciiText(text)) return DecodeUnits(text.data(), text.size(), significant);
    return Base64DecodeBytes(text::ToAnsi(text), significant);
}

std::u16string Base64Decode(std::u16string_view text) { return text::FromAnsi(Base64DecodeToBytes(text)); }

}  // namespace tessel::links
