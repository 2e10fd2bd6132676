// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one way to show text that came from outside the program: replies of
// the services, yt-dlp's and aria2's reports, links and addresses, file
// names, settings, the clipboard.  Qt takes a text that looks like HTML for
// rich text in labels, tooltips and message boxes, and then a reply of a few
// dozen nested tables freezes the window, an <img> reads whatever file it
// names and a link opens the browser.  So every such text reaches a widget
// through these helpers: shown exactly as it stands, never as markup, and cut
// to kBoxTextLimit before a widget lays it out.  Text boxes (QLineEdit,
// QPlainTextEdit) never take markup; fill them with SetBoxText, which cuts.
//
//   ShowPlain(lblIP, caption);     // a label
//   ShowPlain(&box, question);     // a message box's text, an input box's prompt
//   SetPlainTip(imgTip, title);    // a tooltip: toolTip() keeps the text itself
//
// A label or box takes a text as markup the moment it is given one (its
// constructor, setText), so outside text is never given any other way.

#include <QString>

class QInputDialog;
class QLabel;
class QMessageBox;
class QWidget;

namespace tessel::shell {

// `text` cut to kBoxTextLimit units (see FitBoxText).
QString PlainCut(QString text);

// `label` shows `text`, cut, as plain text.
void ShowPlain(QLabel* label, const QString& text);
// The message box's text, the input box's prompt.
void ShowPlain(QMessageBox* box, const QString& text);
void ShowPlain(QInputDialog* box, const QString& prompt);

// `w`'s tooltip is `text`, cut; it is shown as it stands.  w->toolTip() gives
// the text back, so the tooltip may carry data (a title to copy).  A tooltip
// set later with setToolTip is shown the same way.
void SetPlainTip(QWidget* w, const QString& text);

// What to hand QToolTip::showText so that it shows `text` (cut) as it
// stands: `text` itself where Qt would not take it for markup, so ordinary
// texts look as they always did, else its characters escaped inside a
// paragraph that keeps spaces and line breaks.
QString PlainTip(const QString& text);

}  // namespace tessel::shell
