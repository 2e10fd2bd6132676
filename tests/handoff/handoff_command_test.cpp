// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/handoff_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_prefix.h"

namespace tessel::handoff {
namespace {

using testing::TempPrefix;
using Status = HandoffOutcome::Status;

// Registry keys as Wine writes them.
constexpr const char* kThunderKey =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\thunder_is1] 1733563200\n"
    "\"DisplayName\"=\"\\x8fc5\\x96f77\"\n";
constexpr const char* kQqKey =
    "[Software\\\\Tencent\\\\QQDownload] 1733563200\n\"Exe\"=\"C:\\\\Program Files\\\\QQDownload.exe\"\n";
constexpr const char* kFlashGet3 = "[Software\\\\FlashGet Network\\\\FlashGet 3] 1733563200\n\"Version1\"=\"3.7.0.1220\"\n";
constexpr const char* kFlashGet24 = "[Software\\\\FlashGet Network\\\\FlashGet] 1733563200\n\"Version1\"=\"2.4\"\n";
constexpr const char* kFlashGetMini =
    "[Software\\\\FlashGet Network\\\\FlashGet Mini] 1733563200\n\"Version1\"=\"1.4\"\n";
constexpr const char* kFlashGet196 =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\\\x5feb\\x8f66(FlashGet)] 1733563200\n"
    "\"DisplayVersion\"=\"1.96\"\n";
constexpr const char* kFlashGet196Empty =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\\\x5feb\\x8f66(FlashGet)] 1733563200\n"
    "\"DisplayVersion\"=\"\"\n";
constexpr const char* kFlashGet173 =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\\\x7f51\\x9645\\x5feb\\x8f66 FlashGet] "
    "1733563200\n\"DisplayName\"=\"\\x7f51\\x9645\\x5feb\\x8f66\"\n";
constexpr const char* kFlashGet3KeyWithoutVersion =
    "[Software\\\\FlashGet Network\\\\FlashGet 3] 1733563200\n\"Path\"=\"C:\\\\FlashGet\"\n";

struct GenerationCase {
    const char* name;
    std::string keys;
    FlashGetGeneration expected;
};
void PrintTo(const GenerationCase& c, std::ostream* os) { *os << c.name; }

class FlashGetGenerations : public ::testing::TestWithParam<GenerationCase> {};

