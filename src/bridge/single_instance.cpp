// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/forward_message.h"
#include "web/reply_file.h"
#include "web/unique_fd.h"

namespace tessel::bridge {
namespace {

// The reply a running program gives once it has the whole message.
constexpr char kReceipt = '\x01';
constexpr std::size_t kReadChunk = 64 * 1024;
// Long enough for a program busy for a moment; a normal hand-over takes a
// few milliseconds.
constexpr std::chrono::milliseconds kForwardDeadline{5000};
constexpr std::chrono::milliseconds kConnectDeadline{1000};
constexpr std::chrono::milliseconds kRetryPause{200};
constexpr int kBacklog = 64;

QString SystemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

bool Address(const QByteArray& path, sockaddr_un* address) {
    *address = {};
    address->sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    return true;
}

// Waits for `events` on `fd` until `deadline`; false when it passed.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::max<qint64>(0, deadline.remainingTime())));
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

std::chrono::milliseconds Remaining(const QDeadlineTimer& t) {
    return std::chrono::milliseconds(std::max<qint64>(0, t.remainingTime()));
}

// Opens the run lock's file.  Whatever else sits at its name (a folder, a
// FIFO, a link) is cleared first: the private folder admits no one else.
int OpenRunLock(const QByteArray& name) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
        if (fd >= 0) ::close(fd);
        if (attempt == 0 && ::lstat(name.constData(), &st) == 0 && st.st_uid == ::geteuid())
            S_ISDIR(st.st_mode) ? ::rmdir(name.constData()) : ::unlink(name.constData());
    }
    return -1;
}

}  // namespace

QString ForwardLimitsBroken(const QStringList& arguments) {
    if (static_cast<std::size_t>(arguments.size()) > kMaxForwardItems)
        return QStringLiteral("参数有 %1 个，一次最多交 %2 个").arg(arguments.size()).arg(kMaxForwardItems);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (static_cast<std::size_t>(arguments[i].toUtf8().size()) > kMaxForwardItemBytes)
            return QStringLiteral("第 %1 个参数超过 64 KiB，不是链接").arg(i + 1);
    }
    std::vector<std::string> items;
    for (const QString& a : arguments) items.push_back(a.toStdString());
    if (!EncodeForwardMessage(items)) return QStringLiteral("参数合起来超过 1 MiB 或含有空字符");
    return {};
}

long PeerUid(qintptr descriptor) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (descriptor < 0 ||
        ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 ||
        len != sizeof cred)
        return -1;
    return static_cast<long>(cred.uid);
}

// One later start's connection: read until its message is whole, answer
// with the receipt, close.  Deletes itself when done.
class SingleInstance::Connection : public QObject {
 public:
    Connection(SingleInstance& owner, int fd)
        : QObject(&owner), owner_(owner), fd_(fd), notifier_(fd, QSocketNotifier::Read) {
        connect(&notifier_, &QSocketNotifier::activated, this, &Connection::Read);
        deadline_.setSingleShot(true);
        connect(&deadline_, &QTimer::timeout, this, &Connection::Finish);
        deadline_.start(kDeliveryDeadline);
    }
    ~Connection() override { ::close(fd_); }

 private:
    void Read() {
        char buf[kReadChunk];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // more to come
            if (n <= 0) return Finish();                                     // gone, or broken
            if (reader_.Feed(std::string_view(buf, static_cast<std::size_t>(n))) ==
                ForwardReader::State::Refused)
                return Finish();
            if (reader_.Status() == ForwardReader::State::Done) break;
        }
        QStringList texts;
        for (const std::string& item : reader_.Items()) texts << QString::fromStdString(item);
        // A sender that gave up waiting has closed its end and told its user
        // the links were not handed over: they are not opened behind its back.
        const bool delivered = ::send(fd_, &kReceipt, 1, MSG_NOSIGNAL) == 1;
        Finish();
        if (!delivered) return;
        // Handled after this slot returns: the receiver may open a modal
        // question, and this connection must not be read from inside it.
        QTimer::singleShot(0, &owner_, [owner = &owner_, texts] { emit owner->Arrived(texts); });
    }

    void Finish() {
        if (finished_) return;
        finished_ = true;
        notifier_.setEnabled(false);
        deadline_.stop();
        owner_.Finished();
        deleteLater();
    }

    SingleInstance& owner_;
    int fd_;
    QSocketNotifier notifier_;
    QTimer deadline_;
    ForwardReader reader_;
    bool finished_ = false;
};

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (runLock_ >= 0) ::close(runLock_);
    if (listener_ < 0) return;
    delete notifier_;
    ::close(listener_);
    // The name goes with the program, so the next start need not find it refusing.
    ::unlink(QFile::encodeName(path_).constData());
}

