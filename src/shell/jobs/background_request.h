// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One network request at a time run beside the user-interface thread: the
// request code (Qt-free) runs on a thread of its own, and its result is
// handed back on the thread the object lives in, where the boxes are
// written.  While it runs, the pointer over the program's windows is busy.
//
//   BackgroundRequest parse_;
//   parse_.Start<Result>([input](const web::RequestAbort& abort) { return Fetch(input, abort); },
//                        [this](Result r) { Apply(r); });
//
// Abort (also the destructor) raises the request's abort signal and waits
// for the thread, which the request code ends within a poll interval; the
// result of an aborted request is dropped.

#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "web/curl_session.h"
#include "web/download_to_file.h"
#include "web/services.h"

namespace tessel::shell {

class BackgroundRequest final : public QObject {
    Q_OBJECT
 public:
    explicit BackgroundRequest(QObject* parent = nullptr) : QObject(parent) {}
    ~BackgroundRequest() override { Abort(); }

    bool Running() const { return worker_.joinable(); }

    // Starts `work` unless a request runs already (false then, and nothing
    // happens).  `done` gets the result on this object's thread.
    template <class Result>
    bool Start(std::function<Result(const web::RequestAbort&)> work, std::function<void(Result)> done) {
        if (Running()) return false;
        abort_ = std::make_shared<web::RequestAbort>();
        auto result = std::make_shared<std::optional<Result>>();
        BeginBusy();
        worker_ = std::thread([this, abort = abort_, result, work = std::move(work), done = std::move(done)] {
            *result = work(*abort);
            // The receiver outlives the thread (Abort joins it first), and an
            // event still queued when it goes is dropped with it.
            QMetaObject::invokeMethod(
                this,
                [this, abort, result, done] {
                    if (abort != abort_) return;  // aborted, perhaps followed by another
                    Finish();
                    if (!abort->Raised() && *result) done(std::move(**result));
                },
                Qt::QueuedConnection);
        });
        emit RunningChanged(true);
        return true;
    }

    // Ends the running request, if any, without its result.
    void Abort();

    // `control` is unavailable while a request runs, so that the command it
    // starts is not asked for twice.
    void LockWhileRunning(QWidget* control);

    // Number of requests running in the whole program.
    static int RunningCount();

 signals:
    void RunningChanged(bool running);

 private:
    void Finish();
    static void BeginBusy();
    static void EndBusy();

    std::thread worker_;
    std::shared_ptr<web::RequestAbort> abort_;
};

// What a request for a service's reply asked, and how its download ended,
// for the status line.
struct FetchRecord {
    std::u16string url;  // empty when nothing was asked
    web::FetchEnd download = web::FetchEnd::Complete;
};

// The one-call download into the reply file `name`: bounded in time and
// size, ended by `abort`, the file deleted once read.  No reply folder means
// no download, which reads as a failed one.  Each call notes in `record` the
// address it asked and how the download ended.
web::ReplyFetch RecordedReplyFetch(std::string_view name, const web::RequestAbort& abort,
                                   FetchRecord& record);

}  // namespace tessel::shell
