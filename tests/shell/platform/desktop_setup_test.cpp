// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/platform/desktop_setup.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QInputDialog>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "shell/ui/prompts.h"
#include "support/modal_box.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tessel::shell {
namespace {

struct EnvCase {
    const char* name;
    WindowSystemEnv env;
    QByteArray platform;
    bool needsX;
    bool starts;
};

// The platform is chosen before Qt starts: a user's own choice is kept,
// Wayland with XWayland runs on xcb, and no X server at all is said, not
// left to Qt's abort.
TEST(WindowSystem, ChoosesXcbUnderWaylandAndExplainsAMissingXServer) {
    const EnvCase cases[] = {
        {"plain X11", {"", "", ":0", false}, "", true, true},
        {"Wayland with XWayland", {"", "wayland-0", ":0", false}, "xcb", true, true},
        {"Wayland without XWayland", {"", "wayland-0", "", false}, "", false, false},
        {"no display at all", {"", "", "", false}, "", false, false},
        {"user chose wayland", {"wayland", "wayland-0", ":0", false}, "", false, true},
        {"user chose offscreen", {"offscreen", "", "", false}, "", false, true},
        {"user chose xcb without X", {"xcb", "wayland-0", "", false}, "", true, false},
        {"-platform on the command line", {"", "wayland-0", "", true}, "", false, true},
    };
    for (const auto& c : cases) {
        const WindowSystemChoice choice = ChooseWindowSystem(c.env);
        EXPECT_EQ(choice.setPlatform, c.platform) << c.name;
        EXPECT_EQ(choice.needsXServer, c.needsX) << c.name;
        EXPECT_EQ(choice.cannotStart.isEmpty(), c.starts) << c.name;
        if (!c.starts) {
            EXPECT_TRUE(choice.cannotStart.contains(QStringLiteral("DISPLAY"))) << c.name;
        }
    }
    // Without XWayland the message says what to do about it.
    const WindowSystemChoice wayland = ChooseWindowSystem({"", "wayland-0", "", false});
    EXPECT_TRUE(wayland.cannotStart.contains(QStringLiteral("XWayland")))
        << wayland.cannotStart.toStdString();
}

TEST(ChineseFont, PrefersKnownFacesAndNeverPicksAMonospacedOneFirst) {
    const struct {
        QStringList covering;
        QString expected;
    } cases[] = {
        {{"AR PL UMing CN", "Noto Sans CJK SC", "WenQuanYi Micro Hei"}, "WenQuanYi Micro Hei"},
        {{"WenQuanYi Micro Hei Mono", "Noto Sans CJK SC"}, "Noto Sans CJK SC"},
        {{"noto sans cjk sc"}, "noto sans cjk sc"},
        {{"Noto Sans Mono CJK SC", "Some Other Song"}, "Some Other Song"},
        {{"WenQuanYi Micro Hei Mono"}, "WenQuanYi Micro Hei Mono"},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PickChineseFamily(c.covering), c.expected) << c.covering.join(",").toStdString();
}

TEST(ChineseFont, NoticeNamesThePackagesToInstall) {
    const QString notice = NoChineseFontNotice();
    EXPECT_TRUE(notice.contains(QStringLiteral("fonts-wqy-microhei")));
    EXPECT_TRUE(notice.contains(QStringLiteral("fonts-noto-cjk")));
    // Readable without any Chinese font: nothing beyond ASCII.
    for (QChar ch : notice) EXPECT_LT(ch.unicode(), 0x80) << notice.toStdString();
}

// Set up the way the program starts, the interface font covers Chinese and
// Qt's own texts are Chinese.
class QtChineseTest : public ::testing::Test {
 protected:
    static void SetUpTestSuite() { notice_ = new QString(SetUpLanguageAndFont()); }
    static void TearDownTestSuite() { delete notice_; }
    static QString* notice_;
};
QString* QtChineseTest::notice_ = nullptr;

QStringList ActionTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) texts << a->text();
    }
    return texts;
}

TEST_F(QtChineseTest, TextBoxContextMenusAreChinese) {
    QLineEdit line;
    line.setText(QStringLiteral("http://a/b"));
    std::unique_ptr<QMenu> lineMenu(line.createStandardContextMenu());
    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("thunder://x"));
    std::unique_ptr<QMenu> boxMenu(box.createStandardContextMenu());
    for (const QStringList& texts : {ActionTexts(lineMenu.get()), ActionTexts(boxMenu.get())}) {
        const QString all = texts.join(u'|');
        EXPECT_TRUE(all.contains(QStringLiteral("复制"))) << all.toStdString();
        EXPECT_TRUE(all.contains(QStringLiteral("粘贴"))) << all.toStdString();
        EXPECT_TRUE(all.contains(QStringLiteral("全选"))) << all.toStdString();
        EXPECT_FALSE(all.contains(QStringLiteral("Copy"))) << all.toStdString();
        EXPECT_FALSE(all.contains(QStringLiteral("Select All"))) << all.toStdString();
    }
}

