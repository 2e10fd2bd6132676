// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/prompts.h"

#include <QInputDialog>
#include <QMessageBox>

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
    // The buttons' texts (是(&Y), 否(&N), 确定) come from Qt's Chinese catalogue.
    if (buttons != Buttons::Ok) {
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
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
    box.adjustSize();
    box.move(topLeft);
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    return box.textValue();
}

}  // namespace tessel::shell
