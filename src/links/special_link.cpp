// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/special_link.h"

#include "links/base64.h"
#include "text/codepage.h"
#include "text/vbstring.h"

namespace tessel::links {
namespace {

using text::InStrExact;
using text::Left;
using text::Mid;
using text::StartsWithNoCase;

constexpr std::u16string_view kThunderStart = u"AA";
constexpr std::u16string_view kThunderEnd = u"ZZ";
constexpr std::u16string_view kFlashGetTag = u"[FLASHGET]";

// The characters after the first "://"; without one, all but the first two.
std::u16string_view AfterScheme(std::u16string_view link) {
    const text::Pos p = InStrExact(link, u"://");
    const std::size_t from = p > 0 ? static_cast<std::size_t>(p) + 2 : 2;
    return from < link.size() ? link.substr(from) : std::u16string_view{};
}

std::string DecodePayloadBytes(std::u16string_view payload) {
    const std::size_t eq = payload.find(u'=');
    return Base64DecodeBytes(text::ToAnsi(payload), eq == std::u16string_view::npos ? payload.size() : eq);
}

// Whether address bytes are UTF-8 rather than GBK.  Many single GBK
// characters are also a valid two-byte UTF-8 sequence (源 is D4 B4, which
// UTF-8 reads as U+0534), so only three- and four-byte sequences count:
// those are what Chinese, Japanese and Korean text is made of in UTF-8,
// and GBK text forms them only by rare accident.  At least one three-byte
// sequence is asked for too, since two GBK characters can make one
// four-byte sequence.
bool ReadsAsUtf8(std::string_view bytes) {
    bool threeByte = false;
    for (unsigned char b : bytes) {
        if (b >= 0xC0 && b <= 0xDF) return false;  // a two-byte sequence
        threeByte = threeByte || (b >= 0xE0 && b <= 0xEF);
    }
    return threeByte && text::IsValidUtf8(bytes);
}

// Between a start tag and the first end tag.  The UTF-8 reading is tried on
// the address bytes alone, because a link without padding leaves a few junk
// bytes behind the end tag that would spoil a test of the whole payload.
std::optional<std::u16string> CutTagged(const std::string& bytes, std::u16string_view startTag,
                                        std::u16string_view endTag) {
    const std::string start = text::ToAnsi(startTag);
    const std::string end = text::ToAnsi(endTag);
    if (bytes.size() >= start.size() && text::IsAscii(std::string_view(bytes).substr(0, start.size()))) {
        const std::string_view body = std::string_view(bytes).substr(start.size());
        const std::size_t hit = body.find(end);
        if (hit != std::string_view::npos && ReadsAsUtf8(body.substr(0, hit))) {
            return text::FromUtf8(body.substr(0, hit));
        }
    }

    const std::u16string decoded = text::FromAnsi(bytes);
    if (decoded.size() < startTag.size()) return std::nullopt;
    // The start tag is skipped, never compared: links made by other tools
    // vary there and the managers do not care either.
    const std::u16string rest = Mid(decoded, static_cast<text::Pos>(startTag.size()) + 1);
    const text::Pos hit = InStrExact(rest, endTag);
    if (hit == 0) return std::nullopt;
    return Left(rest, hit - 1);
}

std::optional<std::u16string> DecodeQqdl(std::u16string_view link) {
    const std::string bytes = DecodePayloadBytes(AfterScheme(link));
    if (ReadsAsUtf8(bytes)) return text::FromUtf8(bytes);
    return text::FromAnsi(bytes);
}

std::optional<std::u16string> DecodeRayfile(std::u16string_view link) {
    constexpr std::size_t kSchemeLength = 9;  // "fs2you://"
    if (link.size() < kSchemeLength) return std::nullopt;
    const std::string bytes = DecodePayloadBytes(link.substr(kSchemeLength));

    const std::size_t bar = bytes.find('|');
    if (bar != std::string::npos && ReadsAsUtf8(std::string_view(bytes).substr(0, bar))) {
        return u"http://" + text::FromUtf8(std::string_view(bytes).substr(0, bar));
    }
    const std::u16string decoded = text::FromAnsi(bytes);
    const text::Pos p = InStrExact(decoded, u"|");
    if (p == 0) return std::nullopt;
    // The size behind the bar is not needed to fetch the file.
    return u"http://" + Left(decoded, p - 1);
}

}  // namespace

bool IsPlainAddress(std::u16string_view address) {
    const std::u16string head = text::LCase(Left(address, 6));
    return head == u"http:/" || head == u"ftp://" || head == u"https:" || head == u"mms://" || head == u"rtsp:/";
}

std::u16string EncodeThunderLink(std::u16string_view address) {
    std::u16string payload;
    payload.reserve(address.size() + 4);
    payload.append(kThunderStart).append(address).append(kThunderEnd);
    return u"thunder://" + Base64Encode(payload) + u"/";
}

std::u16string EncodeFlashGetLink(std::u16string_view address) {
    std::u16string payload;
    payload.reserve(address.size() + 2 * kFlashGetTag.size());
    payload.append(kFlashGetTag).append(address).append(kFlashGetTag);
    return u"flashget://" + Base64Encode(payload) + u"&vek/";
}

std::u16string EncodeQqdlLink(std::u16string_view address) {
    return u"qqdl://" + Base64Encode(address) + u"/";
}

std::u16string EncodeRayfileLink(std::u16string_view address, std::u16string_view size) {
    std::u16string payload(AfterScheme(address));
    payload.append(u"|").append(size);
    return u"fs2you://" + Base64Encode(payload) + u"/";
}

std::optional<std::u16string> DecodeSpecialLink(std::u16string_view link) {
    if (StartsWithNoCase(link, u"thunde")) {
        return CutTagged(DecodePayloadBytes(AfterScheme(link)), kThunderStart, kThunderEnd);
    }
    if (StartsWithNoCase(link, u"flashg")) {
        return CutTagged(DecodePayloadBytes(AfterScheme(link)), kFlashGetTag, kFlashGetTag);
    }
    if (StartsWithNoCase(link, u"qqdl:/")) return DecodeQqdl(link);
    if (StartsWithNoCase(link, u"fs2you")) return DecodeRayfile(link);
    return std::nullopt;
}

}  // namespace tessel::links
