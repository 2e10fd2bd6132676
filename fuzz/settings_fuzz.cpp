// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the settings file: opening it never stops the program, every
// key reads as a number of its kind or its fallback, and what the store
// saves it reads back unchanged, never as a damaged file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "check.h"
#include "shell/settings/settings_store.h"

using namespace tessel::shell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TESSEL.ini"));
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path());
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    QHash<QString, QString> seen;
    {
        IniSettingsStore store(path);
        for (const SettingKey* key : keys::kAll) {
            switch (key->kind) {
                case SettingKind::Int16: {
                    const int v = ReadInt16(store, *key);
                    FUZZ_CHECK(v >= -32768 && v <= 32767);
                    break;
                }
                case SettingKind::Single: {
                    const double v = ReadSingle(store, *key, 1234);
                    FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= kMaxSingle);
                    break;
                }
                case SettingKind::Text:
                    break;
            }
            const QString text = ReadText(store, *key);
            seen.insert(QString::fromLatin1(key->name), text);
            // Saving what was read must keep it exactly.
            WriteText(store, *key, text);
        }
        store.Flush();
        if (!store.Saving()) return 0;
    }
    IniSettingsStore again(path);
    FUZZ_CHECK(again.KeptBrokenFile().isEmpty());
    for (const SettingKey* key : keys::kAll)
        FUZZ_CHECK(ReadText(again, *key) == seen.value(QString::fromLatin1(key->name)));
    return 0;
}
