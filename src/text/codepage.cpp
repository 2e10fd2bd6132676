// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/codepage.h"

#include <iconv.h>

#include <array>
#include <bit>
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

// The characters of every pair of `lead` with a trail byte from 0x40 to
// 0xFE, as AskIconv gives them one by one, in as few calls as iconv allows
// (it stops at each pair that is no character).  A start costs a row of
// calls instead of 24,000.
void AskIconvRow(iconv_t cd, unsigned lead, std::array<char16_t, 65536>& decode) {
    constexpr unsigned kFirst = 0x40;
    constexpr std::size_t kPairs = 0xFF - kFirst;
    char in[2 * kPairs];
    for (std::size_t k = 0; k < kPairs; ++k) {
        in[2 * k] = static_cast<char>(lead);
        in[2 * k + 1] = static_cast<char>(kFirst + k);
    }
    char16_t out[kPairs];
    for (std::size_t pos = 0; pos < kPairs;) {
        char* inPtr = in + 2 * pos;
        std::size_t inLeft = 2 * (kPairs - pos);
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const std::size_t consumed = 2 * (kPairs - pos) - inLeft;
        const std::size_t produced = (sizeof out - outLeft) / sizeof(char16_t);
        if (consumed % 2 != 0 || produced != consumed / 2) {
            // Not one unit for each pair: ask about the rest of the row one by one.
            for (; pos < kPairs; ++pos) decode[lead << 8 | (kFirst + pos)] = AskIconv(cd, in + 2 * pos, 2);
            return;
        }
        for (std::size_t k = 0; k < produced; ++k) decode[lead << 8 | (kFirst + pos + k)] = out[k];
        pos += produced;
        if (rc == static_cast<std::size_t>(-1) && pos < kPairs) decode[lead << 8 | (kFirst + pos++)] = 0;
    }
}

std::unique_ptr<GbkTables> BuildTables() {
    const iconv_t cd = iconv_open("UTF-16LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv cannot convert CP936 to UTF-16LE");
    auto t = std::make_unique<GbkTables>();
    const char euro = static_cast<char>(0x80);
    t->byte80 = AskIconv(cd, &euro, 1);
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) AskIconvRow(cd, lead, t->decode);
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

constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// Copies the ASCII run at p[i] to o, a word at a time, and moves i and o
// past it.  Writes up to eight bytes past the run: the output needs that
// much room beyond what the conversion itself writes.
void CopyAsciiRun(const unsigned char* p, std::size_t n, std::size_t& i, char*& o) {
    for (; i + 8 <= n; i += 8, o += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        std::memcpy(o, &word, 8);
        std::uint64_t high = word & kHighBits;
        if (high != 0) {
            // The first byte in memory is the lowest of a little-endian word.
            if constexpr (std::endian::native == std::endian::big) high = __builtin_bswap64(high);
            const std::size_t ascii = static_cast<std::size_t>(std::countr_zero(high)) / 8;
            i += ascii;
            o += ascii;
            return;
        }
    }
    for (; i < n && p[i] < 0x80; ++i) *o++ = static_cast<char>(p[i]);
}

// Writes `c` as UTF-8 (one to three bytes).
char* PutUtf8(char* o, char16_t c) {
    if (c < 0x80) {
        *o++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

// The character code page 936 makes of the bytes from p[i] on (p[i] is no
// ASCII byte), moving i past them.  A byte that starts no character is
// U+FFFD alone (0x80: the euro sign where the code page has it), and the
// next byte is read afresh.
char16_t ReadGbk(const GbkTables& t, const unsigned char* p, std::size_t n, std::size_t& i) {
    const unsigned b = p[i];
    const char16_t c = i + 1 < n ? t.decode[b << 8 | p[i + 1]] : 0;
    if (c != 0) {
        i += 2;
        return c;
    }
    ++i;
    return b == 0x80 && t.byte80 != 0 ? t.byte80 : u'\uFFFD';
}

// Appends `bytes` to `out` as UTF-16: ASCII byte for byte, any other
// character as read(p, n, i, o) writes it at o from byte i on, moving i past
// it and giving the new end.  No encoding makes more units than bytes.
template <typename Read>
void AppendDecoded(std::u16string& out, std::string_view bytes, Read read) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size());
    char16_t* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            *o++ = static_cast<char16_t>(p[i++]);
        } else {
            o = read(p, n, i, o);
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

}  // namespace

std::uint16_t GbkCode(char16_t c) { return c < 0x80 ? c : Tables().encode[c]; }

char16_t GbkChar(unsigned char lead, unsigned char trail) { return Tables().decode[lead << 8 | trail]; }

const char16_t* GbkCharTable() { return Tables().decode.data(); }

std::size_t FindNonAscii(std::string_view bytes, std::size_t from) {
    // Eight bytes at a time: links are long runs of ASCII.
    std::size_t i = from;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & kHighBits) != 0) break;
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return i;
    }
    return std::string_view::npos;
}

