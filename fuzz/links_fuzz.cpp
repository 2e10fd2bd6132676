// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as a pasted link, a clipboard text or a typed size: the decoders
// must not crash, and what the encoders make must decode to what went in.
// The bytes are read as UTF-8 (the command line, the window) and once more
// as raw UTF-16 units, which may hold lone surrogates.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "links/base64.h"
#include "links/commands.h"
#include "links/routing.h"
#include "links/special_link.h"
#include "links/url.h"
#include "text/codepage.h"
#include "text/gbk_or_utf8.h"
#include "text/vbstring.h"

using namespace tessel;
using namespace tessel::links;

namespace {

bool IsAsciiText(std::u16string_view t) {
    for (char16_t c : t) {
        if (c >= 0x80) return false;
    }
    return true;
}

// Text whose GBK bytes decode back to it, made of whole double-byte
// characters, and whose bytes do not read better as UTF-8: the link
// decoders read UTF-8 payloads on purpose, and GBK text that is, byte for
// byte, more ordinary UTF-8 is the documented price of that.
bool PlainGbk(std::u16string_view t) {
    const std::string bytes = text::ToAnsi(t);
    if (text::FromAnsi(bytes) != t || text::ReadsAsUtf8(bytes)) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) {
            ++i;
        } else if (b >= 0x80) {
            return false;  // a single high byte has no double-byte escape
        }
    }
    return true;
}

// The first end tag after the address is the one the encoder put there.
bool TagClosesAfter(std::u16string_view address, std::u16string_view tag) {
    return (std::u16string(address) + std::u16string(tag)).find(tag) == address.size();
}

void CheckEncoders(std::u16string_view a) {
    if (!IsAsciiText(a) && !PlainGbk(a)) return;
    FUZZ_CHECK(DecodeSpecialLink(EncodeQqdlLink(a)) == a);
    if (TagClosesAfter(a, u"ZZ")) FUZZ_CHECK(DecodeSpecialLink(EncodeThunderLink(a)) == a);
    if (TagClosesAfter(a, u"[FLASHGET]")) FUZZ_CHECK(DecodeSpecialLink(EncodeFlashGetLink(a)) == a);
    if (a.find(u'|') == std::u16string_view::npos) {
        const std::u16string address = u"http://" + std::u16string(a);
        FUZZ_CHECK(DecodeSpecialLink(EncodeRayfileLink(address, u"24576")) == address);
    }
    FUZZ_CHECK(UrlDecode(UrlEncode(a)) == a);
}

void CheckText(std::u16string_view t) {
    // Base64 both ways over the GBK bytes.
    FUZZ_CHECK(Base64DecodeToBytes(Base64Encode(t)) == text::ToAnsi(t));
    FUZZ_CHECK(Base64Decode(t) == text::FromAnsi(Base64DecodeToBytes(t)));

    // The pasted text as a link, and as the address of a new one.
    // A text of several lines may be converted line by line; one line is
    // always cleaned and decoded whole.
    const CommandResult general = ToGeneral(t);
    if (t.find_first_of(u"\r\n") == std::u16string_view::npos) {
        FUZZ_CHECK(general.input == CleanInput(t));
        if (general.accepted) FUZZ_CHECK(general.output == DecodeSpecialLink(general.input));
    }
    CheckEncoders(t);

    const std::u16string encoded = UrlEncode(t);
    for (char16_t c : encoded) {
        FUZZ_CHECK(c == u'%' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                   (c >= u'a' && c <= u'z'));
    }
    if (t.find(u'%') == std::u16string_view::npos) FUZZ_CHECK(UrlDecode(t) == t);
    UrlCommand(t);

    // A size typed or fetched for a fs2you link never loses the address.
    const RayfileStart start = RayfileBegin(t);
    if (!start.output) FUZZ_CHECK(start.address == start.input);
    const std::u16string address = u"http://files.test/a b.zip";
    const std::u16string finished = RayfileFinish(address, t);
    if (finished != kAskForSizeText) FUZZ_CHECK(DecodeSpecialLink(finished) == address);
    const RayfileFetchOutcome fetched = RayfileAfterFetch(address, 1, t);
    FUZZ_CHECK(fetched.askForSize != fetched.output.has_value());
    if (fetched.output) FUZZ_CHECK(DecodeSpecialLink(*fetched.output) == address);

    // The clipboard watcher moves the text, trimmed, and never rewrites it.
    RoutingInput in;
    in.watcherOn = true;
    in.txtMessage = std::u16string(t);
    const RoutingResult routed = RouteClipboardText(in);
    const std::u16string trimmed = text::Trim(t);
    for (const auto* box : {&routed.txtInput, &routed.txtPickcode, &routed.txtOnlineflv}) {
        if (*box) FUZZ_CHECK(**box == trimmed);
    }
    SettingReadsAsOne(t);
    PasteText(t);

    // Whatever is routed as a link is a link to the decoders too.
    if (ClassifyLink(t, 7) != LinkForm::None) FUZZ_CHECK(ClassifyLink(t) == ClassifyLink(t, 7));
    if (ClassifyLink(t) == LinkForm::None) FUZZ_CHECK(!DecodeSpecialLink(t));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckText(text::FromUtf8(bytes));

    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    CheckText(units);

    FUZZ_CHECK(Base64DecodeBytes(Base64EncodeBytes(bytes)) == bytes);
    Base64DecodeBytes(bytes);
    return 0;
}
