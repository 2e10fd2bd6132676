// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/handoff_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace tessel::handoff {
namespace {

using testing::TempPrefix;
using Status = HandoffOutcome::Status;
using B = HandoffButton;

// Registry keys as Wine writes them.
const std::string kUninstall = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";
const std::string kThunderKey = kUninstall + "thunder_is1] 1733563200\n\"DisplayName\"=\"\\x8fc5\\x96f77\"\n";
const std::string kQqKey =
    "[Software\\\\Tencent\\\\QQDownload] 1733563200\n\"Exe\"=\"C:\\\\QQDownload.exe\"\n";
const std::string kFlashGet3 =
    "[Software\\\\FlashGet Network\\\\FlashGet 3] 1\n\"Version1\"=\"3.7.0.1220\"\n";
const std::string kFlashGet3NoVersion =
    "[Software\\\\FlashGet Network\\\\FlashGet 3] 1\n\"Path\"=\"C:\\\\FG\"\n";
const std::string kFlashGet24 = "[Software\\\\FlashGet Network\\\\FlashGet] 1\n\"Version1\"=\"2.4\"\n";
const std::string kFlashGetMini = "[Software\\\\FlashGet Network\\\\FlashGet Mini] 1\n\"Version1\"=\"1.4\"\n";
const std::string kFlashGet196 = kUninstall + "\\x5feb\\x8f66(FlashGet)] 1\n\"DisplayVersion\"=\"1.96\"\n";
const std::string kFlashGet196Empty = kUninstall + "\\x5feb\\x8f66(FlashGet)] 1\n\"DisplayVersion\"=\"\"\n";
const std::string kFlashGet173 =
    kUninstall + "\\x7f51\\x9645\\x5feb\\x8f66 FlashGet] 1\n\"DisplayName\"=\"FG\"\n";

struct GenerationCase {
    const char* name;
    std::string keys;
    FlashGetGeneration expected;
};
void PrintTo(const GenerationCase& c, std::ostream* os) { *os << c.name; }

class FlashGetGenerations : public ::testing::TestWithParam<GenerationCase> {};

TEST_P(FlashGetGenerations, FirstProbeFoundWins) {
    const TempPrefix prefix(GetParam().keys);
    EXPECT_EQ(DetectFlashGet(prefix.Reader()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, FlashGetGenerations,
    ::testing::Values(
        GenerationCase{"NewBesideOld", kFlashGet24 + kFlashGet196 + kFlashGet3, FlashGetGeneration::V3_7},
        GenerationCase{"Only24", kFlashGet24, FlashGetGeneration::V2_4},
        GenerationCase{"MiniBeforeUninstallEntries", kFlashGet173 + kFlashGetMini, FlashGetGeneration::V1_4},
        GenerationCase{"Only196", kFlashGet196, FlashGetGeneration::V1_96},
        GenerationCase{"EmptyValueFallsThrough", kFlashGet196Empty + kFlashGet173, FlashGetGeneration::V1_73},
        GenerationCase{"KeyWithoutValueFallsThrough", kFlashGet3NoVersion + kFlashGet24,
                       FlashGetGeneration::V2_4},
        GenerationCase{"Nothing", kThunderKey, FlashGetGeneration::None}),
    [](const auto& info) { return std::string(info.param.name); });

// A stand-in for the managers' objects that writes down every call.
struct Call {
    int object;  // which creation the call went to
    std::u16string progId;
    std::u16string method;
    std::vector<Variant> args;
    bool operator==(const Call&) const = default;
};
void PrintTo(const Call& c, std::ostream* os) {
    *os << "object " << c.object << " " << ::testing::PrintToString(c.progId) << "."
        << ::testing::PrintToString(c.method) << ::testing::PrintToString(c.args);
}

class RecordingFactory : public ObjectFactory {
 public:
    std::unique_ptr<AutomationObject> Create(std::u16string_view progId) override {
        if (refuseAll) return nullptr;
        return std::make_unique<Object>(*this, ++created, std::u16string(progId));
    }
    std::vector<Call> calls;
    int created = 0;
    int live = 0;
    bool refuseAll = false;

 private:
    class Object : public AutomationObject {
     public:
        Object(RecordingFactory& f, int id, std::u16string progId)
            : f_(f), id_(id), progId_(std::move(progId)) {
            ++f_.live;
        }
        ~Object() override { --f_.live; }
        Variant Invoke(std::u16string_view method, std::span<const Variant> args) override {
            f_.calls.push_back(Call{id_, progId_, std::u16string(method), {args.begin(), args.end()}});
            return kEmpty;
        }

     private:
        RecordingFactory& f_;
        int id_;
        std::u16string progId_;
    };
};

const std::u16string L = u"http://v.test/视频.flv";
const std::u16string P = u"http://www.video.test/play/123.html";
const std::u16string T = u"测试视频";
const std::u16string C = u"Tessel V2 调用http://www.parse.test/解析";
const std::int16_t I0 = 0, I1 = 1, I3 = 3, M1 = -1;

HandoffRequest Request(std::u16string title = T, std::u16string link = L) {
    return HandoffRequest{std::move(link), P, std::move(title), u"http://www.parse.test", Aria2Settings{}};
}

std::vector<Call> Thunder(const std::u16string& title) {
    return {{1, u"ThunderAgent.Agent", u"AddTask", {L, title, u"", C, P, M1, I0, M1}},
            {1, u"ThunderAgent.Agent", u"CommitTasks2", {I1}}};
}
const std::vector<Call> kFlashGet37 = {
    {1, u"BHO.IFlashGetNetscapeEx", u"AddUrlEx", {L, C, P, u"FlashGet3", u"", I0, I3}}};
std::vector<Call> Qq(const std::u16string& title) {
    return {
        {1, u"QQIEHelper.QQRightClick.2", u"SendUrl4", {L, P, C, u"strCookie", I0, kEmpty, u"", u"", title}}};
}
const std::u16string kAskThunder = u"您好像没有安装迅雷，还要继续吗？";
const std::u16string kAskFlashGet = u"您好像没有安装快车，还要继续吗？";
const std::u16string kAskQq = u"您好像没有安装QQ旋风，还要继续吗？";

struct ButtonCase {
    const char* name;
    HandoffButton button;
    std::string keys;
    Answer answer;                      // what the user says if asked
    std::u16string title;               // imgTip's tooltip
    std::vector<std::u16string> asked;  // questions expected
    Status status;
    std::vector<Call> calls;
};
void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class ButtonCommands : public ::testing::TestWithParam<ButtonCase> {};

// Per button and detection result: the object created and the exact argument
// lists it receives; every object released before the command returns.
TEST_P(ButtonCommands, CallTheManagersObject) {
    const ButtonCase& c = GetParam();
    const TempPrefix prefix(c.keys);
    RecordingFactory factory;
    std::vector<std::u16string> asked;
    const AskYesNo ask = [&](const Question& q) {
        EXPECT_EQ(q.title, u"提示");
        asked.push_back(q.text);
        return c.answer;
    };
    const HandoffOutcome outcome = RunHandoff(c.button, Request(c.title), ask, prefix.Reader(), factory);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_FALSE(outcome.notice.has_value());
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(factory.calls, c.calls);
    EXPECT_EQ(factory.live, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Handoff, ButtonCommands,
    ::testing::Values(
        ButtonCase{
            "ThunderFound", B::skbFlvthunder, kThunderKey, Answer::No, T, {}, Status::Sent, Thunder(T)},
        ButtonCase{"ThunderAbsentYes",
                   B::skbFlvthunder,
                   kQqKey,
                   Answer::Yes,
                   T,
                   {kAskThunder},
                   Status::Sent,
                   Thunder(T)},
        ButtonCase{
            "ThunderAbsentNo", B::skbFlvthunder, kQqKey, Answer::No, T, {kAskThunder}, Status::Declined, {}},
        ButtonCase{
            "ThunderNoTitle", B::skbFlvthunder, kThunderKey, Answer::No, u"", {}, Status::Sent, Thunder(u"")},
        ButtonCase{"FlashGet37SevenArguments",
                   B::skbFlvflashget,
                   kFlashGet3,
                   Answer::No,
                   T,
                   {},
                   Status::Sent,
                   kFlashGet37},
        ButtonCase{"FlashGet24SixArguments",
                   B::skbFlvflashget,
                   kFlashGet24,
                   Answer::No,
                   T,
                   {},
                   Status::Sent,
                   {{1, u"BHO.IFlashGetNetscapeEx", u"AddUrlEx", {L, C, P, u"FlashGet", kEmpty, I0}}}},
        ButtonCase{"FlashGet14",
                   B::skbFlvflashget,
                   kFlashGetMini,
                   Answer::No,
                   T,
                   {},
                   Status::Sent,
                   {{1, u"BHO.IFlashGetNetscape", u"AddUrlEx", {L, C, P, u"FlashGetMini", kEmpty, I0}}}},
        ButtonCase{"FlashGet196",
                   B::skbFlvflashget,
                   kFlashGet196,
                   Answer::No,
                   T,
                   {},
                   Status::Sent,
                   {{1, u"JetCar.Netscape", u"AddUrl", {L, C, P}}}},
        ButtonCase{"FlashGet173",
                   B::skbFlvflashget,
                   kFlashGet173,
                   Answer::No,
                   T,
                   {},
                   Status::Sent,
                   {{1, u"JetCar.Netscape", u"AddUrl", {L, C, P}}}},
        ButtonCase{"FlashGetAbsentYesSendsAs37",
                   B::skbFlvflashget,
                   kThunderKey,
                   Answer::Yes,
                   T,
                   {kAskFlashGet},
                   Status::Sent,
                   kFlashGet37},
        ButtonCase{"FlashGetAbsentNo",
                   B::skbFlvflashget,
                   kThunderKey,
                   Answer::No,
                   T,
                   {kAskFlashGet},
                   Status::Declined,
                   {}},
        ButtonCase{"QqFound", B::skbQqdl, kQqKey, Answer::No, T, {}, Status::Sent, Qq(T)},
        ButtonCase{
            "QqAbsentYesNoTitle", B::skbQqdl, kThunderKey, Answer::Yes, u"", {kAskQq}, Status::Sent, Qq(u"")},
        ButtonCase{"QqAbsentNo", B::skbQqdl, kThunderKey, Answer::No, T, {kAskQq}, Status::Declined, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A box that fails the precondition makes every button do nothing: no
// question even with no manager installed, no object.  Otherwise the box is
// sent as one text.
TEST(HandoffPrecondition, DecidesWhetherAnyButtonActs) {
    const struct {
        std::u16string link;
        bool applies;
    } cases[] = {{u"http://v.test/a.flv", true},
                 {u"HTTPS://v.test/a", true},
                 {u"mms://v.test/a.wmv", false},
                 {u"", false},
                 {u"连接网络失败", false},
                 {u" http://v.test/a", false},
                 {u"http://v.test/1\r\nhttp://v.test/2", false},
                 {u"http://v.test/1\nhttp://v.test/2", true},  // a lone line feed is no CR LF pair
                 {u"http://v.test/1http://v.test/2", true}};
    const TempPrefix nothingInstalled("");
    for (const auto& c : cases) {
        for (HandoffButton button : {B::skbFlvthunder, B::skbFlvflashget, B::skbQqdl}) {
            RecordingFactory factory;
            int questions = 0;
            const auto ask = [&](const Question&) { return ++questions, Answer::Yes; };
            const auto outcome =
                RunHandoff(button, Request(T, c.link), ask, nothingInstalled.Reader(), factory);
            EXPECT_EQ(outcome.status, c.applies ? Status::Sent : Status::NotApplicable)
                << ::testing::PrintToString(c.link);
            EXPECT_EQ(questions, c.applies ? 1 : 0);
            EXPECT_EQ(factory.calls.empty() ? Variant() : factory.calls[0].args[0],
                      c.applies ? Variant(c.link) : Variant());
        }
    }
}

// An object that cannot be created ends the click with a message, not a crash.
TEST(HandoffFailures, AreToldNotHidden) {
    const TempPrefix prefix(kThunderKey);
    RecordingFactory factory;
    factory.refuseAll = true;
    const auto outcome = RunHandoff(
        B::skbFlvthunder, Request(), [](const Question&) { return Answer::Yes; }, prefix.Reader(), factory);
    EXPECT_EQ(outcome.status, Status::Failed);
    ASSERT_TRUE(outcome.notice.has_value());
    EXPECT_EQ(outcome.notice->title, u"提示");
    EXPECT_NE(outcome.notice->text.find(u"429"), std::u16string::npos);
    EXPECT_NE(outcome.notice->text.find(u"ThunderAgent.Agent"), std::u16string::npos);
}

}  // namespace
}  // namespace tessel::handoff
