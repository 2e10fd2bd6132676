// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/single_instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <memory>

#include "shell/core/forward_message.h"
#include "web/reply_file.h"

namespace tessel::shell {
namespace {

// The reply a running program gives once it has the whole message.
constexpr char kReceipt = '\x01';
constexpr qint64 kReadChunk = 64 * 1024;
// Long enough for a program busy for a moment; a normal hand-over takes a
// few milliseconds.
constexpr std::chrono::milliseconds kForwardDeadline{5000};
constexpr std::chrono::milliseconds kConnectDeadline{1000};

}  // namespace

long PeerUid(qintptr descriptor) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (descriptor < 0 ||
        ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 ||
        len != sizeof cred)
        return -1;
    return static_cast<long>(cred.uid);
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::AcceptPending);
}

SingleInstance::~SingleInstance() = default;

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

SingleInstance::Role SingleInstance::Claim(const QStringList& arguments) {
    if (path_.isEmpty()) {
        error_ = QStringLiteral("没有可用的私有运行目录，本程序单独运行");
        return Role::Failed;
    }
    // Two starts at the same moment must not both find no one and both listen.
    QLockFile lock(path_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);  // stale only when its process is gone
    if (!lock.tryLock(2000)) {
        error_ = QStringLiteral("另一个 Tessel 正在启动");
        return Role::Failed;
    }
    bool someoneThere = false;
    const Role role = Forward(arguments, &someoneThere);
    if (role == Role::Forwarded || someoneThere) return role;
    return Listen() ? Role::First : Role::Failed;
}

SingleInstance::Role SingleInstance::Forward(const QStringList& arguments, bool* someoneThere) {
    *someoneThere = false;
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(static_cast<int>(kConnectDeadline.count()))) {
        // Refused or missing means nobody listens (a crashed program's socket
        // refuses); anything else (a full queue, a time-out) means someone
        // does, and their socket must not be taken over.
        const auto e = socket.error();
        if (e != QLocalSocket::ServerNotFoundError && e != QLocalSocket::ConnectionRefusedError) {
            *someoneThere = true;
            error_ = QStringLiteral("运行中的 Tessel 没有接受连接：") + socket.errorString();
            return Role::Failed;
        }
        return Role::Failed;
    }
    *someoneThere = true;
    std::vector<std::string> items;
    for (const QString& a : arguments) items.push_back(a.toStdString());
    const std::optional<std::string> message = EncodeForwardMessage(items);
    if (!message) {
        error_ = QStringLiteral("参数太多、太长或不是文本，没有交给运行中的 Tessel");
        return Role::Failed;
    }
    const QDeadlineTimer deadline(kForwardDeadline);
    socket.write(message->data(), static_cast<qint64>(message->size()));
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    while (socket.bytesAvailable() < 1 && !deadline.hasExpired() &&
           socket.state() == QLocalSocket::ConnectedState) {
        socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    char receipt = 0;
    if (socket.read(&receipt, 1) == 1 && receipt == kReceipt) return Role::Forwarded;
    error_ = QStringLiteral("运行中的 Tessel 没有收下参数");
    return Role::Failed;
}

bool SingleInstance::Listen() {
    // Whatever is left at the name (the socket of a program that crashed) is
    // ours: the folder admits no one else.  It refused a connection a moment
    // ago, so nobody listens on it.
    const QByteArray native = QFile::encodeName(path_);
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0) {
        if (st.st_uid != ::geteuid() || S_ISDIR(st.st_mode) || ::unlink(native.constData()) != 0) {
            error_ = QStringLiteral("无法替换遗留的套接字 ") + path_;
            return false;
        }
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.setMaxPendingConnections(64);
    if (!server_.listen(path_)) {
        error_ = QStringLiteral("无法监听 ") + path_ + QStringLiteral("：") + server_.errorString();
        return false;
    }
    return true;
}

void SingleInstance::AcceptPending() {
    while (open_ < kMaxConnections && server_.hasPendingConnections()) {
        if (QLocalSocket* socket = server_.nextPendingConnection()) Serve(socket);
    }
}

void SingleInstance::Serve(QLocalSocket* socket) {
    ++open_;
    auto done = std::make_shared<bool>(false);
    const auto finish = [this, socket, done] {
        if (*done) return;
        *done = true;
        --open_;
        socket->deleteLater();
        QTimer::singleShot(0, this, &SingleInstance::AcceptPending);
    };
    connect(socket, &QLocalSocket::disconnected, this, finish);

    if (PeerUid(socket->socketDescriptor()) != static_cast<long>(::geteuid())) {
        socket->abort();
        finish();
        return;
    }
    // The socket's own buffer stays small whatever the peer sends; the reader
    // refuses the message once it passes its bound.
    socket->setReadBufferSize(kReadChunk);
    auto reader = std::make_shared<ForwardReader>();
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [socket, finish] {
        socket->abort();
        finish();
    });
    deadline->start(kDeliveryDeadline);

    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader, finish, done] {
        if (*done) return;
        char buf[kReadChunk];
        while (socket->bytesAvailable() > 0) {
            const qint64 n = socket->read(buf, sizeof buf);
            if (n <= 0) break;
            if (reader->Feed(std::string_view(buf, static_cast<std::size_t>(n))) ==
                ForwardReader::State::Refused) {
                socket->abort();
                finish();
                return;
            }
        }
        if (reader->state() != ForwardReader::State::Done) return;
        QStringList texts;
        for (const std::string& item : reader->items()) texts << QString::fromStdString(item);
        socket->write(&kReceipt, 1);
        socket->flush();
        socket->disconnectFromServer();
        finish();
        // Handled after this slot returns: the receiver may open a modal
        // question, and this socket must not be read from inside it.
        QTimer::singleShot(0, this, [this, texts] { emit Arrived(texts); });
    });
}

}  // namespace tessel::shell
