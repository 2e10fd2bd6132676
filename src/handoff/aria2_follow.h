// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Following the tasks handed to aria2 until they end: the messages that go
// over aria2's WebSocket (its own notifications, our requests and their
// answers), what a task's status says, what the user is told when it ends,
// and the tray's progress text.  Plain functions; the window's follower
// (Qt WebSockets, D-Bus notifications) only moves these texts around.
//
//   Aria2WsAddress(u"http://127.0.0.1:6800/jsonrpc")   -> "ws://127.0.0.1:6800/jsonrpc"
//   ParseAria2Message(R"({"method":"aria2.onDownloadComplete","params":[{"gid":"2089b05ecca3d829"}]})")
//       -> event Complete for that gid
//   EndOfTask(status, u"a.iso")  -> {"下载完成", "a.iso", folder of the file}

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "handoff/aria2_settings.h"

namespace tessel::handoff {

// The WebSocket address of the JSON-RPC address: http -> ws, https -> wss,
// the same host, port and path.  "" when the address is neither.
std::string Aria2WsAddress(std::u16string_view rpc);

// What aria2 says about a task without being asked.
enum class Aria2Event { Start, Pause, Stop, Complete, BtComplete, Error };

// One message read from the WebSocket: a notification, or the answer to the
// request with id `id`.
struct Aria2Message {
    enum class Kind { Notification, Answer, Unknown };
    Kind kind = Kind::Unknown;
    Aria2Event event = Aria2Event::Start;  // Notification
    std::string gid;                       // Notification
    std::uint64_t id = 0;                  // Answer
    bool ok = false;                       // Answer: result (true) or error (false)
    std::string result;                    // Answer: the "result" member as JSON text
    std::string error;                     // Answer: aria2's error message
};

// Never raises: anything that is not one of aria2's messages is Unknown.
Aria2Message ParseAria2Message(std::string_view text);

// The text of a JSON-RPC request with the numeric `id`; the token goes first
// when a secret is set.  `paramsJson` is a JSON array of the other
// parameters ("[]" for none).
std::string Aria2Request(std::uint64_t id, std::string_view method, std::u16string_view secret,
                         std::string_view paramsJson);

// The keys asked of aria2.tellStatus: only what following needs.
inline constexpr std::string_view kFollowKeys =
    R"(["gid","status","totalLength","completedLength","errorCode","errorMessage","files","followedBy"])";

// aria2.tellStatus for each of `gids` in one system.multicall.
std::string Aria2StatusRequest(std::uint64_t id, std::u16string_view secret,
                               const std::vector<std::string>& gids);

struct Aria2TaskStatus {
    enum class State { Active, Waiting, Paused, Complete, Error, Removed, Unknown };
    State state = State::Unknown;
    std::uint64_t total = 0;              // bytes; 0 until aria2 knows
    std::uint64_t completed = 0;          // bytes
    std::string path;                     // the first file's path (UTF-8), "" until aria2 names it
    std::string errorMessage;             // aria2's own words for a failed task
    std::vector<std::string> followedBy;  // tasks a finished metadata download started
};

// One task's answer to tellStatus (a JSON object).  Nothing when it is not one.
std::optional<Aria2TaskStatus> ParseTaskStatus(std::string_view json);

// The answers of one Aria2StatusRequest, in the order of its gids: a status
// each, or nothing for a gid aria2 no longer knows (removed and purged, an
// engine restarted without its session).  Empty when `resultJson` is not such
// an answer.
std::vector<std::optional<Aria2TaskStatus>> ParseStatusAnswers(std::string_view resultJson,
                                                               std::size_t count);

// What a user is told about a task that ended: summary, body and, for a
// finished download, the file to show in its folder.
struct TaskEnding {
    std::u16string summary;
    std::u16string body;
    std::string file;  // UTF-8 path; "" for a failed task
};

inline constexpr std::u16string_view kDoneSummary = u"下载完成";
inline constexpr std::u16string_view kFailedSummary = u"下载失败";

// Nothing while the task runs, waits or is paused, or was removed by the
// user (who knows already), or has handed over to the tasks it started.
// `name` is the name the task was handed over with, used when aria2 has not
// named a file.
std::optional<TaskEnding> EndOfTask(const Aria2TaskStatus& status, std::u16string_view name);

// The last part of a path or of a link's path ("" when there is none),
// query and fragment cut off, percent escapes left as they are.
std::u16string FileNameOf(std::u16string_view pathOrLink);

// The tray's tooltip while tasks run: "Tessel V2 — 2 个下载 45%"; without
// the percentage while no size is known.  Sizes count only for tasks whose
// size is known.
struct TaskProgress {
    std::uint64_t total = 0;
    std::uint64_t completed = 0;
};
std::u16string ProgressText(std::u16string_view programName, const std::vector<TaskProgress>& tasks);

// Seconds to wait before trying again to reach an engine that did not answer,
// after `failures` failures in a row: 2, 4, 8 ... up to five minutes.
std::chrono::seconds RetryDelay(int failures);

}  // namespace tessel::handoff
