// SPDX-License-Identifier: GPL-3.0-or-later
// The aria2 the program starts for itself, with a real aria2c in throwaway
// home, state and runtime folders: how it is started and kept safe, how it
// ends, and each fault a user could meet on the way.
#include "shell/jobs/aria2_engine_process.h"

#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "shell/jobs/download_follower.h"
#include "support/free_port.h"
#include "support/frm_main_fixture.h"
#include "support/loopback_http.h"

namespace tessel::shell::testing {
namespace {

class Aria2EngineTest : public ::testing::Test {
 protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath("home/.config");
        QDir(dir.path()).mkpath("run");
        ::chmod(QFile::encodeName(dir.filePath("run")).constData(), 0700);
        std::ofstream(QFile::encodeName(dir.filePath("home/.config/user-dirs.dirs")).toStdString())
            << "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n";
        IniSettingsStore::PrepareUserFile(iniPath);
        store = std::make_unique<IniSettingsStore>(iniPath);
        Put(keys::kAria2Rpc, Rpc(testsupport::FreeLoopbackPort()));
    }

    static QString Rpc(int port) { return QStringLiteral("http://127.0.0.1:%1/jsonrpc").arg(port); }
    void Put(const SettingKey& k, const QString& v) { store->Write(k.group, k.name, v); }
    QString Stored(const SettingKey& k) const { return store->Read(k.group, k.name).value_or(QString()); }

    Aria2Ready EnsureNow(Aria2Engine& engine) {
        std::optional<Aria2Ready> got;
        engine.Ensure([&](const Aria2Ready& ready) { got = ready; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 20000));
        return got.value_or(Aria2Ready{});
    }
    static QString NoticeOf(const Aria2Ready& r) {
        return r.notice ? QString::fromStdU16String(r.notice->text) : QString();
    }
    static QByteArray CommandLine(qint64 pid) {
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool Alive(qint64 pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0; }
    // The local addresses a port is listened on, from the kernel's tables.
    static QStringList ListenAddresses(int port) {
        QStringList out;
        for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile f(QString::fromLatin1(table));
            if (!f.open(QIODevice::ReadOnly)) continue;
            for (const QByteArray& line : f.readAll().split('\n')) {
                const QList<QByteArray> cols = line.simplified().split(' ');
                if (cols.size() < 4 || cols[3] != "0A") continue;  // LISTEN
                const QList<QByteArray> local = cols[1].split(':');
                if (local.size() == 2 && local[1].toInt(nullptr, 16) == port)
                    out << QString::fromLatin1(local[0]);
            }
        }
        return out;
    }

    QTemporaryDir dir;
    QString iniPath = dir.filePath("config/TESSEL/TESSEL.ini");
    ScopedEnv home{"HOME", QFile::encodeName(dir.filePath("home"))};
    ScopedEnv config{"XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("home/.config"))};
    ScopedEnv state{"XDG_STATE_HOME", QFile::encodeName(dir.filePath("state"))};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath("run"))};
    std::unique_ptr<IniSettingsStore> store;
};

TEST_F(Aria2EngineTest, StartsItsOwnOnLoopbackWithASecretOffTheCommandLineAndEndsWithTheProgram) {
    qint64 pid = 0;
    {
        Aria2Engine engine(*store);
        const Aria2Ready ready = EnsureNow(engine);
        ASSERT_TRUE(ready.ok) << NoticeOf(ready).toStdString();
        EXPECT_TRUE(ready.own);
        pid = engine.OwnPid();
        ASSERT_TRUE(Alive(pid));

        const QString secret = Stored(keys::kAria2Secret);
        EXPECT_EQ(secret.size(), 32);  // 128 random bits, made once and kept
        EXPECT_EQ(QString::fromStdU16String(ready.settings.secret), secret);
        store->Flush();
        EXPECT_EQ(QFile::permissions(iniPath) & 0x0077, 0);  // neither group nor others
        const QByteArray cmdline = CommandLine(pid);
        EXPECT_TRUE(cmdline.contains("--rpc-listen-all=false"));
        EXPECT_FALSE(cmdline.contains(secret.toLatin1()));
        EXPECT_FALSE(QFile::exists(dir.filePath("run/tessel/aria2.conf")));  // read once, then gone

        const int port = handoff::OwnEnginePort(ready.settings.rpc).value_or(0);
        const QStringList listening = ListenAddresses(port);
        ASSERT_FALSE(listening.isEmpty());
        for (const QString& a : listening)
            EXPECT_TRUE(a == "0100007F" || a == "00000000000000000000000001000000") << a.toStdString();
        handoff::Aria2Settings stranger = ready.settings;
        stranger.secret.clear();
        EXPECT_EQ(handoff::Aria2Call(stranger, "aria2.getVersion", nlohmann::json::array()).status,
                  handoff::Aria2Status::SecretRefused);
        EXPECT_TRUE(QFileInfo(dir.filePath("home/下载")).isDir());  // the XDG download folder, made

        // Asked again: the same engine, not a second one.
        EXPECT_TRUE(EnsureNow(engine).own);
        EXPECT_EQ(engine.OwnPid(), pid);
        // Another program of ours with the same settings uses it too.
        Aria2Engine other(*store);
        const Aria2Ready shared = EnsureNow(other);
        EXPECT_TRUE(shared.ok);
        EXPECT_FALSE(shared.own);
        EXPECT_FALSE(other.OwnRunning());
    }
    EXPECT_FALSE(Alive(pid));
    EXPECT_TRUE(QFile::exists(Aria2Engine::SessionFile()));
}

