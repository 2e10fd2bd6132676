// SPDX-License-Identifier: GPL-3.0-or-later
#include "links/commands.h"

#include <vector>

#include "links/special_link.h"
#include "links/url.h"
#include "text/vbstring.h"

namespace tessel::links {
namespace {

CommandResult Rejected(std::u16string input, std::u16string_view complaint) {
    return CommandResult{std::move(input), std::u16string(complaint), false};
}

// The lines of a box's text, blanks at both ends removed, empty ones left
// out, when there are at least two and every one is a whole link that
// `takes` accepts.  Anything else (one line, an address wrapped over two
// lines, a stray word) is nullopt and keeps the joining of CleanInput.
template <typename Takes>
std::optional<std::vector<std::u16string>> WholeLinkLines(std::u16string_view txtInput, Takes takes) {
    std::vector<std::u16string> lines;
    for (std::u16string_view rest = txtInput;;) {
        const std::size_t lf = rest.find(u'\n');
        std::u16string_view line = rest.substr(0, lf);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        std::u16string trimmed = text::Trim(line);
        if (!trimmed.empty()) {
            if (!takes(trimmed)) return std::nullopt;
            lines.push_back(std::move(trimmed));
        }
        if (lf == std::u16string_view::npos) break;
        rest.remove_prefix(lf + 1);
    }
    if (lines.size() < 2) return std::nullopt;
    return lines;
}

// Each line converted on its own and written one a line; a line `convert`
// rejects gets the complaint on its line.
template <typename Convert>
CommandResult LineByLine(const std::vector<std::u16string>& lines, Convert convert) {
    CommandResult r;
    for (const std::u16string& line : lines) {
        if (!r.input.empty()) {
            r.input += u"\r\n";
            r.output += u"\r\n";
        }
        r.input += line;
        std::optional<std::u16string> converted = convert(line);
        r.accepted = r.accepted && converted.has_value();
        r.output += converted ? *converted : std::u16string(kBadLinkText);
    }
    return r;
}

template <typename Encoder>
CommandResult Encode(std::u16string_view txtInput, Encoder encode) {
    if (const auto lines = WholeLinkLines(txtInput, [](std::u16string_view l) { return IsPlainAddress(l); }))
        return LineByLine(*lines, [&](std::u16string_view l) { return std::optional(encode(l)); });
    std::u16string input = CleanInput(txtInput);
    if (input.empty()) return Rejected(std::move(input), kAskForLinkText);
    if (!IsPlainAddress(input)) return Rejected(std::move(input), kBadLinkText);
    std::u16string link = encode(input);
    return CommandResult{std::move(input), std::move(link), true};
}

}  // namespace

CommandResult ToGeneral(std::u16string_view txtInput) {
    const auto isLink = [](std::u16string_view l) { return ClassifyLink(l) != LinkForm::None; };
    if (const auto lines = WholeLinkLines(txtInput, isLink))
        return LineByLine(*lines, [](std::u16string_view l) { return DecodeSpecialLink(l); });
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
