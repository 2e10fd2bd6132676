// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as GBK and as UTF-8, any UTF-16 units, any positions: the
// conversions must keep their round trips and the cut helpers stay inside
// the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check.h"
#include "text/codepage.h"
#include "text/json_nesting.h"
#include "text/vbstring.h"
#include "text/visible_text.h"

using namespace tessel::text;

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Well-formed UTF-8 by the byte ranges of RFC 3629, written independently of
// the decoder so the two can be compared.
bool ReferenceValidUtf8(std::string_view s) {
    std::size_t i = 0;
    auto in = [&](std::size_t k, unsigned lo, unsigned hi) {
        if (k >= s.size()) return false;
        const auto b = static_cast<unsigned char>(s[k]);
        return b >= lo && b <= hi;
    };
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        if (b <= 0x7F)
            len = 1;
        else if (b >= 0xC2 && b <= 0xDF)
            len = in(i + 1, 0x80, 0xBF) ? 2 : 0;
        else if (b == 0xE0)
            len = in(i + 1, 0xA0, 0xBF) && in(i + 2, 0x80, 0xBF) ? 3 : 0;
        else if (b == 0xED)
            len = in(i + 1, 0x80, 0x9F) && in(i + 2, 0x80, 0xBF) ? 3 : 0;
        else if (b >= 0xE1 && b <= 0xEF)
            len = in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF) ? 3 : 0;
        else if (b == 0xF0)
            len = in(i + 1, 0x90, 0xBF) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF) ? 4 : 0;
        else if (b >= 0xF1 && b <= 0xF3)
            len = in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF) ? 4 : 0;
        else if (b == 0xF4)
            len = in(i + 1, 0x80, 0x8F) && in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF) ? 4 : 0;
        if (len == 0) return false;
        i += len;
    }
    return true;
}

// Characters of UTF-16 text (a surrogate pair is one), each lone surrogate
// replaced by U+FFFD: what a UTF-8 round trip must give back.
std::u16string Scrubbed(std::u16string_view t, std::size_t& characters) {
    std::u16string out;
    characters = 0;
    for (std::size_t i = 0; i < t.size(); ++i, ++characters) {
        if (IsHigh(t[i]) && i + 1 < t.size() && IsLow(t[i + 1])) {
            out += t.substr(i, 2);
            ++i;
        } else {
            out += IsHigh(t[i]) || IsLow(t[i]) ? u'\uFFFD' : t[i];
        }
    }
    return out;
}

void CheckBytes(std::string_view bytes) {
    // GBK: at most one unit per byte, and whatever decoded cleanly encodes
    // back to text that decodes the same.
    const std::u16string gbk = FromAnsi(bytes);
    FUZZ_CHECK(gbk.size() <= bytes.size());
    if (IsAscii(bytes)) FUZZ_CHECK(gbk == std::u16string(bytes.begin(), bytes.end()));
    if (gbk.find(u'\uFFFD') == std::u16string::npos) FUZZ_CHECK(FromAnsi(ToAnsi(gbk)) == gbk);

    const std::u16string utf16 = FromUtf8(bytes);
    const bool valid = IsValidUtf8(bytes);
    FUZZ_CHECK(valid == ReferenceValidUtf8(bytes));
    FUZZ_CHECK(utf16.size() <= bytes.size());
    if (valid) FUZZ_CHECK(ToUtf8(utf16) == bytes);
}

void CheckUnits(std::u16string_view units) {
    std::size_t characters = 0;
    const std::u16string scrubbed = Scrubbed(units, characters);

    const std::string utf8 = ToUtf8(units);
    FUZZ_CHECK(ReferenceValidUtf8(utf8));
    FUZZ_CHECK(FromUtf8(utf8) == scrubbed);

    // One GBK character or one "?" per character; a second round changes nothing.
    const std::string gbk = ToAnsi(units);
    const std::u16string back = FromAnsi(gbk);
    FUZZ_CHECK(back.size() == characters);
    FUZZ_CHECK(ToAnsi(back) == gbk);
}

void CheckCuts(std::u16string_view s, std::u16string_view needle, Pos start, Pos length) {
    // Mid is the window [start, start + length) clipped to [1, size].
    const __int128 lo = std::max<__int128>(start, 1);
    const __int128 hi =
        std::min<__int128>(static_cast<__int128>(start) + length, static_cast<__int128>(s.size()) + 1);
    const std::u16string mid = Mid(s, start, length);
    if (length <= 0 || lo >= hi) {
        FUZZ_CHECK(mid.empty());
    } else {
        FUZZ_CHECK(mid == s.substr(static_cast<std::size_t>(lo - 1), static_cast<std::size_t>(hi - lo)));
    }
    const std::u16string_view tail = lo <= static_cast<__int128>(s.size())
                                         ? s.substr(static_cast<std::size_t>(lo - 1))
                                         : std::u16string_view{};
    FUZZ_CHECK(Mid(s, start) == tail);

    const Pos exact = InStrExact(s, needle, start);
    const Pos expected = [&]() -> Pos {
        if (lo > static_cast<__int128>(s.size()) + 1) return 0;
        const std::size_t at = s.find(needle, static_cast<std::size_t>(lo - 1));
        return at == std::u16string_view::npos ? 0 : static_cast<Pos>(at) + 1;
    }();
    FUZZ_CHECK(exact == expected);

    const Pos folded = InStr(s, needle, start);
    FUZZ_CHECK(folded == InStrExact(LCase(s), LCase(needle), start));

    double number = 0;
    if (ParseNumber(s, number)) FUZZ_CHECK(s.find_first_of(u"0123456789") != std::u16string_view::npos);
}

}  // namespace

// Outside text made safe to show: what is printed holds no control
// character, stays within its bound and is UTF-8; a question shows every
// invisible; a name keeps no bidirectional control.
void CheckVisible(std::string_view bytes, std::u16string_view units) {
    const std::size_t bound = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
    const std::string printed = EscapeForTerminal(bytes, bound);
    FUZZ_CHECK(printed.size() <= bound && IsValidUtf8(printed));
    for (unsigned char c : printed) FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    for (char16_t c : ShowInvisibles(units))
        FUZZ_CHECK(c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && !IsBidiControl(c));
    for (char16_t c : StripBidiControls(units)) FUZZ_CHECK(!IsBidiControl(c));
    // Deeper limits never refuse what a shallower one takes.
    if (JsonNestingWithin(bytes, 3)) FUZZ_CHECK(JsonNestingWithin(bytes, 4));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckBytes(bytes);

    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    CheckUnits(units);
    CheckVisible(bytes, units);

    FuzzedDataProvider in(data, size);
    const Pos start = in.ConsumeIntegral<Pos>();
    const Pos length = in.ConsumeIntegral<Pos>();
    const std::u16string needle = FromAnsi(in.ConsumeRandomLengthString(8));
    const std::u16string hay = FromAnsi(in.ConsumeRemainingBytesAsString());
    CheckCuts(hay, needle, start, length);
    return 0;
}
