// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A link or address the desktop asks the program to open (a clicked
// thunder:// link, `tessel ADDRESS`, a later start forwarding its arguments).
//
// It is routed like a copied text, with the clipboard watcher taken as on,
// and the page it goes to is shown every time: this is an explicit request,
// unlike a copy.  A download-manager link is decoded, and a decoded or plain
// http/https/ftp address is shown in the conversion page's result box and
// offered to aria2 behind a Yes/No question whose default is No; so is a
// magnet link, plain or decoded.  A decoded or plain ed2k link, which aria2
// cannot fetch, is for the desktop's ed2k program.  Nothing is handed over
// without that Yes: a web page must not start downloads by itself.
//
// An address decoded from a link goes to aria2 as the bytes the link
// carried (GBK or UTF-8); one typed or copied as UTF-8, as browsers send it.

#include <optional>
#include <string>
#include <string_view>

#include "handoff/aria2_objects.h"
#include "links/routing.h"

namespace tessel::handoff {

inline constexpr std::u16string_view kOpenLinkQuestion = u"是否交给 aria2 下载？";
inline constexpr std::u16string_view kBadLinkText = u"对不起，链接不正确";

struct OpenLinkInput {
    std::u16string argument;  // as given, untrimmed
    std::u16string txtOutput;
    std::u16string txtFlvlink;
    bool linkActiveTabIsOne = false;
    bool uDownActiveTabIsOne = false;
    std::u16string diskServiceDomain = std::u16string(links::kDefaultDiskServiceDomain);
};

struct OpenLinkPlan {
    // The boxes to fill and flags to store, as the watcher would.
    links::RoutingResult routing;
    // The page to show; nothing when the text is not a link of any page.
    std::optional<int> showTab;
    // What the conversion page's result box shows: the decoded address, or
    // kBadLinkText for a download-manager link that does not decode.
    std::optional<std::u16string> txtOutput;
    // Set when the address may go to aria2 after a Yes.
    std::optional<Aria2Task> offer;
    // What the question names: the address, or a magnet link's own name.
    std::u16string offerName;
    // Set for an ed2k link: it may go to the desktop's ed2k program after a Yes.
    std::optional<std::u16string> ed2k;
};

OpenLinkPlan PlanOpenLink(const OpenLinkInput& in);

// One item for aria2 from a script: a download-manager link is decoded, a plain
// address taken as it is; either must then be an http, https or ftp address
// or a magnet link.  `complaint` says why not otherwise.
struct Aria2Item {
    std::optional<Aria2Task> task;
    std::u16string complaint;
};
Aria2Item Aria2ItemFrom(std::u16string_view text);

// "是否交给 aria2 下载？", an empty line, the address.
std::u16string OpenLinkQuestion(std::u16string_view address);

// The argument as the routing sees it: blanks, tabs and line breaks at both
// ends removed.
std::u16string TrimArgument(std::u16string_view argument);

}  // namespace tessel::handoff
