// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One running program per user and display.  The first start listens on a
// local socket in the private runtime folder; a later start connects, sends
// its arguments (see core/forward_message.h), waits for the one-byte receipt
// and exits.
//
// Only the same user gets through: the folder is 0700 and owner-checked, and
// every connection's peer user id is checked as well.  A socket left behind
// by a crashed program refuses connections; it is removed and listened on
// anew.  A lock ("<socket>.lock", flock) is held for the program's life:
// two starts at the same moment never both become the first, and a later
// start never becomes a second window while one runs, even when the socket
// fails it (busy, flooded, something else at its name); after
// kForwardPatience it gives up and says why.
//
// Plain sockets and the event loop's notifier, not Qt's network module: the
// window program starts without that and the libraries it brings.

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <string>

class QSocketNotifier;

namespace tessel::bridge {

class SingleInstance : public QObject {
    Q_OBJECT

 public:
    enum class Role {
        First,      // listening; forwarded texts arrive through Arrived()
        Forwarded,  // a running program took the arguments
        Failed,     // the only one, but not listening: error() says why
        Refused,    // another one runs and did not take the arguments (error()
                    // says why): this start must end without a window
    };

    // `socketPath`: DefaultSocketPath() in the program, a path of their own in
    // tests.
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Forwards `arguments` to a running program, or becomes the first.
    Role Claim(const QStringList& arguments);
    // Only forwards, never listens: Forwarded, or Failed with error().
    // `someoneThere` tells whether a program listens at all (a helper that
    // starts the program when nobody does needs to know).
    Role Forward(const QStringList& arguments, bool* someoneThere);
    QString Error() const { return error_; }
    QString SocketPath() const { return path_; }

    // <private folder>/instance-<display>, or empty when there is no private
    // folder (then the program runs alone without listening).
    static QString DefaultSocketPath();
    // The display part of the name: DISPLAY (":0.0" and ":0" are one
    // display), else WAYLAND_DISPLAY, with anything but letters, digits, ".",
    // "-" and "_" replaced.
    static QString DisplayKey();

    // How long a connection may take to deliver its message.
    static constexpr std::chrono::milliseconds kDeliveryDeadline{3000};
    // Connections read at the same time; more wait in the server's queue.
    static constexpr int kMaxConnections = 8;
    // How long a later start keeps trying to reach a running program that
    // is starting, flooded or not listening before it gives up.
    static constexpr std::chrono::milliseconds kForwardPatience{8000};

 signals:
    // A later start's arguments; empty when it had none (bring the window to
    // the front).
    void Arrived(const QStringList& texts);

 private:
    class Connection;

    enum class Sent { Taken, NobodyThere, NotReached, Unanswered };
    Sent Send(const std::string& message, std::chrono::milliseconds limit);
    bool TakeRunLock();
    bool RunLockHeld() const;
    bool Listen();
    void AcceptPending();
    // A connection ended; the next one waiting may be read.
    void Finished();

    QString path_;
    QString error_;
    int listener_ = -1;
    QSocketNotifier* notifier_ = nullptr;  // child
    int open_ = 0;
    // Held while this program runs, so a later start knows one runs whatever
    // the socket does; -1 when not held.
    int runLock_ = -1;
};

// Why `arguments` cannot be forwarded (too many, one too long, not text);
// empty when they can.
QString ForwardLimitsBroken(const QStringList& arguments);

// The uid of the process at the other end of a connected local socket, or -1.
long PeerUid(qintptr descriptor);

}  // namespace tessel::bridge
