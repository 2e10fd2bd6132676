// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The per-user settings of the window program.
//
// Every value is text, addressed by group and key.  The window keeps its own
// state in group "frmMain"; the addresses of the outside services live in
// group "services".  Every key the program reads or writes is declared once in
// the table below, with its kind and the default a reader gets when the key is
// missing or holds something that is not a number of that kind.
//
// The store behind it is an INI file ($XDG_CONFIG_HOME/TESSEL/TESSEL.ini);
// tests point IniSettingsStore at a file of their own.

#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "handoff/aria2_settings.h"
#include "links/routing.h"
#include "web/services.h"

namespace tessel::shell {

class SettingsStore {
 public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the key is absent.
    virtual std::optional<QString> Read(const QString& group, const QString& key) const = 0;
    virtual void Write(const QString& group, const QString& key, const QString& value) = 0;
    // Puts everything written so far into permanent storage.
    virtual void Flush() {}
    // Saves what this run wrote, then takes in what others changed in the
    // permanent storage since it was read (the file edited by hand).
    virtual void Reload() { Flush(); }
};

// QSettings in INI format on a file of its own.
//
// Saving is atomic (QSettings writes a temporary file and renames it over the
// old one), so a crash at any moment leaves either the old or the new file.
// A file that cannot be read as settings (not UTF-8 text, lines QSettings
// does not understand, unreadable, larger than kMaxFileBytes) is renamed to
// "<name>.broken" before anything is saved, so nothing the user wrote is
// lost; the values that could still be read are carried over, as far as a
// save can hold them.  When nothing can be saved at the path (it is a
// folder, its folder cannot be written, its lock cannot be taken within
// kLockDeadline, a save would pass kMaxFileBytes) the values of this run stay
// in memory.  Either way the trouble is reported once, through the handler
// given to OnTrouble.  Writes are saved together at the next turn of the
// event loop, at Flush and when the store goes.
class IniSettingsStore final : public SettingsStore {
 public:
    explicit IniSettingsStore(const QString& path);
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    std::optional<QString> Read(const QString& group, const QString& key) const override;
    void Write(const QString& group, const QString& key, const QString& value) override;
    void Flush() override;
    void Reload() override;
    QString Path() const { return path_; }

    // True while changes reach the file; false when they live only in memory.
    bool Saving() const { return ini_ != nullptr && !failed_; }
    // Where a file that could not be read as settings was put, or empty.
    QString KeptBrokenFile() const { return keptAs_; }

    // `report` gets one sentence for the user, at most once per store: at
    // once for a trouble found when the file was opened, else for the first
    // save that fails.
    void OnTrouble(std::function<void(const QString&)> report);

    // Ours stay below 4 KiB; anything this large is not a settings file, and
    // reading it whole would only cost memory.
    static constexpr qint64 kMaxFileBytes = 1 << 20;
    // How long a save waits for the file's lock before the run goes on
    // without saving.
    static constexpr std::chrono::milliseconds kLockDeadline{1500};

    // $XDG_CONFIG_HOME/TESSEL/TESSEL.ini, with ~/.config when the variable is
    // unset or not an absolute path.
    static QString DefaultPath();
    // Creates the file's folder (owner only) and an empty file readable by the
    // owner only, when they are missing: the file may hold the download
    // engine's secret.
    static void PrepareUserFile(const QString& path);

 private:
    void Open();
    void KeepBroken(const QString& why, bool readable);
    void Trouble(const QString& sentence);
    void CheckSaved();
    // Every key and value held now.
    QHash<QString, QString> Values() const;
    // Keeps what could be read in memory for this run and saves nothing.
    void ReadOnlyThisRun(const QString& why);

