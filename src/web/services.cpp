// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/services.h"

#include "text/codepage.h"
#include "text/vbstring.h"

namespace tessel::web {
namespace {

bool MustEscape(char16_t c) {
    if (c <= 0x20 || c >= 0x7F) return true;
    switch (c) {
        case u'"':
        case u'<':
        case u'>':
        case u'\\':
        case u'^':
        case u'`':
        case u'{':
        case u'|':
        case u'}':
            return true;
        default:
            return false;
    }
}

void AppendEscaped(std::u16string& out, std::string_view bytes) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    for (unsigned char b : bytes) {
        out.push_back(u'%');
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
}

}  // namespace

std::u16string EscapeUrlText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (!MustEscape(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        // Convert a whole run at once so surrogate pairs stay together; a
        // character GBK lacks comes back as "?" and is escaped like the rest.
        size_t j = i;
        while (j < text.size() && MustEscape(text[j])) ++j;
        AppendEscaped(out, text::ToAnsi(text.substr(i, j - i)));
        i = j;
    }
    return out;
}

std::string ToWireUrl(std::u16string_view url) {
    const std::u16string escaped = EscapeUrlText(url);
    return std::string(escaped.begin(), escaped.end());  // all ASCII now
}

std::u16string BuildParseRequest(std::u16string_view parseHome, std::u16string_view address) {
    std::u16string url(parseHome);
    url += u"/parse.php?kw=";
    url += EscapeUrlText(address);
    url += u"&flag=&format=high";
    return url;
}

std::u16string BuildPickCodeRequest(std::u16string_view pickCodeApi, std::u16string_view code) {
    std::u16string url(pickCodeApi);
    url += u"/?ct=upload_api&ac=get_pick_code_info&pickcode=";
    url += EscapeUrlText(code);
    url += u"&version=";
    url += text::ToDecimal(kPickCodeClientVersion);
    return url;
}

std::u16string BuildIpEchoRequest(std::u16string_view ipEcho) {
    std::u16string url(ipEcho);
    url += u"/ip/";
    return url;
}

}  // namespace tessel::web
