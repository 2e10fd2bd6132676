// SPDX-License-Identifier: GPL-3.0-or-later
// Every place that shows the version shows the build's one.
#include <QPlainTextEdit>

#include "handoff/handoff_command.h"
#include "shell/window/frm_tray.h"
#include "support/frm_main_fixture.h"
#include "tessel_version.h"

namespace tessel::shell::testing {
namespace {

using VersionTest = FrmMainTest;

TEST_F(VersionTest, AboutPageTrayTipAndHandoffCommentShowTheBuildsVersion) {
    Start();
    const QString about = Child<QPlainTextEdit>(*w, "txtAbout")->toPlainText();
    EXPECT_TRUE(about.contains(QStringLiteral("版本：" TESSEL_VERSION))) << about.left(200).toStdString();
    EXPECT_TRUE(about.startsWith(QStringLiteral("Tessel V" TESSEL_VERSION_MAJOR)));
    EXPECT_FALSE(about.contains(u'@')) << "a placeholder was left in the credits";
    EXPECT_TRUE(FrmTray::TipText().startsWith(QStringLiteral("Tessel V" TESSEL_VERSION_MAJOR " ")));
    EXPECT_EQ(handoff::HandoffComment(u"http://p"), u"Tessel V" TESSEL_VERSION_MAJOR u" 调用http://p/解析");
}

}  // namespace
}  // namespace tessel::shell::testing
