// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The aria2 the program starts for itself when none answers, as a plan: when
// it may be started at all, its arguments, the configuration file that
// carries the secret (kept off the command line, which every local user can
// read), the download folder, and what the session file says.  The window
// runs the plan; nothing here starts a process or touches a file.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "handoff/aria2_reply.h"
#include "handoff/aria2_rpc.h"
#include "handoff/aria2_settings.h"

namespace tessel::handoff {

enum class Aria2StartMode {
    Auto,   // start our own when nothing answers at a loopback address
    Never,  // only ever talk to an aria2 someone else started
};

// "never" (any case, blanks around) is Never; anything else, the empty text
// included, is Auto.
Aria2StartMode ParseAria2Start(std::u16string_view value);

// The port of an address our own aria2 can serve: http (never https: we have
// no certificate to give it), a loopback host, the path "/jsonrpc".  Nothing
// for any other address: a daemon elsewhere is never ours to start.
std::optional<int> OwnEnginePort(std::u16string_view rpc);

// `rpc` with its port replaced (the address stays as the user wrote it
// otherwise).
std::u16string RpcWithPort(std::u16string_view rpc, int port);

// XDG_DOWNLOAD_DIR from the text of user-dirs.dirs, "$HOME" expanded to
// `home`; nothing when the file does not set it, sets it to the home folder
// itself (the way to switch it off), or to a relative path.
std::optional<std::string> XdgDownloadDir(std::string_view userDirs, std::string_view home);

struct DownloadFolder {
    enum class Source { Setting, Xdg, Fallback };
    std::string path;
    Source source = Source::Fallback;
};

// DownloadDir when set ("~/" expanded), else the XDG download folder, else
// ~/Downloads.
DownloadFolder ChooseDownloadFolder(std::u16string_view setting, const std::optional<std::string>& xdg,
                                    std::string_view home);

// $XDG_STATE_HOME/tessel, with ~/.local/state when the variable is unset or
// not an absolute path.
std::string EngineStateFolder(std::string_view xdgStateHome, std::string_view home);

enum class SessionState {
    Empty,       // no task to bring back
    Unfinished,  // tasks aria2 will resume
    Damaged,     // not a session file aria2 wrote: kept aside, not read
};

// Session files beyond this are not ours (a task takes a few hundred bytes).
inline constexpr std::size_t kMaxSessionBytes = 16 * 1024 * 1024;

// aria2's session file: lines of addresses (tab between mirrors), each
// followed by its options, indented by a blank, as "name=value".
SessionState CheckSession(std::string_view text);

// A secret of kSecretBytes random bytes as lower-case hex.  Fewer bytes give
// an empty text: a short secret is no secret.
inline constexpr std::size_t kSecretBytes = 16;  // 128 bits
std::string SecretFromRandom(std::span<const unsigned char> random);

// A secret our aria2 can be given in its configuration file: one line of
// printable characters (a line break would start an option of its own).
bool IsUsableOwnSecret(std::u16string_view secret);

struct EngineInput {
    int port = 6800;
    std::string secret;
    std::string downloadFolder;
    std::string sessionFile;
    bool resume = false;  // the session file holds tasks to read back
    std::string confFile;
    std::int64_t ownerPid = 0;
};

struct EnginePlan {
    std::vector<std::string> arguments;  // after the program name
    std::string confText;                // for confFile, mode 0600
};

EnginePlan PlanEngine(const EngineInput& in);

// The calls that list what an engine just started holds: its running,
// waiting and stopped tasks, all read back from its session file (nothing
// else has reached it yet).
std::vector<Aria2MethodCall> ResumedTaskCalls();

struct ResumedTask {
    std::string gid;
    std::u16string name;  // its file's name, else the name its address gives
};

// The tasks of the answers to ResumedTaskCalls worth following: not those
// paused or removed (the user did that and knows).
std::vector<ResumedTask> ResumedTasks(std::span<const Aria2Reply> replies);

// How long aria2 may take to answer after it was started.
inline constexpr int kEngineStartMs = 8000;
// How long to wait for it to go after aria2.shutdown before SIGTERM: aria2
// lingers about 4 s after that call, while SIGTERM ends it at once, its
// session saved either way.
inline constexpr int kEngineStopMs = 300;
// Seconds between two saves of the session file while tasks run.
inline constexpr int kSessionSaveSeconds = 10;

}  // namespace tessel::handoff
