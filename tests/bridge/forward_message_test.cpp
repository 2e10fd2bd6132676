// SPDX-License-Identifier: GPL-3.0-or-later
// The message a later start sends to the running program: every split of a
// good message reads back the same, and every kind of broken or hostile
// message is refused without holding more than the bound.
#include "bridge/forward_message.h"

#include <gtest/gtest.h>

#include <random>

namespace tessel::bridge {
namespace {

using State = ForwardReader::State;

std::string U32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string Raw(const std::vector<std::string>& items) {
    std::string out = std::string(kForwardMagic) + U32(static_cast<std::uint32_t>(items.size()));
    for (const auto& i : items) out += U32(static_cast<std::uint32_t>(i.size())) + i;
    return out;
}

const std::vector<std::vector<std::string>> kGoodLists = {
    {},
    {""},
    {"thunder://QUFodHRwOi8vYS9iWlo=/"},
    {"http://例子.测试/下载/文件.zip", "qqdl://aHR0cDovL2EvYg==/", " spaced \t"},
    std::vector<std::string>(kMaxForwardItems, "http://a/b"),
    {std::string(kMaxForwardItemBytes, 'x')},
};

TEST(ForwardMessage, EverySplitOfAGoodMessageReadsBackTheSameTexts) {
    std::mt19937 random(7);
    for (const auto& items : kGoodLists) {
        const std::optional<std::string> message = EncodeForwardMessage(items);
        ASSERT_TRUE(message);
        for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, message->size()}) {
            ForwardReader reader;
            State state = State::NeedMore;
            for (std::size_t at = 0; at < message->size(); at += piece) {
                EXPECT_EQ(state, State::NeedMore) << "finished early at " << at;
                state = reader.Feed(std::string_view(*message).substr(at, piece));
            }
            ASSERT_EQ(state, State::Done) << reader.Reason();
            EXPECT_EQ(reader.Items(), items);
        }
        // Random cuts, empty pieces included.
        ForwardReader reader;
        for (std::size_t at = 0; at < message->size();) {
            const std::size_t n = random() % 9;
            reader.Feed(std::string_view(*message).substr(at, n));
            at += n;
        }
        EXPECT_EQ(reader.Status(), State::Done);
        EXPECT_EQ(reader.Items(), items);
    }
}

TEST(ForwardMessage, AnIncompleteMessageIsNeverTakenAsDone) {
    const std::string message = *EncodeForwardMessage({"http://a/b", "http://c/d"});
    for (std::size_t cut = 0; cut < message.size(); ++cut) {
        ForwardReader reader;
        EXPECT_EQ(reader.Feed(std::string_view(message).substr(0, cut)), State::NeedMore) << cut;
        EXPECT_TRUE(reader.Items().empty()) << cut;
    }
}

struct Hostile {
    const char* name;
    std::string bytes;
};

TEST(ForwardMessage, BrokenAndHostileMessagesAreRefused) {
    const std::string good = Raw({"http://a/b"});
    const Hostile cases[] = {
        {"another program's protocol", "GET / HTTP/1.1\r\n\r\n"},
        {"magic in the wrong case", "tsl1" + U32(0)},
        {"more items than allowed", std::string(kForwardMagic) + U32(kMaxForwardItems + 1)},
        {"a count near 2^32", std::string(kForwardMagic) + U32(0xFFFFFFFF)},
        {"an item longer than allowed", std::string(kForwardMagic) + U32(1) + U32(kMaxForwardItemBytes + 1)},
        {"an item length near 2^32", std::string(kForwardMagic) + U32(1) + U32(0xFFFFFFFF)},
        {"not UTF-8", Raw({"http://a/\xC4\xE3"})},
        {"an overlong encoding", Raw({"\xC0\xAF"})},
        {"a lone surrogate", Raw({"\xED\xA0\x80"})},
        {"a NUL inside a text", Raw({std::string("http://a\0/b", 11)})},
        {"bytes after the message", good + "x"},
        {"a second message on the same connection", good + good},
    };
    for (const Hostile& c : cases) {
        ForwardReader reader;
        EXPECT_EQ(reader.Feed(c.bytes), State::Refused) << c.name;
        EXPECT_TRUE(reader.Items().empty()) << c.name;
        // Refused stays refused, whatever follows.
        EXPECT_EQ(reader.Feed(good), State::Refused) << c.name;
    }
}

TEST(ForwardMessage, AStreamWithoutEndIsRefusedWithinTheBound) {
    // 256 items of 64 KiB each would be 16 MiB; the whole message may not
    // pass 1 MiB, and a sender that goes on for 100 MiB is cut off there.
    std::string header = std::string(kForwardMagic) + U32(kMaxForwardItems);
    ForwardReader reader;
    ASSERT_EQ(reader.Feed(header), State::NeedMore);
    const std::string item = U32(kMaxForwardItemBytes) + std::string(kMaxForwardItemBytes, 'a');
    std::size_t fed = header.size();
    while (reader.Status() == State::NeedMore && fed < 100u * 1024 * 1024) {
        reader.Feed(item);
        fed += item.size();
    }
    EXPECT_EQ(reader.Status(), State::Refused);
    EXPECT_LE(fed, kMaxForwardBytes + item.size());
}

TEST(ForwardMessage, TheSenderRefusesWhatTheReaderWouldRefuse) {
    EXPECT_FALSE(EncodeForwardMessage(std::vector<std::string>(kMaxForwardItems + 1, "a")));
    EXPECT_FALSE(EncodeForwardMessage({std::string(kMaxForwardItemBytes + 1, 'a')}));
    EXPECT_FALSE(EncodeForwardMessage({"\xFF"}));
    EXPECT_FALSE(EncodeForwardMessage({std::string("a\0b", 3)}));
    // Each item fits, the whole does not.
    EXPECT_FALSE(EncodeForwardMessage(std::vector<std::string>(20, std::string(kMaxForwardItemBytes, 'a'))));
}

}  // namespace
}  // namespace tessel::bridge
