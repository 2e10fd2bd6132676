// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window lends its pages: the settings, the message and input
// boxes, and the page fetcher (null until the window has loaded).

#include <functional>

namespace tessel::web {
class Cls_DownLoad;
}

namespace tessel::shell {

class Prompts;
class SettingsStore;

struct PageContext {
    SettingsStore& settings;
    Prompts& prompts;
    std::function<web::Cls_DownLoad*()> fetcher;
};

}  // namespace tessel::shell
