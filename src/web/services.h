// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The outside web services: where they live by default, and how each request
// address is put together.
//
// The settings store (group "services") lives in the shell; this header only
// supplies the defaults it falls back to.  Every base address is scheme and
// host without a trailing slash.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::web {

// How a command gets a service's reply: the request URL in, the reply text
// (decoded from GBK) out, nothing when the download failed.  The window passes
// FetchReplyText or FetchReplyTextVia bound to its reply file; tests pass
// canned replies.
using ReplyFetch = std::function<std::optional<std::u16string>(const std::u16string& url)>;

// The video parse service's home.
inline constexpr std::u16string_view kDefaultParseHome = u"http://www.flvcd.com";
// A second site the output filter also treats as a failed parse.  No
// such site is known any more; an empty value never matches an address.
inline constexpr std::u16string_view kDefaultParseHome2 = u"";
// The disk service's pick-code interface.
inline constexpr std::u16string_view kDefaultPickCodeApi = u"https://uapi.115.com";
// The disk service's address echo, plain HTTP.
inline constexpr std::u16string_view kDefaultIpEcho = u"http://uapi.115.com";

// The client version the pick-code interface is told.
inline constexpr int kPickCodeClientVersion = 1170;

// `text` with every character a URL cannot carry replaced by percent escapes
// of its GBK bytes: blanks, control characters, DEL, the characters
// " < > \ ^ ` { | } and everything outside ASCII.  All else, "%", "#", "?"
// and "&" included, passes unchanged, so escaping twice changes nothing.
std::u16string EscapeUrlText(std::u16string_view text);

// The bytes that go on the wire for an address typed as text: EscapeUrlText,
// then ASCII.
std::string ToWireUrl(std::u16string_view url);

// parse service home + "/parse.php?kw=" + address + "&flag=&format=high"
std::u16string BuildParseRequest(std::u16string_view parseHome, std::u16string_view address);
// pick-code interface + "/?ct=upload_api&ac=get_pick_code_info&pickcode=" + code +
// "&version=1170"
std::u16string BuildPickCodeRequest(std::u16string_view pickCodeApi, std::u16string_view code);
// address echo + "/ip/"
std::u16string BuildIpEchoRequest(std::u16string_view ipEcho);

}  // namespace tessel::web
