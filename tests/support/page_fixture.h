// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A page on its own, without the window: a throwaway settings file, scripted
// prompts and a status line, lent to the page the way the window lends its
// own.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>

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

    PageContext Context() { return {settings, prompts, status, nullptr}; }

    QTemporaryDir dir;
    IniSettingsStore settings{dir.filePath("TESSEL.ini")};
    ScriptedPrompts prompts;
    StatusLine status{nullptr};
};

}  // namespace tessel::shell::testing
