// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/aria2_job.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>

#include "bridge/open_link.h"
#include "shell/jobs/aria2_engine_process.h"
#include "shell/ui/prompts.h"
#include "shell/ui/status_line.h"
#include "text/codepage.h"
#include "text/prompt_title.h"

namespace tessel::shell {

Aria2JobTask Aria2JobTask::Of(const handoff::Aria2Task& task) {
    const handoff::Aria2MethodCall call = handoff::AddUriCall(task);
    QString name = QString::fromStdU16String(handoff::Aria2TaskName(task));
    if (name.isEmpty()) name = QString::fromStdU16String(task.link);
    return {call.params[0], call.params[1], name};
}

Aria2Job::Aria2Job(Aria2Engine& engine, std::vector<Aria2JobTask> tasks, QObject* parent)
    : QObject(parent), engine_(engine), tasks_(std::move(tasks)) {}

Aria2Job::~Aria2Job() {
    if (busy_) QGuiApplication::restoreOverrideCursor();
}

void Aria2Job::Start() {
    busy_ = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    engine_.Ensure([self = QPointer<Aria2Job>(this)](const Aria2Ready& ready) {
        if (!self) return;
        Aria2Job& job = *self;
        job.outcome_.used = ready.settings;
        job.outcome_.own = ready.own;
        if (!ready.ok) {
            job.outcome_.failure = ready.notice;
            for (const Aria2JobTask& task : job.tasks_) job.outcome_.results.push_back({task.name, {}, {}});
            job.Done();
            return;
        }
        std::vector<handoff::Aria2MethodCall> calls;
        for (const Aria2JobTask& task : job.tasks_)
            calls.push_back({"aria2.addUri", nlohmann::json::array({task.uris, task.options})});
        job.request_.Start<std::vector<handoff::Aria2Reply>>(
            [settings = ready.settings, calls = std::move(calls)](const web::RequestAbort& abort) {
                // One task goes as itself: its answer reads like any call's.
                if (calls.size() == 1)
                    return std::vector<handoff::Aria2Reply>{handoff::Aria2Call(
                        settings, calls[0].method, calls[0].params, handoff::kAria2Timeout, &abort)};
                return handoff::Aria2Multicall(settings, calls, handoff::kAria2Timeout, &abort);
            },
            [&job](std::vector<handoff::Aria2Reply> replies) {
                for (std::size_t i = 0; i < job.tasks_.size(); ++i) {
                    Aria2JobResult result{
                        job.tasks_[i].name, {}, i < replies.size() ? replies[i] : handoff::Aria2Reply{}};
                    if (result.reply.status == handoff::Aria2Status::Ok && result.reply.result.is_string())
                        result.gid = QString::fromStdString(result.reply.result.get<std::string>());
                    else if (result.reply.status == handoff::Aria2Status::Ok) {
                        result.reply.status = handoff::Aria2Status::NotAria2;
                        result.reply.error = "回答里没有任务编号";
                    }
                    job.outcome_.results.push_back(std::move(result));
                }
                job.Done();
            });
    });
}

void Aria2Job::Done() {
    if (busy_) QGuiApplication::restoreOverrideCursor();
    busy_ = false;
    emit Finished(outcome_);
    engine_.NoteHanded(outcome_);
    deleteLater();
}

QString HandedText(const std::vector<Aria2JobResult>& results) {
    std::vector<const Aria2JobResult*> taken;
    for (const Aria2JobResult& r : results) {
        if (r.Ok()) taken.push_back(&r);
    }
    if (taken.empty()) return {};
    if (results.size() == 1) return QStringLiteral("已交给 aria2：") + taken.front()->name;
    return QStringLiteral("已交给 aria2：%1 个地址").arg(taken.size());
}

void HandToAria2(Aria2Engine& engine, std::vector<Aria2JobTask> tasks, StatusLine& status, Prompts& prompts,
                 QObject* parent) {
    if (tasks.empty()) return;
    auto* job = new Aria2Job(engine, std::move(tasks), parent);
    status.Show(QStringLiteral("正在交给 aria2…"));
    QObject::connect(job, &Aria2Job::Finished, parent, [&status, &prompts](const Aria2JobOutcome& outcome) {
        status.Show(HandedText(outcome.results));
        std::optional<handoff::Notice> notice = outcome.failure;
        std::vector<std::pair<std::u16string, std::u16string>> refused;
        for (const Aria2JobResult& r : outcome.results) {
            if (notice || r.Ok()) continue;
            // aria2 answered and refused this one task; anything else means
            // nothing reached it, and the message of a single hand-off says
            // why and what to do.
            if (r.reply.status == handoff::Aria2Status::Error && outcome.results.size() > 1)
                refused.emplace_back(r.name.toStdU16String(), text::FromUtf8(r.reply.error));
            else
                notice = handoff::FailureNotice(handoff::Aria2Error(u"tessel", outcome.used, r.reply));
        }
        if (!notice && !refused.empty())
            notice = handoff::Notice{std::u16string(text::kPromptTitle), bridge::RefusedTasksText(refused)};
        if (notice)
            prompts.Message(QString::fromStdU16String(notice->text), QString::fromStdU16String(notice->title),
                            Prompts::Buttons::Ok, Prompts::Icon::Warning);
    });
    job->Start();
}

}  // namespace tessel::shell
