// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/aria2_engine_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>

#include "shell/settings/settings_store.h"
#include "text/codepage.h"
#include "text/prompt_title.h"
#include "web/reply_file.h"

namespace tessel::shell {

namespace {

using namespace std::chrono_literals;

constexpr auto kStartProbeTimeout = 1000ms;
constexpr int kPollMs = 50;

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
QString Native(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }
std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString Quoted(const QString& path) { return u'\u201c' + path + u'\u201d'; }

sockaddr_in Loopback(int port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Something takes connections at the port (it did not answer as aria2, or
// not in time): a wedged program still completes the handshake.
bool PortInUse(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const sockaddr_in a = Loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return connected;
}

// A port nobody listens on now; aria2 takes it a moment later.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

std::string NewSecret() {
    unsigned char random[handoff::kSecretBytes];
    std::size_t got = 0;
    while (got < sizeof random) {
        const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        got += static_cast<std::size_t>(n);
    }
    return handoff::SecretFromRandom(random);
}

// A folder only the owner can enter; false when it cannot be made.
bool MakePrivateFolder(const QString& path) {
    if (!QDir().mkpath(path)) return false;
    return ::chmod(QFile::encodeName(path).constData(), 0700) == 0;
}

// Writes `text` to `path`, readable by the owner only; false when it cannot.
bool WritePrivateFile(const QString& path, const std::string& text) {
    const int fd = web::OpenReplyForWrite(Bytes(path));
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

// The next name beside `path` that is free: ".broken", ".broken.1", ...
QString BrokenName(const QString& path) {
    QString target = path + QStringLiteral(".broken");
    for (int i = 1; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++i) {
        if (i > 99) break;
        target = path + QStringLiteral(".broken.%1").arg(i);
    }
    return target;
}

handoff::Notice Trouble(const QString& text) {
    return handoff::Notice{std::u16string(text::kPromptTitle), text.toStdU16String()};
}

const QString kHandOffFailed = QStringLiteral("没能把任务交给 aria2：");

const QString kNotInstalled = QStringLiteral(
    "没能把任务交给 aria2：这台电脑上没有安装 aria2（找不到 aria2c 程序），Tessel 用它下载文件。\n\n"
    "请在终端里安装它：\nsudo apt install aria2\n安装后再试一次。");

}  // namespace

Aria2Engine::Aria2Engine(SettingsStore& settings, QObject* parent) : QObject(parent), settings_(settings) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &Aria2Engine::PollStarted);
}

Aria2Engine::~Aria2Engine() { Stop(); }

QString Aria2Engine::StateFolder() {
    return Native(
        handoff::EngineStateFolder(qgetenv("XDG_STATE_HOME").toStdString(), Bytes(QDir::homePath())));
}

QString Aria2Engine::SessionFile() { return StateFolder() + QStringLiteral("/aria2.session"); }

handoff::Aria2Settings Aria2Engine::CurrentSettings() const {
    return {ReadText(settings_, keys::kAria2Rpc).toStdU16String(),
            ReadText(settings_, keys::kAria2Secret).toStdU16String(),
            ReadText(settings_, keys::kAria2CaFile).toStdU16String()};
}

void Aria2Engine::Ensure(std::function<void(const Aria2Ready&)> done) {
    waiting_.push_back(std::move(done));
    if (busy_) return;
    busy_ = true;
    const handoff::Aria2Settings settings = CurrentSettings();
    if (OwnRunning() && !poll_.isActive() &&
        handoff::Aria2RpcAddress(settings) == handoff::Aria2RpcAddress(own_)) {
        // Ours answered when it started and tells us when it ends; the
        // hand-off itself finds out if it stopped answering in between.
        QMetaObject::invokeMethod(this, &Aria2Engine::ReadyOwn, Qt::QueuedConnection);
        return;
    }
    probe_.Start<Probe>(
        [settings](const web::RequestAbort& abort) {
            Probe probe;
            probe.reply = handoff::Aria2Call(settings, "aria2.getVersion", nlohmann::json::array(),
                                             handoff::kAria2Timeout, &abort);
            if (probe.reply.status == handoff::Aria2Status::NoAnswer && !abort.Raised()) {
                if (const auto port = handoff::OwnEnginePort(settings.rpc))
                    probe.portInUse = PortInUse(*port);
            }
            return probe;
        },
        [this, settings](Probe probe) { OnProbed(settings, probe); });
}

void Aria2Engine::OnProbed(const handoff::Aria2Settings& settings, const Probe& probe) {
    using handoff::Aria2Status;
    if (probe.reply.status == Aria2Status::Ok) {
        Finish({true, settings, false, std::nullopt});
        return;
    }
    const auto port = handoff::OwnEnginePort(settings.rpc);
    const bool mayStart =
        port && handoff::ParseAria2Start(ReadText(settings_, keys::kAria2Start).toStdU16String()) ==
                    handoff::Aria2StartMode::Auto;
    // Another aria2 of ours (started for an address the settings no longer
    // name) is left alone rather than doubled.
    if (!mayStart || OwnRunning()) {
        const handoff::Aria2Error error(u"tessel", settings, probe.reply);
        Finish({false, settings, false, handoff::FailureNotice(error)});
        return;
    }
    const bool taken = probe.reply.status != Aria2Status::NoAnswer || probe.portInUse;
    if (!taken) {
        StartOwn(settings, *port, false);
        return;
    }
    const int free = FreePort();
    if (free <= 0) {
        FailStart(QStringLiteral("端口 %1 已被别的程序占用，也找不到空闲的端口给 aria2。").arg(*port));
        return;
    }
    moveNote_ =
        QStringLiteral("端口 %1 已被别的程序占用，Tessel 自己的 aria2 改用端口 %2，已存入设置 Aria2Rpc。")
            .arg(*port)
            .arg(free);
    StartOwn(settings, free, true);
}

QString Aria2Engine::PrepareDownloadFolder(const QString& setting, std::string& folder) {
    const QString home = QDir::homePath();
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QFileInfo(config).isAbsolute()) config = home + QStringLiteral("/.config");
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    QByteArray userDirs;
    if (dirs.open(QIODevice::ReadOnly)) userDirs = dirs.read(64 * 1024);
    const handoff::DownloadFolder choice = handoff::ChooseDownloadFolder(
        setting.toStdU16String(), handoff::XdgDownloadDir(userDirs.toStdString(), Bytes(home)), Bytes(home));
    folder = choice.path;
    const QString path = Native(folder);
    if (!QDir().mkpath(path) && !QFileInfo(path).isDir()) {
        const int error = errno;
        return QStringLiteral(
                   "下载文件夹%1无法创建（%2）。\n\n请在设置 DownloadDir 里写上一个可以写入的文件夹。")
            .arg(Quoted(path), ErrorText(error));
    }
    if (::access(QFile::encodeName(path).constData(), W_OK | X_OK) != 0) {
        const int error = errno;
        return QStringLiteral(
                   "下载文件夹%1不能写入（%2）。\n\n请在设置 DownloadDir 里写上一个可以写入的文件夹。")
            .arg(Quoted(path), ErrorText(error));
    }
    return {};
}

void Aria2Engine::StartOwn(handoff::Aria2Settings settings, int port, bool moved) {
    own_ = settings;
    if (!MakePrivateFolder(StateFolder())) {
        FailStart(QStringLiteral("没能启动 aria2：状态文件夹%1无法创建（%2）。")
                      .arg(Quoted(StateFolder()), ErrorText(errno)));
        return;
    }
    // Two programs of ours (two displays) share the settings, so they would
    // start two engines on one port and one session file.
    lock_ = std::make_unique<QLockFile>(StateFolder() + QStringLiteral("/aria2.lock"));
    lock_->setStaleLockTime(0);  // only a lock whose program is gone is stale
    if (!lock_->tryLock(0)) {
        lock_.reset();
        FailStart(
            QStringLiteral("没能把任务交给 aria2：另一个 Tessel 已经启动了自己的 aria2，但它在 %1 没有回答。")
                .arg(Q(handoff::Aria2RpcAddress(settings))));
        return;
    }
    const QString program = QStandardPaths::findExecutable(QStringLiteral("aria2c"));
    if (program.isEmpty()) {
        FailStart(kNotInstalled);
        return;
    }
    if (settings.secret.empty()) {
        const std::string secret = NewSecret();
        if (secret.empty()) {
            FailStart(QStringLiteral("没能启动 aria2：无法生成密钥（系统的随机数来源不可用）。"));
            return;
        }
        settings.secret = text::FromUtf8(secret);
        WriteText(settings_, keys::kAria2Secret, Q(settings.secret));
        settings_.Flush();
    } else if (!handoff::IsUsableOwnSecret(settings.secret)) {
        FailStart(
            QStringLiteral("没能启动 aria2：设置 Aria2Secret 里的密钥含有换行、控制字符或首尾空白。"
                           "请改掉它，或清空它让 Tessel 生成一个。"));
        return;
    }

    std::string folder;
    if (const QString trouble = PrepareDownloadFolder(ReadText(settings_, keys::kDownloadDir), folder);
        !trouble.isEmpty()) {
        FailStart(kHandOffFailed + trouble);
        return;
    }
    ownFolder_ = folder;

    const QString session = SessionFile();
    bool resume = false;
    if (QFile file(session); file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.read(handoff::kMaxSessionBytes + 1);
        file.close();
        switch (handoff::CheckSession(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
            case handoff::SessionState::Unfinished:
                resume = true;
                break;
            case handoff::SessionState::Empty:
                break;
            case handoff::SessionState::Damaged: {
                const QString kept = BrokenName(session);
                if (QFile::rename(session, kept)) {
                    emit StatusChanged(
                        QStringLiteral("aria2 的会话文件%1已损坏，已原样改名为%2；aria2 不带它启动。")
                            .arg(Quoted(session), Quoted(kept)));
                } else {
                    QFile::remove(session);
                    emit StatusChanged(QStringLiteral("aria2 的会话文件%1已损坏，又无法改名保留，已删除。")
                                           .arg(Quoted(session)));
                }
                break;
            }
        }
    }

    // The secret goes in a file only we can read, in the private runtime
    // folder; it is removed once aria2 has read it.
    QString runtime = Native(web::GetTempFolder());
    if (runtime.isEmpty()) runtime = StateFolder() + u'/';
    confFile_ = runtime + QStringLiteral("aria2.conf");

    handoff::EngineInput in;
    in.port = port;
    in.secret = text::ToUtf8(settings.secret);
    in.downloadFolder = folder;
    in.sessionFile = Bytes(session);
    in.resume = resume;
    resumed_ = resume;
    in.confFile = Bytes(confFile_);
    in.ownerPid = ::getpid();
    const handoff::EnginePlan plan = handoff::PlanEngine(in);
    if (!WritePrivateFile(confFile_, plan.confText)) {
        FailStart(QStringLiteral("没能启动 aria2：无法写入它的配置文件%1。").arg(Quoted(confFile_)));
        return;
    }

    own_ = settings;
    if (moved) own_.rpc = handoff::RpcWithPort(settings.rpc, port);
    process_ = std::make_unique<QProcess>();
    process_->setProgram(program);
    QStringList arguments;
    for (const std::string& a : plan.arguments) arguments << QString::fromStdString(a);
    process_->setArguments(arguments);
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    // However this program ends, its aria2 ends with it: the kernel tells it
    // at once, --stop-with-process within a second should that fail.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(process_.get(), &QProcess::finished, this, [this] {
        if (stopping_ || poll_.isActive()) return;  // Stop and PollStarted see to it
        process_.release()->deleteLater();
        lock_.reset();
        emit OwnEngineEnded();
    });
    process_->start();
    startClock_.start();
    poll_.start();
}

