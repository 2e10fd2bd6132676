// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/background_request.h"

#include <QCursor>
#include <QGuiApplication>

#include "web/reply_file.h"

namespace tessel::shell {

namespace {
int g_running = 0;  // touched on the user-interface thread only
}  // namespace

int BackgroundRequest::RunningCount() { return g_running; }

void BackgroundRequest::BeginBusy() {
    if (g_running++ == 0) QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
}

void BackgroundRequest::EndBusy() {
    if (--g_running == 0) QGuiApplication::restoreOverrideCursor();
}

void BackgroundRequest::Finish() {
    if (!worker_.joinable()) return;
    worker_.join();
    EndBusy();
    emit RunningChanged(false);
}

void BackgroundRequest::Abort() {
    if (!worker_.joinable()) return;
    abort_->Raise();
    Finish();
}

void BackgroundRequest::LockWhileRunning(QWidget* control) {
    connect(this, &BackgroundRequest::RunningChanged, control,
            [control](bool on) { control->setEnabled(!on); });
}

web::ReplyFetch RecordedReplyFetch(std::string_view name, const web::RequestAbort& abort,
                                   FetchRecord& record) {
    web::DownloadOptions options;
    options.abort = &abort;
    return [path = web::ReplyPath(name), options, &record](const std::u16string& url) {
        record.url = url;
        web::ReplyText reply = web::FetchReplyText(url, path, options);
        record.download = reply.end;
        return std::move(reply.text);
    };
}

}  // namespace tessel::shell
