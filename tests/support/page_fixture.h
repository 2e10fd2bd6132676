// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A page on its own, without the window: a throwaway settings file, scripted
// prompts and a status line, lent to the page the way the window lends its
// own.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

#include "shell/jobs/background_request.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/page_context.h"
#include "shell/ui/status_line.h"
#include "support/find_child.h"
#include "support/scripted_prompts.h"

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tessel::shell::testing {

class PageTest : public ::testing::Test {
 protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QGuiApplication::clipboard()->clear();
    }

    PageContext Context() { return {*store, prompts, status, nullptr}; }

    // Lets the pages run until no request of theirs is running any more.
    static void WaitForRequests() {
        ASSERT_TRUE(QTest::qWaitFor([] { return BackgroundRequest::RunningCount() == 0; }, 15000));
    }

    void Put(const SettingKey& k, const QString& v) { store->Write(k.group, k.name, v); }
    std::optional<QString> Stored(const SettingKey& k) const { return store->Read(k.group, k.name); }

    QTemporaryDir dir;
    QString path = dir.filePath("TESSEL.ini");
    std::unique_ptr<IniSettingsStore> store = std::make_unique<IniSettingsStore>(path);
    ScriptedPrompts prompts;
    StatusLine status{nullptr};
};

}  // namespace tessel::shell::testing