// Another program at the port, or an aria2 with a secret we do not have:
// ours takes a free port, keeps it in Aria2Rpc and says so.
TEST_F(Aria2EngineTest, APortTakenByAnotherProgramMovesOursElsewhere) {
    testsupport::LoopbackHttp other;
    other.server().Post("/jsonrpc",
                        [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    other.Start();
    Put(keys::kAria2Rpc, Rpc(other.port()));
    Aria2Engine engine(*store);
    QSignalSpy said(&engine, &Aria2Engine::StatusChanged);
    const Aria2Ready ready = EnsureNow(engine);
    ASSERT_TRUE(ready.ok) << NoticeOf(ready).toStdString();
    const int moved = handoff::OwnEnginePort(ready.settings.rpc).value_or(0);
    EXPECT_NE(moved, other.port());
    EXPECT_EQ(Stored(keys::kAria2Rpc), Rpc(moved));
    ASSERT_EQ(said.count(), 1);
    EXPECT_TRUE(said[0][0].toString().contains(QString::number(moved)));
}

TEST_F(Aria2EngineTest, EachFaultOnTheWayGetsAClearMessageAndNoEngine) {
    QFile(dir.filePath("plain-file")).open(QIODevice::WriteOnly);
    const struct {
        const char* name;
        const char* key;  // a setting put for the row, or nullptr
        QString value;
        bool noAria2c;
        const char* says;
    } rows[] = {
        {"aria2c not installed", nullptr, {}, true, "sudo apt install aria2"},
        {"download folder cannot be made", "DownloadDir", dir.filePath("plain-file/sub"), false,
         "DownloadDir"},
        {"a secret that would break the file", "Aria2Secret", "a\nrpc-listen-all=true", false, "Aria2Secret"},
        {"never start", "Aria2Start", "never", false, "aria2c --enable-rpc"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        if (r.key) store->Write("services", r.key, r.value);
        std::optional<ScopedEnv> path;
        if (r.noAria2c) path.emplace("PATH", QFile::encodeName(dir.filePath("empty-bin")));
        Aria2Engine engine(*store);
        const Aria2Ready ready = EnsureNow(engine);
        EXPECT_FALSE(ready.ok);
        EXPECT_FALSE(engine.OwnRunning());
        EXPECT_TRUE(NoticeOf(ready).contains(QString::fromUtf8(r.says))) << NoticeOf(ready).toStdString();
        store->Write("services", r.key ? r.key : "x", QString());
    }
}

// Unfinished tasks come back: at the program's start, and when aria2 died
// while the program ran; a damaged session file is kept aside.
TEST_F(Aria2EngineTest, UnfinishedTasksComeBackAndADamagedSessionIsKeptAside) {
    QDir().mkpath(Aria2Engine::StateFolder());
    const QString session = Aria2Engine::SessionFile();
    {
        QFile f(session);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(" gid=1\nnot a session\x01\n");
    }
    Aria2Engine engine(*store);
    QSignalSpy said(&engine, &Aria2Engine::StatusChanged);
    Aria2Ready ready = EnsureNow(engine);
    ASSERT_TRUE(ready.ok) << NoticeOf(ready).toStdString();
    EXPECT_TRUE(QFile::exists(session + ".broken"));
    ASSERT_GE(said.count(), 1);
    EXPECT_TRUE(said[0][0].toString().contains(".broken"));

    // A task that cannot finish (nothing listens there), saved, then aria2 killed.
    const QString unreachable = testsupport::ClosedPortBase() + "/big.iso";
    nlohmann::json params = {nlohmann::json::array({unreachable.toStdString()}),
                             {{"max-tries", "0"}, {"retry-wait", "10"}}};
    ASSERT_EQ(handoff::Aria2Call(ready.settings, "aria2.addUri", params).status, handoff::Aria2Status::Ok);
    ASSERT_EQ(handoff::Aria2Call(ready.settings, "aria2.saveSession", nlohmann::json::array()).status,
              handoff::Aria2Status::Ok);
    const qint64 first = engine.OwnPid();
    QSignalSpy ended(&engine, &Aria2Engine::OwnEngineEnded);
    ::kill(static_cast<pid_t>(first), SIGKILL);
    ASSERT_TRUE(ended.wait(5000));

    ready = EnsureNow(engine);
    ASSERT_TRUE(ready.ok) << NoticeOf(ready).toStdString();
    EXPECT_NE(engine.OwnPid(), first);
    EXPECT_TRUE(CommandLine(engine.OwnPid()).contains("--input-file="));
    const handoff::Aria2Reply waiting =
        handoff::Aria2Call(ready.settings, "aria2.tellWaiting", nlohmann::json::array({0, 10}));
    const handoff::Aria2Reply active =
        handoff::Aria2Call(ready.settings, "aria2.tellActive", nlohmann::json::array());
    EXPECT_EQ(waiting.result.size() + active.result.size(), 1u)
        << waiting.result.dump() << active.result.dump();

    // The next start of the program starts the engine by itself.
    engine.Stop();
    Aria2Engine next(*store);
    next.ResumeUnfinished();
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.OwnRunning(); }, 10000));
}

