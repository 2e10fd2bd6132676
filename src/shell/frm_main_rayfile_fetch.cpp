// SPDX-License-Identifier: GPL-3.0-or-later
// The Rayfile command's automatic size fetch: the first block of the address
// through the page fetcher, whose progress event reports the announced size.
#include <QLineEdit>
#include <limits>

#include "links/commands.h"
#include "shell/frm_main.h"
#include "web/download.h"
#include "web/reply_file.h"

namespace tessel::shell {

namespace {
constexpr web::Long kRayfileTimeOutMs = 5000;
}  // namespace

links::RayfileFetchOutcome FrmMain::FetchRayfileSize(const std::u16string& address) {
    web::Cls_DownLoad* cdf = Cdf();
    const std::string replyPath = web::ReplyPath(web::kRayfileReply);
    // A fetch of another command still running (Cdf takes one at a time), or
    // no place for the reply: nothing can be fetched, as when the address
    // cannot be opened.
    if (!cdf || cdf->IsRunning() || replyPath.empty()) return links::RayfileAfterFetch(address, 0, u"0");

    // The handler listens only while this fetch runs, so a pick-code fetch is
    // never cut short here, and this one stops after its first block whichever
    // page is in front by then.
    cdf->entDLFileDowning = [this, cdf](const std::u16string&, web::Long, web::Long lFilesize, web::Long) {
        // A size past what the event can carry arrives clamped; a link with that
        // number would be wrong, so the user is asked instead.
        const web::Long size = lFilesize == std::numeric_limits<web::Long>::max() ? 0 : lFilesize;
        txtFilesize->setText(QString::number(size));
        cdf->DLFileStop();
    };
    const web::Long fetched = cdf->DLFile(address, replyPath, kRayfileTimeOutMs);
    cdf->entDLFileDowning = nullptr;
    return links::RayfileAfterFetch(address, fetched, BoxText(txtFilesize));
}

}  // namespace tessel::shell
