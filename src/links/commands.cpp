// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/commands.h"

#include "links/special_link.h"
#include "links/url.h"
#include "text/vbstring.h"

namespace tessel::links {
namespace {

CommandResult Rejected(std::u16string input, std::u16string_view complaint) {
    return CommandResult{std::move(input), std::u16string(complaint), false};
}

template <typename Encoder>
CommandResult Encode(std::u16string_view txtInput, Encoder encode) {
    std::u16string input = CleanInput(txtInput);
    if (input.empty()) return Rejected(std::move(input), kAskForLinkText);
    if (!IsPlainAddress(input)) return Rejected(std::move(input), kBadLinkText);
    std::u16string link = encode(input);
    return CommandResult{std::move(input), std::move(link), true};
}

}  // namespace

CommandResult ToGeneral(std::u16string_view txtInput) {
    std::u16string input = CleanInput(txtInput);
    if (input.empty()) return Rejected(std::move(input), kAskForLinkText);
    std::optional<std::u16string> address = DecodeSpecialLink(input);
    if (!address) return Rejected(std::move(input), kBadLinkText);
    return CommandResult{std::move(input), std::move(*address), true};
}

CommandResult ToThunder(std::u16string_view txtInput) {
    return Encode(txtInput, [](std::u16string_view a) { return EncodeThunderLink(a); });
}

CommandResult ToFlashGet(std::u16string_view txtInput) {
    return Encode(txtInput, [](std::u16string_view a) { return EncodeFlashGetLink(a); });
}

CommandResult ToQqdl(std::u16string_view txtInput) {
    return Encode(txtInput, [](std::u16string_view a) { return EncodeQqdlLink(a); });
}

CommandResult UrlCommand(std::u16string_view txtInput) {
    std::u16string input = CleanInput(txtInput);
    if (input.empty()) return Rejected(std::move(input), kAskForUrlText);
    std::u16string output = input.find(u'%') != std::u16string::npos ? UrlDecode(input) : UrlEncode(input);
    return CommandResult{std::move(input), std::move(output), true};
}

RayfileStart RayfileBegin(std::u16string_view txtInput) {
    RayfileStart start;
    start.input = CleanInput(txtInput);
    if (start.input.empty()) {
        start.output = std::u16string(kAskForLinkText);
    } else if (start.input.find(u'|') != std::u16string::npos ||
               text::LCase(text::Left(start.input, 6)) != u"http:/") {
        start.output = std::u16string(kBadLinkText);
    } else {
        start.address = start.input;
    }
    return start;
}

RayfileFetchOutcome RayfileAfterFetch(std::u16string_view address, std::int64_t bytesFetched,
                                      std::u16string_view txtFilesize) {
    RayfileFetchOutcome outcome;
    if (bytesFetched == 0) return outcome;
    double size = 0;
    if (text::ParseNumber(txtFilesize, size) && size != 0) {
        outcome.output = EncodeRayfileLink(address, txtFilesize);
    } else {
        outcome.askForSize = true;
    }
    return outcome;
}

std::u16string RayfileFinish(std::u16string_view address, std::u16string_view answer) {
    const std::u16string size = text::Trim(answer);
    if (size.empty()) return std::u16string(kAskForSizeText);
    return EncodeRayfileLink(address, size);
}

TwipsPoint RayfileInputBoxPos(const TwipsRect& w) {
    return TwipsPoint{text::RoundHalfEven(w.left + w.width / 2 - 3000),
                      text::RoundHalfEven(w.top + w.height / 2 - 1000)};
}

}  // namespace tessel::links
