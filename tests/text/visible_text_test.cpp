// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/visible_text.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace tessel::text {
namespace {

// "\u202Egpj.exe" shows as "exe.jpg": a name loses its reordering, a
// question shows it.
TEST(VisibleText, BidiControlsGoFromNamesAndShowInQuestions) {
    EXPECT_EQ(StripBidiControls(u"\u202Egpj.exe"), u"gpj.exe");
    EXPECT_EQ(StripBidiControls(u"a\u200Eb\u2066c\u2069d\u061Ce"), u"abcde");
    EXPECT_EQ(StripBidiControls(u"普通 名字.txt"), u"普通 名字.txt");
    EXPECT_EQ(ShowInvisibles(u"\u202Egpj.exe"), u"<U+202E>gpj.exe");
    EXPECT_EQ(ShowInvisibles(u"a\x1B[2Jb\x85"), u"a<U+001B>[2Jb<U+0085>");
}

TEST(VisibleText, TerminalTextIsEscapedAndCutAtWholePieces) {
    const struct Row {
        std::string in;
        std::size_t max;
        std::string out;
    } rows[] = {
        {"2089b05ecca3d829", 64, "2089b05ecca3d829"},
        {"\x1B]0;x\x07\r\n", 64, "\\x1b]0;x\\x07\\x0d\\x0a"},
        {"a\\b", 64, "a\\\\b"},
        {"\xE2\x80\xAEgpj.exe", 64, "\\u202egpj.exe"},
        {"bad\xFF", 64, "bad\\xff"},
        {"\xC2\x85", 64, "\\x85"},
        {std::string(100, '7'), 10, "7777777…"},
        {"中文中文", 10, "中文…"},
        {"ab\x1B\x1B", 8, "ab…"},  // never half an escape
        {"abc", 2, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        const std::string out = EscapeForTerminal(row.in, row.max);
        EXPECT_EQ(out, row.out);
        EXPECT_LE(out.size(), row.max);
        EXPECT_TRUE(IsValidUtf8(out));
    }
}

}  // namespace
}  // namespace tessel::text
