// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "shell/ui/msgbox_placement.h"

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tessel::shell {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
    QTemporaryDir dir;
    QString path = dir.filePath("TESSEL.ini");
    IniSettingsStore store{path};
    void Put(const SettingKey& k, const QString& v) { store.Write(k.group, k.name, v); }
};

struct Int16Case {
    const char* stored;  // nullptr: key absent
    int expected;
};

// A hand-edited or damaged file must read as the defaults, never stop us.
TEST_F(SettingsTest, Int16ReadsNumbersAndFallsBackOnAnythingElse) {
    const Int16Case cases[] = {
        {nullptr, 0},
        {"1", 1},
        {" 1", 1},
        {"-3", -3},
        {"1.5", 2},
        {"2.5", 2},
        {"abc", 0},
        {"", 0},
        {"1x", 0},
        {"70000", 0},
        {"-32768", -32768},
        {"32767", 32767},
        {"1e3", 0},
        {"nan", 0},
        // Beyond any whole number: rounding them would be undefined.
        {"111111111111111111111111111111111111", 0},
        {"-1e300", 0},
        {"1e19", 0},
    };
    for (const auto& c : cases) {
        IniSettingsStore fresh(dir.filePath(QStringLiteral("case%1.ini").arg(&c - cases)));
        if (c.stored) fresh.Write("frmMain", "settop", QString::fromLatin1(c.stored));
        EXPECT_EQ(ReadInt16(fresh, keys::kSetTop), c.expected) << (c.stored ? c.stored : "(absent)");
    }
}

TEST_F(SettingsTest, SingleUsesCallerFallbackForMissingOrBadText) {
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 4321);
    Put(keys::kTop, "1500");
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 1500);
    Put(keys::kTop, "top");
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 4321);
    Put(keys::kTop, "1e40");  // no single holds it
    EXPECT_EQ(ReadSingle(store, keys::kTop, 4321), 4321);
}

// A position no screen can have would be turned into whole pixels with an
// undefined conversion; it reads as the fallback, the centred position.
TEST_F(SettingsTest, ExtremePositionsReadAsTheFallback) {
    const struct {
        const char* stored;
        double expected;
    } cases[] = {
        {"1000000000000000000000000000000", 4321},
        {"-1000000000000000000000000000000", 4321},
        {"1e30", 4321},
        {"-1e30", 4321},
        {"NaN", 4321},
        {"-nan", 4321},
        {"inf", 4321},
        {"1000000001", 4321},
        {"-1000000001", 4321},
        {"999999936", 999999936},  // the largest whole single below the limit
        {"-15000", -15000},
    };
    for (const auto& c : cases) {
        Put(keys::kLeft, QString::fromLatin1(c.stored));
        const double v = ReadSingle(store, keys::kLeft, 4321);
        EXPECT_EQ(v, c.expected) << c.stored;
        EXPECT_LE(std::fabs(v / 15), std::numeric_limits<int>::max()) << c.stored;
    }
}

TEST_F(SettingsTest, WrittenFormsAreWhatTheReadersExpect) {
    EXPECT_EQ(SingleToText(1234), "1234");
    EXPECT_EQ(SingleToText(-15), "-15");
    EXPECT_EQ(SingleToText(12.5), "12.5");
    WriteSingle(store, keys::kLeft, 3000);
    WriteInt16(store, keys::kFirstRun, 1);
    store.Flush();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray ini = f.readAll();
    EXPECT_TRUE(ini.contains("[frmMain]")) << ini.constData();
    EXPECT_TRUE(ini.contains("Left=3000")) << ini.constData();
    EXPECT_TRUE(ini.contains("firstrun=1")) << ini.constData();
}

TEST_F(SettingsTest, TextKeysHaveTheirDefaultsAndGroups) {
    EXPECT_EQ(ReadText(store, keys::kDiskServiceDomain), "115.com");
    Put(keys::kDiskServiceDomain, "disk.example");
    EXPECT_EQ(ReadText(store, keys::kDiskServiceDomain), "disk.example");
    EXPECT_FALSE(store.Read("frmMain", "DiskServiceDomain").has_value());
}

