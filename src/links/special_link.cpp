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

constexpr std::string_view kThunderStart = "AA";
constexpr std::string_view kThunderEnd = "ZZ";
constexpr std::string_view kFlashGetTag = "[FLASHGET]";

// The characters after the first "://"; without one, all but the first two.
std::u16string_view AfterScheme(std::u16string_view link) {
    const text::Pos p = InStrExact(link, u"://");
    const std::size_t from = p > 0 ? static_cast<std::size_t>(p) + 2 : 2;
    return from < link.size() ? link.substr(from) : std::u16string_view{};
}

std::string DecodePayloadBytes(std::u16string_view payload) { return Base64DecodeToBytes(payload); }

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

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

// Between a start tag and the first end tag.  Tags are ASCII, so they are
// searched among the bytes, where UTF-8 and GBK agree as long as everything
// before the hit is ASCII too; the general GBK case works on the text.  The
// UTF-8 reading is tried on the address bytes alone, because a link without
// padding leaves a few junk bytes behind the end tag.
std::optional<std::u16string> CutTagged(std::string_view bytes, std::string_view startTag,
                                        std::string_view endTag) {
    if (bytes.size() >= startTag.size()) {
        const std::string_view body = bytes.substr(startTag.size());
        const std::size_t hit = body.find(endTag);
        if (hit != std::string_view::npos) {
            if (text::IsAscii(bytes.substr(0, startTag.size() + hit))) return Widen(body.substr(0, hit));
            if (text::IsAscii(bytes.substr(0, startTag.size())) && ReadsAsUtf8(body.substr(0, hit))) {
                return text::FromUtf8(body.substr(0, hit));
            }
        }
    }

    const std::u16string decoded = text::FromAnsi(bytes);
    if (decoded.size() < startTag.size()) return std::nullopt;
    // The start tag is skipped, never compared: links made by other tools
    // vary there and the managers do not care either.
    const std::u16string rest = Mid(decoded, static_cast<text::Pos>(startTag.size()) + 1);
    const text::Pos hit = InStrExact(rest, Widen(endTag));
    if (hit == 0) return std::nullopt;
    return Left(rest, hit - 1);
}

std::optional<std::u16string> DecodeQqdl(std::u16string_view link) {
    const std::string bytes = DecodePayloadBytes(AfterScheme(link));
    if (text::IsAscii(bytes)) return Widen(bytes);
    if (ReadsAsUtf8(bytes)) return text::FromUtf8(bytes);
    return text::FromAnsi(bytes);
}

std::optional<std::u16string> DecodeRayfile(std::u16string_view link) {
    constexpr std::size_t kSchemeLength = 9;  // "fs2you://"
    if (link.size() < kSchemeLength) return std::nullopt;
    const std::string bytes = DecodePayloadBytes(link.substr(kSchemeLength));

    // "|" is ASCII: a byte-level hit with only ASCII before it is exact.
    const std::string_view all(bytes);
    const std::size_t bar = all.find('|');
    if (bar != std::string_view::npos) {
        if (text::IsAscii(all.substr(0, bar))) return u"http://" + Widen(all.substr(0, bar));
        if (ReadsAsUtf8(all.substr(0, bar))) return u"http://" + text::FromUtf8(all.substr(0, bar));
    }
    const std::u16string decoded = text::FromAnsi(bytes);
    const text::Pos p = InStrExact(decoded, u"|");
    if (p == 0) return std::nullopt;
    // The size behind the bar is not needed to fetch the file.
    return u"http://" + Left(decoded, p - 1);
}

// scheme + Base64(start + address + end) + trailer, all parts already GBK.
// (GBK is stateless, so the bytes of the parts are the bytes of the whole.)
std::u16string Wrap(std::u16string_view scheme, std::string_view start, std::string_view address,
                    std::string_view end, std::u16string_view trailer) {
    std::string payload;
    payload.reserve(start.size() + address.size() + end.size());
    payload.append(start).append(address).append(end);
    const std::string b64 = Base64EncodeBytes(payload);
    std::u16string link;
    link.reserve(scheme.size() + b64.size() + trailer.size());
    link.append(scheme).append(b64.begin(), b64.end()).append(trailer);
    return link;
}

}  // namespace

bool IsPlainAddress(std::u16string_view address) {
    const std::u16string head = text::LCase(Left(address, 6));
    return head == u"http:/" || head == u"ftp://" || head == u"https:" || head == u"mms://" ||
           head == u"rtsp:/";
}

std::u16string EncodeThunderLink(std::u16string_view address) {
    return Wrap(u"thunder://", kThunderStart, text::ToAnsi(address), kThunderEnd, u"/");
}

std::u16string EncodeFlashGetLink(std::u16string_view address) {
    return Wrap(u"flashget://", kFlashGetTag, text::ToAnsi(address), kFlashGetTag, u"&vek/");
}

std::u16string EncodeQqdlLink(std::u16string_view address) {
    return Wrap(u"qqdl://", {}, text::ToAnsi(address), {}, u"/");
}

std::u16string EncodeRayfileLink(std::u16string_view address, std::u16string_view size) {
    std::string sizePart(1, '|');
    sizePart.append(text::ToAnsi(size));
    return Wrap(u"fs2you://", {}, text::ToAnsi(AfterScheme(address)), sizePart, u"/");
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
