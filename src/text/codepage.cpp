// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/codepage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tessel::text {
namespace {

// One converter per direction and thread; iconv_open is far too slow to pay
// for every short link.
class Converter {
 public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    iconv_t get() const { return cd_; }
    void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
    iconv_t cd_;
};

const Converter& ToGbk() {
    thread_local Converter c("CP936", "UTF-16LE");
    return c;
}

const Converter& FromGbk() {
    thread_local Converter c("UTF-16LE", "CP936");
    return c;
}

bool IsAsciiU16(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool IsAscii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

std::string ToAnsi(std::u16string_view text) {
    std::string out;
    if (IsAsciiU16(text)) {
        out.resize(text.size());
        for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
        return out;
    }

    // iconv reads UTF-16LE bytes; on this little-endian machine that is the
    // string's own storage.
    static_assert(std::endian::native == std::endian::little);
    const Converter& conv = ToGbk();
    conv.reset();
    out.resize(text.size() * 2 + 16);
    char* inPtr = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * 2;
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        const size_t rc = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(outPtr - out.data());
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        // Unmappable character, lone surrogate or truncated pair: one "?" for
        // the character, then go on behind it.
        conv.reset();
        const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(inPtr[0]) |
                                                 (static_cast<unsigned char>(inPtr[1]) << 8));
        size_t skip = 2;
        if (IsHighSurrogate(c) && inLeft >= 4) {
            const char16_t d = static_cast<char16_t>(static_cast<unsigned char>(inPtr[2]) |
                                                     (static_cast<unsigned char>(inPtr[3]) << 8));
            if (IsLowSurrogate(d)) skip = 4;
        }
        if (outLeft < 1) {
            const size_t used = static_cast<size_t>(outPtr - out.data());
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
        }
        *outPtr++ = '?';
        --outLeft;
        inPtr += skip;
        inLeft -= skip;
    }
    out.resize(static_cast<size_t>(outPtr - out.data()));
    return out;
}

std::u16string FromAnsi(std::string_view bytes) {
    std::u16string out;
    if (IsAscii(bytes)) {
        out.resize(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
        return out;
    }

    const Converter& conv = FromGbk();
    conv.reset();
    // Every GBK byte yields at most one UTF-16 unit (no GBK character lies
    // outside the BMP... except through GB18030 four-byte forms, which CP936
    // does not have), so bytes.size() units always suffice.
    out.resize(bytes.size() + 4);
    char* inPtr = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outBase = reinterpret_cast<char*>(out.data());
    char* outPtr = outBase;
    size_t outLeft = out.size() * 2;
    while (inLeft > 0) {
        const size_t rc = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            const size_t used = static_cast<size_t>(outPtr - outBase);
            out.resize(out.size() * 2);
            outBase = reinterpret_cast<char*>(out.data());
            outPtr = outBase + used;
            outLeft = out.size() * 2 - used;
            continue;
        }
        // Invalid or truncated sequence: U+FFFD for the offending byte.
        conv.reset();
        if (outLeft < 2) {
            const size_t used = static_cast<size_t>(outPtr - outBase);
            out.resize(out.size() * 2);
            outBase = reinterpret_cast<char*>(out.data());
            outPtr = outBase + used;
            outLeft = out.size() * 2 - used;
        }
        const char16_t repl = u'\uFFFD';
        std::memcpy(outPtr, &repl, 2);
        outPtr += 2;
        outLeft -= 2;
        ++inPtr;
        --inLeft;
    }
    out.resize(static_cast<size_t>(outPtr - outBase) / 2);
    return out;
}

std::u16string FromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < n) {
        const unsigned char b = at(i);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b & 0xE0) == 0xC0) {
            len = 2;
            cp = b & 0x1F;
            min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
            min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            cp = b & 0x07;
            min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            const unsigned char c = at(i + k);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
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
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    const std::u16string decoded = FromUtf8(bytes);
    // FromUtf8 only ever produces U+FFFD for a bad byte; a genuine U+FFFD in
    // the input is the three bytes EF BF BD, which we accept.
    if (decoded.find(u'\uFFFD') == std::u16string::npos) return true;
    return ToUtf8(decoded) == bytes;
}

}  // namespace tessel::text