bool IsAscii(std::string_view bytes) { return FindNonAscii(bytes) == std::string_view::npos; }

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
    AppendDecoded(out, bytes, [&t](const unsigned char* p, std::size_t n, std::size_t& i, char16_t* o) {
        *o++ = ReadGbk(t, p, n, i);
        return o;
    });
}

std::u16string FromAnsi(std::string_view bytes) {
    std::u16string out;
    AppendFromAnsi(out, bytes);
    return out;
}

void AppendAnsiAsUtf8(std::string& out, std::string_view bytes) {
    const GbkTables& t = Tables();
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 3 + 8);  // three bytes for each at most, and CopyAsciiRun's room
    char* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            CopyAsciiRun(p, n, i, o);
            continue;
        }
        o = PutUtf8(o, ReadGbk(t, p, n, i));
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

namespace {

// Utf8ToAnsi from byte `i` on.
std::size_t Utf8ToAnsiFrom(std::string_view bytes, std::size_t i, char* out, const std::uint16_t* encode) {
    char* o = out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    while (i < n) {
        const unsigned b = p[i];
        if (b < 0x80) {
            CopyAsciiRun(p, n, i, o);
            continue;
        }
        // Well-formed as Utf8SequenceLength has it: the overlong forms and
        // the surrogates are the code points below each length's range.
        // Chinese takes three bytes, so that case comes first, tested on
        // the word that starts with it.
        char32_t cp = 0;
        std::uint32_t v = 0;
        if (i + 4 <= n) {
            std::memcpy(&v, p + i, 4);
            if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
        }
        if ((v & 0xC0C0F0u) == 0x8080E0u) {
            cp = (v & 0x0Fu) << 12 | ((v >> 2) & 0xFC0u) | ((v >> 16) & 0x3Fu);
            if (cp < 0x800 || cp - 0xD800u < 0x800u) return std::string_view::npos;
            i += 3;
        } else if (b - 0xE0u < 0x10u && i + 2 < n && (p[i + 1] & 0xC0u) == 0x80u &&
                   (p[i + 2] & 0xC0u) == 0x80u) {
            // The same at the very end.
            cp = (b & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            if (cp < 0x800 || cp - 0xD800u < 0x800u) return std::string_view::npos;
            i += 3;
        } else if (b - 0xC2u < 0x1Eu && i + 1 < n && (p[i + 1] & 0xC0u) == 0x80u) {
            cp = (b & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
            i += 2;
        } else if (Utf8SequenceLength(bytes.substr(i)) == 4) {
            cp = 0x10000;  // beyond GBK, whatever it is
            i += 4;
        } else {
            return std::string_view::npos;
        }
        const std::uint16_t code = cp < 0x10000 ? encode[cp] : 0;
        if (code >= 0x100) {
            o[0] = static_cast<char>(code >> 8);
            o[1] = static_cast<char>(code & 0xFF);
            o += 2;
        } else {
            *o++ = code != 0 ? static_cast<char>(code) : '?';
        }
    }
    return static_cast<std::size_t>(o - out);
}

}  // namespace

std::size_t Utf8ToAnsi(std::string_view bytes, char* out) {
    return Utf8ToAnsiFrom(bytes, 0, out, Tables().encode.data());
}

bool AppendUtf8AsAnsi(std::string& out, std::string_view bytes) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size() + kUtf8ToAnsiSlack);
    const std::size_t written = Utf8ToAnsi(bytes, out.data() + start);
    out.resize(written == std::string_view::npos ? start : start + written);
    return written != std::string_view::npos;
}

std::u16string FromUtf8(std::string_view bytes) {
    std::u16string out;
    AppendFromUtf8(out, bytes);
    return out;
}

void AppendFromUtf8(std::u16string& out, std::string_view bytes) {
    AppendDecoded(out, bytes, [bytes](const unsigned char* p, std::size_t, std::size_t& i, char16_t* o) {
        const unsigned b = p[i];
        const std::size_t len = Utf8SequenceLength(bytes.substr(i));
        if (len == 0) {
            *o++ = u'\uFFFD';
            ++i;
            return o;
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
        return o;
    });
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
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        if (p[i] < 0x80) {
            ++i;
            for (std::uint64_t word; i + 8 <= bytes.size(); i += 8) {
                std::memcpy(&word, p + i, 8);
                if ((word & kHighBits) != 0) break;
            }
            continue;
        }
        const std::size_t len = Utf8SequenceLength(bytes.substr(i));
        if (len == 0) return i;
        i += len;
    }
    return std::string_view::npos;
}

std::string ToCodePage(std::u16string_view text, CodePage page) {
    return page == CodePage::Utf8 ? ToUtf8(text) : ToAnsi(text);
}

}  // namespace tessel::text
