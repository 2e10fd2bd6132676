// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/visible_text.h"

#include <cstdio>

#include "text/codepage.h"

namespace tessel::text {
namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The code point of the well-formed sequence of `len` bytes at `s`.
char32_t CodePoint(std::string_view s, std::size_t len) {
    const auto b = static_cast<unsigned char>(s[0]);
    if (len == 1) return b;
    char32_t cp = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[k]) & 0x3F);
    return cp;
}

}  // namespace

bool IsBidiControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::u16string StripBidiControls(std::u16string_view name) {
    std::u16string out;
    out.reserve(name.size());
    for (char16_t c : name) {
        if (!IsBidiControl(c)) out += c;
    }
    return out;
}

std::u16string ShowInvisibles(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (!IsControl(c) && !IsBidiControl(c)) {
            out += c;
            continue;
        }
        char code[16];
        std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(c));
        for (const char* p = code; *p; ++p) out += static_cast<char16_t>(*p);
    }
    return out;
}

std::string EscapeForTerminal(std::string_view utf8, std::size_t maxBytes) {
    static constexpr std::string_view kCut = "…";
    std::string out;
    std::size_t fits = 0;  // the longest output so far that leaves room for the cut mark
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = Utf8SequenceLength(utf8.substr(i));
        std::string piece;
        if (len == 0) {
            char code[16];
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(utf8[i]));
            piece = code;
        } else if (const char32_t c = CodePoint(utf8.substr(i), len); c == '\\') {
            piece = "\\\\";
        } else if (IsControl(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(c));
            piece = code;
        } else if (IsBidiControl(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
            piece = code;
        } else {
            piece = utf8.substr(i, len);
        }
        if (out.size() + kCut.size() <= maxBytes) fits = out.size();
        if (out.size() + piece.size() > maxBytes) {
            // Whole pieces only: never half a character or half an escape.
            out.resize(fits);
            if (kCut.size() <= maxBytes) out += kCut;
            return out;
        }
        out += piece;
        i += len == 0 ? 1 : len;
    }
    return out;
}

}  // namespace tessel::text
