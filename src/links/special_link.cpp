// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/special_link.h"

#include <algorithm>
#include <cstddef>

#include "links/base64.h"
#include "text/codepage.h"
#include "text/gbk_or_utf8.h"
#include "text/vbstring.h"

namespace tessel::links {
namespace {

using text::StartsWithNoCase;

constexpr std::string_view kThunderStart = "AA";
constexpr std::string_view kThunderEnd = "ZZ";
constexpr std::string_view kFlashGetTag = "[FLASHGET]";
constexpr std::size_t kRayfileSchemeLength = 9;  // "fs2you://"
constexpr std::size_t kNone = std::string_view::npos;

// The characters after the first "://"; without one, all but the first two.
template <typename Char>
std::basic_string_view<Char> AfterScheme(std::basic_string_view<Char> link) {
    constexpr Char kSeparator[] = {':', '/', '/'};
    const std::size_t p = link.find(std::basic_string_view<Char>(kSeparator, 3));
    const std::size_t from = p != kNone ? p + 3 : 2;
    return from < link.size() ? link.substr(from) : std::basic_string_view<Char>{};
}

// The Base64 text of a link of `form`; nullopt for a Rayfile link too short
// to hold its scheme.
template <typename Char>
std::optional<std::basic_string_view<Char>> PayloadText(LinkForm form, std::basic_string_view<Char> link) {
    if (form != LinkForm::Rayfile) return AfterScheme(link);
    if (link.size() < kRayfileSchemeLength) return std::nullopt;
    return link.substr(kRayfileSchemeLength);
}

// Length of the GBK character at `i`, as FromAnsi reads it: two bytes for
// a lead byte with a valid trail, one byte otherwise.
std::size_t GbkStep(const char16_t* table, std::string_view bytes, std::size_t i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x81 || i + 1 >= bytes.size()) return 1;
    return table[b << 8 | static_cast<unsigned char>(bytes[i + 1])] != 0 ? 2 : 1;
}

// Byte offset behind the first `count` GBK characters; npos when there are fewer.
std::size_t SkipGbkCharacters(const char16_t* table, std::string_view bytes, std::size_t count) {
    std::size_t i = 0;
    for (; count > 0; --count) {
        if (i >= bytes.size()) return kNone;
        i += GbkStep(table, bytes, i);
    }
    return i;
}

// First `tag` at or after `from` that begins a GBK character: a GBK trail
// byte may be "Z" (乑 is 81 5A) or "|" (亅 is 81 7C).  `from` begins one.
std::size_t FindOnGbkBoundary(const char16_t* table, std::string_view bytes, std::size_t from,
                              std::string_view tag) {
    std::size_t i = from;
    for (std::size_t hit = bytes.find(tag, from); hit != kNone; hit = bytes.find(tag, i)) {
        // Walk the characters up to the hit, a run of ASCII a word at a time.
        while (i < hit) {
            const std::size_t other = text::FindNonAscii(bytes.substr(0, hit), i);
            if (other == kNone) {
                i = hit;
                break;
            }
            i = other + GbkStep(table, bytes, other);
        }
        if (i == hit) return hit;
    }
    return kNone;
}

// The address bytes inside a decoded payload, and which reading they take.
struct AddressBytes {
    std::string_view bytes;
    bool utf8 = false;
};

// The address between a start of `startLength` characters and the first
// `endTag`, read as GBK or as UTF-8, whichever gives the more ordinary text
// (a tie reads as GBK).  The start is skipped, never compared: links made by
// other tools vary there and the managers do not care either.
//
// The two readings can cut at different bytes, since in UTF-8 no tag byte
// sits inside a character while a GBK trail byte may be "Z" or "|".  Then
// the earlier, UTF-8 cut counts only where the GBK reading has no tag or
// does not decode: a GBK address that ends in such a character would
// otherwise lose it.
std::optional<AddressBytes> CutAddress(std::string_view bytes, std::size_t startLength,
                                       std::string_view endTag) {
    // Start tags are ASCII in every link worth a UTF-8 reading.
    std::optional<std::string_view> utf8;
    if (bytes.size() >= startLength && text::IsAscii(bytes.substr(0, startLength))) {
        const std::size_t hit = bytes.find(endTag, startLength);
        if (hit != kNone) {
            utf8 = bytes.substr(startLength, hit - startLength);
            // Plain ASCII up to the tag: both readings agree.
            if (text::IsAscii(*utf8)) return AddressBytes{*utf8, false};
        }
    }
    std::optional<std::string_view> gbk;
    const char16_t* table = text::GbkCharTable();
    const std::size_t gbkFrom = SkipGbkCharacters(table, bytes, startLength);
    if (gbkFrom != kNone) {
        const std::size_t hit = FindOnGbkBoundary(table, bytes, gbkFrom, endTag);
        if (hit != kNone) gbk = bytes.substr(gbkFrom, hit - gbkFrom);
    }

    if (gbk && utf8 && gbk->size() == utf8->size()) return AddressBytes{*gbk, text::ReadsAsUtf8(*gbk)};
    if (utf8 && text::IsValidUtf8(*utf8) &&
        (!gbk || text::FromAnsi(*gbk).find(u'\uFFFD') != std::u16string::npos)) {
        return AddressBytes{*utf8, true};
    }
    if (gbk) return AddressBytes{*gbk, false};
    return std::nullopt;
}

// The address inside the decoded payload of a link of `form`.  Rayfile
// addresses lack their "http://", which the callers add.
std::optional<AddressBytes> AddressInside(LinkForm form, std::string_view payload) {
    switch (form) {
        case LinkForm::Thunder:
            return CutAddress(payload, kThunderStart.size(), kThunderEnd);
        case LinkForm::FlashGet:
            return CutAddress(payload, kFlashGetTag.size(), kFlashGetTag);
        case LinkForm::Qqdl:
            return AddressBytes{payload, text::ReadsAsUtf8(payload)};
        case LinkForm::Rayfile:
            // The size behind the bar is not needed to fetch the file.
            return CutAddress(payload, 0, "|");
        case LinkForm::None:
            break;
    }
    return std::nullopt;
}

// Starts and ends of the payload of each form (the Rayfile size is added by
// its encoder).
struct Wrapping {
    std::string_view start;
    std::string_view end;
    std::string_view trailer;
};

Wrapping WrappingOf(LinkForm form) {
    switch (form) {
        case LinkForm::Thunder:
            return {kThunderStart, kThunderEnd, "/"};
        case LinkForm::FlashGet:
            return {kFlashGetTag, kFlashGetTag, "&vek/"};
        case LinkForm::Qqdl:
        case LinkForm::Rayfile:
        case LinkForm::None:
            break;
    }
    return {{}, {}, "/"};
}

// scheme + Base64(start + address + end) + trailer, all parts already GBK
// (GBK is stateless, so the bytes of the parts are the bytes of the whole),
// appended to `out` as ASCII.
void AppendWrapped(std::string& out, LinkForm form, std::string_view address, std::string_view end) {
    const Wrapping w = WrappingOf(form);
    std::string payload;
    payload.reserve(w.start.size() + address.size() + end.size());
    payload.append(w.start).append(address).append(end);
    const std::u16string_view scheme = LinkScheme(form);
    out.append(scheme.begin(), scheme.end());
    AppendBase64(out, payload);
    out.append(w.trailer);
}

std::u16string Wrap(LinkForm form, std::string_view address, std::string_view end) {
    std::string link;
    AppendWrapped(link, form, address, end);
    return std::u16string(link.begin(), link.end());
}

std::string_view AsciiScheme(LinkForm form) {
    switch (form) {
        case LinkForm::Thunder:
            return "thunder://";
        case LinkForm::FlashGet:
            return "flashget://";
        case LinkForm::Qqdl:
            return "qqdl://";
        case LinkForm::Rayfile:
        case LinkForm::None:
            break;
    }
    return {};
}

// ClassifyLink over ASCII bytes.
LinkForm ClassifyAsciiLink(std::string_view link) {
    constexpr std::size_t kSignificant = 6;
    if (link.size() < kSignificant) return LinkForm::None;
    char head[kSignificant];
    for (std::size_t k = 0; k < kSignificant; ++k) {
        const char c = link[k];
        head[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    const std::string_view h(head, kSignificant);
    if (h == "thunde") return LinkForm::Thunder;
    if (h == "flashg") return LinkForm::FlashGet;
    if (h == "qqdl:/") return LinkForm::Qqdl;
    if (h == "fs2you") return LinkForm::Rayfile;
    return LinkForm::None;
}

}  // namespace

bool IsPlainAddress(std::u16string_view address) {
    for (std::u16string_view prefix : {u"http:/", u"ftp://", u"https:", u"mms://", u"rtsp:/"}) {
        if (StartsWithNoCase(address, prefix)) return true;
    }
    return false;
}

std::u16string EncodeThunderLink(std::u16string_view address) {
    return Wrap(LinkForm::Thunder, text::ToAnsi(address), kThunderEnd);
}

std::u16string EncodeFlashGetLink(std::u16string_view address) {
    return Wrap(LinkForm::FlashGet, text::ToAnsi(address), kFlashGetTag);
}

std::u16string EncodeQqdlLink(std::u16string_view address) {
    return Wrap(LinkForm::Qqdl, text::ToAnsi(address), {});
}

std::u16string EncodeRayfileLink(std::u16string_view address, std::u16string_view size) {
    std::string sizePart(1, '|');
    text::AppendAnsi(sizePart, size);
    return Wrap(LinkForm::Rayfile, text::ToAnsi(AfterScheme(address)), sizePart);
}

bool AppendEncodedLinkUtf8(std::string& out, LinkForm form, std::string_view address) {
    if (form == LinkForm::None || form == LinkForm::Rayfile) return false;
    // The payload of an ordinary address is built on the stack.
    const Wrapping w = WrappingOf(form);
    const std::size_t room = w.start.size() + address.size() + text::kUtf8ToAnsiSlack + w.end.size();
    char onStack[1024];
    std::string onHeap;
    char* payload = onStack;
    if (room > sizeof onStack) {
        onHeap.resize(room);
        payload = onHeap.data();
    }
    std::copy(w.start.begin(), w.start.end(), payload);
    const std::size_t gbk = text::Utf8ToAnsi(address, payload + w.start.size());
    if (gbk == std::string_view::npos) return false;
    std::copy(w.end.begin(), w.end.end(), payload + w.start.size() + gbk);
    out.append(AsciiScheme(form));
    AppendBase64(out, std::string_view(payload, w.start.size() + gbk + w.end.size()));
    out.append(w.trailer);
    return true;
}

LinkForm ClassifyLink(std::u16string_view text, std::size_t significant) {
    for (LinkForm form : {LinkForm::Thunder, LinkForm::FlashGet, LinkForm::Qqdl, LinkForm::Rayfile}) {
        const std::u16string_view scheme = LinkScheme(form);
        if (significant <= scheme.size() && StartsWithNoCase(text, scheme.substr(0, significant)))
            return form;
    }
    return LinkForm::None;
}

std::u16string_view LinkScheme(LinkForm form) {
    switch (form) {
        case LinkForm::Thunder:
            return u"thunder://";
        case LinkForm::FlashGet:
            return u"flashget://";
        case LinkForm::Qqdl:
            return u"qqdl://";
        case LinkForm::Rayfile:
            return u"fs2you://";
        case LinkForm::None:
            break;
    }
    return {};
}

std::optional<DecodedAddress> DecodeSpecialLinkRead(std::u16string_view link) {
    const LinkForm form = ClassifyLink(link);
    const std::optional<std::u16string_view> payloadText = PayloadText(form, link);
    if (form == LinkForm::None || !payloadText) return std::nullopt;
    const std::string payload = Base64DecodeToBytes(*payloadText);
    const std::optional<AddressBytes> address = AddressInside(form, payload);
    if (!address) return std::nullopt;
    DecodedAddress out;
    if (form == LinkForm::Rayfile) out.address = u"http://";
    if (address->utf8) {
        out.codePage = text::CodePage::Utf8;
        text::AppendFromUtf8(out.address, address->bytes);
    } else {
        text::AppendFromAnsi(out.address, address->bytes);
    }
    return out;
}

std::optional<std::u16string> DecodeSpecialLink(std::u16string_view link) {
    std::optional<DecodedAddress> decoded = DecodeSpecialLinkRead(link);
    if (!decoded) return std::nullopt;
    return std::move(decoded->address);
}

bool AppendDecodedLinkUtf8(std::string& out, std::string_view link) {
    if (!text::IsAscii(link)) {
        // Links are ASCII; anything else takes the general way.
        const std::optional<std::u16string> address = DecodeSpecialLink(text::FromUtf8(link));
        if (address) text::AppendUtf8(out, *address);
        return address.has_value();
    }
    const LinkForm form = ClassifyAsciiLink(link);
    const std::optional<std::string_view> payloadText = PayloadText(form, link);
    if (form == LinkForm::None || !payloadText) return false;
    thread_local std::string payload;
    payload.clear();
    const std::size_t eq = payloadText->find('=');
    AppendBase64Decoded(payload, *payloadText, eq == std::string_view::npos ? payloadText->size() : eq);
    const std::optional<AddressBytes> address = AddressInside(form, payload);
    if (!address) return false;
    if (form == LinkForm::Rayfile) out.append("http://");
    if (address->utf8) {
        out.append(address->bytes);
    } else {
        text::AppendAnsiAsUtf8(out, address->bytes);
    }
    return true;
}

}  // namespace tessel::links