void Aria2Engine::PollStarted() {
    if (!process_ || process_->state() == QProcess::NotRunning) {
        const QString why = process_ && process_->error() == QProcess::FailedToStart
                                ? process_->errorString()
                                : QStringLiteral("退出码 %1").arg(process_ ? process_->exitCode() : -1);
        FailStart(QStringLiteral("没能把任务交给 aria2：Tessel 启动的 aria2 随即退出了（%1）。").arg(why));
        return;
    }
    if (probe_.Running()) return;
    if (startClock_.elapsed() > handoff::kEngineStartMs) {
        FailStart(QStringLiteral("没能把任务交给 aria2：Tessel 启动的 aria2 过了 %1 秒还没有回答。")
                      .arg(handoff::kEngineStartMs / 1000));
        return;
    }
    probe_.Start<handoff::Aria2Reply>(
        [settings = own_](const web::RequestAbort& abort) {
            return handoff::Aria2Call(settings, "aria2.getVersion", nlohmann::json::array(),
                                      kStartProbeTimeout, &abort);
        },
        [this](handoff::Aria2Reply reply) {
            if (reply.status == handoff::Aria2Status::Ok && poll_.isActive()) OnStarted();
        });
}

void Aria2Engine::OnStarted() {
    poll_.stop();
    QFile::remove(confFile_);
    if (!moveNote_.isEmpty()) {
        WriteText(settings_, keys::kAria2Rpc, Q(own_.rpc));
        settings_.Flush();
        emit StatusChanged(moveNote_);
        moveNote_.clear();
    }
    if (!resumed_) {
        ReadyOwn();
        return;
    }
    // What came back from the session file is followed like a hand-off; it
    // is listed before any hand-off reaches ours, so all it holds is that.
    probe_.Start<std::vector<handoff::Aria2Reply>>(
        [settings = own_](const web::RequestAbort& abort) {
            return handoff::Aria2Multicall(settings, handoff::ResumedTaskCalls(), handoff::kAria2Timeout,
                                           &abort);
        },
        [this](std::vector<handoff::Aria2Reply> replies) {
            Aria2JobOutcome resumed{own_, true, {}, std::nullopt};
            for (const handoff::ResumedTask& t : handoff::ResumedTasks(replies))
                resumed.results.push_back({Q(t.name), QString::fromStdString(t.gid), {}});
            if (!resumed.results.empty()) emit TasksResumed(resumed);
            ReadyOwn();
        });
}