    QString path_;
    std::unique_ptr<QSettings> ini_;   // null: nothing can be stored at path_
    QHash<QString, QString> memory_;   // this run's values while ini_ is null
    QHash<QString, QString> pending_;  // written, not yet saved
    bool saveQueued_ = false;
    QObject saveTimerOwner_;  // a queued save goes with the store
    QString keptAs_;
    bool failed_ = false;
    QString trouble_;
    bool reported_ = false;
    std::function<void(const QString&)> report_;
};

// ---------------------------------------------------------------------------
// The keys.

enum class SettingKind {
    Int16,   // decimal text of a 16-bit integer ("0", "1", "-3")
    Single,  // decimal text of a single-precision number, no fraction when whole
    Text,
};

struct SettingKey {
    const char* group;
    const char* name;
    SettingKind kind;
    // What a reader gets for a missing or unusable value; the outside
    // services' addresses are the libraries' own defaults.
    std::u16string_view fallback;
};

namespace keys {
inline constexpr char kMainGroup[] = "frmMain";
inline constexpr char kServicesGroup[] = "services";

// Most of the window's keys are flags and numbers that start at 0; most of
// the services' are texts.
constexpr SettingKey MainKey(const char* name, SettingKind kind = SettingKind::Int16) {
    return {kMainGroup, name, kind, u"0"};
}
constexpr SettingKey ServicesKey(const char* name, std::u16string_view fallback = u"",
                                 SettingKind kind = SettingKind::Text) {
    return {kServicesGroup, name, kind, fallback};
}

// frmMain: the window's position, its options and the per-run tab flags.
// "Top" and "Left" have no fixed default: their reader supplies the centred
// position.
inline constexpr SettingKey kFirstRun = MainKey("firstrun");
inline constexpr SettingKey kTop = MainKey("Top", SettingKind::Single);
inline constexpr SettingKey kLeft = MainKey("Left", SettingKind::Single);
inline constexpr SettingKey kSetTop = MainKey("settop");
inline constexpr SettingKey kClipboard = MainKey("Clipboard");
inline constexpr SettingKey kShowIP = MainKey("IP");
inline constexpr SettingKey kLinkActiveTab = MainKey("linkActiveTab");
inline constexpr SettingKey kUDownActiveTab = MainKey("UDownActiveTab");
inline constexpr SettingKey kErrorCode = MainKey("errorcode");

// services: where the outside web services and the download engine are.
inline constexpr SettingKey kParseHome = ServicesKey("ParseHome", web::kDefaultParseHome);
inline constexpr SettingKey kParseHome2 = ServicesKey("ParseHome2", web::kDefaultParseHome2);
inline constexpr SettingKey kPickCodeApi = ServicesKey("PickCodeApi", web::kDefaultPickCodeApi);
inline constexpr SettingKey kIpEcho = ServicesKey("IpEcho", web::kDefaultIpEcho);
inline constexpr SettingKey kDiskServiceDomain =
    ServicesKey("DiskServiceDomain", links::kDefaultDiskServiceDomain);
inline constexpr SettingKey kAria2Rpc = ServicesKey("Aria2Rpc", handoff::kAria2RpcDefault);
inline constexpr SettingKey kAria2Secret = ServicesKey("Aria2Secret");
// The online-video page's engine: "yt-dlp", "service" or "auto" (yt-dlp when
// it is installed).
inline constexpr SettingKey kVideoEngine = ServicesKey("VideoEngine", u"auto");
inline constexpr SettingKey kYtDlpPath = ServicesKey("YtDlpPath");
inline constexpr SettingKey kYtDlpTimeout = ServicesKey("YtDlpTimeout", u"30", SettingKind::Int16);
inline constexpr SettingKey kAria2CaFile = ServicesKey("Aria2CaFile");
// "auto": Tessel starts its own aria2 when none answers at a loopback
// Aria2Rpc; "never": only another aria2.  DownloadDir: where Tessel's own
// saves ("" the desktop's download folder).
inline constexpr SettingKey kAria2Start = ServicesKey("Aria2Start", u"auto");
inline constexpr SettingKey kDownloadDir = ServicesKey("DownloadDir");

inline constexpr const SettingKey* kAll[] = {
    &kFirstRun,      &kTop,
    &kLeft,          &kSetTop,
    &kClipboard,     &kShowIP,
    &kLinkActiveTab, &kUDownActiveTab,
    &kErrorCode,     &kParseHome,
    &kParseHome2,    &kPickCodeApi,
    &kIpEcho,        &kDiskServiceDomain,
    &kAria2Rpc,      &kAria2Secret,
    &kVideoEngine,   &kYtDlpPath,
    &kYtDlpTimeout,  &kAria2CaFile,
    &kAria2Start,    &kDownloadDir,
};
}  // namespace keys

// Readers.  A stored text that is not a number of the key's kind (letters, an
// empty text, a 16-bit value out of range) reads as the fallback, so a
// hand-edited file can never stop the program.
int ReadInt16(const SettingsStore& store, const SettingKey& key);
// `fallback` replaces the key's own one (the centred position for Top/Left).
// Values beyond kMaxSingle read as the fallback too: no screen is that large,
// and every conversion of what is returned to whole pixels stays defined.
inline constexpr double kMaxSingle = 1e9;
double ReadSingle(const SettingsStore& store, const SettingKey& key, double fallback);
QString ReadText(const SettingsStore& store, const SettingKey& key);
// True when the stored text counts as 1 (the per-run tab flags); a missing
// value does not.
bool ReadsAsOne(const SettingsStore& store, const SettingKey& key);

// Writers, in the forms the readers expect.
void WriteInt16(SettingsStore& store, const SettingKey& key, int value);
void WriteSingle(SettingsStore& store, const SettingKey& key, double value);
void WriteText(SettingsStore& store, const SettingKey& key, const QString& value);

// Decimal text of a single-precision value: "1234", "-15", "12.5".
QString SingleToText(double value);

// What went wrong with a file or folder, in the words the status line and
// the notices use (errno in, a short Chinese text out).
QString ErrorText(int error);

}  // namespace tessel::shell
