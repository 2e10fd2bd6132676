// SPDX-License-Identifier: GPL-3.0-or-later
// Long texts in the boxes: the multi-line boxes break lines anywhere, and
// what the program writes into a box is cut at its limit, with a word in
// the status line.
#include <QPlainTextEdit>
#include <QTextOption>

#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

class BoxTextTest : public FrmMainTest {
 protected:
    FrmMain& MakeListening() {
        Make().About();  // the pages behind the first are built when asked for
        OnBoxCut(w.get(), [this](const QString& m) { notices << m; });
        return *w;
    }
    QList<QPlainTextEdit*> MultiLineBoxes() const {
        w->About();
        return {Child<QPlainTextEdit>(*w, "txtInput"), Child<QPlainTextEdit>(*w, "txtOutput"),
                Child<QPlainTextEdit>(*w, "txtOnlineflv"), Child<QPlainTextEdit>(*w, "txtFlvlink"),
                Child<QPlainTextEdit>(*w, "txtAbout")};
    }
    QStringList notices;
};

TEST_F(BoxTextTest, EveryMultiLineBoxBreaksLongLinesAnywhere) {
    Make();
    for (QPlainTextEdit* box : MultiLineBoxes())
        EXPECT_EQ(box->wordWrapMode(), QTextOption::WrapAnywhere) << box->objectName().toStdString();
}

TEST_F(BoxTextTest, AMebibyteWrittenIntoAnyBoxKeepsItsFirst64KiCharactersAndSaysSo) {
    MakeListening();
    const std::u16string mib(1 << 20, u'x');
    const QString kept(kBoxTextLimit, QLatin1Char('x'));
    for (QPlainTextEdit* box : MultiLineBoxes()) {
        SCOPED_TRACE(box->objectName().toStdString());
        notices.clear();
        SetBoxText(box, u"http://" + mib);
        EXPECT_EQ(box->toPlainText(), QStringLiteral("http://") + kept.left(kBoxTextLimit - 7));
        ASSERT_EQ(notices.size(), 1);
        EXPECT_EQ(notices[0], QStringLiteral("文本过长（1048583 个字符），框中只显示前 65536 个字符"));
    }
    for (QLineEdit* box : {Child<QLineEdit>(*w, "txtPickcode"), Child<QLineEdit>(*w, "txtTel"),
                           Child<QLineEdit>(*w, "txtCnc"), Child<QLineEdit>(*w, "txtBak")}) {
        SCOPED_TRACE(box->objectName().toStdString());
        notices.clear();
        SetBoxText(box, mib);
        EXPECT_EQ(box->text(), kept);
        EXPECT_EQ(notices.size(), 1);
    }
}

TEST_F(BoxTextTest, TheCutFallsOnWholeCharactersAndOnlyPastTheLimit) {
    MakeListening();
    QPlainTextEdit* box = Child<QPlainTextEdit>(*w, "txtOutput");
    struct Case {
        const char* what;
        std::u16string text;
        QString expected;
        bool cut;
    };
    const std::u16string atLimit(kBoxTextLimit, u'a');
    const std::u16string beforePair(kBoxTextLimit - 1, u'a');
    const Case cases[] = {
        {"exactly at the limit", atLimit, Q(atLimit), false},
        {"one past", atLimit + u"b", Q(atLimit), true},
        {"a pair across the limit stays whole or goes", beforePair + u"\U0001F600" + u"tail", Q(beforePair),
         true},
        // Lines are counted as the box holds them, one unit per break.
        {"line breaks",
         std::u16string(kBoxTextLimit / 2, u'a') + u"\r\n" + std::u16string(kBoxTextLimit / 2 - 1, u'b'),
         Q(std::u16string(kBoxTextLimit / 2, u'a') + u"\n" + std::u16string(kBoxTextLimit / 2 - 1, u'b')),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        notices.clear();
        SetBoxText(box, c.text);
        EXPECT_EQ(box->toPlainText(), c.expected);
        EXPECT_EQ(notices.size(), c.cut ? 1 : 0);
    }
}

TEST_F(BoxTextTest, AHugeParseHomeInTheStartUpNoticeIsCutNotLaidOutForMinutes) {
    Put(keys::kParseHome, QStringLiteral("http://") + QString(256 * 1024, QLatin1Char('h')));
    MakeListening();
    w->Load();
    const QString shown = Child<QPlainTextEdit>(*w, "txtFlvlink")->toPlainText();
    EXPECT_EQ(shown.size(), kBoxTextLimit);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("在线视频地址解析速度取决于硕鼠官网的访问速度")));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains(QStringLiteral("65536")));
}

}  // namespace
}  // namespace tessel::shell::testing
