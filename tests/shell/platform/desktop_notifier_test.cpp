// SPDX-License-Identifier: GPL-3.0-or-later
// Where no notification service runs, the program still says how a download
// ended: through the fallback (the tray's message).
#include "shell/platform/desktop_notifier.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <tuple>
#include <vector>

namespace tessel::shell {
namespace {

using Told = std::tuple<QString, QString, bool>;

TEST(DesktopNotifierTest, TheFallbackTellsWhereNoServiceAnswers) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
    if (!daemon.waitForReadyRead(5000)) GTEST_SKIP() << "no dbus-daemon";
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    {
        // A session bus with nobody on it.
        std::vector<Told> told;
        DesktopNotifier n([&told](const QString& s, const QString& b, bool f) { told.emplace_back(s, b, f); },
                          nullptr, QDBusConnection::connectToBus(address, QStringLiteral("tessel-test")));
        QSignalSpy shown(&n, &DesktopNotifier::Shown);
        n.Tell(QStringLiteral("下载失败"), QStringLiteral("a.bin\nResource not found"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 10000);
        EXPECT_FALSE(shown[0][0].toBool());
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0], Told("下载失败", "a.bin\nResource not found", true));

        // No bus at all.
        DesktopNotifier none(
            [&told](const QString& s, const QString& b, bool f) { told.emplace_back(s, b, f); }, nullptr,
            QDBusConnection(QStringLiteral("no-such-connection")));
        none.Tell(QStringLiteral("下载完成"), QStringLiteral("b.bin"), QStringLiteral("/tmp/b.bin"));
        ASSERT_EQ(told.size(), 2u);
        EXPECT_EQ(told[1], Told("下载完成", "b.bin", false));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("tessel-test"));
    daemon.terminate();
    daemon.waitForFinished(5000);
}

}  // namespace
}  // namespace tessel::shell
