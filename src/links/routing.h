// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a clipboard text goes when the clipboard watcher is on.
//
// The watcher itself converts nothing: a download-manager link goes to the
// conversion page (switching to it the first time in a run), a share address
// of the network disk goes to the disk page (likewise), and any other http://
// or ftp:// address is offered to both the video page and the conversion
// page; a magnet or ed2k link to the conversion page alone.  Text that equals a page's own result box is not
// written back into that page's input, so copying a result out does not loop it back in.

#include <optional>
#include <string>
#include <string_view>

namespace tessel::links {

inline constexpr int kDiskTab = 0;  // "115网盘"
inline constexpr int kLinkTab = 1;  // "专链转换"

inline constexpr std::u16string_view kDefaultDiskServiceDomain = u"115.com";

struct RoutingInput {
    bool watcherOn = false;            // chkClipboard checked
    std::u16string txtMessage;         // the clipboard text as received (untrimmed)
    std::u16string txtOutput;          // conversion page result box
    std::u16string txtFlvlink;         // video page result box
    bool linkActiveTabIsOne = false;   // setting "linkActiveTab" reads as 1
    bool uDownActiveTabIsOne = false;  // setting "UDownActiveTab" reads as 1
    std::u16string diskServiceDomain = std::u16string(kDefaultDiskServiceDomain);
};

struct RoutingResult {
    std::optional<std::u16string> txtInput;      // conversion page input
    std::optional<std::u16string> txtPickcode;   // disk page input
    std::optional<std::u16string> txtOnlineflv;  // video page input
    std::optional<int> activateTab;
    bool storeLinkActiveTab = false;   // save "linkActiveTab" as "1"
    bool storeUDownActiveTab = false;  // save "UDownActiveTab" as "1"
};

RoutingResult RouteClipboardText(const RoutingInput& in);

// Whether a stored flag's text counts as 1 ("1", " 1", "1.0"; a missing or
// non-numeric value does not).
bool SettingReadsAsOne(std::u16string_view value);

}  // namespace tessel::links
