// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// txtMessage: the hidden text box the clipboard text is written into.  It is
// never shown, so it keeps its text without laying it out: a text box that
// does would freeze the window for a second whenever another program copies
// a few megabytes.  Like a text box it reports a change only when the text
// really changes.
//
// No address anyone downloads comes near kMaxChars characters, so a longer
// text is kept as no text at all: it is never trimmed, compared or routed
// (routing it would copy it several times and lay it out in two pages), and
// the memory it took is given back as soon as the clipboard read is over.

#include <QString>
#include <QWidget>

namespace tessel::shell {

class ClipboardTextBox final : public QWidget {
    Q_OBJECT
 public:
    static constexpr qsizetype kMaxChars = 64 * 1024;
    static bool TooLong(const QString& text) { return text.size() > kMaxChars; }

    explicit ClipboardTextBox(QWidget* parent) : QWidget(parent) { hide(); }

    QString text() const { return text_; }
    void setText(const QString& text) {
        const QString& kept = TooLong(text) ? none_ : text;
        if (kept == text_) return;
        text_ = kept;
        emit textChanged(text_);
    }

 signals:
    void textChanged(const QString& text);

 private:
    QString text_;
    const QString none_;
};

}  // namespace tessel::shell
