// SPDX-License-Identifier: GPL-3.0-or-later
// Opens tessel-websocket.so from the program's library folder, found from
// where the running program lies: bin/../lib/tessel when installed, and the
// same place in the build folder, where the programs and the tests lie one
// folder below its top.
#include "shell/jobs/follow_socket.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <utility>

#include "text/late_library.h"

namespace tessel::shell {
namespace {

std::string ModulePath() {
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return TESSEL_WEBSOCKET_MODULE;  // left to the loader's own search
    std::string path(exe, static_cast<std::size_t>(n));
    path.erase(path.find_last_of('/') + 1);
    return path + TESSEL_MODULE_DIR "/" TESSEL_WEBSOCKET_MODULE;
}

FollowSocketEntry Entry() {
    static const FollowSocketEntry entry = text::LateFunction<FollowSocketEntry>(
        text::OpenLateLibrary(ModulePath().c_str()), kFollowSocketEntry);
    return entry;
}

}  // namespace

std::unique_ptr<FollowSocket> OpenFollowSocket(const FollowSocketRequest& request,
                                               FollowSocketEvents events) {
    const FollowSocketEntry entry = Entry();
    if (!entry) return nullptr;
    return std::unique_ptr<FollowSocket>(entry(&request, &events));
}

}  // namespace tessel::shell
