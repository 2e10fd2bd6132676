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
#include <utility>
#include <vector>

#include "handoff/aria2_objects.h"
#include "links/routing.h"

namespace tessel::bridge {

inline constexpr std::u16string_view kOpenLinkQuestion = u"是否交给 aria2 下载？";

struct OpenLinkPlan {
    // The boxes to fill and flags to store, as the watcher would; its
    // activateTab is the page to show, every time, and nothing when the text
    // is not a link of any page.
    links::RoutingResult routing;
    // What the conversion page's result box shows: the decoded address, or
    // links::kBadLinkText for a download-manager link that does not decode.
    std::optional<std::u16string> txtOutput;
    // Set when the address may go to aria2 after a Yes.
    std::optional<handoff::Aria2Task> offer;
    // What the question names: the address, or a magnet link's own name.
    std::u16string offerName;
    // Set for an ed2k link: it may go to the desktop's ed2k program after a Yes.
    std::optional<std::u16string> ed2k;
};

// `in` is what the watcher reads, with the argument as given (untrimmed) in
// txtMessage; the watcher is taken as on.
OpenLinkPlan PlanOpenLink(const links::RoutingInput& in);

// One item for aria2 from a script: a download-manager link is decoded, a plain
// address taken as it is; either must then be an http, https or ftp address
// or a magnet link.  `complaint` says why not otherwise.
struct Aria2Item {
    std::optional<handoff::Aria2Task> task;
    std::u16string complaint;
};
Aria2Item Aria2ItemFrom(std::u16string_view text);

// "是否交给 aria2 下载？", an empty line, the address.
std::u16string OpenLinkQuestion(std::u16string_view address);

// ---- Several links at once ------------------------------------------------
//
// Links that arrive together (the arguments of one start, forwards within a
// second of each other, the lines of one text) make one question for aria2
// and one for the ed2k program, however many there are.

// The items of texts that arrived together: every text, and instead of a
// text of several lines each of its lines, when every non-empty one is a
// link or address of its own (otherwise the text stays whole, as before).
std::vector<std::u16string> SplitOpenedTexts(const std::vector<std::u16string>& texts);

struct OpenBatchPlan {
    std::vector<OpenLinkPlan> items;  // each item's own plan, in order
    // The conversion page's boxes: for one item its own, for several the
    // links and their results one a line, as the page's line-by-line commands.
    std::optional<std::u16string> txtInput;
    std::optional<std::u16string> txtOutput;
    std::vector<handoff::Aria2Task> offers;
    std::vector<std::u16string> offerNames;
    std::vector<std::u16string> ed2k;
};
// The items' own routings leave the conversion page's input to the batch.
OpenBatchPlan PlanOpenLinks(const std::vector<std::u16string>& items, const links::RoutingInput& boxes);

// The question for the offers of a batch: one keeps the question of a single
// link exactly; several ask "是否把这 N 个地址交给 aria2 下载？" above the list.
std::u16string OpenLinksQuestion(std::size_t count);

// The message for the tasks aria2 refused out of a batch: each by name with
// aria2's words.
std::u16string RefusedTasksText(const std::vector<std::pair<std::u16string, std::u16string>>& refused);

// The argument as the routing sees it: blanks, tabs and line breaks at both
// ends removed.
std::u16string TrimArgument(std::u16string_view argument);

}  // namespace tessel::bridge