TEST(SettingsPath, FollowsXdgConfigHomeWhenAbsolute) {
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/some/where");
    EXPECT_EQ(IniSettingsStore::DefaultPath(), "/some/where/TESSEL/TESSEL.ini");
    qputenv("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_TRUE(IniSettingsStore::DefaultPath().endsWith("/.config/TESSEL/TESSEL.ini"));
    EXPECT_TRUE(IniSettingsStore::DefaultPath().startsWith('/'));
    qputenv("XDG_CONFIG_HOME", old);
}

// The file may hold the download engine's secret: owner only, and it stays
// so when the settings are written.
TEST_F(SettingsTest, UserFileIsPrivate) {
    const QString user = dir.filePath("cfg/TESSEL/TESSEL.ini");
    IniSettingsStore::PrepareUserFile(user);
    IniSettingsStore written(user);
    WriteText(written, keys::kAria2Secret, "s3cret");
    written.Flush();
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    EXPECT_EQ(QFile::permissions(user) & ~(owner | QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::Permissions());
    EXPECT_EQ(QFile::permissions(dir.filePath("cfg/TESSEL")) &
                  (QFileDevice::ReadOther | QFileDevice::ReadGroup | QFileDevice::ExeOther),
              QFileDevice::Permissions());
    EXPECT_EQ(ReadText(IniSettingsStore(user), keys::kAria2Secret), "s3cret");
}

// ---------------------------------------------------------------------------
// A settings path that cannot hold settings.

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

void Spit(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct TroubleLog {
    std::vector<QString> reports;
    std::function<void(const QString&)> Handler() {
        return [this](const QString& s) { reports.push_back(s); };
    }
};

// A folder, a named pipe or a path through a plain file: nothing can be
// saved there.  Once said, the run goes on with its values in memory, and
// whatever is at the path is left alone.
TEST(SettingsTrouble, UnusablePathIsReportedOnceAndTheRunKeepsItsValues) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.ini")).constData(), 0600), 0);
    Spit(dir.filePath("plain"), "x");
    for (const QString name : {"folder.ini", "pipe.ini", "plain/TESSEL.ini"}) {
        const QString path = dir.filePath(name);
        IniSettingsStore store(path);  // a pipe must not be opened: that waits for a writer
        EXPECT_FALSE(store.Saving()) << name.toStdString();
        WriteInt16(store, keys::kSetTop, 1);
        store.Flush();
        TroubleLog log;
        store.OnTrouble(log.Handler());  // told even when the handler comes late
        WriteText(store, keys::kParseHome, "http://p.example");
        store.Flush();
        ASSERT_EQ(log.reports.size(), 1u) << name.toStdString();
        EXPECT_TRUE(log.reports[0].contains(path)) << log.reports[0].toStdString();
        EXPECT_TRUE(log.reports[0].contains(QStringLiteral("无法保存"))) << log.reports[0].toStdString();
        EXPECT_EQ(ReadInt16(store, keys::kSetTop), 1);
        EXPECT_EQ(ReadText(store, keys::kParseHome), "http://p.example");
    }
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.ini")).isDir());
    EXPECT_EQ(Slurp(dir.filePath("plain")), "x");
}

// Damaged files of every kind are kept byte for byte beside the new one
// before anything replaces them; what could still be read carries over.
TEST(SettingsTrouble, FileThatIsNotSettingsIsKeptAsBrokenBeforeTheFirstSave) {
    const struct {
        const char* name;
        QByteArray bytes;
        const char* recoveredTop;  // nullptr: nothing to recover
    } cases[] = {
        {"not UTF-8", QByteArray("[frmMain]\nTop=1500\nLeft=\xff\xfe\n"), "1500"},
        {"NUL byte", QByteArray("[frmMain]\nTop=1500\n\0\n", 21), "1500"},
        {"lines QSettings drops", QByteArray("[frmMain]\nTop=1500\nmy note about the proxy\n"), "1500"},
        {"unclosed section", QByteArray("[frmMain\nTop=1500\n"), "1500"},
        {"far too large",
         QByteArray("[frmMain]\nTop=1500\n") + QByteArray(IniSettingsStore::kMaxFileBytes, '#'), nullptr},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("TESSEL.ini");
        Spit(path, c.bytes);
        TroubleLog log;
        {
            IniSettingsStore store(path);
            store.OnTrouble(log.Handler());
            EXPECT_TRUE(store.Saving()) << c.name;
            EXPECT_EQ(store.KeptBrokenFile(), path + ".broken") << c.name;
            const auto top = store.Read("frmMain", "Top");
            EXPECT_EQ(top.value_or("(absent)"), c.recoveredTop ? c.recoveredTop : "(absent)") << c.name;
            WriteInt16(store, keys::kFirstRun, 1);
            store.Flush();
        }
        EXPECT_EQ(Slurp(path + ".broken"), c.bytes) << c.name;
        ASSERT_EQ(log.reports.size(), 1u) << c.name;
        EXPECT_TRUE(log.reports[0].contains(path + ".broken")) << log.reports[0].toStdString();
        // The new file is good settings and stays private like the old one.
        IniSettingsStore again(path);
        EXPECT_TRUE(again.KeptBrokenFile().isEmpty()) << c.name;
        EXPECT_EQ(ReadInt16(again, keys::kFirstRun), 1) << c.name;
        EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                  QFileDevice::Permissions())
            << c.name;
    }
}

TEST(SettingsTrouble, AnEarlierBrokenFileIsNeverOverwritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TESSEL.ini");
    Spit(path + ".broken", "first");
    Spit(path, "[frmMain\nsecond\n");
    IniSettingsStore store(path);
    EXPECT_EQ(store.KeptBrokenFile(), path + ".broken.1");
    EXPECT_EQ(Slurp(path + ".broken"), "first");
    EXPECT_EQ(Slurp(path + ".broken.1"), "[frmMain\nsecond\n");
}

// A file the user cannot read (left behind by a run as another user) used
// to mean settings that were silently never saved.
TEST(SettingsTrouble, UnreadableFileIsKeptAndTheSettingsSavedAgain) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TESSEL.ini");
    const QByteArray old = "[frmMain]\nTop=1500\n";
    Spit(path, old);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    const auto check = [&] {
        IniSettingsStore store(path);
        TroubleLog log;
        store.OnTrouble(log.Handler());
        WriteInt16(store, keys::kClipboard, 1);
        store.Flush();
        return store.Saving() && store.KeptBrokenFile() == path + ".broken" && log.reports.size() == 1 &&
               log.reports[0].contains(QStringLiteral("无法读取"));
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
    } else {
        // Permissions do not stop root: run the store as nobody, in a folder
        // nobody may write.
        ASSERT_EQ(::chown(QFile::encodeName(dir.path()).constData(), 65534, 65534), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && check();
            ::_exit(ok ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(Slurp(path + ".broken"), old);
    EXPECT_EQ(ReadInt16(IniSettingsStore(path), keys::kClipboard), 1);
}

// The folder goes away under a running program: the first failed save is
// reported, once.
TEST(SettingsTrouble, SaveThatFailsLaterIsReportedOnce) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("cfg");
    const QString path = folder + "/TESSEL.ini";
    IniSettingsStore::PrepareUserFile(path);
    IniSettingsStore store(path);
    TroubleLog log;
    store.OnTrouble(log.Handler());
    EXPECT_TRUE(store.Saving());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    Spit(folder, "now a file");
    for (int i = 0; i < 3; ++i) {
        WriteInt16(store, keys::kShowIP, i);
        store.Flush();
    }
    EXPECT_FALSE(store.Saving());
    ASSERT_EQ(log.reports.size(), 1u);
    EXPECT_TRUE(log.reports[0].contains(path)) << log.reports[0].toStdString();
    EXPECT_EQ(ReadInt16(store, keys::kShowIP), 2);
}

// Saving replaces the file in one step: a process killed at any moment of a
// save leaves the old settings or the new ones, never a mixture or a torn
// file.  Each save writes the same number into two keys.
TEST(SettingsTrouble, SaveKilledAtAnyMomentLeavesAWholeFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TESSEL.ini");
    IniSettingsStore::PrepareUserFile(path);
    auto* random = QRandomGenerator::global();
    int saved = 0;
    for (int round = 0; round < 30; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            IniSettingsStore store(path);
            for (int n = round * 100000;; ++n) {
                store.Write("frmMain", "Top", QString::number(n));
                // Long enough that a kill often lands inside the write.
                store.Write("services", "ParseHome", QString(2000, u'x') + QString::number(n));
                store.Write("frmMain", "Left", QString::number(n));
                store.Flush();
            }
        }
        ::usleep(static_cast<useconds_t>(random->bounded(5000, 60000)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        IniSettingsStore store(path);
        EXPECT_TRUE(store.KeptBrokenFile().isEmpty()) << "round " << round;
        const auto top = store.Read("frmMain", "Top");
        const auto left = store.Read("frmMain", "Left");
        const auto home = store.Read("services", "ParseHome");
        EXPECT_EQ(top, left) << "round " << round;
        if (top) {
            ++saved;
            EXPECT_EQ(home, QString(2000, u'x') + *top) << "round " << round;
        }
    }
    EXPECT_GT(saved, 0);
}

// A lock that cannot be taken froze the window for good at its first save
// (QSettings waits for it without end).  Now the run goes on with the values
// read, says so once, and leaves the file and the lock alone.
TEST(SettingsTrouble, LockThatCannotBeTakenMeansNoSavingThisRun) {
    const QByteArray old = "[frmMain]\nTop=1500\n";
    const struct {
        const char* name;
        std::function<pid_t(const QString& lock)> make;  // the process holding it, or 0
    } cases[] = {
        {"a folder", [](const QString& lock) { return QDir().mkdir(lock) ? 0 : -1; }},
        {"a named pipe",
         [](const QString& lock) { return ::mkfifo(QFile::encodeName(lock).constData(), 0600); }},
        {"held by a live program",
         [](const QString& lock) {
             const pid_t child = ::fork();
             if (child == 0) {
                 QLockFile held(lock);
                 if (held.lock()) ::pause();
                 ::_exit(1);
             }
             while (!QFileInfo::exists(lock)) ::usleep(1000);
             return child;
         }},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("TESSEL.ini");
        Spit(path, old);
        const pid_t holder = c.make(path + ".lock");
        ASSERT_GE(holder, 0) << c.name;
        QElapsedTimer clock;
        clock.start();
        {
            IniSettingsStore store(path);
            TroubleLog log;
            store.OnTrouble(log.Handler());
            EXPECT_FALSE(store.Saving()) << c.name;
            EXPECT_EQ(store.Read("frmMain", "Top").value_or("(absent)"), "1500") << c.name;
            WriteInt16(store, keys::kSetTop, 1);
            store.Flush();
            EXPECT_EQ(ReadInt16(store, keys::kSetTop), 1) << c.name;
            ASSERT_EQ(log.reports.size(), 1u) << c.name;
            EXPECT_TRUE(log.reports[0].contains(path + ".lock")) << log.reports[0].toStdString();
            EXPECT_TRUE(log.reports[0].contains(QStringLiteral("无法保存"))) << log.reports[0].toStdString();
        }
        EXPECT_LT(clock.elapsed(), 2 * IniSettingsStore::kLockDeadline.count() + 1000) << c.name;
        EXPECT_EQ(Slurp(path), old) << c.name;
        if (holder > 0) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
    }
}

// Raw control characters are saved escaped, up to four bytes each: a file
// just under the limit came back from its first save at three times the
// size, was refused at the next start, and every setting was lost.
TEST(SettingsTrouble, FileThatASaveWouldGrowPastTheLimitIsKeptAndNeverWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TESSEL.ini");
    const QByteArray bytes = "[frmMain]\nTop=1500\n[services]\nParseHome=" +
                             QByteArray(IniSettingsStore::kMaxFileBytes / 2, '\x01') + "\n";
    Spit(path, bytes);
    {
        IniSettingsStore store(path);
        EXPECT_EQ(store.KeptBrokenFile(), path + ".broken");
        WriteInt16(store, keys::kFirstRun, 1);
        store.Flush();
        // A value the program writes can no more push the file past it.
        store.Write("services", "Note", QString(IniSettingsStore::kMaxFileBytes / 4, QChar(1)));
        store.Flush();
        EXPECT_FALSE(store.Saving());
    }
    EXPECT_EQ(Slurp(path + ".broken"), bytes);
    EXPECT_LE(QFileInfo(path).size(), IniSettingsStore::kMaxFileBytes);
    IniSettingsStore again(path);
    EXPECT_TRUE(again.KeptBrokenFile().isEmpty());
    EXPECT_EQ(ReadInt16(again, keys::kFirstRun), 1);
    EXPECT_EQ(again.Read("frmMain", "Top").value_or("(absent)"), "1500");
    EXPECT_FALSE(again.Read("services", "Note"));
}

// The two worked examples of the message-box centring.
TEST(CenterOver, CentresAndRoundsHalvesToEven) {
    EXPECT_EQ(CenterOver({100, 100, 600, 420}, {0, 0, 200, 100}), QPoint(250, 210));
    EXPECT_EQ(CenterOver({100, 100, 601, 420}, {0, 0, 200, 100}), QPoint(250, 210));
    EXPECT_EQ(CenterOver({100, 100, 603, 420}, {0, 0, 200, 100}), QPoint(252, 210));  // 251.5 -> 252
    EXPECT_EQ(CenterOver({0, 0, 100, 100}, {0, 0, 300, 300}), QPoint(-100, -100));
}

}  // namespace
}  // namespace tessel::shell
