// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <limits>

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
    text::ParseNumber(QString::fromLatin1(key.fallback).toStdU16String(), v);
    return v;
}

}  // namespace

IniSettingsStore::IniSettingsStore(const QString& path) : ini_(path, QSettings::IniFormat) {}

std::optional<QString> IniSettingsStore::Read(const QString& group, const QString& key) const {
    const QVariant v = ini_.value(KeyPath(group, key));
    if (!v.isValid()) return std::nullopt;
    // A hand-written list ("a, b") comes back as a string list; keep it as the
    // text it was, so it simply reads as "not a number".
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void IniSettingsStore::Write(const QString& group, const QString& key, const QString& value) {
    ini_.setValue(KeyPath(group, key), value);
}

void IniSettingsStore::Flush() { ini_.sync(); }

QString IniSettingsStore::DefaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QFileInfo(base).isAbsolute()) base = QDir::homePath() + "/.config";
    return base + QStringLiteral("/TESSEL/TESSEL.ini");
}

void IniSettingsStore::PrepareUserFile(const QString& path) {
    const QFileInfo info(path);
    QDir folder = info.absoluteDir();
    if (!folder.exists()) {
        folder.mkpath(QStringLiteral("."));
        QFile::setPermissions(folder.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    if (info.exists()) return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

int ReadInt16(const SettingsStore& store, const SettingKey& key) {
    const double fallback = Fallback(key);
    const auto v = StoredNumber(store, key);
    if (!v) return static_cast<int>(fallback);
    const std::int64_t n = text::RoundHalfEven(*v);
    if (n < std::numeric_limits<std::int16_t>::min() || n > std::numeric_limits<std::int16_t>::max())
        return static_cast<int>(fallback);
    return static_cast<int>(n);
}

double ReadSingle(const SettingsStore& store, const SettingKey& key, double fallback) {
    const auto v = StoredNumber(store, key);
    if (!v || std::fabs(*v) > std::numeric_limits<float>::max()) return fallback;
    return static_cast<double>(static_cast<float>(*v));
}

QString ReadText(const SettingsStore& store, const SettingKey& key) {
    const auto v = store.Read(QString::fromLatin1(key.group), QString::fromLatin1(key.name));
    return v ? *v : QString::fromUtf8(key.fallback);
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
