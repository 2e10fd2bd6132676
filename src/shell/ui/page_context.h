// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window lends its pages: the settings, the message and input
// boxes, the status line and the download engine.

namespace tessel::shell {

class Aria2Engine;
class Prompts;
class SettingsStore;
class StatusLine;

struct PageContext {
    SettingsStore& settings;
    Prompts& prompts;
    StatusLine& status;
    Aria2Engine* engine = nullptr;  // the aria2 the hand-off reaches
};

}  // namespace tessel::shell