void Aria2Engine::ReadyOwn() {
    std::string folder;
    if (const QString trouble = PrepareDownloadFolder(ReadText(settings_, keys::kDownloadDir), folder);
        !trouble.isEmpty()) {
        Finish({false, own_, false, Trouble(kHandOffFailed + trouble)});
        return;
    }
    if (folder == ownFolder_) {
        Finish({true, own_, true, std::nullopt});
        return;
    }
    // The folder was changed since ours started: what is handed over next
    // goes to the new one.
    probe_.Start<handoff::Aria2Reply>(
        [settings = own_, folder](const web::RequestAbort& abort) {
            return handoff::Aria2Call(settings, "aria2.changeGlobalOption",
                                      nlohmann::json::array({{{"dir", folder}}}), handoff::kAria2Timeout,
                                      &abort);
        },
        [this, folder](handoff::Aria2Reply reply) {
            // One that did not answer fails the hand-off with its own message.
            if (reply.status == handoff::Aria2Status::Ok) ownFolder_ = folder;
            Finish({true, own_, true, std::nullopt});
        });
}

void Aria2Engine::ApplyDownloadFolder() {
    if (!OwnRunning() || handoff::Aria2RpcAddress(CurrentSettings()) != handoff::Aria2RpcAddress(own_))
        return;
    std::string folder;
    if (const QString trouble = PrepareDownloadFolder(ReadText(settings_, keys::kDownloadDir), folder);
        !trouble.isEmpty()) {
        emit StatusChanged(trouble);
        return;
    }
    // What ours is asked next first moves it to the folder.
    Ensure([](const Aria2Ready&) {});
}

