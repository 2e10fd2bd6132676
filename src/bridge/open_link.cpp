// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/open_link.h"

#include <string>

#include "links/commands.h"
#include "links/peer_links.h"
#include "links/special_link.h"
#include "text/vbstring.h"
#include "text/visible_text.h"

namespace tessel::bridge {
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

// The task aria2 gets for an address or magnet link read in `page`.
handoff::Aria2Task TaskFor(const std::u16string& address, text::CodePage page) {
    handoff::Aria2Task task{address, u"",
                            links::IsMagnetLink(address) ? u"" : handoff::OutNameFromAddress(address)};
    task.headers.codePage = page;
    return task;
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
    text::CodePage page = text::CodePage::Utf8;
    if (IsDownloadManagerLink(s)) {
        std::optional<links::DecodedAddress> decoded = links::DecodeSpecialLinkRead(s);
        if (!decoded || decoded->address.empty()) return {std::nullopt, std::u16string(links::kBadLinkText)};
        address = std::move(decoded->address);
        page = decoded->codePage;
    }
    if (links::IsEd2kLink(address))
        return {std::nullopt, u"aria2 不能下载 ed2k 链接，请交给 ed2k 下载程序：" + address};
    if (!IsFetchableAddress(address) && !links::IsMagnetLink(address))
        return {std::nullopt, u"不是 aria2 能下载的地址（只接受 http、https、ftp 和磁力链接）：" + address};
    return {TaskFor(address, page), {}};
}

OpenLinkPlan PlanOpenLink(const links::RoutingInput& in) {
    OpenLinkPlan plan;
    const std::u16string s = TrimArgument(in.txtMessage);
    links::RoutingInput routing = in;
    routing.watcherOn = true;
    routing.txtMessage = s;
    plan.routing = links::RouteClipboardText(routing);
    // The watcher shows a page the first time in a run only; a link opened on
    // purpose shows its page every time (set below).
    plan.routing.activateTab.reset();

    if (plan.routing.txtPickcode) {
        plan.routing.activateTab = links::kDiskTab;
        return plan;
    }

    std::u16string address;
    // Typed or copied addresses are UTF-8, as every browser sends them.
    text::CodePage page = text::CodePage::Utf8;
    if (IsDownloadManagerLink(s)) {
        plan.routing.activateTab = links::kLinkTab;
        std::optional<links::DecodedAddress> decoded = links::DecodeSpecialLinkRead(s);
        if (!decoded || decoded->address.empty()) {
            plan.txtOutput = std::u16string(links::kBadLinkText);
            return plan;
        }
        address = std::move(decoded->address);
        page = decoded->codePage;
    } else if (IsFetchableAddress(s) || links::IsMagnetLink(s) || links::IsEd2kLink(s)) {
        plan.routing.activateTab = links::kLinkTab;
        // The watcher leaves https:// addresses alone; opened on purpose, the
        // address belongs in the conversion page like any other.
        if (!plan.routing.txtInput && s != in.txtOutput) plan.routing.txtInput = s;
        address = s;
    } else {
        return plan;
    }

    plan.txtOutput = address;
    if (links::IsEd2kLink(address)) {
        plan.ed2k = address;
    } else if (IsFetchableAddress(address) || links::IsMagnetLink(address)) {
        plan.offer = TaskFor(address, page);
        plan.offerName = links::IsMagnetLink(address) ? links::MagnetDisplayName(address) : address;
        if (plan.offerName.empty()) plan.offerName = address;
    }
    return plan;
}

namespace {

// A line that is a link or address of its own, as an opened text may be.
bool IsLinkOfItsOwn(std::u16string_view s) {
    return IsDownloadManagerLink(s) || IsFetchableAddress(s) || links::IsMagnetLink(s) ||
           links::IsEd2kLink(s);
}

}  // namespace

std::vector<std::u16string> SplitOpenedTexts(const std::vector<std::u16string>& texts) {
    std::vector<std::u16string> items;
    for (const std::u16string& t : texts) {
        std::vector<std::u16string> lines;
        bool allLinks = true;
        for (std::u16string_view rest = t;;) {
            const std::size_t lf = rest.find(u'\n');
            std::u16string line = TrimArgument(rest.substr(0, lf));
            if (!line.empty()) {
                allLinks = allLinks && IsLinkOfItsOwn(line);
                lines.push_back(std::move(line));
            }
            if (lf == std::u16string_view::npos) break;
            rest.remove_prefix(lf + 1);
        }
        if (lines.size() > 1 && allLinks) {
            items.insert(items.end(), lines.begin(), lines.end());
        } else {
            items.push_back(t);
        }
    }
    return items;
}

OpenBatchPlan PlanOpenLinks(const std::vector<std::u16string>& items, const links::RoutingInput& boxes) {
    OpenBatchPlan batch;
    std::u16string inputs, outputs;
    std::size_t onLinkPage = 0;
    links::RoutingInput in = boxes;
    for (const std::u16string& item : items) {
        in.txtMessage = item;
        OpenLinkPlan plan = PlanOpenLink(in);
        if (plan.txtOutput) {
            if (onLinkPage++ > 0) {
                inputs += u"\r\n";
                outputs += u"\r\n";
            }
            inputs += TrimArgument(item);
            outputs += *plan.txtOutput;
            batch.txtInput = plan.routing.txtInput;
            batch.txtOutput = plan.txtOutput;
        }
        if (plan.offer) {
            batch.offers.push_back(*plan.offer);
            batch.offerNames.push_back(plan.offerName);
        }
        if (plan.ed2k) batch.ed2k.push_back(*plan.ed2k);
        plan.routing.txtInput.reset();
        // The tab flags are stored once, by the first item that sets them.
        in.linkActiveTabIsOne = in.linkActiveTabIsOne || plan.routing.storeLinkActiveTab;
        in.uDownActiveTabIsOne = in.uDownActiveTabIsOne || plan.routing.storeUDownActiveTab;
        batch.items.push_back(std::move(plan));
    }
    if (onLinkPage > 1) {
        batch.txtInput = std::move(inputs);
        batch.txtOutput = std::move(outputs);
    }
    return batch;
}

std::u16string OpenLinksQuestion(std::size_t count) {
    return u"是否把这 " + text::FromUtf8(std::to_string(count)) + u" 个地址交给 aria2 下载？";
}

std::u16string RefusedTasksText(const std::vector<std::pair<std::u16string, std::u16string>>& refused) {
    std::u16string text =
        u"aria2 没有接受下面 " + text::FromUtf8(std::to_string(refused.size())) + u" 个地址：\n";
    for (const auto& [name, why] : refused) text += u"\n" + name + u"：" + why;
    return text;
}

}  // namespace tessel::bridge
