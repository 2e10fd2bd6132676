// SPDX-License-Identifier: GPL-3.0-or-later
// The window as drawn: every control where its twips say (15 to the pixel,
// halves to even), under the right container, with its captions and flags.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

struct Placed {
    const char* name;
    const char* parent;
    QRect px;
};

TEST_F(FrmMainTest, ControlsSitWhereTheirTwipsSay) {
    Make();
    const Placed rows[] = {
        {"SafeTabs", "frmMain", {0, 56, 497, 215}},
        {"FraIP", "frmMain", {0, 272, 497, 65}},
        {"skbOption", "frmMain", {418, 281, 73, 22}},
        {"txtMessage", "frmMain", {0, 336, 497, 25}},
        {"fra115", "SafeTabs", {5, 35, 489, 177}},        // tab 0 active: at home
        {"fraLink", "SafeTabs", {-661, 35, 489, 177}},    // -9920 twips
        {"fraFlv", "SafeTabs", {-1328, 35, 489, 177}},    // -19920
        {"fraAbout", "SafeTabs", {-1995, 35, 489, 177}},  // -29920
        {"txtPickcode", "fra115", {136, 24, 249, 23}},
        {"txtTel", "fra115", {88, 56, 337, 23}},
        {"txtInput", "fraInput", {8, 16, 265, 49}},
        {"skbInput", "fraInput", {280, 16, 23, 49}},
        {"skbTogeneral", "fraOperate", {8, 16, 121, 20}},
        {"skbToqqdl", "fraOperate", {8, 83, 121, 20}},
        {"skbURL", "fraOperate", {8, 128, 121, 20}},
        {"txtFilesize", "fraLink", {472, 112, 12, 57}},
        {"skbFlvlink", "fratxtFlvlink", {304, 16, 23, 49}},
        {"lblfilename", "fraFlvoperation", {8, 136, 89, 13}},
        {"imgTip", "fraFlvoperation", {96, 135, 16, 16}},
        {"txtAbout", "fraAbout", {8, 16, 473, 153}},
        {"chkShowIP", "FraIP", {192, 35, 89, 17}},
        {"optQQ", "FraIP", {288, 35, 177, 17}},
    };
    for (const auto& r : rows) {
        auto* c = w->findChild<QWidget*>(QString::fromLatin1(r.name));
        ASSERT_NE(c, nullptr) << r.name;
        EXPECT_EQ(c->parentWidget()->objectName(), QString::fromLatin1(r.parent)) << r.name;
        EXPECT_EQ(c->geometry(), r.px) << r.name;
    }
}

TEST_F(FrmMainTest, WindowAndPagesStartAsDrawn) {
    Make();
    EXPECT_EQ(w->windowTitle(), "TESSEL");
    EXPECT_EQ(w->size(), QSize(496, 305));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(w->BannerFrame().size(), QSize(500, 60));

    ASSERT_EQ(w->safeTabs->TabCount(), 4);
    const char* tabs[] = {"115网盘", "专链转换", "在线视频", "关于"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(w->safeTabs->TabCaption(i), QString::fromUtf8(tabs[i]));
    EXPECT_EQ(w->safeTabs->ActiveTab(), 0);

    for (QWidget* hidden : std::initializer_list<QWidget*>{
             w->txtMessage, w->txtFilesize, w->lblIP, w->chkOntop, w->chkClipboard, w->chkShowIP, w->optQQ})
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    for (QWidget* shown : std::initializer_list<QWidget*>{w->txtInput, w->skbOption, w->FraIP, w->imgTip})
        EXPECT_FALSE(shown->isHidden()) << shown->objectName().toStdString();

    EXPECT_TRUE(w->txtOutput->isReadOnly() && w->txtFlvlink->isReadOnly() && w->txtTel->isReadOnly());
    EXPECT_FALSE(w->txtInput->isReadOnly() || w->txtOnlineflv->isReadOnly() || w->txtPickcode->isReadOnly());

    // The pictures and texts come from the resources compiled in.
    EXPECT_EQ(w->imgTip->pixmap().size(), QSize(16, 16));
    const QStringList credits = w->txtAbout->toPlainText().split('\n');
    EXPECT_EQ(credits.size(), 54);
    EXPECT_TRUE(credits.first().startsWith("Tessel V2"));
}

}  // namespace
}  // namespace tessel::shell::testing
