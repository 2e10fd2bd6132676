// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the pages that ask a service have in common: a named frame on white,
// what the window lends them, and one request of theirs at a time running
// beside the window.

#include "shell/jobs/background_request.h"
#include "shell/jobs/service_status.h"
#include "shell/ui/page_context.h"
#include "shell/ui/page_parts.h"
#include "shell/ui/status_line.h"

namespace tessel::shell {

class ServicePage : public FrameBox {
 public:
    // True while the page's work runs.
    virtual bool Busy() const { return request_.Running(); }

 protected:
    ServicePage(const char* name, const QString& caption, PageContext context, QWidget* parent)
        : FrameBox(name, caption, parent), context_(std::move(context)) {}

    // While the request runs, a command that would start another is refused
    // (true), and the status line says that `what` still runs.
    bool RefusedWhileBusy(const QString& what) {
        if (!request_.Running()) return false;
        context_.status.Show(BusyRefusalText(what));
        return true;
    }

    PageContext context_;
    BackgroundRequest request_{this};
};

}  // namespace tessel::shell
