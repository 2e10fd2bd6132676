// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/public_ip.h"

#include "text/vbstring.h"
#include "web/reply_cuts.h"

namespace tessel::web {

std::optional<std::u16string> ReadIpReply(std::u16string_view reply) {
    const text::Pos open = text::InStrExact(reply, u"(");
    const text::Pos close = text::InStrExact(reply, u")");
    // No ")" at all, or one before the "(": there is no address in it.
    if (close == 0 || close < open) return std::nullopt;
    return Between(reply, AfterMarker(open, u"("), close);
}

std::optional<std::u16string> QueryIpCaption(std::u16string_view ipEcho, const ReplyFetch& fetch) {
    if (!fetch) return std::nullopt;
    const std::optional<std::u16string> reply = fetch(BuildIpEchoRequest(ipEcho));
    if (!reply) return std::nullopt;
    const std::optional<std::u16string> address = ReadIpReply(*reply);
    if (!address) return std::nullopt;
    return std::u16string(kIpCaptionPrefix) + *address;
}

bool CanCopyIpCaption(std::u16string_view caption) { return !caption.empty() && caption != kIpCopied; }

}  // namespace tessel::web
