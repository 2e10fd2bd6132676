// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Prompts answered from a script, with a record of every box that was asked.

#include <QPoint>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "shell/ui/prompts.h"

namespace tessel::shell::testing {

class ScriptedPrompts final : public Prompts {
 public:
    struct Asked {
        bool input = false;
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString defaultText;
        QPoint topLeft;
    };

    std::deque<Answer> answers;  // for message boxes (Ok when empty)
    std::deque<QString> inputs;  // for input boxes; a null text (or none) cancels
    std::vector<Asked> asked;

    Answer Message(const QString& text, const QString& title, Buttons buttons, Icon icon) override {
        asked.push_back({false, text, title, buttons, icon, {}, {}});
        if (answers.empty()) return Answer::Ok;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::optional<QString> Input(const QString& prompt, const QString& title, const QString& defaultText,
                                 QPoint topLeft) override {
        asked.push_back({true, prompt, title, Buttons::Ok, Icon::None, defaultText, topLeft});
        if (inputs.empty()) return std::nullopt;
        const QString a = inputs.front();
        inputs.pop_front();
        if (a.isNull()) return std::nullopt;
        return a;
    }
};

}  // namespace tessel::shell::testing
