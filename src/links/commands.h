// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The commands of the link conversion page, as pure functions from the
// boxes' texts to the texts the window writes back.  The window reads its
// widgets, calls one of these and applies the result; every rule lives here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/input_cleaning.h"

namespace tessel::links {

// Input cleaning shared by every command button, and the paste trimming.
using text::CleanInput;
using text::PasteText;

// Fixed texts written into txtOutput instead of a result.
inline constexpr std::u16string_view kAskForLinkText = u"请输入待转换链接";
inline constexpr std::u16string_view kBadLinkText = u"对不起，链接不正确";
inline constexpr std::u16string_view kAskForUrlText = u"请输入待加解密链接";
inline constexpr std::u16string_view kAskForSizeText = u"请输入链接中文件大小";

// What a command writes: the cleaned text back into txtInput and its
// result (or complaint) into txtOutput.  `accepted` is false when `output`
// is one of the complaint texts above.
struct CommandResult {
    std::u16string input;
    std::u16string output;
    bool accepted = true;
};

// Special link -> plain address.
//
// These four convert line by line when the box holds two or more non-empty
// lines and every one of them is a whole link of the kind the command takes
// (a download-manager link here, a plain address for the encoders): one
// result a line, kBadLinkText on the line of a link that does not decode,
// `accepted` only when every line converted.  Any other text is cleaned and
// converted as one address, so an address wrapped over two lines still works.
CommandResult ToGeneral(std::u16string_view txtInput);
// Plain address -> special link.
CommandResult ToThunder(std::u16string_view txtInput);
CommandResult ToFlashGet(std::u16string_view txtInput);
CommandResult ToQqdl(std::u16string_view txtInput);
// Decodes when the cleaned text holds a "%", encodes otherwise.
CommandResult UrlCommand(std::u16string_view txtInput);

// ---- The Rayfile (fs2you://) command --------------------------------------
//
// It runs in steps because the window asks questions in between:
//   1. RayfileBegin; when `output` is set, write it and stop.
//   2. Ask kRayfileQuestion (title text::kPromptTitle, Yes/No, information icon).
//   3. Yes: fetch the first block of the address and hand the outcome to
//      RayfileAfterFetch; it either ends the command or asks for the size.
//   4. No, or a size is needed: show the input box (kRayfileSizePrompt,
//      title kRayfileSizeTitle, empty default, at RayfileInputBoxPos) and
//      write RayfileFinish(address, answer); cancel counts as "".

inline constexpr std::u16string_view kRayfileQuestion = u"您需要自动获取链接中文件大小吗？（有时未必准确）";
inline constexpr std::u16string_view kRayfileSizeTitle = u"文件大小";
inline constexpr std::u16string_view kRayfileSizePrompt =
    u"请输入待转换链接中文件大小：\n\n单位：字节，例如：24576\n\n"
    u"温馨提示：您可以拖拽文件到输出区文本框来获取文件大小，小等于500M的文件会计算CRC32和MD5";

struct RayfileStart {
    std::u16string input;                  // cleaned text for txtInput
    std::optional<std::u16string> output;  // set: write into txtOutput and stop
    std::u16string address;                // the address to convert otherwise
};

// Cleans the input and accepts only an "http:/" address without "|" (the
// bar separates address and size inside the link).
RayfileStart RayfileBegin(std::u16string_view txtInput);

struct RayfileFetchOutcome {
    bool askForSize = false;               // go on with the size input box
    std::optional<std::u16string> output;  // set: write into txtOutput
};

// After the automatic size fetch.  `bytesFetched` is what the fetch returned
// (0: the address could not be opened, the command ends without a word);
// `txtFilesize` is the size the fetch reported.  A size of 0 or one that is
// no number asks the user.
RayfileFetchOutcome RayfileAfterFetch(std::u16string_view address, std::int64_t bytesFetched,
                                      std::u16string_view txtFilesize);

// The text for txtOutput once the user answered the size question.  The
// answer is trimmed and otherwise taken as typed.
std::u16string RayfileFinish(std::u16string_view address, std::u16string_view answer);

// Window rectangle and points in twips.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};
struct TwipsPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

// Top-left corner of the size input box: centred-ish on the main window,
// 3000 twips left and 1000 twips up of its middle (halves round to even).
TwipsPoint RayfileInputBoxPos(const TwipsRect& mainWindow);

}  // namespace tessel::links
