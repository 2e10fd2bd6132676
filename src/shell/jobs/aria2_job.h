// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tasks handed to aria2 beside the user-interface thread: the engine made
// sure of (started when it is ours to start), then every task added in one
// system.multicall.  The busy pointer shows from Start to Finished.
//
//   auto* job = new Aria2Job(engine, {Aria2JobTask::Of(task)}, this);
//   connect(job, &Aria2Job::Finished, this, [](const Aria2JobOutcome& o) { ... });
//   job->Start();   // the job deletes itself after Finished
//
// Every outcome also goes out through Aria2Engine::TasksHanded, for whoever
// follows the tasks from there on.

#include <QObject>
#include <QString>
#include <vector>

#include "shell/jobs/aria2_tasks.h"
#include "shell/jobs/background_request.h"

namespace tessel::shell {

class Aria2Engine;
class Prompts;
class StatusLine;

class Aria2Job : public QObject {
    Q_OBJECT

 public:
    Aria2Job(Aria2Engine& engine, std::vector<Aria2JobTask> tasks, QObject* parent = nullptr);
    ~Aria2Job() override;

    void Start();

 signals:
    void Finished(const tessel::shell::Aria2JobOutcome& outcome);

 private:
    void Done();

    Aria2Engine& engine_;
    std::vector<Aria2JobTask> tasks_;
    Aria2JobOutcome outcome_;
    BackgroundRequest request_;
    bool busy_ = false;
};

// The hand-off as the window does it: the tasks go to aria2 while the status
// line says so; then it names what was handed over ("已交给 aria2：" and the
// name, or how many), and a message box says what went wrong: why no aria2
// took them (as the hand-off always has), or which of several aria2 refused.
void HandToAria2(Aria2Engine& engine, std::vector<Aria2JobTask> tasks, StatusLine& status, Prompts& prompts,
                 QObject* parent);

// The status line after a hand-off: "已交给 aria2：a.iso" for one task taken,
// "已交给 aria2：3 个地址" for several; empty when none was.
QString HandedText(const std::vector<Aria2JobResult>& results);

}  // namespace tessel::shell
