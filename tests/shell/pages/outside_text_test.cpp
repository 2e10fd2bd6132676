// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile texts from outside over every place of the window that shows one:
// each must show the text exactly as it stands (never as markup) and no
// longer than the box limit.  A place that lets Qt guess rich text again
// renders the markup (or freezes or crashes on it) and fails here.
#include <fcntl.h>
#include <unistd.h>

#include <QHelpEvent>
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QTextDocument>
#include <QToolTip>
#include <functional>

#include "controls/sk_button.h"
#include "shell/jobs/ytdlp_video_parse.h"
#include "shell/platform/desktop_setup.h"
#include "shell/ui/plain_text.h"
#include "shell/ui/prompts.h"
#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"
#include "support/modal_box.h"
#include "text/codepage.h"

namespace tessel::shell::testing {
namespace {

QString Nested(int levels) {
    return QStringLiteral("<table><tr><td>").repeated(levels) + "x" +
           QStringLiteral("</td></tr></table>").repeated(levels);
}

// No "(", ")" or '"': the texts must reach the places whole through the
// replies they travel in.
const struct {
    const char* name;
    QString text;
} kHostile[] = {
    {"25 nested tables", Nested(25)},
    {"5000 nested levels", Nested(5000)},
    {"an image of /dev/zero", "<img src='/dev/zero'>"},
    {"a link", "<a href='http://127.0.0.1:9/fix'>点此修复</a>"},
    {"a fake banner", "<h1><font color='red' size='7'>你的电脑已中毒 点此修复</font></h1>"},
    {"15 MB", "<b>" + QString(15'000'000, u'x')},
};

// What a tooltip shows: Qt's own guess between plain and rich text.
QString Rendered(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument doc;
    doc.setHtml(tip);
    return doc.toPlainText();
}

// The tooltip shown when the pointer rests on `w`.
QString ShownTip(QWidget* w) {
    QHelpEvent e(QEvent::ToolTip, QPoint(1, 1), w->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(w, &e);
    return QToolTip::isVisible() ? Rendered(QToolTip::text()) : QString();
}

// What a place shows of an outside text, and whether it shows it as plain
// text.
struct Shown {
    QString text;
    bool plain = true;
};
Shown OfLabel(const QLabel* l) { return {l->text(), l->textFormat() == Qt::PlainText}; }

// What the modal box of type Box that `open` opens shows, as `read` finds it;
// the box is then closed.
template <class Box>
Shown ShownInModal(const std::function<void()>& open, std::function<Shown(Box*)> read) {
    Shown shown;
    testsupport::WhenOpen<Box>([&](Box* box) { shown = read(box); });
    open();
    return shown;
}

class OutsideTextTest : public FrmMainTest {
 protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        http.server().Get("/ip/", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(mutex);
            res.set_content("(" + reply + ")", "text/html");
        });
        http.server().Get("/parse.php", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(mutex);
            res.set_content(text::ToAnsi(u"<html><br>下载地址：<a href=\"http://media.test/v.flv\">"
                                         u"var cliptitle = \"") +
                                reply + "\";",
                            "text/html; charset=gb2312");
        });
        http.Start();
        Put(keys::kIpEcho, http.Base());
        Put(keys::kParseHome, http.Base());
        Put(keys::kVideoEngine, "service");
        Put(keys::kYtDlpPath, dir.filePath("yt-dlp"));
        Start();
    }
    void Serve(const QString& text) {
        std::lock_guard lock(mutex);
        reply = text::ToAnsi(text.toStdU16String());
    }
    // The stand-in yt-dlp reports `title` and `address`.
    void YtDlpReports(const QString& title, const QString& address) {
        QFile report(dir.filePath("report.json"));
        ASSERT_TRUE(report.open(QIODevice::WriteOnly));
        report.write(QJsonDocument(QJsonObject{{"title", title}, {"url", address}}).toJson());
        report.close();
        QFile f(dir.filePath("yt-dlp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexec /bin/cat " + QFile::encodeName(report.fileName()) + "\n");
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    void Parse(const char* engine) {
        Put(keys::kVideoEngine, engine);
        SetBoxText(Child<QPlainTextEdit>(*w, "txtOnlineflv"), u"http://v.test/v/1.html");
        emit Child<controls::SkButton>(*w, "skbParse")->Click();
        WaitForRequests();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->Video().Busy(); }, 20000));
    }

    testsupport::LoopbackHttp http;
    std::mutex mutex;
    std::string reply;
};

