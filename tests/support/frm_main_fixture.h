// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A main window over a throwaway settings file and scripted prompts.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>

#include "shell/jobs/background_request.h"
#include "shell/pages/about_page.h"
#include "shell/pages/disk_page.h"
#include "shell/pages/link_page.h"
#include "shell/pages/options_strip.h"
#include "shell/pages/video_page.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/page_parts.h"
#include "shell/ui/status_line.h"
#include "shell/window/clipboard_text_box.h"
#include "shell/window/frm_main.h"
#include "support/find_child.h"
#include "support/scripted_prompts.h"

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tessel::shell::testing {

// An environment variable set for as long as the object lives; what was
// there before (or nothing) comes back afterwards.
class ScopedEnv {
 public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (old_.isNull())
            qunsetenv(name_);
        else
            qputenv(name_, old_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
    const char* name_;
    QByteArray old_;
};

class FrmMainTest : public ::testing::Test {
 protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override {
        if (w && !w->IsUnloaded()) w->close();
        w.reset();
    }

    // The window as constructed (not loaded).
    FrmMain& Make() {
        w = std::make_unique<FrmMain>(*store, &prompts);
        return *w;
    }
    // Load and the first activation, as the tray window runs them.
    FrmMain& Start() {
        Make();
        w->Load();
        w->Activate();
        return *w;
    }
    // Closes the window (its unload) and opens the settings file again, the
    // way the next run of the program sees it.
    void Restart() {
        w->close();
        w.reset();
        store = std::make_unique<IniSettingsStore>(path);
    }

    // Lets the window run until no request of it is running any more.
    static void WaitForRequests() {
        ASSERT_TRUE(QTest::qWaitFor([] { return BackgroundRequest::RunningCount() == 0; }, 15000));
    }

    void Put(const SettingKey& k, const QString& v) { store->Write(k.group, k.name, v); }
    std::optional<QString> Stored(const SettingKey& k) const { return store->Read(k.group, k.name); }

    QTemporaryDir dir;
    QString path = dir.filePath("TESSEL.ini");
    std::unique_ptr<IniSettingsStore> store = std::make_unique<IniSettingsStore>(path);
    ScriptedPrompts prompts;
    std::unique_ptr<FrmMain> w;
};

}  // namespace tessel::shell::testing
