// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The public address shown in lblIP, from the address echo's reply.

#include <optional>
#include <string>
#include <string_view>

#include "web/services.h"

namespace tessel::web {

inline constexpr std::u16string_view kIpCaptionPrefix = u"您的IP地址为：";
inline constexpr std::u16string_view kIpCopied = u"IP地址已复制到剪贴板";
// Delay of the re-query after a copy.
inline constexpr int kIpRequeryMs = 2000;

// The text between the first "(" and the first ")".  Without "(" it is the
// text up to the first ")".  Nothing when there is no ")" or the first ")"
// comes before the first "(".
std::optional<std::u16string> ReadIpReply(std::u16string_view reply);

// ShowPublicIP: the new caption of lblIP (prefix and address), or nothing when
// the query failed, in which case the label keeps its caption and visibility.
// On a caption the window also makes the label visible.
std::optional<std::u16string> QueryIpCaption(std::u16string_view ipEcho, const ReplyFetch& fetch);

// A double-click copies the caption only when it is neither empty nor the
// copy confirmation.
bool CanCopyIpCaption(std::u16string_view caption);

}  // namespace tessel::web
