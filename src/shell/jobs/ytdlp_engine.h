// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// yt-dlp run beside the window: one `yt-dlp -J` process per parse, never
// through a shell, bounded in time and in output, its report read by the web
// library once it ends, on a pool thread: a playlist's report of megabytes
// takes the reader a good part of a second, which the window spends painting.
//
//   YtDlpEngine engine;
//   connect(&engine, &YtDlpEngine::Finished, ..., [](const web::YtDlpReply& r) { ... });
//   engine.Start(FindYtDlp(configured), address, std::chrono::seconds(30));
//
// Finished comes exactly once per accepted Start, on the thread the engine
// lives in; `error` of a failed reply is one line for the status line.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "web/ytdlp_reply.h"

class QProcess;
template <typename T>
class QFutureWatcher;

namespace tessel::shell {

// The yt-dlp executable to run: `configured` (the YtDlpPath setting) when set:
// a path, "~/" meaning the home folder, or a name looked up on PATH;
// otherwise the first "yt-dlp" on PATH, then ~/.local/bin/yt-dlp, where pip
// puts it.  "" when there is none that can be run.
QString FindYtDlp(const QString& configured);

class YtDlpEngine : public QObject {
    Q_OBJECT
 public:
    explicit YtDlpEngine(QObject* parent = nullptr);
    // A run still going is killed with everything it started.
    ~YtDlpEngine() override;

    // Starts `program` for the page `address`.  Refused (false, nothing else
    // happens) while a run is going; a program that cannot be started ends
    // in Finished with a failure like any other run.
    bool Start(const QString& program, std::u16string_view address, std::chrono::milliseconds timeout);
    // From Start until Finished, the reading of the report included.
    bool Running() const { return process_ != nullptr || reading_ != nullptr; }

 signals:
    void Finished(const tessel::web::YtDlpReply& reply);

 private:
    void ReadOutput();
    void ReadErrors();
    void Stop(std::u16string why);
    void Done(int exitCode, bool crashed);
    // Reads the report beside the window thread; Finished follows.  The
    // reading owns the report: an engine destroyed meanwhile only drops the
    // reply.
    void ReadReport(QByteArray report);
    void Deliver();

    // A process yt-dlp started: its id and start time, which tell it from a
    // later process given the same id.
    struct Descendant {
        qint64 pid;
        quint64 start;
    };
    static std::vector<Descendant> DescendantsOf(qint64 root);
    // Remembers the processes under yt-dlp now: one that leaves its group
    // (setsid) is found here while its parents still lead to yt-dlp.
    void NoteDescendants();
    // Ends the remembered processes and yt-dlp's group.
    void EndDescendants();

    std::unique_ptr<QProcess> process_;
    qint64 pid_ = 0;                // yt-dlp's, which is also its group's
    std::vector<Descendant> seen_;  // started by yt-dlp, seen while it ran
    QTimer timer_;
    QTimer watch_;  // looks at what yt-dlp started, four times a second
    QByteArray output_;
    QByteArray errors_;
    std::u16string failure_;  // set when the run was stopped by us
    std::chrono::milliseconds timeout_{0};
    QFutureWatcher<web::YtDlpReply>* reading_ = nullptr;  // a child while the report is read
};

}  // namespace tessel::shell
