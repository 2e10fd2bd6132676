// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// txtMessage: the hidden text box the clipboard text is written into.  It is
// never shown, so it keeps its text without laying it out: a text box that
// does would freeze the window for a second whenever another program copies
// a few megabytes.  Like a text box it reports a change only when the text
// really changes.

#include <QString>
#include <QWidget>

namespace tessel::shell {

class ClipboardTextBox final : public QWidget {
    Q_OBJECT
 public:
    explicit ClipboardTextBox(QWidget* parent) : QWidget(parent) { hide(); }

    QString text() const { return text_; }
    void setText(const QString& text) {
        if (text == text_) return;
        text_ = text;
        emit textChanged(text_);
    }

 signals:
    void textChanged(const QString& text);

 private:
    QString text_;
};

}  // namespace tessel::shell
