// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion page on its own: each button and double-click reaches its
// command, the Rayfile questions are asked as they should be, and dropped
// files get their fingerprint while the window keeps answering.
#include "shell/pages/link_page.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include "controls/sk_button.h"
#include "links/commands.h"
#include "support/page_fixture.h"

namespace tessel::shell::testing {
namespace {

QString Q(std::u16string_view s) { return QString::fromStdU16String(std::u16string(s)); }

class LinkPageTest : public PageTest {
 protected:
    LinkPage page{Context(), nullptr};
};

struct CommandRow {
    const char* button;
    const char* input;
    links::CommandResult (*command)(std::u16string_view);
};

TEST_F(LinkPageTest, EachCommandButtonRunsItsCommand) {
    const CommandRow rows[] = {
        {"skbTogeneral", "thunder://QUFodHRwOi8vYS9iWlo=/", &links::ToGeneral},
        {"skbTothunder", "  http://a/b  ", &links::ToThunder},
        {"skbToflashget", "http://a/b", &links::ToFlashGet},
        {"skbToqqdl", "ftp://x/y", &links::ToQqdl},
        {"skbURL", "a%20b", &links::UrlCommand},
    };
    for (const auto& r : rows) {
        Child<QPlainTextEdit>(page, "txtInput")->setPlainText(QString::fromUtf8(r.input));
        Child<QPlainTextEdit>(page, "txtOutput")->clear();
        emit Child<controls::SkButton>(page, r.button)->Click();
        const auto want = r.command(QString::fromUtf8(r.input).toStdU16String());
        EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), Q(want.input))
            << r.button << " " << r.input;
        EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(), Q(want.output))
            << r.button << " " << r.input;
    }
}

TEST_F(LinkPageTest, ARealClickConvertsAndLinesAreJoined) {
    page.show();
    // Two lines typed with Enter become one address.
    Child<QPlainTextEdit>(page, "txtInput")->setPlainText("  http://a/\nb  ");
    QTest::mouseClick(Child<controls::SkButton>(page, "skbTothunder"), Qt::LeftButton, {},
                      Child<controls::SkButton>(page, "skbTothunder")->rect().center());
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), "http://a/b");
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(), "thunder://QUFodHRwOi8vYS9iWlo=/");

    Child<QPlainTextEdit>(page, "txtInput")->setPlainText("  \n  ");
    QTest::mouseClick(Child<controls::SkButton>(page, "skbURL"), Qt::LeftButton, {},
                      Child<controls::SkButton>(page, "skbURL")->rect().center());
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), "");
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(), "请输入待加解密链接");
}

TEST_F(LinkPageTest, PasteTakesTheTrimmedClipboardText) {
    Child<QPlainTextEdit>(page, "txtInput")->setPlainText("kept");
    QGuiApplication::clipboard()->clear();
    emit Child<controls::SkButton>(page, "skbInput")->Click();
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), "kept");  // nothing to paste

    QGuiApplication::clipboard()->setText(" http://x/y ");
    emit Child<controls::SkButton>(page, "skbInput")->Click();
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), "http://x/y");

    QGuiApplication::clipboard()->setText("  ftp://z  ");
    QTest::mouseDClick(Child<QPlainTextEdit>(page, "txtInput")->viewport(), Qt::LeftButton);
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), "ftp://z");
}

TEST_F(LinkPageTest, CopyPutsTheOutputOnTheClipboardAndSelectsIt) {
    page.show();
    QGuiApplication::clipboard()->setText("before");
    emit Child<controls::SkButton>(page, "skbOutput")->Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");  // empty box: nothing

    Child<QPlainTextEdit>(page, "txtOutput")->setPlainText("http://a/b");
    emit Child<controls::SkButton>(page, "skbOutput")->Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://a/b");
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->textCursor().selectedText(), "http://a/b");

    Child<QPlainTextEdit>(page, "txtOutput")->setPlainText("http://c/d");
    QTest::mouseDClick(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://c/d");
}

struct RayfileRow {
    const char* name;
    const char* input;
    std::vector<Prompts::Answer> answers;
    std::vector<QString> typed;  // a null text cancels
    const char* output;
    int boxes;  // message and input boxes asked
};