TEST_F(OutsideTextTest, EveryPlaceShowsOutsideTextAsItStands) {
    const QString ipPrefix = QStringLiteral("您的IP地址为：");
    const struct {
        const char* name;
        std::function<Shown(const QString&)> show;
        std::function<QString(const QString&)> expected;  // from the whole text
    } places[] = {
        {"the public IP caption",
         [&](const QString& t) {
             Serve(t);
             w->Options().SetCheck(Child<QCheckBox>(*w, "chkShowIP"), false);
             w->Options().SetCheck(Child<QCheckBox>(*w, "chkShowIP"), true);
             WaitForRequests();
             return OfLabel(Child<QLabel>(*w, "lblIP"));
         },
         [&](const QString& t) { return PlainCut(ipPrefix + t); }},
        {"the title tooltip of the parse service",
         [&](const QString& t) {
             Serve(t);
             Parse("service");
             return Shown{ShownTip(Child<QLabel>(*w, "imgTip"))};
         },
         PlainCut},
        {"the title tooltip of yt-dlp",
         [&](const QString& t) {
             YtDlpReports(t, "https://cdn.test/v.mp4");
             Parse("yt-dlp");
             return Shown{ShownTip(Child<QLabel>(*w, "imgTip"))};
         },
         PlainCut},
        {"the addresses of yt-dlp",
         [&](const QString& t) {
             YtDlpReports("t", "https://cdn.test/" + t);
             Parse("yt-dlp");
             return Shown{Child<QPlainTextEdit>(*w, "txtFlvlink")->toPlainText()};
         },
         [](const QString& t) { return PlainCut("https://cdn.test/" + t); }},
        {"the status line",
         [&](const QString& t) {
             // The line shows the start of the text it keeps, cut with "…".
             w->ShowStatus(t);
             const StatusLine& line = w->Status();
             QString start = line.text();
             if (start.endsWith(u'…')) start.chop(1);
             return Shown{line.Text(), line.textFormat() == Qt::PlainText && line.Text().startsWith(start)};
         },
         PlainCut},
        {"the status line's tooltip",
         [&](const QString& t) {
             w->ShowStatus(t);
             return Shown{ShownTip(&w->Status())};
         },
         PlainCut},
        {"a message box",
         [&](const QString& t) {
             return ShownInModal<QMessageBox>(
                 [&] {
                     QtPrompts(w.get()).Message(t, "提示", Prompts::Buttons::YesNoDefaultNo,
                                                Prompts::Icon::Question);
                 },
                 [](QMessageBox* box) {
                     const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
                     return Shown{box->text(), box->textFormat() == Qt::PlainText && label &&
                                                   label->textFormat() == Qt::PlainText &&
                                                   label->text() == box->text()};
                 });
         },
         PlainCut},
        {"the list of a question for several links",
         [&](const QString& t) {
             return ShownInModal<QMessageBox>(
                 [&] {
                     QtPrompts(w.get()).AskList(t, {t, t}, "提示");
                 },
                 [](QMessageBox* box) {
                     const auto* list = box->findChild<QPlainTextEdit*>("txtAddresses");
                     return Shown{list ? list->toPlainText() : QString(), box->textFormat() == Qt::PlainText};
                 });
         },
         [](const QString& t) { return PlainCut(t + "\n" + t); }},
        {"an input box's prompt",
         [&](const QString& t) {
             return ShownInModal<QInputDialog>(
                 [&] { QtPrompts(w.get()).Input(t, "提示", QString(), QPoint(0, 0)); },
                 [](QInputDialog* box) {
                     const auto* label = box->findChild<QLabel*>();
                     return Shown{box->labelText(), label && label->textFormat() == Qt::PlainText};
                 });
         },
         PlainCut},
        {"a notice of the desktop",
         [&](const QString& t) {
             {
                 // It is also said on standard error, which this test keeps quiet.
                 const int err = dup(STDERR_FILENO);
                 const int null = open("/dev/null", O_WRONLY);
                 dup2(null, STDERR_FILENO);
                 Notify(w.get(), t);
                 dup2(err, STDERR_FILENO);
                 close(null);
                 close(err);
             }
             QMessageBox* box = nullptr;
             EXPECT_TRUE(
                 QTest::qWaitFor([&] { return (box = w->findChild<QMessageBox*>("desktopNotice")); }));
             if (!box) return Shown{};
             const Shown shown{box->text(), box->textFormat() == Qt::PlainText};
             delete box;
             return shown;
         },
         PlainCut},
    };
    for (const auto& row : kHostile) {
        for (const auto& place : places) {
            SCOPED_TRACE(std::string(row.name) + " in " + place.name);
            const Shown shown = place.show(row.text);
            const QString expected = place.expected(row.text);
            EXPECT_TRUE(shown.plain);
            EXPECT_LE(shown.text.size(), kBoxTextLimit);
            EXPECT_EQ(shown.text.size(), expected.size());
            EXPECT_TRUE(shown.text == expected) << shown.text.left(200).toStdString();
        }
    }
}

}  // namespace
}  // namespace tessel::shell::testing
