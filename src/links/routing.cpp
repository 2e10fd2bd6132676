// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/routing.h"

#include "links/peer_links.h"
#include "links/special_link.h"
#include "text/vbstring.h"

namespace tessel::links {

RoutingResult RouteClipboardText(const RoutingInput& in) {
    RoutingResult r;
    if (!in.watcherOn) return r;

    const std::u16string s = text::Trim(in.txtMessage);

    // The watcher looks at seven characters where the decoders look at six.
    if (ClassifyLink(s, 7) != LinkForm::None) {
        if (s != in.txtOutput) r.txtInput = s;
        if (!in.linkActiveTabIsOne) {
            r.activateTab = kLinkTab;
            r.storeLinkActiveTab = true;
        }
        return r;
    }

    // An empty domain would be "found" in every text and pull every http
    // address to the disk page, so it matches nothing.
    if (!in.diskServiceDomain.empty() && text::InStr(s, u"http://") > 0 &&
        text::InStr(s, in.diskServiceDomain) > 0) {
        r.txtPickcode = s;
        if (!in.uDownActiveTabIsOne) {
            r.activateTab = kDiskTab;
            r.storeUDownActiveTab = true;
        }
        return r;
    }

    if (text::StartsWithNoCase(s, u"http://") || text::StartsWithNoCase(s, u"ftp://")) {
        if (s != in.txtFlvlink) r.txtOnlineflv = s;
        if (s != in.txtOutput) r.txtInput = s;
        return r;
    }

    // Magnet and ed2k links are no video pages: they go to the conversion
    // page alone, where they can be wrapped or compared with a decoded link.
    if ((IsMagnetLink(s) || IsEd2kLink(s)) && s != in.txtOutput) r.txtInput = s;
    return r;
}

bool SettingReadsAsOne(std::u16string_view value) {
    double v = 0;
    return text::ParseNumber(value, v) && v == 1;
}

}  // namespace tessel::links
