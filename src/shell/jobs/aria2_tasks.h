// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What an Aria2Job hands over and what comes back of it.

#include <QMetaType>
#include <QString>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "handoff/aria2_objects.h"
#include "handoff/handoff_command.h"

namespace tessel::shell {

struct Aria2JobTask {
    nlohmann::json uris = nlohmann::json::array();  // as aria2 gets them (escaped), mirrors of one file
    nlohmann::json options = nlohmann::json::object();
    QString name;  // what the user is told the file is called

    // The addUri of a hand-off task: its link, title, page and headers.
    static Aria2JobTask Of(const handoff::Aria2Task& task);
};

struct Aria2JobResult {
    QString name;
    QString gid;                // aria2's id of the task, when it took it
    handoff::Aria2Reply reply;  // aria2's answer for this task (or why none came)
    bool Ok() const { return !gid.isEmpty(); }
};

struct Aria2JobOutcome {
    handoff::Aria2Settings used;          // the address and secret the tasks went to
    bool own = false;                     // that aria2 is the one the program started
    std::vector<Aria2JobResult> results;  // one per task, in order
    // Why no aria2 was there to take them (then no result is ok).
    std::optional<handoff::Notice> failure;
};

}  // namespace tessel::shell