QString SingleInstance::DisplayKey() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (!display.isEmpty()) {
        // ":0.0" and ":0" are the same display; the screen number is not part of it.
        const qsizetype colon = display.lastIndexOf(u':');
        const qsizetype dot = display.indexOf(u'.', colon < 0 ? 0 : colon);
        if (colon >= 0 && dot > colon) display.truncate(dot);
    } else {
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    }
    if (display.isEmpty()) display = QStringLiteral("none");
    QString key;
    for (QChar c : display) {
        const bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                          c == u'.' || c == u'-' || c == u'_';
        key += keep ? c : QChar(u'_');
    }
    return key.left(40);
}

QString SingleInstance::DefaultSocketPath() {
    const std::string folder = web::GetTempFolder();
    if (folder.empty()) return {};
    return QString::fromStdString(folder) + QStringLiteral("instance-") + DisplayKey();
}

bool SingleInstance::TakeRunLock() {
    const int fd = OpenRunLock(QFile::encodeName(path_ + QStringLiteral(".lock")));
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    runLock_ = fd;
    return true;
}

bool SingleInstance::RunLockHeld() const {
    const int fd = ::open(QFile::encodeName(path_ + QStringLiteral(".lock")).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

SingleInstance::Role SingleInstance::Claim(const QStringList& arguments) {
    if (path_.isEmpty()) {
        error_ = QStringLiteral("没有可用的私有运行目录，本程序单独运行");
        return Role::Failed;
    }
    const QString broken = ForwardLimitsBroken(arguments);
    std::string message;
    if (broken.isEmpty()) {
        std::vector<std::string> items;
        for (const QString& a : arguments) items.push_back(a.toStdString());
        message = *EncodeForwardMessage(items);
    }
    const QDeadlineTimer patience(kForwardPatience);
    for (;;) {
        // Nearly every start is either the first (refused at once) or a
        // later one (taken at once): one connect tells.
        Sent sent = Sent::NotReached;
        if (broken.isEmpty()) {
            sent = Send(message, std::min(kForwardDeadline, Remaining(patience)));
            if (sent == Sent::Taken) return Role::Forwarded;
            // It has the message and may still read it: sent again, the
            // links would be asked about twice.
            if (sent == Sent::Unanswered) return Role::Refused;
        }
        // Nobody holds the run lock: nobody runs, and a socket left at the
        // name is a crashed program's.  The lock goes with its holder.
        if (TakeRunLock()) return Listen() ? Role::First : Role::Failed;
        if (!broken.isEmpty()) {
            error_ = broken;
            return Role::Refused;
        }
        if (sent == Sent::NobodyThere) {
            // A lock that cannot even be opened says nothing; then the socket
            // alone tells.
            if (!RunLockHeld()) return Listen() ? Role::First : Role::Failed;
            error_ = QStringLiteral("运行中的 Tessel 没有在 %1 接收链接").arg(path_);
        }
        if (patience.hasExpired()) return Role::Refused;
        QThread::msleep(static_cast<unsigned long>(std::min(kRetryPause, Remaining(patience)).count()));
    }
}

SingleInstance::Role SingleInstance::Forward(const QStringList& arguments, bool* someoneThere) {
    *someoneThere = false;
    if (const QString why = ForwardLimitsBroken(arguments); !why.isEmpty()) {
        error_ = why;
        *someoneThere = true;  // whoever runs, these cannot reach it
        return Role::Failed;
    }
    std::vector<std::string> items;
    for (const QString& a : arguments) items.push_back(a.toStdString());
    const Sent sent = Send(*EncodeForwardMessage(items), kForwardDeadline);
    if (sent == Sent::Taken) return Role::Forwarded;
    *someoneThere = sent != Sent::NobodyThere || RunLockHeld();
    if (sent == Sent::NobodyThere && *someoneThere)
        error_ = QStringLiteral("运行中的 Tessel 没有在 %1 接收链接").arg(path_);
    return Role::Failed;
}

SingleInstance::Sent SingleInstance::Send(const std::string& message, std::chrono::milliseconds limit) {
    sockaddr_un address;
    web::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!Address(QFile::encodeName(path_), &address) || fd.Get() < 0) {
        error_ = QStringLiteral("无法使用套接字 ") + path_;
        return Sent::NotReached;  // nor could we listen
    }
    const QDeadlineTimer connectBy(std::min(kConnectDeadline, limit));
    while (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int e = errno;
        if (e == EINTR) continue;
        // Refused or missing means nobody listens (a crashed program's socket
        // refuses); anything else (a full queue that stays full, no right to
        // connect) means someone does, and their socket must not be taken over.
        if (e == ENOENT || e == ECONNREFUSED) return Sent::NobodyThere;
        if (e == EAGAIN && !connectBy.hasExpired()) {
            QThread::msleep(10);
            continue;
        }
        error_ = QStringLiteral("运行中的 Tessel 没有接受连接：") + SystemError(e);
        return Sent::NotReached;
    }
    const QDeadlineTimer deadline(limit);
    std::size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(fd.Get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (!(n < 0 && (errno == EINTR || ((errno == EAGAIN || errno == EWOULDBLOCK) &&
                                                  WaitFor(fd.Get(), POLLOUT, deadline))))) {
            break;
        }
    }
    bool closed = sent < message.size();
    while (!closed) {
        char receipt = 0;
        const ssize_t n = ::recv(fd.Get(), &receipt, 1, 0);
        if (n == 1 && receipt == kReceipt) return Sent::Taken;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd.Get(), POLLIN, deadline)) continue;
            break;  // still open at the deadline
        }
        closed = true;
    }
    // Closed on us without a receipt, or not all of it sent: the message was
    // refused whole and may be sent again.  Still open: it has the message.
    if (closed) {
        error_ = QStringLiteral("运行中的 Tessel 没有收下链接");
        return Sent::NotReached;
    }
    error_ = QStringLiteral("运行中的 Tessel %1 秒内没有回应（它可能正忙），链接没有交给它")
                 .arg((limit.count() + 999) / 1000);
    return Sent::Unanswered;
}

