// SPDX-License-Identifier: GPL-3.0-or-later
// The video page on its own: the parsed title it keeps is what its tooltip
// shows and what a double-click copies as the file name.
#include "shell/pages/video_page.h"

#include <QLabel>
#include <QTest>

#include "shell/ui/page_parts.h"
#include "support/page_fixture.h"

namespace tessel::shell::testing {
namespace {

class VideoPageAloneTest : public PageTest {
 protected:
    VideoPage page{Context(), nullptr};
    QLabel* imgTip = Child<QLabel>(page, "imgTip");
    QLabel* lblfilename = Child<QLabel>(page, "lblfilename");
};

TEST_F(VideoPageAloneTest, FileNameIsCopiedOnlyWhenThereIsOne) {
    QGuiApplication::clipboard()->setText("untouched");
    QTest::mouseDClick(lblfilename, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "untouched");
    page.ShowTitle("某视频 第1集");
    EXPECT_EQ(imgTip->toolTip(), "某视频 第1集");
    QTest::mouseDClick(lblfilename, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "某视频 第1集");
    QGuiApplication::clipboard()->setText("again");
    QTest::mouseDClick(imgTip, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "某视频 第1集");  // the picture does the same
    page.ShowTitle(QString());
    QTest::mouseDClick(imgTip, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "某视频 第1集");  // cleared: nothing copied
}

// A hostile title of megabytes is cut once; the file name handed on is the
// title the user can see, not more.
TEST_F(VideoPageAloneTest, TheTitleKeptIsTheOneShown) {
    page.ShowTitle(QString(kBoxTextLimit + 10, QChar(u'题')));
    EXPECT_EQ(imgTip->toolTip().size(), kBoxTextLimit);
    EXPECT_EQ(page.Title(), imgTip->toolTip());
    QTest::mouseDClick(imgTip, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), imgTip->toolTip());
}

}  // namespace
}  // namespace tessel::shell::testing
