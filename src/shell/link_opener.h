// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Links and addresses the desktop asks the window to open: from the command
// line of the first start and from every later start.  Each brings the window
// to the front, is routed as if copied (whether or not the clipboard watcher
// is on), shows its page, and an address aria2 can fetch is offered behind a
// question whose default answer is No.
//
// Texts are handled one at a time: a text arriving while a question is open
// waits for it.  At most kMaxPending wait; a burst beyond that is dropped, so
// a flood of starts cannot stack up questions without end.

#include <QObject>
#include <QStringList>
#include <deque>

namespace tessel::shell {

class FrmMain;

class LinkOpener : public QObject {
    Q_OBJECT

 public:
    explicit LinkOpener(FrmMain& window, QObject* parent = nullptr);

    static constexpr std::size_t kMaxPending = 32;

    // Empty: only brings the window to the front.
    void Open(const QStringList& texts);
    std::size_t dropped() const { return dropped_; }

 signals:
    // Every text taken from the queue has been handled (tests wait on it).
    void Idle();

 private:
    void BringToFront();
    void Drain();
    void OpenOne(const QString& text);

    FrmMain& w_;
    std::deque<QString> pending_;
    bool busy_ = false;
    std::size_t dropped_ = 0;
};

}  // namespace tessel::shell
