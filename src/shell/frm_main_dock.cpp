// SPDX-License-Identifier: GPL-3.0-or-later
// Edge docking on the main window: optQQ hooks the window to the dock
// adapter, which runs tmrCheck and tmrMove.  The option is not stored, and
// while it is selected the unload keeps the stored position.
#include <QButtonGroup>
#include <QRadioButton>

#include "shell/dock_adapter.h"
#include "shell/frm_main.h"

namespace tessel::shell {

void FrmMain::WireDock() {
    dock_ = new DockAdapter(*this, *tmrCheck, *tmrMove, MakeDockWindowSystem(*this), this);
    // The only option button of its group: once selected it stays selected.
    // Alone, a Qt radio button would toggle off on the next click.
    auto* group = new QButtonGroup(this);
    group->addButton(optQQ);
    connect(optQQ, &QRadioButton::clicked, this, &FrmMain::OnQQClick);
    connect(this, &FrmMain::Unloaded, dock_, &DockAdapter::Stop);
}

void FrmMain::OnQQClick() {
    if (dock_->OptionSelected()) SavePosition();
}

}  // namespace tessel::shell
