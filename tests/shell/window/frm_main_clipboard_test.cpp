// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard watcher: what lands where, the once-per-run tab switch kept
// in the settings file, and the program's own copy that must not come back.
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>

#include "controls/safe_tabs.h"
#include "controls/sk_button.h"
#include "support/frm_main_fixture.h"

namespace tessel::shell::testing {
namespace {

void Copy(const QString& text) { QGuiApplication::clipboard()->setText(text); }

class WatcherTest : public FrmMainTest {
 protected:
    FrmMain& StartWatching() {
        Put(keys::kClipboard, "1");
        return Start();
    }
};

TEST_F(WatcherTest, SpecialLinkGoesToConversionPageSwitchingOncePerRun) {
    StartWatching();
    Copy("thunder://QUFodHRwOi8vYS9iWlo=/");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "thunder://QUFodHRwOi8vYS9iWlo=/");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);
    EXPECT_EQ(Stored(keys::kLinkActiveTab), "1");

    Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(2);
    Copy("flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(),
              "flashget://W0ZMQVNIR0VUXWh0dHA6Ly9hL2JbRkxBU0hHRVRd&1");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(),
              2);  // already switched once in this run

    // The next run starts with the flag reset, so it switches again.
    Restart();
    QGuiApplication::clipboard()->clear();
    StartWatching();
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 0);
    Copy("qqdl://aHR0cDovL2EvYg==");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);
}

struct RouteRow {
    const char* copied;
    const char* txtInput;  // expected afterwards ("" = untouched, empty)
    const char* txtOnlineflv;
    const char* txtPickcode;
    int tab;
};

TEST_F(WatcherTest, EachKindOfTextLandsOnItsPages) {
    const RouteRow rows[] = {
        {" http://a/b ", "http://a/b", "http://a/b", "", 0},
        {"https://a/b", "", "", "", 0},
        {"see HTTP://115.COM/file/abc#x", "", "", "see HTTP://115.COM/file/abc#x", 0},
        {"fs2you://YS9ifDEwMjQ=/", "fs2you://YS9ifDEwMjQ=/", "", "", 1},
        {"just words", "", "", "", 0},
    };
    for (const auto& r : rows) {
        QGuiApplication::clipboard()->clear();
        StartWatching();
        Child<controls::SafeTabs>(*w, "SafeTabs")
            ->setActiveTab(QString(r.copied).contains("115") ? 2 : 0);  // the disk page comes forward
        Copy(QString::fromUtf8(r.copied));
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), r.txtInput) << r.copied;
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOnlineflv")->toPlainText(), r.txtOnlineflv) << r.copied;
        EXPECT_EQ(Child<QLineEdit>(*w, "txtPickcode")->text(), r.txtPickcode) << r.copied;
        EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), r.tab) << r.copied;
        EXPECT_EQ(Stored(keys::kUDownActiveTab).value_or("0"), QString(r.txtPickcode).isEmpty() ? "0" : "1");
        Restart();
    }
}

TEST_F(WatcherTest, OwnCopyOutOfTheOutputDoesNotComeBack) {
    StartWatching();
    Child<QPlainTextEdit>(*w, "txtInput")->setPlainText("thunder://QUFodHRwOi8vYS9iWlo=/");
    emit Child<controls::SkButton>(*w, "skbTogeneral")->Click();
    ASSERT_EQ(Child<QPlainTextEdit>(*w, "txtOutput")->toPlainText(), "http://a/b");
    emit Child<controls::SkButton>(*w, "skbOutput")->Click();
    EXPECT_EQ(Child<ClipboardTextBox>(*w, "txtMessage")->text(), "http://a/b");  // the watcher saw it
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "thunder://QUFodHRwOi8vYS9iWlo=/");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOnlineflv")->toPlainText(),
              "http://a/b");  // still offered to the video page

    // Converting back and copying the special link out: not back in either.
    Child<QPlainTextEdit>(*w, "txtInput")->setPlainText("http://a/b");
    emit Child<controls::SkButton>(*w, "skbTothunder")->Click();
    QTest::mouseDClick(Child<QPlainTextEdit>(*w, "txtOutput")->viewport(), Qt::LeftButton);
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "http://a/b");
}

