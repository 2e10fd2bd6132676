// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a service reply (decoded from GBK like a reply file) and as
// user input (UTF-8, as typed or pasted): the readers and the commands around
// them must neither crash nor break their promises.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "text/codepage.h"
#include "text/input_cleaning.h"
#include "web/pick_code.h"
#include "web/public_ip.h"
#include "web/services.h"
#include "web/video_parse.h"

using namespace tessel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::u16string text = text::FromAnsi(std::string_view(reinterpret_cast<const char*>(data), size));
    const web::ParseHomes homes{u"http://parse.test", u"http://other.test"};

    const web::VideoParseResult video = web::ReadVideoReply(text, homes);
    if (video.txtFlvlink) {
        // What the box settles on is a fixed point of its filter.
        const web::FlvFilterResult again = web::ApplyFlvlinkFilter(*video.txtFlvlink, homes);
        FUZZ_CHECK(again.text == *video.txtFlvlink && !again.clearTip);
    }
    FUZZ_CHECK(!(video.message && video.txtFlvlink));
    // Album items never overlap: the box holds at most the reply, or one of
    // the fixed messages.
    if (video.txtFlvlink) FUZZ_CHECK(video.txtFlvlink->size() <= text.size() + 64);

    const web::PickCodeReply pick = web::ReadPickCodeReply(text);
    FUZZ_CHECK(pick.txtTel);  // the first box always gets an answer
    FUZZ_CHECK(!(pick.storeErrorCode && pick.deleteReply));

    if (const auto ip = web::ReadIpReply(text)) FUZZ_CHECK(ip->size() <= text.size());
    FUZZ_CHECK(web::CutPickCode(text).size() <= text.size());

    const std::string wire = web::ToWireUrl(text);
    for (unsigned char c : wire) {
        FUZZ_CHECK(c > 0x20 && c < 0x7F);
    }
    FUZZ_CHECK(web::EscapeUrlText(web::EscapeUrlText(text)) == web::EscapeUrlText(text));

    // The whole commands: typed input in, this reply back, one request each,
    // and the request stays the service's own whatever was typed.
    const std::u16string typed = text::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    int asked = 0;
    auto replyFor = [&](std::u16string_view prefix, std::u16string_view suffix) {
        return [&asked, &text, prefix, suffix](const std::u16string& url) -> std::optional<std::u16string> {
            ++asked;
            FUZZ_CHECK(url.starts_with(prefix) && url.ends_with(suffix));
            return text;
        };
    };
    const web::VideoParseResult parsed = web::ParseVideoAddress(
        typed, homes, replyFor(u"http://parse.test/parse.php?kw=", u"&flag=&format=high"));
    FUZZ_CHECK(parsed.txtOnlineflv == text::CleanInput(typed));
    FUZZ_CHECK(asked <= 1);

    asked = 0;
    web::ExtractPickCode(
        typed, u"https://api.test",
        replyFor(u"https://api.test/?ct=upload_api&ac=get_pick_code_info&pickcode=", u"&version=1170"));
    FUZZ_CHECK(asked <= 1);

    asked = 0;
    if (const auto caption =
            web::QueryIpCaption(u"http://echo.test", replyFor(u"http://echo.test/ip/", u""))) {
        FUZZ_CHECK(caption->starts_with(web::kIpCaptionPrefix));
    }
    FUZZ_CHECK(asked == 1);
    return 0;
}
