// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window's pages are built from: controls placed in twips (15 to
// the pixel, halves to even) on white, the classic frame, the text of a text
// box in the program's form, the clipboard and double-click handlers.

#include <QGroupBox>
#include <QRect>
#include <QString>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tessel::controls {
class SkButton;
}

namespace tessel::shell {

// A rectangle in twips, in pixels.
QRect Px(double left, double top, double width, double height);

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Frames, labels, check and option buttons all sit on white.
void White(QWidget* w);

// A frame drawn the classic way: one line around the contents that runs
// through the middle of the caption, which sits near the left on the
// frame's own background.  The children are placed absolutely, so the
// caption takes no room from them.
class FrameBox : public QGroupBox {
 public:
    FrameBox(const QString& caption, QWidget* parent);
    // A page's or area's frame: named, on white.
    FrameBox(const char* name, const QString& caption, QWidget* parent);

 protected:
    void paintEvent(QPaintEvent*) override;
};

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption, QRect px);
QLabel* Label(QWidget* parent, const char* name, const QString& caption, QRect px);
QLineEdit* Line(QWidget* parent, const char* name, QRect px, const QString& tip = {});
QPlainTextEdit* Multi(QWidget* parent, const char* name, QRect px, const QString& tip = {});
controls::SkButton* Button(QWidget* parent, const char* name, const QString& caption, double left, double top,
                           double width, double height);

// The tooltips of the boxes that paste and copy on a double-click.
QString PasteTip();
QString CopyTip();

// The two text areas of the conversion and video pages, one above the
// other at the page's left, each a frame `width` by 1095 twips holding a
// multi-line box and, right of it, its button `buttonWidth` twips wide.  The
// upper one takes the text in: a click on its button ("粘贴入") or a
// double-click on its box runs `paste`.  The lower one shows the result,
// read-only: its button ("复制出") and a double-click copy its text.
struct AreaNames {
    const char* frame;
    const char* box;
    const char* button;
    QString caption;
};
struct TextAreas {
    QPlainTextEdit* in;
    QPlainTextEdit* out;
};
TextAreas AddTextAreas(QWidget* page, double width, double buttonWidth, const AreaNames& in,
                       const AreaNames& out, std::function<void()> paste);

// Buttons one above the other in `frame`, each `width` by `height` twips at
// `left`, made in the order given (the order Tab follows).
struct ColumnButton {
    const char* name;
    QString caption;
    double top;
    std::function<void()> click;
};
std::vector<controls::SkButton*> AddButtonColumn(QWidget* frame, double left, double width, double height,
                                                 std::initializer_list<ColumnButton> buttons);

// The most the program itself writes into one text box, in UTF-16 code
// units (65536, "64 Ki characters").  Laying out text costs time in
// proportion to its length at best; no address comes near this, while a
// hostile reply or setting could hold megabytes.
inline constexpr qsizetype kBoxTextLimit = 65536;
// What the status line says when a text of `total` units was cut.
QString BoxCutMessage(qsizetype total);
// `text` cut to kBoxTextLimit units, never inside a surrogate pair.
QString FitBoxText(QString text);
// Where the boxes of `window` say that a text was cut (its status line).
void OnBoxCut(QWidget* window, std::function<void(const QString&)> show);

// The text of a text box in the program's form (line breaks as CR LF), and
// the reverse.  Writing cuts at kBoxTextLimit and says so.
std::u16string BoxText(const QPlainTextEdit* box);
std::u16string BoxText(const QLineEdit* box);
void SetBoxText(QPlainTextEdit* box, std::u16string_view text);
void SetBoxText(QLineEdit* box, std::u16string_view text);
// What BoxText gives back after SetBoxText(multi-line box, text).
std::u16string FittedBoxText(std::u16string_view text);

// Clears the clipboard and puts `text` on it as plain text.
void PutOnClipboard(const QString& text);
// The text of `box` onto the clipboard, shown selected; nothing when empty.
void CopyBoxText(QPlainTextEdit* box);
// The clipboard's plain text ("" when it holds none).
QString ClipboardText();

// Lets pending window events run (the pump of long operations).
void PumpEvents();

// Runs `handler` on every double-click on `w` (for a multi-line box, pass its
// viewport).  The filter lives as long as `w`.
void OnDoubleClick(QWidget* w, std::function<void()> handler);

// Lets `label` take the focus from the keyboard (Tab, not a click, so the
// mouse works as before) and runs `handler` on Enter or Space while it has
// it.  The focused label is drawn in the selection colours.  For the labels
// that act on a double-click, so that they can be used without a mouse.
void ActOnKeys(QLabel* label, std::function<void()> handler);

inline QString Q(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace tessel::shell