TEST_P(FlashGetGenerations, FirstProbeFoundWins) {
    const TempPrefix prefix(GetParam().keys);
    EXPECT_EQ(FlashGetGenerationLabel(DetectFlashGet(prefix.Reader())),
              FlashGetGenerationLabel(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Registry, FlashGetGenerations,
    ::testing::Values(
        GenerationCase{"NewBesideOld", std::string(kFlashGet24) + kFlashGet196 + kFlashGet3, FlashGetGeneration::V3_7},
        GenerationCase{"Only24", kFlashGet24, FlashGetGeneration::V2_4},
        GenerationCase{"MiniBeforeUninstallEntries", std::string(kFlashGet173) + kFlashGetMini,
                       FlashGetGeneration::V1_4},
        GenerationCase{"Only196", kFlashGet196, FlashGetGeneration::V1_96},
        GenerationCase{"EmptyDisplayVersionFallsThrough", std::string(kFlashGet196Empty) + kFlashGet173,
                       FlashGetGeneration::V1_73},
        GenerationCase{"KeyWithoutVersionFallsThrough", std::string(kFlashGet3KeyWithoutVersion) + kFlashGet24,
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
        Object(RecordingFactory& f, int id, std::u16string progId) : f_(f), id_(id), progId_(std::move(progId)) {
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

constexpr std::u16string_view kLink = u"http://v.test/视频.flv";
constexpr std::u16string_view kPage = u"http://www.video.test/play/123.html";
constexpr std::u16string_view kTitle = u"测试视频";
constexpr std::u16string_view kComment = u"Tessel V2 调用http://www.parse.test/解析";

HandoffRequest Request(std::u16string_view title = kTitle, std::u16string_view link = kLink) {
    return HandoffRequest{std::u16string(link), std::u16string(kPage), std::u16string(title),
                          u"http://www.parse.test", Aria2Settings{}};
}

std::vector<Variant> Args(std::initializer_list<Variant> args) { return args; }
const std::int16_t I0 = 0, I1 = 1, I3 = 3, IMinus1 = -1;
const std::u16string L(kLink), P(kPage), T(kTitle), C(kComment);

struct ButtonCase {
    const char* name;
    HandoffButton button;
    std::string keys;
    Answer answer;                      // what the user says if asked
    std::u16string_view title;          // imgTip's tooltip
    std::vector<std::u16string> asked;  // questions expected
    Status status;
    std::vector<Call> calls;
};
void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class ButtonCommands : public ::testing::TestWithParam<ButtonCase> {};

// Per button and detection result: which object is created and the exact
// argument lists it receives; every object released before the command returns.
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

const std::u16string kAskThunder = u"您好像没有安装迅雷，还要继续吗？";
const std::u16string kAskFlashGet = u"您好像没有安装快车，还要继续吗？";
const std::u16string kAskQq = u"您好像没有安装QQ旋风，还要继续吗？";

const std::vector<Call> kThunderCalls = {
    {1, u"ThunderAgent.Agent", u"AddTask", Args({L, T, u"", C, P, IMinus1, I0, IMinus1})},
    {1, u"ThunderAgent.Agent", u"CommitTasks2", Args({I1})}};
const std::vector<Call> kFlashGet3Calls = {
    {1, u"BHO.IFlashGetNetscapeEx", u"AddUrlEx", Args({L, C, P, u"FlashGet3", u"", I0, I3})}};
const std::vector<Call> kQqCalls = {
    {1, u"QQIEHelper.QQRightClick.2", u"SendUrl4", Args({L, P, C, u"strCookie", I0, kEmpty, u"", u"", T})}};

using B = HandoffButton;

INSTANTIATE_TEST_SUITE_P(
    Handoff, ButtonCommands,
    ::testing::Values(
        ButtonCase{"ThunderFound", B::skbFlvthunder, kThunderKey, Answer::No, kTitle, {}, Status::Sent, kThunderCalls},
        ButtonCase{"ThunderAbsentYes", B::skbFlvthunder, kQqKey, Answer::Yes, kTitle, {kAskThunder}, Status::Sent,
                   kThunderCalls},
        ButtonCase{"ThunderAbsentNo", B::skbFlvthunder, kQqKey, Answer::No, kTitle, {kAskThunder}, Status::Declined,
                   {}},
        ButtonCase{"ThunderNoTitle",
                   B::skbFlvthunder,
                   kThunderKey,
                   Answer::No,
                   u"",
                   {},
                   Status::Sent,
                   {{1, u"ThunderAgent.Agent", u"AddTask", Args({L, u"", u"", C, P, IMinus1, I0, IMinus1})},
                    {1, u"ThunderAgent.Agent", u"CommitTasks2", Args({I1})}}},
        ButtonCase{"FlashGet37SevenArguments", B::skbFlvflashget, kFlashGet3, Answer::No, kTitle, {}, Status::Sent,
                   kFlashGet3Calls},
        ButtonCase{"FlashGet24SixArguments",
                   B::skbFlvflashget,
                   kFlashGet24,
                   Answer::No,
                   kTitle,
                   {},
                   Status::Sent,
                   {{1, u"BHO.IFlashGetNetscapeEx", u"AddUrlEx", Args({L, C, P, u"FlashGet", kEmpty, I0})}}},
        ButtonCase{"FlashGet14",
                   B::skbFlvflashget,
                   kFlashGetMini,
                   Answer::No,
                   kTitle,
                   {},
                   Status::Sent,
                   {{1, u"BHO.IFlashGetNetscape", u"AddUrlEx", Args({L, C, P, u"FlashGetMini", kEmpty, I0})}}},
        ButtonCase{"FlashGet196",
                   B::skbFlvflashget,
                   kFlashGet196,
                   Answer::No,
                   kTitle,
                   {},
                   Status::Sent,
                   {{1, u"JetCar.Netscape", u"AddUrl", Args({L, C, P})}}},
        ButtonCase{"FlashGet173",
                   B::skbFlvflashget,
                   kFlashGet173,
                   Answer::No,
                   kTitle,
                   {},
                   Status::Sent,
                   {{1, u"JetCar.Netscape", u"AddUrl", Args({L, C, P})}}},
        ButtonCase{"FlashGetAbsentYesSendsAs37", B::skbFlvflashget, kThunderKey, Answer::Yes, kTitle, {kAskFlashGet},
                   Status::Sent, kFlashGet3Calls},
        ButtonCase{"FlashGetAbsentNo", B::skbFlvflashget, kThunderKey, Answer::No, kTitle, {kAskFlashGet},
                   Status::Declined, {}},
        ButtonCase{"QqFound", B::skbQqdl, kQqKey, Answer::No, kTitle, {}, Status::Sent, kQqCalls},
        ButtonCase{"QqAbsentYesNoTitle",
                   B::skbQqdl,
                   kThunderKey,
                   Answer::Yes,
                   u"",
                   {kAskQq},
                   Status::Sent,
                   {{1, u"QQIEHelper.QQRightClick.2", u"SendUrl4",
                     Args({L, P, C, u"strCookie", I0, kEmpty, u"", u"", u""})}}},
        ButtonCase{"QqAbsentNo", B::skbQqdl, kThunderKey, Answer::No, kTitle, {kAskQq}, Status::Declined, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct LinkCase {
    const char* name;
    std::u16string_view link;
    bool applies;
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class Precondition : public ::testing::TestWithParam<LinkCase> {};

// A box that fails the precondition makes every button do nothing: no
// question even with no manager installed, no object.
TEST_P(Precondition, DecidesWhetherAnyButtonActs) {
    const LinkCase& c = GetParam();
    EXPECT_EQ(HandoffApplies(c.link), c.applies);
    const TempPrefix nothingInstalled("");
    for (HandoffButton button : {B::skbFlvthunder, B::skbFlvflashget, B::skbQqdl}) {
        RecordingFactory factory;
        int questions = 0;
        const auto outcome = RunHandoff(button, Request(kTitle, c.link),
                                        [&](const Question&) { return ++questions, Answer::Yes; },
                                        nothingInstalled.Reader(), factory);
        EXPECT_EQ(outcome.status, c.applies ? Status::Sent : Status::NotApplicable);
        EXPECT_EQ(questions, c.applies ? 1 : 0);
        if (c.applies) {
            ASSERT_FALSE(factory.calls.empty());
            EXPECT_EQ(factory.calls[0].args[0], Variant(std::u16string(c.link)));  // sent as one text
        } else {
            EXPECT_TRUE(factory.calls.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Handoff, Precondition,
    ::testing::Values(LinkCase{"Http", u"http://v.test/a.flv", true}, LinkCase{"HttpsUpperCase", u"HTTPS://v.test/a", true},
                      LinkCase{"Mms", u"mms://v.test/a.wmv", false}, LinkCase{"Rtsp", u"rtsp://v.test/a", false},
                      LinkCase{"Empty", u"", false}, LinkCase{"Message", u"连接网络失败", false},
                      LinkCase{"LeadingBlank", u" http://v.test/a", false},
                      LinkCase{"AlbumWithCrLf", u"http://v.test/1.flv\r\nhttp://v.test/2.flv", false},
                      LinkCase{"TrailingCrLf", u"http://v.test/1.flv\r\n", false},
                      LinkCase{"LoneLineFeedIsNoPair", u"http://v.test/1.flv\nhttp://v.test/2.flv", true},
                      LinkCase{"AlbumRunTogether", u"http://v.test/1.flvhttp://v.test/2.flv", true}),
    [](const auto& info) { return std::string(info.param.name); });

// An object that cannot be created or raises ends the click with a message.
TEST(HandoffFailures, AreToldNotHidden) {
    const TempPrefix prefix(kThunderKey);
    RecordingFactory factory;
    factory.refuseAll = true;
    const auto outcome =
        RunHandoff(B::skbFlvthunder, Request(), [](const Question&) { return Answer::Yes; }, prefix.Reader(), factory);
    EXPECT_EQ(outcome.status, Status::Failed);
    ASSERT_TRUE(outcome.notice.has_value());
    EXPECT_EQ(outcome.notice->title, u"提示");
    EXPECT_NE(outcome.notice->text.find(u"429"), std::u16string::npos);
    EXPECT_NE(outcome.notice->text.find(u"ThunderAgent.Agent"), std::u16string::npos);
}

}  // namespace
}  // namespace tessel::handoff