TEST_F(LinkPageTest, RayfileAsksItsQuestionsAndBuildsTheLink) {
    const RayfileRow rows[] = {
        {"bar in address", "http://a/b|1", {}, {}, "对不起，链接不正确", 0},
        {"empty", "   ", {}, {}, "请输入待转换链接", 0},
        {"no, typed",
         " http://a/b ",
         {Prompts::Answer::No},
         {QString(" 1024 ")},
         "fs2you://YS9ifDEwMjQ=/",
         2},
        {"no, cancelled", "http://a/b", {Prompts::Answer::No}, {QString()}, "请输入链接中文件大小", 2},
    };
    page.move(200, 100);
    for (const auto& r : rows) {
        prompts.asked.clear();
        prompts.answers.assign(r.answers.begin(), r.answers.end());
        prompts.inputs.assign(r.typed.begin(), r.typed.end());
        Child<QPlainTextEdit>(page, "txtInput")->setPlainText(r.input);
        emit Child<controls::SkButton>(page, "skbToRayfile")->Click();
        EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(), QString::fromUtf8(r.output))
            << r.name;
        ASSERT_EQ(static_cast<int>(prompts.asked.size()), r.boxes) << r.name;
        if (r.boxes == 0) continue;
        const auto& q = prompts.asked[0];
        EXPECT_FALSE(q.input);
        EXPECT_EQ(q.text, "您需要自动获取链接中文件大小吗？（有时未必准确）");
        EXPECT_EQ(q.title, "提示");
        EXPECT_EQ(q.buttons, Prompts::Buttons::YesNo);
        EXPECT_EQ(q.icon, Prompts::Icon::Information);
        const auto& in = prompts.asked[1];
        EXPECT_TRUE(in.input);
        EXPECT_EQ(in.title, "文件大小");
        EXPECT_TRUE(in.text.startsWith("请输入待转换链接中文件大小：\n\n单位：字节"));
        EXPECT_TRUE(in.defaultText.isEmpty());
        // From the outer rectangle in twips: left + width/2 - 3000, top +
        // height/2 - 1000, halves to even, then to the nearest pixel.
        const QRect o = page.frameGeometry();
        const auto twips = [](double v) { return static_cast<double>(std::nearbyint(v)); };
        const double x = twips(o.x() * 15 + o.width() * 15 / 2.0 - 3000);
        const double y = twips(o.y() * 15 + o.height() * 15 / 2.0 - 1000);
        EXPECT_EQ(in.topLeft,
                  QPoint(static_cast<int>(std::nearbyint(x / 15)), static_cast<int>(std::nearbyint(y / 15))));
    }
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtInput")->toPlainText(), "http://a/b");
}

// ---------------------------------------------------------------------------
// Dropping files on the output box

void Drop(QWidget* target, QMimeData* mime) {
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

QMimeData* Files(const QStringList& paths) {
    auto* m = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    m->setUrls(urls);
    return m;
}

TEST_F(LinkPageTest, DroppedFileGetsItsFingerprint) {
    QFile abc(dir.filePath("abc.txt"));
    ASSERT_TRUE(abc.open(QIODevice::WriteOnly));
    abc.write("abc");
    abc.close();
    QFile empty(dir.filePath("empty.bin"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    std::unique_ptr<QMimeData> two(Files({abc.fileName(), empty.fileName()}));
    Drop(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), two.get());
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(),
              "文件大小:3\nCRC32:352441C2\nMD5:900150983CD24FB0D6963F7D28E17F72");

    std::unique_ptr<QMimeData> folder(Files({dir.path()}));
    Drop(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), folder.get());
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(), "文件并不存在");
}

TEST_F(LinkPageTest, DropWithoutAFileDoesNothing) {
    Child<QPlainTextEdit>(page, "txtOutput")->setPlainText("kept");
    auto text = std::make_unique<QMimeData>();
    text->setText("/etc/passwd");
    Drop(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), text.get());
    auto web = std::make_unique<QMimeData>();
    web->setUrls({QUrl("http://a/b")});
    Drop(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), web.get());
    EXPECT_EQ(Child<QPlainTextEdit>(page, "txtOutput")->toPlainText(), "kept");
}

// The checksum of a big file lets the window's events run between blocks.
TEST_F(LinkPageTest, BigFileKeepsTheWindowAnswering) {
    QFile big(dir.filePath("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(500) * 1024 * 1024));  // sparse: quick to make
    big.close();
    QFile small(dir.filePath("small.txt"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.close();
    int ticks = 0;
    QTimer beat;
    std::unique_ptr<QMimeData> second(Files({small.fileName()}));
    QObject::connect(&beat, &QTimer::timeout, [&] {
        // A second drop meanwhile is refused, and the status line says why.
        if (++ticks == 3) Drop(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), second.get());
    });
    beat.start(1);
    std::unique_ptr<QMimeData> mime(Files({big.fileName()}));
    Drop(Child<QPlainTextEdit>(page, "txtOutput")->viewport(), mime.get());
    beat.stop();
    EXPECT_TRUE(
        Child<QPlainTextEdit>(page, "txtOutput")->toPlainText().startsWith("文件大小:524288000\nCRC32:"));
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(status.Text(), "正在计算上一个文件的校验值，请等它结束后再拖入");
}

}  // namespace
}  // namespace tessel::shell::testing
