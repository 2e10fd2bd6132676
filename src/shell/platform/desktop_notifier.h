// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Tells the user how a download ended: a desktop notification through the
// freedesktop notification service on the session bus, with the action
// "打开文件夹" for a finished file, which shows the file in its folder
// (org.freedesktop.FileManager1.ShowItems where a file manager offers it,
// else the folder through the desktop's default handler).  Where no
// notification service answers, the fallback given at construction says it
// (the tray icon's message).  Every bus call is asynchronous.

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace tessel::shell {

class DesktopNotifier final : public QObject {
    Q_OBJECT
 public:
    // `fallback(summary, body, failed)` shows the texts where no
    // notification service runs.
    using Fallback = std::function<void(const QString&, const QString&, bool)>;
    explicit DesktopNotifier(Fallback fallback, QObject* parent = nullptr,
                             QDBusConnection bus = QDBusConnection::sessionBus());

    // `file` empty: a failure, without the folder action.
    void Tell(const QString& summary, const QString& body, const QString& file);

    // Shows `file` in its folder.
    static void OpenFolder(const QString& file);

 signals:
    // The notification service took the notification (tests wait on it), or
    // the fallback showed it.
    void Shown(bool onTheBus);

 private slots:
    void OnAction(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

 private:
    void Send(const QString& summary, const QString& body, const QString& file);

    Fallback fallback_;
    QDBusConnection bus_;
    QHash<uint, QString> files_;  // notification id -> file shown by its action
    std::optional<bool> markup_;  // the service shows the body as markup
    bool subscribed_ = false;
};

}  // namespace tessel::shell
