// SPDX-License-Identifier: GPL-3.0-or-later
// The question a link from outside raises drops the keys typed before the
// user could see it (a "y" meant for another program starts no download),
// and only those: a key after a quiet spell and a click answer it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <vector>

#include "shell/ui/prompts.h"
#include "support/modal_box.h"

namespace tessel::shell {
namespace {

struct Press {
    int atMs;
    Qt::Key key;  // Qt::Key_unknown: a click on Yes
};

TEST(StrayKeysTest, KeysCountOnlyOnceTheKeyboardWasQuiet) {
    const struct {
        const char* name;
        std::vector<Press> presses;
        Prompts::Answer answer;
    } rows[] = {
        {"y at once is dropped, n after a pause answers",
         {{0, Qt::Key_Y}, {900, Qt::Key_N}},
         Prompts::Answer::No},
        {"y after a pause answers", {{900, Qt::Key_Y}}, Prompts::Answer::Yes},
        {"typing on keeps the box waiting",
         {{0, Qt::Key_A},
          {150, Qt::Key_B},
          {300, Qt::Key_C},
          {450, Qt::Key_D},
          {600, Qt::Key_Y},
          {1500, Qt::Key_N}},
         Prompts::Answer::No},
        {"Enter at once is dropped too", {{0, Qt::Key_Return}, {900, Qt::Key_Y}}, Prompts::Answer::Yes},
        {"a click counts at once", {{0, Qt::Key_unknown}}, Prompts::Answer::Yes},
    };
    QtPrompts prompts(nullptr);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QObject pending;  // what this row left unsent goes with it
        for (const Press& p : row.presses) {
            QTimer::singleShot(p.atMs, &pending, [p] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                if (p.key == Qt::Key_unknown) {
                    box->button(QMessageBox::Yes)->click();
                    return;
                }
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, p.key);
            });
        }
        // A box no key closed ends here, as No.
        QTimer::singleShot(3000, &pending, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
        });
        EXPECT_EQ(prompts.Message("下载 http://a.test/x.bin ？", "提示", Prompts::Buttons::YesNoDefaultNo,
                                  Prompts::Icon::Question),
                  row.answer);
    }
}

// The question for several links is guarded the same way.
TEST(StrayKeysTest, TheListQuestionDropsKeysAtOnce) {
    QtPrompts prompts(nullptr);
    QObject pending;
    for (const Press& p : {Press{0, Qt::Key_Y}, Press{900, Qt::Key_N}}) {
        QTimer::singleShot(p.atMs, &pending, [p] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box) QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, p.key);
        });
    }
    QTimer::singleShot(3000, &pending, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    });
    EXPECT_EQ(prompts.AskList("下载这 2 个地址？", {"http://a.test/1", "http://a.test/2"}, "提示"),
              Prompts::Answer::No);
}

// Boxes the user asked for himself answer the first key.
TEST(StrayKeysTest, OtherBoxesTakeKeysAtOnce) {
    QtPrompts prompts(nullptr);
    testsupport::OnNextModal<QMessageBox>(
        [](QMessageBox* box) { QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Y); });
    EXPECT_EQ(prompts.Message("?", "提示", Prompts::Buttons::YesNo, Prompts::Icon::Question),
              Prompts::Answer::Yes);
}

}  // namespace
}  // namespace tessel::shell
