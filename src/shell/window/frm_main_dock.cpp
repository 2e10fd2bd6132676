// SPDX-License-Identifier: GPL-3.0-or-later
// Edge docking on the main window: optQQ hooks the window to the dock
// adapter, which runs tmrCheck and tmrMove.  The option is not stored, and
// while it is selected the unload keeps the stored position.  Slid out of
// sight, the banner rests too.
#include "shell/pages/options_strip.h"
#include "shell/platform/dock_adapter.h"
#include "shell/window/frm_main.h"

namespace tessel::shell {

void FrmMain::WireDock() {
    dock_ = new DockAdapter(*this, options_->CheckTimer(), options_->MoveTimer(), MakeDockWindowSystem(*this),
                            this);
    connect(options_, &OptionsStrip::DockClicked, this, [this] {
        if (dock_->OptionSelected()) SavePosition();
    });
    connect(this, &FrmMain::Unloaded, dock_, &DockAdapter::Stop);
    connect(dock_, &DockAdapter::OutOfSightChanged, this, &FrmMain::SyncRippleTimer);
}

}  // namespace tessel::shell
