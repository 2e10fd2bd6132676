// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/prompts.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "shell/msgbox_placement.h"

namespace tessel::shell {

namespace {

QMessageBox::Icon ToQt(Prompts::Icon icon) {
    switch (icon) {
        case Prompts::Icon::Information:
            return QMessageBox::Information;
        case Prompts::Icon::Warning:
            return QMessageBox::Warning;
        case Prompts::Icon::Critical:
            return QMessageBox::Critical;
        case Prompts::Icon::Question:
            return QMessageBox::Question;
        case Prompts::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtPrompts::QtPrompts(QWidget* mainWindow) : main_(mainWindow) {}

Prompts::Answer QtPrompts::Message(const QString& text, const QString& title, Buttons buttons, Icon icon) {
    QMessageBox box(ToQt(icon), title, text,
                    buttons != Buttons::Ok ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, main_);
    // The interface is Chinese; the stock button texts are not.
    if (buttons != Buttons::Ok) {
        box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    }
    MsgBoxPlacement placement(main_);
    placement.Arm();
    const int result = box.exec();
    if (buttons == Buttons::Ok) return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> QtPrompts::Input(const QString& prompt, const QString& title,
                                        const QString& defaultText, QPoint topLeft) {
    QInputDialog box(main_);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    box.setInputMode(QInputDialog::TextInput);
    box.setOkButtonText(QStringLiteral("确定"));
    box.setCancelButtonText(QStringLiteral("取消"));
    box.adjustSize();
    box.move(topLeft);
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    return box.textValue();
}

}  // namespace tessel::shell