TEST_F(QtChineseTest, StandardButtonsAreChinese) {
    QMessageBox question(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("?"),
                         QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(question.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}

// The program's own boxes set no button texts of their own: the catalogue
// gives them, access keys included, and each box keeps its default button.
TEST_F(QtChineseTest, ProgramBoxesTakeTheirButtonTextsFromTheCatalogue) {
    QtPrompts prompts(nullptr);
    const QString yes = QStringLiteral("是(&Y)"), no = QStringLiteral("否(&N)"), ok = QStringLiteral("确定");
    const struct {
        Prompts::Buttons buttons;
        QMessageBox::StandardButton press;
        Prompts::Answer answer;
        QStringList texts;  // sorted
        QString byDefault;
    } cases[] = {
        {Prompts::Buttons::YesNo, QMessageBox::Yes, Prompts::Answer::Yes, {no, yes}, yes},
        {Prompts::Buttons::YesNoDefaultNo, QMessageBox::No, Prompts::Answer::No, {no, yes}, no},
        {Prompts::Buttons::Ok, QMessageBox::Ok, Prompts::Answer::Ok, {ok}, QString()},
    };
    for (const auto& c : cases) {
        QStringList texts;
        QString byDefault;
        testsupport::OnNextModal<QMessageBox>([&](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons()) texts << b->text();
            texts.sort();
            if (box->defaultButton()) byDefault = box->defaultButton()->text();
            box->button(c.press)->click();
        });
        EXPECT_EQ(prompts.Message("?", "提示", c.buttons, Prompts::Icon::Information), c.answer);
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(byDefault, c.byDefault);
    }

    QStringList input;
    testsupport::WhenOpen<QInputDialog>([&input](QInputDialog* box) {
        auto* buttons = box->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        input << buttons->button(QDialogButtonBox::Ok)->text()
              << buttons->button(QDialogButtonBox::Cancel)->text();
    });
    EXPECT_FALSE(prompts.Input("大小：", "文件大小", QString(), QPoint(40, 30)).has_value());
    EXPECT_EQ(input, (QStringList{QStringLiteral("确定"), QStringLiteral("取消")}));
}

TEST_F(QtChineseTest, InterfaceFontCoversChineseAtTwelvePixels) {
    // The machines this runs on have a Chinese font (the set-up installs one).
    EXPECT_TRUE(notice_->isEmpty()) << notice_->toStdString();
    const QFont font = QApplication::font();
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_TRUE(QFontDatabase::families(QFontDatabase::SimplifiedChinese).contains(font.family()))
        << font.family().toStdString();
}

// Qt's messages while QApplication connects are held, then passed on in
// their order with their categories; a Qt that gives up because the X
// server does not answer ends the program with the program's own words and
// status 1, any other end of Qt's keeps Qt's words.
std::vector<std::pair<QString, QString>> g_passed;  // category, text

void Record(QtMsgType, const QMessageLogContext& context, const QString& text) {
    g_passed.emplace_back(QString::fromLatin1(context.category), text);
}

Q_LOGGING_CATEGORY(lcXcb, "qt.qpa.xcb")
Q_LOGGING_CATEGORY(lcPlugin, "qt.qpa.plugin")

TEST(XServerWatch, HoldsQtsWordsAndSaysItsOwnWhenNothingAnswers) {
    g_passed.clear();
    const QtMessageHandler before = qInstallMessageHandler(Record);
    {
        XServerWatch watch(":77");
        qCWarning(lcPlugin, "first");
        qCInfo(lcXcb, "second");
        EXPECT_TRUE(g_passed.empty()) << "passed on while held";
        watch.Release();
        qCWarning(lcPlugin, "after");
    }
    qInstallMessageHandler(before);
    const std::vector<std::pair<QString, QString>> expected = {
        {"qt.qpa.plugin", "first"}, {"qt.qpa.xcb", "second"}, {"qt.qpa.plugin", "after"}};
    EXPECT_EQ(g_passed, expected);

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            XServerWatch watch(":93");
            qCWarning(lcXcb, "could not connect to display :93");
            qFatal("This application failed to start because no Qt platform plugin could be initialized.");
        },
        testing::ExitedWithCode(1), "cannot connect to the X server at DISPLAY=:93");
    EXPECT_DEATH(
        {
            XServerWatch watch(":77");
            qCWarning(lcPlugin, "some other trouble");
            qFatal("Qt's own end");
        },
        "some other trouble(.|\n)*Qt's own end");
}

// The warm-up gives way on its own thread only: the window's thread, and the
// threads it starts afterwards, keep the priority the program was started with.
TEST(StartWarmUp, LowersOnlyItsOwnThreadAndLeavesFontconfigLoaded) {
    const auto nice = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
    const int before = nice();
    {
        StartWarmUp warm;
        warm.Wait();
        EXPECT_EQ(nice(), before);
        FcConfig* const config = FcConfigReference(nullptr);
        ASSERT_NE(config, nullptr);
        EXPECT_NE(FcConfigGetFonts(config, FcSetSystem), nullptr) << "fonts not loaded";
        FcConfigDestroy(config);
    }
    int later = 0;
    std::thread([&] { later = nice(); }).join();
    EXPECT_EQ(nice(), before);
    EXPECT_EQ(later, before);
}

}  // namespace
}  // namespace tessel::shell
