// SPDX-License-Identifier: GPL-3.0-or-later
// The real message and input boxes: titled as asked, the next one centred
// over the window, an input box where it is asked to be.
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "shell/ui/msgbox_placement.h"
#include "support/frm_main_fixture.h"
#include "support/modal_box.h"

namespace tessel::shell::testing {
namespace {

TEST_F(FrmMainTest, PlacementCentresOnlyTheNextBox) {
    Make();
    w->show();
    w->move(100, 100);
    MsgBoxPlacement placement(w.get());
    QDialog first;
    QDialog second;
    for (QDialog* d : {&first, &second}) {
        d->setFixedSize(200, 100);
        d->move(0, 0);
    }
    placement.Arm();
    first.show();
    EXPECT_FALSE(placement.Armed());
    EXPECT_EQ(first.pos(), CenterOver(OuterRect(*w), OuterRect(first)));
    EXPECT_EQ(first.pos(), QPoint(248, 202));  // y = 152.5 + 100 - 50, halves to even
    second.show();
    EXPECT_EQ(second.pos(), QPoint(0, 0));
}

TEST_F(FrmMainTest, QtPromptsShowTitledBoxes) {
    Make();
    w->show();
    w->move(100, 100);
    QtPrompts real(w.get());
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPoint at;
    testsupport::OnNextModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        at = box->pos() - CenterOver(OuterRect(*w), OuterRect(*box));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(real.Message("您需要吗？", "提示", Prompts::Buttons::YesNo, Prompts::Icon::Information),
              Prompts::Answer::No);
    EXPECT_EQ(title, "提示");
    EXPECT_EQ(text, "您需要吗？");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(at, QPoint(0, 0));

    QPoint inputAt;
    testsupport::OnNextModal<QInputDialog>([&](QInputDialog* box) {
        title = box->windowTitle();
        inputAt = box->pos();
        box->setTextValue(" 2048 ");
        box->accept();
    });
    EXPECT_EQ(real.Input("大小：", "文件大小", QString(), QPoint(40, 30)), QString(" 2048 "));
    EXPECT_EQ(title, "文件大小");
    EXPECT_EQ(inputAt, QPoint(40, 30));
}

}  // namespace
}  // namespace tessel::shell::testing
