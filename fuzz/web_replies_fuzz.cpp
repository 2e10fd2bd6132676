// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a service reply (decoded from GBK like a reply file) and as
// user input: the readers must neither crash nor break their promises.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/codepage.h"
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
        if (again.text != *video.txtFlvlink || again.clearTip) std::abort();
    }
    if (video.message && video.txtFlvlink) std::abort();

    const web::PickCodeReply pick = web::ReadPickCodeReply(text);
    if (!pick.txtTel) std::abort();  // the first box always gets an answer
    if (pick.storeErrorCode && pick.deleteReply) std::abort();

    if (const auto ip = web::ReadIpReply(text); ip && ip->size() >= text.size() + 1) std::abort();
    if (web::CutPickCode(text).size() > text.size()) std::abort();

    const std::string wire = web::ToWireUrl(text);
    for (unsigned char c : wire) {
        if (c <= 0x20 || c >= 0x7F) std::abort();
    }
    if (web::EscapeUrlText(web::EscapeUrlText(text)) != web::EscapeUrlText(text)) std::abort();
    return 0;
}
