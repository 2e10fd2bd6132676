// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The aria2 the hand-off reaches, made sure of before every hand-off: the
// one at Aria2Rpc when it answers, else, with Aria2Start=auto and a loopback
// address, an aria2c the program starts for itself (handoff/aria2_engine.h
// has the plan).  Every call to aria2 runs beside the user-interface thread;
// starting waits through the event loop.
//
//   engine.Ensure([](const Aria2Ready& ready) {
//       if (ready.ok) send to ready.settings; else tell ready.notice
//   });
//
// Ours listens on 127.0.0.1 only, knows its secret from a file of mode 0600
// (never its command line), keeps its session file in the state folder and
// never outlives the program: asked to save and shut down by Stop (the
// destructor), told by --stop-with-process and the parent-death signal
// otherwise.  An aria2 someone else started is never started, stopped or
// reconfigured.  One engine per user: a lock in the state folder.

#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "handoff/aria2_engine.h"
#include "handoff/aria2_objects.h"
#include "handoff/handoff_command.h"
#include "shell/jobs/aria2_tasks.h"
#include "shell/jobs/background_request.h"

namespace tessel::shell {

class SettingsStore;

struct Aria2Ready {
    bool ok = false;
    handoff::Aria2Settings settings;  // where aria2 answers (ok), or was looked for
    bool own = false;                 // the aria2 is ours
    // Why there is no aria2 to hand to, for a message box (not ok).
    std::optional<handoff::Notice> notice;
};

class Aria2Engine : public QObject {
    Q_OBJECT

 public:
    explicit Aria2Engine(SettingsStore& settings, QObject* parent = nullptr);
    ~Aria2Engine() override;

    // `done` gets, on this object's thread, an aria2 that answers or why
    // there is none.  Calls while one is under way wait for the same answer.
    void Ensure(std::function<void(const Aria2Ready&)> done);

    // At the program's start: when the session file holds unfinished tasks,
    // the engine is started so they go on.
    void ResumeUnfinished();

    // A download folder changed in the settings reaches ours at once, so the
    // next hand-off goes there; nothing when none of ours runs.  Another
    // aria2 is never reconfigured.
    void ApplyDownloadFolder();

    // The download folder `setting` (DownloadDir) names, else the desktop's,
    // created when missing, in `folder`; why it cannot be used, naming
    // DownloadDir, or "" when it can.
    static QString PrepareDownloadFolder(const QString& setting, std::string& folder);

    // Ours asked to save its session and end, then ended if it does not;
    // nothing when none of ours runs.  Blocks for a few seconds at most:
    // for the program's end.
    void Stop();

    bool OwnRunning() const { return process_ && process_->state() != QProcess::NotRunning; }
    qint64 OwnPid() const { return OwnRunning() ? process_->processId() : 0; }
    // The state folder (session file, lock) and the session file.
    static QString StateFolder();
    static QString SessionFile();

    // Every job's outcome goes out through TasksHanded.
    void NoteHanded(const Aria2JobOutcome& outcome) { emit TasksHanded(outcome); }

 signals:
    // Tasks were handed over (or not): one signal for every hand-off of the
    // program, whoever started it.
    void TasksHanded(const tessel::shell::Aria2JobOutcome& outcome);
    // Tasks ours read back from its session file when it started, to be
    // followed like those handed over; `used` is ours.
    void TasksResumed(const tessel::shell::Aria2JobOutcome& outcome);
    // For the status line: our engine started or moved to another port, the
    // session file was kept aside.
    void StatusChanged(const QString& text);
    // Ours ended by itself (not by Stop).
    void OwnEngineEnded();

 private:
    struct Probe {
        handoff::Aria2Reply reply;
        bool portInUse = false;  // something accepts connections at the port
    };
    void OnProbed(const handoff::Aria2Settings& settings, const Probe& probe);
    void StartOwn(handoff::Aria2Settings settings, int port, bool moved);
    void PollStarted();
    void OnStarted();
    void ReadyOwn();
    void FailStart(const QString& why);
    void Finish(const Aria2Ready& ready);
    handoff::Aria2Settings CurrentSettings() const;

    SettingsStore& settings_;
    std::vector<std::function<void(const Aria2Ready&)>> waiting_;
    bool busy_ = false;
    BackgroundRequest probe_;

    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QLockFile> lock_;
    handoff::Aria2Settings own_;  // where ours answers
    QString confFile_;
    std::string ownFolder_;  // where ours downloads to
    bool resumed_ = false;   // ours read its session file back
    QString moveNote_;       // said once ours answers on a port of its own
    QElapsedTimer startClock_;
    QTimer poll_;
    bool stopping_ = false;
};

}  // namespace tessel::shell
