// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/prompts.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <algorithm>

#include "shell/ui/msgbox_placement.h"
#include "shell/ui/plain_text.h"
#include "shell/ui/stray_keys.h"

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
    // The text is given only once the box shows plain text: it often carries
    // what a service, aria2 or a link sent.
    QMessageBox box(ToQt(icon), PlainCut(title), QString(),
                    buttons != Buttons::Ok ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, main_);
    ShowPlain(&box, text);
    // The buttons' texts (是(&Y), 否(&N), 确定) come from Qt's Chinese catalogue.
    if (buttons != Buttons::Ok) {
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    if (buttons == Buttons::YesNoDefaultNo) GuardAgainstStrayKeys(&box);
    MsgBoxPlacement placement(main_);
    placement.Arm();
    const int result = box.exec();
    if (buttons == Buttons::Ok) return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

Prompts::Answer QtPrompts::AskList(const QString& question, const QStringList& items, const QString& title) {
    QMessageBox box(QMessageBox::Question, PlainCut(title), QString(), QMessageBox::Yes | QMessageBox::No,
                    main_);
    ShowPlain(&box, question);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    // Raised by links from outside, like the single link's question.
    GuardAgainstStrayKeys(&box);
    // The addresses in a read-only box of their own between the question and
    // the buttons: it scrolls, so thirty long addresses still fit the screen.
    auto* list = new QPlainTextEdit(PlainCut(items.join(QLatin1Char('\n'))), &box);
    list->setObjectName(QStringLiteral("txtAddresses"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    const int lines = static_cast<int>(std::min<qsizetype>(items.size(), 10));
    list->setMinimumSize(480, list->fontMetrics().lineSpacing() * lines + 12);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        auto* buttons = box.findChild<QDialogButtonBox*>();
        const int row = grid->rowCount();
        if (buttons) grid->removeWidget(buttons);
        grid->addWidget(list, row, 0, 1, grid->columnCount());
        if (buttons) grid->addWidget(buttons, row + 1, 0, 1, grid->columnCount());
    }
    MsgBoxPlacement placement(main_);
    placement.Arm();
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> QtPrompts::Input(const QString& prompt, const QString& title,
                                        const QString& defaultText, QPoint topLeft) {
    QInputDialog box(main_);
    box.setWindowTitle(PlainCut(title));
    ShowPlain(&box, prompt);
    box.setTextValue(defaultText);
    box.setInputMode(QInputDialog::TextInput);
    box.adjustSize();
    box.move(topLeft);
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    return box.textValue();
}

}  // namespace tessel::shell
