// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/base64.h"

#include <array>
#include <cstdint>

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

}  // namespace

std::string Base64EncodeBytes(std::string_view bytes) {
    const std::size_t n = bytes.size();
    std::string out((n + 2) / 3 * 4, '=');
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3, o += 4) {
        const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (std::uint32_t{p[i + 1]} << 8) | p[i + 2];
        o[0] = kAlphabet[v >> 18];
        o[1] = kAlphabet[(v >> 12) & 63];
        o[2] = kAlphabet[(v >> 6) & 63];
        o[3] = kAlphabet[v & 63];
    }
    if (i < n) {
        const std::uint32_t b0 = p[i];
        const std::uint32_t b1 = i + 1 < n ? p[i + 1] : 0;
        o[0] = kAlphabet[b0 >> 2];
        o[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        if (i + 1 < n) o[2] = kAlphabet[(b1 & 15) << 2];
    }
    return out;
}

namespace {

// The decoding walk over units that are bytes, or UTF-16 units known to be
// ASCII (so the text needs no GBK conversion first).
template <typename Unit>
std::string DecodeUnits(const Unit* p, std::size_t avail, std::size_t significant) {
    const std::size_t n = significant;
    if (n == 0) return {};
    const std::size_t outLen = n - 1 - (n - 1) / 4;
    std::string out(outLen, '\0');
    auto val = [](Unit u) -> std::uint32_t { return kValues[static_cast<unsigned char>(u)]; };
    // Positions past the end of the bytes count as 0, not as 63.
    auto value = [&](std::size_t k) -> std::uint32_t { return k < avail ? val(p[k]) : 0; };

    std::size_t o = 0;
    std::size_t k = 0;
    // Whole groups whose four units exist and whose three output bytes are all kept.
    while (o + 3 <= outLen && k + 4 <= avail) {
        const std::uint32_t v =
            (val(p[k]) << 18) | (val(p[k + 1]) << 12) | (val(p[k + 2]) << 6) | val(p[k + 3]);
        out[o] = static_cast<char>(v >> 16);
        out[o + 1] = static_cast<char>(v >> 8);
        out[o + 2] = static_cast<char>(v);
        o += 3;
        k += 4;
    }
    while (o < outLen) {
        const std::uint32_t v = (value(k) << 18) | (value(k + 1) << 12) | (value(k + 2) << 6) | value(k + 3);
        for (int shift = 16; shift >= 0 && o < outLen; shift -= 8) out[o++] = static_cast<char>(v >> shift);
        k += 4;
    }
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