bool SingleInstance::Listen() {
    // Whatever is left at the name (the socket of a program that crashed) is
    // ours: the folder admits no one else.  It refused a connection a moment
    // ago, so nobody listens on it.
    const QByteArray native = QFile::encodeName(path_);
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0) {
        const bool cleared =
            st.st_uid == ::geteuid() &&
            (S_ISDIR(st.st_mode) ? ::rmdir(native.constData()) : ::unlink(native.constData())) == 0;
        if (!cleared) {
            error_ = QStringLiteral("无法替换遗留的套接字 ") + path_;
            return false;
        }
    }
    sockaddr_un address;
    Address(native, &address);  // Forward checked the length
    web::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0 || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(native.constData(), 0600) != 0 || ::listen(fd.Get(), kBacklog) != 0) {
        error_ = QStringLiteral("无法监听 ") + path_ + QStringLiteral("：") + SystemError(errno);
        return false;
    }
    listener_ = fd.Release();
    notifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::AcceptPending);
    return true;
}

void SingleInstance::AcceptPending() {
    while (open_ < kMaxConnections) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR) continue;
        if (fd < 0) break;  // none waiting
        if (PeerUid(fd) != static_cast<long>(::geteuid())) {
            ::close(fd);
            continue;
        }
        ++open_;
        new Connection(*this, fd);
    }
    // The rest wait in the queue until a connection ends.
    notifier_->setEnabled(open_ < kMaxConnections);
}

void SingleInstance::Finished() {
    --open_;
    QTimer::singleShot(0, this, &SingleInstance::AcceptPending);
}

}  // namespace tessel::bridge
