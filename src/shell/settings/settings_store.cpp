// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "handoff/services_ini.h"
#include "text/vbstring.h"

namespace tessel::shell {

namespace {

QString KeyPath(const QString& group, const QString& key) { return group + u'/' + key; }

std::optional<double> StoredNumber(const SettingsStore& store, const SettingKey& key) {
    const auto text = store.Read(QString::fromLatin1(key.group), QString::fromLatin1(key.name));
    if (!text) return std::nullopt;
    double v = 0;
    if (!text::ParseNumber(text->toStdU16String(), v) || !std::isfinite(v)) return std::nullopt;
    return v;
}

double Fallback(const SettingKey& key) {
    double v = 0;
    text::ParseNumber(key.fallback, v);
    return v;
}

QString TextOf(const QVariant& v) {
    // A hand-written list ("a, b") comes back as a string list; keep it as the
    // text it was, so it simply reads as "not a number".
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

// Why a save at `path` fails, as far as the file system tells.
QString WhyNotWritable(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::access(file.constData(), F_OK) == 0 && ::access(file.constData(), W_OK) != 0)
        return ErrorText(errno);
    if (::access(folder.constData(), W_OK) != 0) return ErrorText(errno);
    return QStringLiteral("写入失败");
}

QString Quoted(const QString& path) { return u'\u201c' + QDir::toNativeSeparators(path) + u'\u201d'; }

// An empty file only the owner can read: a save keeps the permissions of the
// file it replaces.
void CreatePrivateFile(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Reads up to `limit` bytes; false with errno set when the file cannot be read.
bool ReadAtMost(const QString& path, qint64 limit, QByteArray& out) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    out.resize(limit);
    qint64 got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, out.data() + got, static_cast<size_t>(limit - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    ::close(fd);
    out.truncate(got);
    return true;
}

// QSettings takes "<file>.lock" for every save and waits for it without
// end: a folder at that name, or a program that holds it and hangs, would
// freeze the window for good.  The lock is tried here first, with a deadline;
// QSettings then finds it free.  "" when it is; else why not.
QString LockTrouble(const QString& path, std::chrono::milliseconds deadline) {
    const QString name = path + QStringLiteral(".lock");
    struct stat st = {};
    if (::lstat(QFile::encodeName(name).constData(), &st) != 0) {
        // Nobody holds it: taking it here would only write and delete a file
        // (on every start, on the way to the window).  QSettings takes it.
        if (errno == ENOENT) return {};
    } else if (!S_ISREG(st.st_mode)) {
        return QStringLiteral("锁文件%1是一个文件夹或其他不是普通文件的东西").arg(Quoted(name));
    }
    QLockFile lock(name);
    if (lock.tryLock(static_cast<int>(deadline.count()))) return {};
    switch (lock.error()) {
        case QLockFile::LockFailedError:
            return QStringLiteral("锁文件%1被另一个程序占着").arg(Quoted(name));
        case QLockFile::PermissionError:
            return QStringLiteral("无法创建锁文件%1（权限不够）").arg(Quoted(name));
        default:
            return QStringLiteral("无法创建锁文件%1").arg(Quoted(name));
    }
}

// An upper bound of the bytes QSettings writes for these keys and values: a
// key's character takes at most six bytes ("%U4E2D"), a value's at most four
// ("\x1f"), plus quotes, "=", the line break and the group's header.
qint64 SavedSizeBound(const QHash<QString, QString>& values) {
    qint64 bytes = 0;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        bytes += 6 * it.key().size() + 4 * it.value().size() + 8;
    return bytes;
}

}  // namespace

QString ErrorText(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return QStringLiteral("权限不够");
        case EROFS:
            return QStringLiteral("文件系统只读");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘已满");
        case ENOTDIR:
        case EEXIST:
            return QStringLiteral("路径中有一段不是文件夹");
        case ENOENT:
            return QStringLiteral("文件夹不存在");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

IniSettingsStore::IniSettingsStore(const QString& path) : path_(path) { Open(); }

IniSettingsStore::~IniSettingsStore() { Flush(); }

void IniSettingsStore::Open() {
    struct stat st = {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0) {
        if (errno == ENOENT) {
            if (const QString why = LockTrouble(path_, kLockDeadline); !why.isEmpty()) {
                ReadOnlyThisRun(why);
                return;
            }
            // The first save creates it.
            ini_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
            return;
        }
        Trouble(QStringLiteral("设置无法保存到%1（%2）；本次运行的更改在退出后丢失。")
                    .arg(Quoted(path_), ErrorText(errno)));
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        // Never opened: reading a named pipe would wait for ever.
        Trouble(QStringLiteral("设置文件%1是一个文件夹或其他不是普通文件的东西，设置无法保存；"
                               "本次运行的更改在退出后丢失。请把它改名或删除。")
                    .arg(Quoted(path_)));
        return;
    }
    if (const QString why = LockTrouble(path_, kLockDeadline); !why.isEmpty()) {
        ReadOnlyThisRun(why);
        return;
    }
    if (st.st_size > kMaxFileBytes) {
        KeepBroken(QStringLiteral("过大（%1 字节），不是设置文件").arg(st.st_size), false);
        return;
    }
    QByteArray bytes;
    if (!ReadAtMost(path_, kMaxFileBytes + 1, bytes)) {
        KeepBroken(QStringLiteral("无法读取（%1）").arg(ErrorText(errno)), false);
        return;
    }
    if (bytes.size() > kMaxFileBytes) {
        KeepBroken(QStringLiteral("过大，不是设置文件"), false);
        return;
    }
    ini_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
    // QSettings reads what it can of a damaged file and drops the rest at
    // the next save; undecodable bytes would come back as U+FFFD.
    // QSettings parses on first use; only then does its status tell.
    [[maybe_unused]] const QStringList parsed = ini_->allKeys();
    if (!QByteArrayView(bytes).isValidUtf8() || bytes.contains('\0')) {
        KeepBroken(QStringLiteral("不是 UTF-8 文本"), true);
    } else if (ini_->status() != QSettings::NoError) {
        KeepBroken(QStringLiteral("含有无法识别的内容"), true);
    } else if (SavedSizeBound(Values()) > kMaxFileBytes) {
        // Raw control characters are written escaped, up to four bytes each:
        // saved as it stands, the file would grow past what is read back.
        KeepBroken(QStringLiteral("保存后会超过 1 MiB（含有过长的值），不是设置文件"), true);
    } else if (::access(QFile::encodeName(path_).constData(), W_OK) != 0) {
        failed_ = true;
        Trouble(QStringLiteral("设置无法保存到%1（%2）；本次运行的更改在退出后丢失。")
                    .arg(Quoted(path_), ErrorText(errno)));
    }
}

void IniSettingsStore::KeepBroken(const QString& why, bool readable) {
    QHash<QString, QString> recovered;
    if (readable && ini_) {
        // Only what a save can hold: the longest values stay in the kept file.
        qint64 bytes = 0;
        for (const QString& key : ini_->allKeys()) {
            const QString value = TextOf(ini_->value(key));
            const qint64 more = SavedSizeBound({{key, value}});
            if (bytes + more > kMaxFileBytes / 2) continue;
            bytes += more;
            recovered.insert(key, value);
        }
    }
    ini_.reset();
    // An earlier broken file stays where it is.
    QString target = path_ + QStringLiteral(".broken");
    for (int i = 1; QFileInfo(target).exists() || QFileInfo(target).isSymLink(); ++i) {
        if (i > 99) break;
        target = path_ + QStringLiteral(".broken.%1").arg(i);
    }
    if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) != 0) {
        memory_ = std::move(recovered);
        Trouble(
            QStringLiteral("设置文件%1%2，又无法改名保留（%3），设置无法保存；本次运行的更改在退出后丢失。")
                .arg(Quoted(path_), why, ErrorText(errno)));
        return;
    }
    keptAs_ = target;
    CreatePrivateFile(path_);
    ini_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
    for (auto it = recovered.cbegin(); it != recovered.cend(); ++it) ini_->setValue(it.key(), it.value());
    // Saved at once: the broken file is gone, and the next start must not
    // mistake the missing file for a first run.
    ini_->sync();
    Trouble(QStringLiteral("设置文件%1%2，已原样改名为%3，设置改存到新的文件。")
                .arg(Quoted(path_), why, Quoted(target)));
    CheckSaved();
}

QHash<QString, QString> IniSettingsStore::Values() const {
    if (!ini_) return memory_;
    QHash<QString, QString> values;
    for (const QString& key : ini_->allKeys()) values.insert(key, TextOf(ini_->value(key)));
    return values;
}

void IniSettingsStore::ReadOnlyThisRun(const QString& why) {
    // Read, never written: QSettings reads without the lock, and a store
    // with nothing to save does not take it when it goes.
    if (!ini_ && QFileInfo(path_).isFile() && QFileInfo(path_).size() <= kMaxFileBytes)
        ini_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
    QHash<QString, QString> values = Values();
    ini_.reset();
    for (auto it = values.cbegin(); it != values.cend(); ++it) memory_.insert(it.key(), it.value());
    Trouble(QStringLiteral("%1，设置无法保存；本次运行的更改在退出后丢失。").arg(why));
}

void IniSettingsStore::Trouble(const QString& sentence) {
    if (!trouble_.isEmpty()) return;
    trouble_ = sentence;
    if (report_ && !reported_) {
        reported_ = true;
        report_(trouble_);
    }
}

void IniSettingsStore::OnTrouble(std::function<void(const QString&)> report) {
    report_ = std::move(report);
    if (report_ && !trouble_.isEmpty() && !reported_) {
        reported_ = true;
        report_(trouble_);
    }
}

void IniSettingsStore::CheckSaved() {
    if (failed_ || !ini_ || ini_->status() != QSettings::AccessError) return;
    failed_ = true;
    Trouble(QStringLiteral("设置无法保存到%1（%2）；本次运行的更改在退出后丢失。")
                .arg(Quoted(path_), WhyNotWritable(path_)));
}

std::optional<QString> IniSettingsStore::Read(const QString& group, const QString& key) const {
    const QString path = KeyPath(group, key);
    if (const auto it = pending_.constFind(path); it != pending_.cend()) return *it;
    if (!ini_) {
        const auto it = memory_.constFind(path);
        if (it == memory_.cend()) return std::nullopt;
        return *it;
    }
    const QVariant v = ini_->value(path);
    if (!v.isValid()) return std::nullopt;
    return TextOf(v);
}

void IniSettingsStore::Write(const QString& group, const QString& key, const QString& value) {
    if (!ini_) {
        memory_.insert(KeyPath(group, key), value);
        return;
    }
    // Held here, not in QSettings, until the save: QSettings would wait for
    // the file's lock without end, here it is tried with a deadline first.
    // Saved once the event loop turns, as QSettings itself would.
    pending_.insert(KeyPath(group, key), value);
    if (!saveQueued_) {
        saveQueued_ = true;
        QTimer::singleShot(0, &saveTimerOwner_, [this] { Flush(); });
    }
}

void IniSettingsStore::Flush() {
    saveQueued_ = false;
    if (!ini_ || pending_.isEmpty()) return;
    QHash<QString, QString> pending;
    pending.swap(pending_);
    if (!failed_) {
        QString why = LockTrouble(path_, kLockDeadline);
        if (why.isEmpty()) {
            QHash<QString, QString> after = Values();
            after.insert(pending);
            if (SavedSizeBound(after) > kMaxFileBytes) why = QStringLiteral("设置超过 1 MiB");
        }
        if (!why.isEmpty()) {
            ReadOnlyThisRun(why);
            memory_.insert(pending);
            return;
        }
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) ini_->setValue(it.key(), it.value());
    ini_->sync();
    CheckSaved();
}

void IniSettingsStore::Reload() {
    Flush();
    // With nothing of ours pending, QSettings reads the file again.
    if (ini_ && !failed_) ini_->sync();
}

QString IniSettingsStore::DefaultPath() {
    // The same file tessel-cli aria2 reads.
    return QFile::decodeName(QByteArray::fromStdString(handoff::SettingsFilePath()));
}

void IniSettingsStore::PrepareUserFile(const QString& path) {
    const QFileInfo info(path);
    QDir folder = info.absoluteDir();
    if (!folder.exists()) {
        folder.mkpath(QStringLiteral("."));
        QFile::setPermissions(folder.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    if (!info.exists()) CreatePrivateFile(path);
}

int ReadInt16(const SettingsStore& store, const SettingKey& key) {
    const double fallback = Fallback(key);
    const auto v = StoredNumber(store, key);
    // Checked before rounding: a value past the 64-bit range has no whole
    // number to round to.
    if (!v || !(std::fabs(*v) < 65536.0)) return static_cast<int>(fallback);
    const std::int64_t n = text::RoundHalfEven(*v);
    if (n < std::numeric_limits<std::int16_t>::min() || n > std::numeric_limits<std::int16_t>::max())
        return static_cast<int>(fallback);
    return static_cast<int>(n);
}

double ReadSingle(const SettingsStore& store, const SettingKey& key, double fallback) {
    const auto v = StoredNumber(store, key);
    if (!v || std::fabs(*v) > kMaxSingle) return fallback;
    return static_cast<double>(static_cast<float>(*v));
}

QString ReadText(const SettingsStore& store, const SettingKey& key) {
    const auto v = store.Read(QString::fromLatin1(key.group), QString::fromLatin1(key.name));
    return v ? *v : QStringView(key.fallback).toString();
}

bool ReadsAsOne(const SettingsStore& store, const SettingKey& key) {
    const auto v = store.Read(QString::fromLatin1(key.group), QString::fromLatin1(key.name));
    return v && links::SettingReadsAsOne(v->toStdU16String());
}

void WriteInt16(SettingsStore& store, const SettingKey& key, int value) {
    store.Write(QString::fromLatin1(key.group), QString::fromLatin1(key.name), QString::number(value));
}

void WriteSingle(SettingsStore& store, const SettingKey& key, double value) {
    store.Write(QString::fromLatin1(key.group), QString::fromLatin1(key.name), SingleToText(value));
}

void WriteText(SettingsStore& store, const SettingKey& key, const QString& value) {
    store.Write(QString::fromLatin1(key.group), QString::fromLatin1(key.name), value);
}

QString SingleToText(double value) {
    const float f = static_cast<float>(value);
    if (std::nearbyint(f) == f && std::fabs(f) < 1e9f) return QString::number(static_cast<long long>(f));
    // Seven significant digits is what a single holds.
    return QString::number(static_cast<double>(f), 'g', 7);
}

}  // namespace tessel::shell