void Aria2Engine::FailStart(const QString& why) {
    poll_.stop();
    probe_.Abort();
    if (process_) {
        stopping_ = true;
        process_->kill();
        process_->waitForFinished(2000);
        process_.reset();
        stopping_ = false;
    }
    if (!confFile_.isEmpty()) QFile::remove(confFile_);
    lock_.reset();
    moveNote_.clear();
    Finish({false, own_, false, Trouble(why)});
}

void Aria2Engine::Finish(const Aria2Ready& ready) {
    busy_ = false;
    std::vector<std::function<void(const Aria2Ready&)>> waiting;
    waiting.swap(waiting_);
    for (const auto& done : waiting) done(ready);
}

void Aria2Engine::ResumeUnfinished() {
    if (handoff::ParseAria2Start(ReadText(settings_, keys::kAria2Start).toStdU16String()) !=
        handoff::Aria2StartMode::Auto)
        return;
    QFile file(SessionFile());
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray text = file.read(handoff::kMaxSessionBytes + 1);
    if (handoff::CheckSession(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))) ==
        handoff::SessionState::Empty)
        return;
    // Only now is the address read: that opens libcurl (and the dozen
    // libraries it brings), which a start with nothing to resume never needs.
    if (!handoff::OwnEnginePort(CurrentSettings().rpc)) return;
    Ensure([this](const Aria2Ready& ready) {
        if (ready.own)
            emit StatusChanged(QStringLiteral("aria2 已启动，继续上次未完成的下载。"));
        else if (!ready.ok)
            emit StatusChanged(QStringLiteral("没能启动 aria2 继续上次未完成的下载。"));
    });
}

void Aria2Engine::Stop() {
    poll_.stop();
    probe_.Abort();
    if (!OwnRunning()) {
        process_.reset();
        return;
    }
    stopping_ = true;
    // Saved first: a shutdown that takes too long ends in a signal.
    handoff::Aria2Call(own_, "aria2.saveSession", nlohmann::json::array(), 1000ms);
    handoff::Aria2Call(own_, "aria2.shutdown", nlohmann::json::array(), 1000ms);
    if (!process_->waitForFinished(handoff::kEngineStopMs)) {
        process_->terminate();
        if (!process_->waitForFinished(2000)) {
            process_->kill();
            process_->waitForFinished(1000);
        }
    }
    process_.reset();
    if (!confFile_.isEmpty()) QFile::remove(confFile_);
    lock_.reset();
    stopping_ = false;
}

}  // namespace tessel::shell
