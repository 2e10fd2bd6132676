// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/open_link.h"

#include "links/special_link.h"
#include "text/vbstring.h"
#include "text/visible_text.h"

namespace tessel::handoff {
namespace {

// The same seven-character test the clipboard watcher routes by.
bool IsDownloadManagerLink(std::u16string_view s) {
    return links::ClassifyLink(s, 7) != links::LinkForm::None;
}

// The addresses aria2 can fetch and the question may offer.
bool IsFetchableAddress(std::u16string_view s) {
    if (s.find_first_of(u"\r\n") != std::u16string_view::npos) return false;
    for (std::u16string_view scheme : {u"http://", u"https://", u"ftp://"}) {
        if (text::StartsWithNoCase(s, scheme) && s.size() > scheme.size()) return true;
    }
    return false;
}

}  // namespace

std::u16string TrimArgument(std::u16string_view argument) {
    constexpr std::u16string_view kBlank = u" \t\r\n";
    const std::size_t first = argument.find_first_not_of(kBlank);
    if (first == std::u16string_view::npos) return {};
    const std::size_t last = argument.find_last_not_of(kBlank);
    return std::u16string(argument.substr(first, last - first + 1));
}

std::u16string OpenLinkQuestion(std::u16string_view address) {
    // What the link holds is shown as it is: a right-to-left override would
    // make "\u202Egpj.exe" read as "exe.jpg".
    return std::u16string(kOpenLinkQuestion) + u"\n\n" + text::ShowInvisibles(address);
}

Aria2Item Aria2ItemFrom(std::u16string_view text) {
    const std::u16string s = TrimArgument(text);
    if (s.empty()) return {std::nullopt, u"请输入待转换链接"};
    std::u16string address = s;
    if (IsDownloadManagerLink(s)) {
        std::optional<std::u16string> decoded = links::DecodeSpecialLink(s);
        if (!decoded || decoded->empty()) return {std::nullopt, std::u16string(kBadLinkText)};
        address = std::move(*decoded);
    }
    if (!IsFetchableAddress(address))
        return {std::nullopt, u"不是 aria2 能下载的地址（只接受 http、https 和 ftp）：" + address};
    return {Aria2Task{address, u"", OutNameFromAddress(address)}, {}};
}

OpenLinkPlan PlanOpenLink(const OpenLinkInput& in) {
    OpenLinkPlan plan;
    const std::u16string s = TrimArgument(in.argument);
    links::RoutingInput routing;
    routing.watcherOn = true;
    routing.txtMessage = s;
    routing.txtOutput = in.txtOutput;
    routing.txtFlvlink = in.txtFlvlink;
    routing.linkActiveTabIsOne = in.linkActiveTabIsOne;
    routing.uDownActiveTabIsOne = in.uDownActiveTabIsOne;
    routing.diskServiceDomain = in.diskServiceDomain;
    plan.routing = links::RouteClipboardText(routing);

    if (plan.routing.txtPickcode) {
        plan.showTab = links::kDiskTab;
        return plan;
    }

    std::u16string address;
    if (IsDownloadManagerLink(s)) {
        plan.showTab = links::kLinkTab;
        std::optional<std::u16string> decoded = links::DecodeSpecialLink(s);
        if (!decoded || decoded->empty()) {
            plan.txtOutput = std::u16string(kBadLinkText);
            return plan;
        }
        address = std::move(*decoded);
    } else if (IsFetchableAddress(s)) {
        plan.showTab = links::kLinkTab;
        // The watcher leaves https:// addresses alone; opened on purpose, the
        // address belongs in the conversion page like any other.
        if (!plan.routing.txtInput && s != in.txtOutput) plan.routing.txtInput = s;
        address = s;
    } else {
        return plan;
    }

    plan.txtOutput = address;
    if (IsFetchableAddress(address)) plan.offer = Aria2Task{address, u"", OutNameFromAddress(address)};
    return plan;
}

}  // namespace tessel::handoff
