// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Message boxes and input boxes, behind one small interface so that the
// window's commands can be driven by scripted answers in tests.
//
// QtPrompts shows real Qt dialogs: a message box is centred over the main
// window (the placement is armed right before the box is shown, and only
// then); an input box is put at the position its caller asks for.

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

namespace tessel::shell {

class Prompts {
 public:
    // YesNoDefaultNo: for a question whose Yes acts outside the program
    // (starts a download) and that the user did not ask for (a link opened
    // from outside): Enter alone never says Yes, and keys typed before the
    // user could see the box are dropped (GuardAgainstStrayKeys).
    enum class Buttons { Ok, YesNo, YesNoDefaultNo };
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Answer { Ok, Yes, No };

    virtual ~Prompts() = default;

    // A modal message box; returns the button the user chose (closing a Yes/No
    // box by its title bar counts as No).
    virtual Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) = 0;

    // A Yes/No question over a list of items (addresses), Yes doing something
    // outside the program: default No.  The list scrolls when long.  The
    // plain form asks it as one message box with the items a line each.
    virtual Answer AskList(const QString& question, const QStringList& items, const QString& title) {
        return Message(question + QStringLiteral("\n\n") + items.join(QLatin1Char('\n')), title,
                       Buttons::YesNoDefaultNo, Icon::Question);
    }

    // A modal input box with `prompt`, `title` and the default text, whose
    // top-left corner goes to `topLeft` (screen pixels).  Cancel gives nothing.
    virtual std::optional<QString> Input(const QString& prompt, const QString& title,
                                         const QString& defaultText, QPoint topLeft) = 0;
};

class QtPrompts final : public Prompts {
 public:
    // `mainWindow` is the window message boxes are centred over and the parent
    // of every box.
    explicit QtPrompts(QWidget* mainWindow);

    Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    Answer AskList(const QString& question, const QStringList& items, const QString& title) override;
    std::optional<QString> Input(const QString& prompt, const QString& title, const QString& defaultText,
                                 QPoint topLeft) override;

 private:
    QPointer<QWidget> main_;
};

}  // namespace tessel::shell