TEST_F(WatcherTest, NonTextClearsTheStoredText) {
    StartWatching();
    Copy("http://a/b");
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(img);
    EXPECT_EQ(Child<ClipboardTextBox>(*w, "txtMessage")->text(), "");
    // ... so the same link copied again is routed again.
    Child<QPlainTextEdit>(*w, "txtInput")->setPlainText("edited");
    Copy("http://a/b");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "http://a/b");
}

TEST_F(FrmMainTest, WatcherOffRoutesNothingAndSavesTheOption) {
    Start();
    Copy("thunder://QUFodHRwOi8vYS9iWlo=/");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 0);
    EXPECT_FALSE(Stored(keys::kLinkActiveTab).has_value());

    Child<QCheckBox>(*w, "chkClipboard")->click();
    EXPECT_EQ(Stored(keys::kClipboard), "1");
    Copy("thunder://QUFodHRwOi8vYS9iWlo=/ ");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "thunder://QUFodHRwOi8vYS9iWlo=/");
    Child<QCheckBox>(*w, "chkClipboard")->click();
    EXPECT_EQ(Stored(keys::kClipboard), "0");
}

// A text of exactly `length` characters that starts like the given link.
QString LongText(const char* start, qsizetype length) {
    QString s = QString::fromLatin1(start);
    s.append(QString(length - s.size(), u'x'));
    return s;
}

TEST_F(WatcherTest, TextsOverTheBoundAreNotRoutedAndDoNotStick) {
    constexpr qsizetype kMax = ClipboardTextBox::kMaxChars;
    StartWatching();
    const QString fits = LongText("thunder://", kMax);
    Copy(fits);
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), fits);  // the longest text still routed

    for (const char* start : {"http://a/", "thunder://", "http://115.com/"}) {
        SCOPED_TRACE(start);
        for (auto* box : {Child<QPlainTextEdit>(*w, "txtInput"), Child<QPlainTextEdit>(*w, "txtOnlineflv")})
            box->setPlainText("kept");
        Child<QLineEdit>(*w, "txtPickcode")->setText("kept");
        Copy(LongText(start, kMax + 1));
        EXPECT_EQ(Child<ClipboardTextBox>(*w, "txtMessage")->text(), "");  // not held either
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "kept");
        EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtOnlineflv")->toPlainText(), "kept");
        EXPECT_EQ(Child<QLineEdit>(*w, "txtPickcode")->text(), "kept");
        EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);  // no page comes forward

        // The watcher goes on: the next link is routed.
        const QString link = QString::fromLatin1(start) + "file";
        Copy(link);
        EXPECT_EQ(QString(start).contains("115") ? Child<QLineEdit>(*w, "txtPickcode")->text()
                                                 : Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(),
                  link);
        Child<controls::SafeTabs>(*w, "SafeTabs")->setActiveTab(1);
    }
}

TEST_F(WatcherTest, TextOverTheBoundAtStartIsNotRouted) {
    Copy(LongText("  thunder://", ClipboardTextBox::kMaxChars + 1));
    StartWatching();
    EXPECT_EQ(Child<ClipboardTextBox>(*w, "txtMessage")->text(), "");
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 0);
}

TEST_F(WatcherTest, ActivationRoutesTheClipboardText) {
    Copy("  thunder://QUFodHRwOi8vYS9iWlo=/  ");
    StartWatching();  // a link on the clipboard at start is routed at once
    EXPECT_EQ(Child<QPlainTextEdit>(*w, "txtInput")->toPlainText(), "thunder://QUFodHRwOi8vYS9iWlo=/");
    EXPECT_EQ(Child<controls::SafeTabs>(*w, "SafeTabs")->ActiveTab(), 1);

    // The watcher is gone after unload: changes no longer reach the window.
    w->close();
    Copy("http://later/");
    EXPECT_NE(Child<ClipboardTextBox>(*w, "txtMessage")->text(), "http://later/");
}

}  // namespace
}  // namespace tessel::shell::testing