// Tasks brought back from the session file are followed as if just handed
// over: the user is told how each ends, one finishing and one failing at once.
TEST_F(Aria2EngineTest, TasksResumedFromTheSessionAreFollowedToTheirEnd) {
    testsupport::LoopbackHttp files;
    files.server().Get("/ok.bin", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(1000, 'x'), "application/octet-stream");
    });
    files.Start();
    QDir().mkpath(Aria2Engine::StateFolder());
    std::ofstream(QFile::encodeName(Aria2Engine::SessionFile()).toStdString())
        << files.BaseText() << "/ok.bin\n gid=00000000000000a1\n"
        << files.BaseText() << "/gone.bin\n gid=00000000000000a2\n";
    ScriptedPrompts prompts;
    FrmMain window(*store, &prompts);
    QSignalSpy ended(&window.Downloads(), &DownloadFollower::Ended);
    window.Engine().ResumeUnfinished();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 15000));
    QStringList told;
    for (const auto& e : ended) told << e[0].toString() + ':' + e[1].toString().section('\n', 0, 0);
    told.sort();
    EXPECT_EQ(told, QStringList({"下载失败:gone.bin", "下载完成:ok.bin"}));
}

// A folder chosen while ours runs is where it downloads next; one that
// cannot be written is refused with the start's message, and ours keeps
// the folder it has.
TEST_F(Aria2EngineTest, ANewDownloadFolderReachesTheRunningEngineAtOnce) {
    Aria2Engine engine(*store);
    const Aria2Ready ready = EnsureNow(engine);
    ASSERT_TRUE(ready.ok) << NoticeOf(ready).toStdString();
    const auto folder = [&] {
        const auto options =
            handoff::Aria2Call(ready.settings, "aria2.getGlobalOption", nlohmann::json::array());
        return QString::fromStdString(options.result.is_object() ? options.result.value("dir", "") : "");
    };
    const QString chosen = dir.filePath("新的/下载");
    Put(keys::kDownloadDir, chosen);
    engine.ApplyDownloadFolder();
    EXPECT_TRUE(EnsureNow(engine).ok);  // a hand-off at once waits for the move
    EXPECT_EQ(folder(), chosen);
    EXPECT_TRUE(QFileInfo(chosen).isDir());

    QFile(dir.filePath("plain-file")).open(QIODevice::WriteOnly);
    Put(keys::kDownloadDir, dir.filePath("plain-file/sub"));
    QSignalSpy said(&engine, &Aria2Engine::StatusChanged);
    engine.ApplyDownloadFolder();
    ASSERT_EQ(said.count(), 1);
    EXPECT_TRUE(said[0][0].toString().contains("DownloadDir"));
    const Aria2Ready refused = EnsureNow(engine);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(NoticeOf(refused).startsWith("没能把任务交给 aria2：下载文件夹"))
        << NoticeOf(refused).toStdString();
    EXPECT_EQ(folder(), chosen);
    EXPECT_TRUE(engine.OwnRunning());
}

}  // namespace
}  // namespace tessel::shell::testing
