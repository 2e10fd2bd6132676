// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-browser-host: the browsers' native-messaging host of the Tessel
// extension.  The browser starts it, writes framed requests to its standard
// input and reads the answers from its standard output (see
// bridge/host_message.h).  Each request's links go to the running Tessel on
// this display in one forward, as a later start of the program hands over
// its arguments; with no Tessel running, one is started, detached, so that
// it outlives this host, which the browser ends right after the answer.
//
// The host ends when its standard input closes.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bridge/host_message.h"
#include "bridge/single_instance.h"

namespace {

using tessel::bridge::HostFrames;
using tessel::bridge::SingleInstance;
using Clock = std::chrono::steady_clock;

// A window program takes well under a second to listen; a slow first start
// (fonts, a cold disk) gets more.
constexpr std::chrono::seconds kStartDeadline{20};
constexpr std::chrono::milliseconds kRetryPause{40};

// Where the window program lies: beside this host in the build tree, in the
// program folder (TESSEL_HOST_BIN_DIR, relative to this host's folder) when
// installed, else wherever PATH finds it.
std::string TesselProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path dir = self.parent_path();
        for (const std::filesystem::path& candidate :
             {dir / "tessel", (dir / TESSEL_HOST_BIN_DIR / "tessel").lexically_normal()}) {
            if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        }
    }
    return "tessel";
}

// Starts the window program in a session of its own with no descriptor of
// ours: the browser ending this host (and closing its pipes) leaves it
// running.  Returns its process id, or -1.
pid_t StartTessel() {
    const std::string program = TesselProgram();
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    ::close_range(3, ~0U, 0);
    ::signal(SIGPIPE, SIG_DFL);
    char* const argv[] = {const_cast<char*>("tessel"), nullptr};
    if (program.find('/') != std::string::npos)
        ::execv(program.c_str(), argv);
    else
        ::execvp(program.c_str(), argv);
    ::_exit(127);
}

// Hands the links to the running Tessel, starting one when none runs.
// Returns an empty text, or why not.
std::string Deliver(const std::vector<std::string>& links) {
    QStringList texts;
    for (const std::string& link : links) texts << QString::fromStdString(link);

    SingleInstance instance(SingleInstance::DefaultSocketPath());
    if (instance.SocketPath().isEmpty()) return "没有可用的私有运行目录，无法联系 Tessel";
    bool someoneThere = false;
    if (instance.Forward(texts, &someoneThere) == SingleInstance::Role::Forwarded) return {};
    if (someoneThere) return instance.Error().toStdString();

    pid_t child = StartTessel();
    if (child < 0) return "无法启动 Tessel";
    const auto deadline = Clock::now() + kStartDeadline;
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(kRetryPause);
        if (instance.Forward(texts, &someoneThere) == SingleInstance::Role::Forwarded) return {};
        if (child > 0) {
            int status = 0;
            if (::waitpid(child, &status, WNOHANG) == child) {
                child = 0;
                // Ending at once with success means another start won the
                // race and took over; anything else means no window comes.
                if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                    return WIFEXITED(status) && WEXITSTATUS(status) == 127
                               ? "找不到 tessel 程序"
                               : "Tessel 没能启动（退出状态 " +
                                     std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128) + "）";
            }
        }
    }
    return someoneThere ? instance.Error().toStdString() : "Tessel 没有及时启动";
}

std::string Answer(const HostFrames::Frame& frame) {
    if (frame.oversized) return tessel::bridge::HostAnswerError("消息超过 1 MiB");
    const tessel::bridge::HostReading reading = tessel::bridge::ReadHostRequest(frame.body);
    if (!reading.request) return tessel::bridge::HostAnswerError(reading.error);
    // The page is read and bounded, but the forward carries texts alone, so
    // the Referer is not passed on.
    const std::string failure = Deliver(reading.request->links);
    if (!failure.empty()) return tessel::bridge::HostAnswerError(failure);
    return tessel::bridge::HostAnswerOk(reading.request->links.size());
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // The browser closing our output must end us quietly, not by a signal.
    ::signal(SIGPIPE, SIG_IGN);
    // The local socket of the forward is Qt's; it needs an application
    // object but no event loop (its calls wait by themselves).
    QCoreApplication app(argc, argv);

    HostFrames frames;
    std::vector<HostFrames::Frame> ready;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = ::read(0, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        frames.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), ready);
        for (const HostFrames::Frame& frame : ready) {
            if (!WriteAll(1, tessel::bridge::FrameHostMessage(Answer(frame)))) return 0;
        }
        ready.clear();
    }
    return 0;
}
