// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The About page ("fraAbout"): the credits text.

#include "shell/ui/page_parts.h"

namespace tessel::shell {

class AboutPage final : public FrameBox {
    Q_OBJECT
 public:
    explicit AboutPage(QWidget* parent);
};

}  // namespace tessel::shell
