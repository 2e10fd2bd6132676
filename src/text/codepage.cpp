// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/codepage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace tessel::text {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Code page 936 as two lookup tables, read once from the system's own iconv
// tables.  Asking iconv for every address cost more than all the rest of a
// conversion; its answers never change, so we ask it once per two-byte
// sequence (about a millisecond) and invert the result for the other way.
// The decode table alone fixes the encoder: iconv maps exactly the
// characters its decoder yields, one code each (a test holds both tables to
// iconv over every code unit and every two-byte sequence).
struct GbkTables {
    // Two-byte sequence (lead << 8 | trail) -> character; 0 where invalid.
    std::array<char16_t, 65536> decode{};
    // Character -> code: a byte value below 0x100, a two-byte code above,
    // 0 where code page 936 has no form.
    std::array<std::uint16_t, 65536> encode{};
    // The single byte 0x80 (the euro sign in code page 936); 0 if none.
    char16_t byte80 = 0;
};

char16_t AskIconv(iconv_t cd, const char* in, std::size_t inSize) {
    char16_t out[2] = {0, 0};
    char* inPtr = const_cast<char*>(in);
    std::size_t inLeft = inSize;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    // One whole character in, exactly one UTF-16 unit out.
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0 || outLeft != sizeof out - 2) return 0;
    return out[0];
}

std::unique_ptr<GbkTables> BuildTables() {
    const iconv_t cd = iconv_open("UTF-16LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert CP936 to UTF-16LE");
    auto t = std::make_unique<GbkTables>();
    const char euro = static_cast<char>(0x80);
    t->byte80 = AskIconv(cd, &euro, 1);
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            t->decode[lead << 8 | trail] = AskIconv(cd, pair, 2);
        }
    }
    iconv_close(cd);

    for (unsigned c = 0; c < 0x80; ++c) t->encode[c] = static_cast<std::uint16_t>(c);
    if (t->byte80 != 0) t->encode[t->byte80] = 0x80;
    for (unsigned code = 0x8140; code <= 0xFEFE; ++code) {
        const char16_t c = t->decode[code];
        if (c != 0 && t->encode[c] == 0) t->encode[c] = static_cast<std::uint16_t>(code);
    }
    return t;
}

const GbkTables& Tables() {
    static const std::unique_ptr<GbkTables> tables = BuildTables();
    return *tables;
}

bool IsAsciiU16(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

std::uint16_t GbkCode(char16_t c) { return c < 0x80 ? c : Tables().encode[c]; }

char16_t GbkChar(unsigned char lead, unsigned char trail) { return Tables().decode[lead << 8 | trail]; }

bool IsAscii(std::string_view bytes) {
    // Eight bytes at a time: links are long runs of ASCII.
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & 0x8080808080808080u) != 0) return false;
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
    }
    return true;
}

void AppendAnsi(std::string& out, std::u16string_view text) {
    if (IsAsciiU16(text)) {
        out.append(text.begin(), text.end());
        return;
    }
    const GbkTables& t = Tables();
    const std::size_t start = out.size();
    out.resize(start + text.size() * 2);
    char* o = out.data() + start;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const std::uint16_t code = c < 0x80 ? c : t.encode[c];
        if (code >= 0x100) {
            *o++ = static_cast<char>(code >> 8);
            *o++ = static_cast<char>(code & 0xFF);
        } else if (code != 0 || c == 0) {
            *o++ = static_cast<char>(code);
        } else {
            // One "?" per character GBK lacks; a surrogate pair is one character.
            if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
            *o++ = '?';
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string ToAnsi(std::u16string_view text) {
    std::string out;
    AppendAnsi(out, text);
    return out;
}

void AppendFromAnsi(std::u16string& out, std::string_view bytes) {
    if (IsAscii(bytes)) {
        out.append(bytes.begin(), bytes.end());
        return;
    }
    const GbkTables& t = Tables();
    const std::size_t start = out.size();
    out.resize(start + bytes.size());  // never more units than bytes
    char16_t* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            *o++ = static_cast<char16_t>(b);
            ++i;
            continue;
        }
        if (i + 1 < n) {
            const char16_t c = t.decode[b << 8 | p[i + 1]];
            if (c != 0) {
                *o++ = c;
                i += 2;
                continue;
            }
        }
        // A byte that starts no character: U+FFFD for it alone, and the
        // next byte is read afresh.
        *o++ = b == 0x80 && t.byte80 != 0 ? t.byte80 : u'\uFFFD';
        ++i;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::u16string FromAnsi(std::string_view bytes) {
    std::u16string out;
    AppendFromAnsi(out, bytes);
    return out;
}

std::u16string FromUtf8(std::string_view bytes) {
    std::u16string out;
    AppendFromUtf8(out, bytes);
    return out;
}

void AppendFromUtf8(std::u16string& out, std::string_view bytes) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size());  // never more units than bytes
    char16_t* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            *o++ = static_cast<char16_t>(b);
            ++i;
            continue;
        }
        const std::size_t len = Utf8SequenceLength(bytes.substr(i));
        if (len == 0) {
            *o++ = u'\uFFFD';
            ++i;
            continue;
        }
        char32_t cp = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::size_t Utf8SequenceLength(std::string_view s) {
    if (s.empty()) return 0;
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const auto in = [&](std::size_t k, unsigned lo, unsigned hi) {
        return k < s.size() && at(k) >= lo && at(k) <= hi;
    };
    const unsigned b = at(0);
    // The byte ranges of RFC 3629: no overlongs, no surrogates, nothing above U+10FFFF.
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return in(1, 0x80, 0xBF) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const unsigned lo = b == 0xE0 ? 0xA0 : 0x80;
        const unsigned hi = b == 0xED ? 0x9F : 0xBF;
        return in(1, lo, hi) && in(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned lo = b == 0xF0 ? 0x90 : 0x80;
        const unsigned hi = b == 0xF4 ? 0x8F : 0xBF;
        return in(1, lo, hi) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf8(out, text);
    return out;
}

bool IsValidUtf8(std::string_view bytes) { return FirstInvalidUtf8(bytes) == std::string_view::npos; }

std::size_t FirstInvalidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = Utf8SequenceLength(bytes.substr(i));
        if (len == 0) return i;
        i += len;
    }
    return std::string_view::npos;
}

}  // namespace tessel::text
