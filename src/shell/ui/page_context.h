// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window lends its pages: the settings, the message and input
// boxes, and the status line.

namespace tessel::shell {

class Prompts;
class SettingsStore;
class StatusLine;

struct PageContext {
    SettingsStore& settings;
    Prompts& prompts;
    StatusLine& status;
};

}  // namespace tessel::shell
