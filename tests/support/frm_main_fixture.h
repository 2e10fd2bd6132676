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
#include "support/page_fixture.h"

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

// A main window over the page fixture's settings file and prompts.
class FrmMainTest : public PageTest {
 protected:
    void TearDown() override {
        if (w && !w->IsUnloaded()) w->close();
        w.reset();
    }

    // The window as constructed (not loaded).
    FrmMain& Make() {
        w = std::make_unique<FrmMain>(*store, &prompts);
        return *w;
    }
    // Load and the first activation, as the tray window runs them; the
    // pages behind the front one are built as a first visit to their tabs
    // builds them, so their controls can be found by name.
    FrmMain& Start() {
        Make();
        w->Load();
        w->Activate();
        w->Video();
        return *w;
    }
    // Closes the window (its unload) and opens the settings file again, the
    // way the next run of the program sees it.
    void Restart() {
        w->close();
        w.reset();
        store = std::make_unique<IniSettingsStore>(path);
    }

    std::unique_ptr<FrmMain> w;
};

}  // namespace tessel::shell::testing
