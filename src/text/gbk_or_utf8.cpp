// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/gbk_or_utf8.h"

#include <climits>
#include <cstdint>

#include "text/codepage.h"

namespace tessel::text {
namespace {

constexpr int kCommon = 10;        // GB2312 Chinese characters
constexpr int kOrdinary = 12;      // GB2312 symbols, punctuation, kana, Hangul, Latin letters
constexpr int kUncommon = 20;      // other CJK ideographs, GBK's additions
constexpr int kRare = 30;          // other scripts and symbols
constexpr int kImpossible = 1000;  // controls, private use, undecodable bytes

bool In(char32_t c, char32_t lo, char32_t hi) { return c >= lo && c <= hi; }

// Sum of the oddness of the GBK reading; stops early once `limit` is passed.
long GbkOddnessUpTo(std::string_view bytes, long limit) {
    long sum = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size() && sum <= limit;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const char16_t c = i + 1 < bytes.size() ? GbkChar(p[i], p[i + 1]) : 0;
        if (c != 0) {
            sum += Oddness(c);
            i += 2;
        } else {
            sum += p[i] == 0x80 ? Oddness(0x20AC) : kImpossible;
            ++i;
        }
    }
    return sum;
}

}  // namespace

long Utf8Oddness(std::string_view bytes) {
    long sum = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = Utf8SequenceLength(bytes.substr(i));
        if (len == 0) return -1;
        char32_t cp = len == 2 ? (p[i] & 0x1F) : len == 3 ? (p[i] & 0x0F) : (p[i] & 0x07);
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
        sum += Oddness(cp);
        i += len;
    }
    return sum;
}

long GbkOddness(std::string_view bytes) { return GbkOddnessUpTo(bytes, LONG_MAX); }

int Oddness(char32_t c) {
    if (c < 0x80) return 0;
    if (c < 0xA0 || c == 0xFFFD || In(c, 0xE000, 0xF8FF) || In(c, 0xD800, 0xDFFF) || (c & 0xFFFE) == 0xFFFE)
        return kImpossible;
    if (c < 0x10000) {
        const std::uint16_t code = GbkCode(static_cast<char16_t>(c));
        const unsigned lead = code >> 8;
        const unsigned trail = code & 0xFF;
        if (trail >= 0xA1 && trail <= 0xFE) {
            if (lead >= 0xB0 && lead <= 0xF7) return kCommon;
            if (lead >= 0xA1 && lead <= 0xA9) return kOrdinary;
        }
    }
    // Hangul syllables are ordinary text: Korean names in UTF-8 take three
    // bytes a syllable, which GBK reads as one and a half characters, so at
    // this weight a Korean name never loses to its GBK garble, while GBK
    // text of three Chinese characters reads as two syllables only where its
    // bytes happen to be exactly their UTF-8.
    if (In(c, 0x3000, 0x30FF) || In(c, 0xFF01, 0xFF9F) || In(c, 0x2010, 0x206F) || In(c, 0xC0, 0x24F) ||
        In(c, 0xAC00, 0xD7A3))
        return kOrdinary;
    if (In(c, 0x4E00, 0x9FFF) || In(c, 0xF900, 0xFAFF)) return kUncommon;
    if (c < 0x10000 && GbkCode(static_cast<char16_t>(c)) != 0) return kUncommon;
    return kRare;
}

bool ReadsAsUtf8(std::string_view bytes) {
    // ASCII reads alike and costs nothing both ways: start at the first other byte.
    const std::size_t first = FindNonAscii(bytes);
    if (first == std::string_view::npos) return false;
    bytes.remove_prefix(first);
    const long utf8 = Utf8Oddness(bytes);
    if (utf8 < 0) return false;
    return GbkOddnessUpTo(bytes, utf8) > utf8;
}

std::u16string FromGbkOrUtf8(std::string_view bytes) {
    return ReadsAsUtf8(bytes) ? FromUtf8(bytes) : FromAnsi(bytes);
}

}  // namespace tessel::text
