// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/vbstring.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tessel::text {
namespace {

constexpr char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

template <typename Eq>
Pos Find(std::u16string_view hay, std::u16string_view needle, Pos start, Eq eq) {
    if (start < 1) start = 1;
    const Pos len = static_cast<Pos>(hay.size());
    const Pos nlen = static_cast<Pos>(needle.size());
    if (start > len + 1) return 0;
    if (nlen == 0) return start;
    if (nlen > len) return 0;
    const char16_t first = needle[0];
    for (Pos i = start - 1; i + nlen <= len; ++i) {
        if (!eq(hay[static_cast<size_t>(i)], first)) continue;
        Pos k = 1;
        while (k < nlen && eq(hay[static_cast<size_t>(i + k)], needle[static_cast<size_t>(k)])) ++k;
        if (k == nlen) return i + 1;
    }
    return 0;
}

}  // namespace

Pos InStr(std::u16string_view hay, std::u16string_view needle, Pos start) {
    return Find(hay, needle, start, [](char16_t a, char16_t b) { return Lower(a) == Lower(b); });
}

Pos InStrExact(std::u16string_view hay, std::u16string_view needle, Pos start) {
    return Find(hay, needle, start, [](char16_t a, char16_t b) { return a == b; });
}

std::u16string Mid(std::u16string_view s, Pos start, Pos length) {
    if (length <= 0) return {};
    const Pos len = static_cast<Pos>(s.size());
    // The window [start, start + length) clipped to [1, len].
    Pos from = start;
    Pos to = (start > 0 && length > INT64_MAX - start) ? INT64_MAX : start + length;  // exclusive
    from = std::max<Pos>(from, 1);
    to = std::min<Pos>(to, len + 1);
    if (from >= to) return {};
    return std::u16string(s.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from)));
}

std::u16string Mid(std::u16string_view s, Pos start) {
    const Pos len = static_cast<Pos>(s.size());
    if (start < 1) start = 1;
    if (start > len) return {};
    return std::u16string(s.substr(static_cast<size_t>(start - 1)));
}

std::u16string Left(std::u16string_view s, Pos n) {
    if (n <= 0) return {};
    return std::u16string(s.substr(0, static_cast<size_t>(std::min<Pos>(n, static_cast<Pos>(s.size())))));
}

std::u16string Right(std::u16string_view s, Pos n) {
    if (n <= 0) return {};
    const size_t k = static_cast<size_t>(std::min<Pos>(n, static_cast<Pos>(s.size())));
    return std::u16string(s.substr(s.size() - k));
}

std::u16string LCase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = Lower(c);
    return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::u16string Trim(std::u16string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && s[b] == u' ') ++b;
    while (e > b && s[e - 1] == u' ') --e;
    return std::u16string(s.substr(b, e - b));
}

std::u16string RemoveCrLf(std::u16string_view s) { return Replace(s, u"\r\n", u""); }

std::u16string Replace(std::u16string_view s, std::u16string_view from, std::u16string_view to) {
    if (from.empty()) return std::u16string(s);
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const size_t hit = s.find(from, i);
        if (hit == std::u16string_view::npos) {
            out.append(s.substr(i));
            break;
        }
        out.append(s.substr(i, hit - i));
        out.append(to);
        i = hit + from.size();
    }
    return out;
}

std::int64_t RoundHalfEven(double v) {
    return static_cast<std::int64_t>(std::nearbyint(v));  // default FE_TONEAREST: ties to even
}

std::u16string ToDecimal(std::int64_t v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

bool ParseNumber(std::u16string_view s, double& out) {
    size_t i = 0;
    while (i < s.size() && s[i] == u' ') ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
        neg = s[i] == u'-';
        ++i;
    }
    double value = 0;
    bool digits = false;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        value = value * 10 + (s[i] - u'0');
        digits = true;
        ++i;
    }
    if (i < s.size() && s[i] == u'.') {
        ++i;
        double scale = 0.1;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
            value += (s[i] - u'0') * scale;
            scale /= 10;
            digits = true;
            ++i;
        }
    }
    while (i < s.size() && s[i] == u' ') ++i;
    if (!digits || i != s.size()) return false;
    out = neg ? -value : value;
    return true;
}

}  // namespace tessel::text
