// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/url.h"

#include <cstdint>

#include "text/codepage.h"
#include "text/gbk_or_utf8.h"

namespace tessel::links {
namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void AppendEscape(std::u16string& out, unsigned char b) {
    out.push_back(u'%');
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Value of the leading hex digits of `digits` (0 when it starts with none).
std::uint32_t LeadingHex(std::u16string_view digits) {
    std::uint32_t v = 0;
    for (char16_t c : digits) {
        const int d = HexDigit(c);
        if (d < 0) break;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

// Up to `n` characters from 0-based `at`, clipped to the text.
std::u16string_view Take(std::u16string_view s, std::size_t at, std::size_t n) {
    return at < s.size() ? s.substr(at, n) : std::u16string_view{};
}

// The byte of the escape at `i` ("%41"), or -1 when `i` starts none.
int EscapeAt(std::u16string_view s, std::size_t i) {
    if (i + 2 >= s.size() || s[i] != u'%') return -1;
    const int high = HexDigit(s[i + 1]);
    const int low = HexDigit(s[i + 2]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The bytes of the run of escapes from `i` on; `i` moves behind it.
std::string EscapeRun(std::u16string_view s, std::size_t& i) {
    std::string bytes;
    for (int b = EscapeAt(s, i); b >= 0; b = EscapeAt(s, i)) {
        bytes.push_back(static_cast<char>(b));
        i += 3;
    }
    return bytes;
}

}  // namespace

std::u16string UrlEncode(std::u16string_view text) {
    // GBK is stateless, so the bytes of the whole text are the bytes of its
    // characters one after another, and a lead byte always has its trail.
    const std::string bytes = text::ToAnsi(text);
    std::u16string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) {
            AppendEscape(out, b);
            AppendEscape(out, static_cast<unsigned char>(bytes[++i]));
        } else if (IsAsciiLetter(b)) {
            out.push_back(b);
        } else {
            AppendEscape(out, b);
        }
    }
    return out;
}

std::u16string UrlDecode(std::u16string_view text) {
    if (text.find(u'%') == std::u16string_view::npos) return std::u16string(text);

    std::u16string out;
    out.reserve(text.size());
    const std::size_t end = text.size();
    std::size_t i = 0;
    while (i < end) {
        if (text[i] != u'%') {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        const std::u16string_view first = Take(text, i + 1, 2);
        const std::uint32_t v = LeadingHex(first);
        if (v > 127) {
            std::u16string digits(first);
            digits.append(Take(text, i + 4, 2));
            const std::uint32_t code = LeadingHex(digits);
            std::string bytes;
            if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
            bytes.push_back(static_cast<char>(code & 0xFF));
            out.append(text::FromAnsi(bytes));
            i += 6;
        } else {
            out.push_back(static_cast<char16_t>(v));
            i += 3;
        }
    }
    return out;
}

std::u16string UrlDecodeGbkOrUtf8(std::u16string_view text) {
    // One reading for the whole text: a name is written in one code page, and
    // its longer runs of escapes say which far better than a short one alone.
    std::string all;
    for (std::size_t i = 0; i < text.size();) {
        if (EscapeAt(text, i) < 0) {
            ++i;
            continue;
        }
        all += EscapeRun(text, i);
        all += ' ';
    }
    if (all.empty()) return std::u16string(text);
    const bool utf8 = text::ReadsAsUtf8(all);

    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (EscapeAt(text, i) < 0) {
            out.push_back(text[i++]);
            continue;
        }
        const std::string bytes = EscapeRun(text, i);
        out += utf8 ? text::FromUtf8(bytes) : text::FromAnsi(bytes);
    }
    return out;
}

}  // namespace tessel::links
