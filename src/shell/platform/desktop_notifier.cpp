// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/platform/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>

namespace tessel::shell {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kOpenFolder = QStringLiteral("open-folder");

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

DesktopNotifier::DesktopNotifier(Fallback fallback, QObject* parent, QDBusConnection bus)
    : QObject(parent), fallback_(std::move(fallback)), bus_(std::move(bus)) {}

void DesktopNotifier::Tell(const QString& summary, const QString& body, const QString& file) {
    QDBusConnection& bus = bus_;
    if (!bus.isConnected()) {
        fallback_(summary, body, file.isEmpty());
        emit Shown(false);
        return;
    }
    if (markup_) {
        Send(summary, body, file);
        return;
    }
    // Asked once: whether the body is read as markup decides how a file
    // name with "<" or "&" must be written.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body, file](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError()) {
                    fallback_(summary, body, file.isEmpty());
                    emit Shown(false);
                    return;
                }
                markup_ = reply.value().contains(QStringLiteral("body-markup"));
                Send(summary, body, file);
            });
}

void DesktopNotifier::Send(const QString& summary, const QString& body, const QString& file) {
    QDBusConnection& bus = bus_;
    if (!subscribed_) {
        subscribed_ = true;
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(OnAction(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(OnClosed(uint, uint)));
    }
    QStringList actions;
    if (!file.isEmpty()) actions << kOpenFolder << QStringLiteral("打开文件夹");
    QDBusMessage m = Call(QStringLiteral("Notify"));
    m << QStringLiteral("Tessel") << uint(0) << QStringLiteral("tessel") << summary
      << (*markup_ ? body.toHtmlEscaped() : body) << actions << QVariantMap{} << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(m), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body, file](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    // The service went away since it was asked: the fallback says it.
                    markup_.reset();
                    fallback_(summary, body, file.isEmpty());
                    emit Shown(false);
                    return;
                }
                if (!file.isEmpty()) files_.insert(reply.value(), file);
                emit Shown(true);
            });
}

void DesktopNotifier::OnAction(uint id, const QString& action) {
    const auto it = files_.constFind(id);
    if (it == files_.cend()) return;  // another program's notification
    if (action == kOpenFolder || action == QStringLiteral("default")) OpenFolder(*it);
}

void DesktopNotifier::OnClosed(uint id, uint /*reason*/) { files_.remove(id); }

void DesktopNotifier::OpenFolder(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString manager = QStringLiteral("org.freedesktop.FileManager1");
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    // Asked without looking first: where no file manager offers it, the
    // bus answers with an error and the folder opens the plain way.
    QDBusMessage m = QDBusMessage::createMethodCall(manager, QStringLiteral("/org/freedesktop/FileManager1"),
                                                    manager, QStringLiteral("ShowItems"));
    m << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(m));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    });
}

}  // namespace tessel::shell
