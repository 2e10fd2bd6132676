// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Links and addresses the desktop asks the window to open: from the command
// line of the first start and from every later start.  Each brings the window
// to the front, is routed as if copied (whether or not the clipboard watcher
// is on), shows its page, and an address aria2 can fetch is offered behind a
// question whose default answer is No; an ed2k link is offered to the
// desktop's ed2k program the same way.
//
// Texts that arrive together (one start's arguments, later starts within a
// second of each other, the lines of one text) are one batch: one question
// for all its addresses, and one hand-over.  A batch arriving while a
// question is open waits for it.  At most kMaxPending texts wait; a burst
// beyond that is told on the status line, never handled in part unseen.

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <string>
#include <vector>

namespace tessel::handoff {
struct Aria2Task;
}  // namespace tessel::handoff

namespace tessel::shell {

class FrmMain;

class LinkOpener : public QObject {
    Q_OBJECT

 public:
    explicit LinkOpener(FrmMain& window, QObject* parent = nullptr);

    static constexpr std::size_t kMaxPending = 32;
    // Texts arriving closer together than this are one batch.
    static constexpr int kGatherMs = 1000;

    // Empty: only brings the window to the front.
    void Open(const QStringList& texts);
    std::size_t Dropped() const { return dropped_; }

 signals:
    // Every text taken from the queue has been handled (tests wait on it).
    void Idle();

 private:
    void BringToFront();
    void Drain();
    void OpenBatch(const QStringList& texts);
    void OfferToAria2(const std::vector<handoff::Aria2Task>& tasks, const std::vector<std::u16string>& names);
    void OfferToEd2kProgram(std::vector<std::u16string> links);
    void EndIfIdle();

    FrmMain& w_;
    std::deque<QString> pending_;
    QTimer gather_;
    bool busy_ = false;
    int ed2kLookups_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace tessel::shell
