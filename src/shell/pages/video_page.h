// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The online-video page ("fraFlv"): the parse, the filter of the output box,
// paste and copy, the browser download, the download-manager hand-off and
// copying the file name.

#include "shell/jobs/background_request.h"
#include "shell/ui/page_context.h"
#include "shell/ui/page_parts.h"

class QLabel;
class QPlainTextEdit;

namespace tessel::handoff {
enum class HandoffButton;
}

namespace tessel::shell {

class YtDlpVideoParse;

class VideoPage final : public FrameBox {
    Q_OBJECT
 public:
    VideoPage(PageContext context, QWidget* parent);

    // The notice the load puts into txtFlvlink.
    void ShowLoadNotice();

    // The parse (the click on skbParse).  The request runs beside the
    // window; the boxes change when it ends.
    void Parse();
    bool Busy() const { return parse_.Running(); }
    void PasteOnlineflv();
    void CopyFlvlink();
    void OpenInBrowser();
    void Handoff(handoff::HandoffButton button);
    // The parsed title (imgTip's tooltip) onto the clipboard, when there is one.
    void CopyFileName();

    QGroupBox* fraOnlineflv = nullptr;
    QPlainTextEdit* txtOnlineflv = nullptr;
    controls::SkButton* skbOnlineflv = nullptr;
    QGroupBox* fratxtFlvlink = nullptr;
    QPlainTextEdit* txtFlvlink = nullptr;
    controls::SkButton* skbFlvlink = nullptr;
    QGroupBox* fraFlvoperation = nullptr;
    controls::SkButton* skbParse = nullptr;
    controls::SkButton* skbFlvIE = nullptr;
    controls::SkButton* skbFlvthunder = nullptr;
    controls::SkButton* skbFlvflashget = nullptr;
    controls::SkButton* skbQqdl = nullptr;
    QLabel* lblfilename = nullptr;
    QLabel* imgTip = nullptr;  // its tooltip holds the parsed video title
    // The parse through yt-dlp, when the settings choose it.
    YtDlpVideoParse* ytDlp = nullptr;

 private:
    // Runs on every change of txtFlvlink, whoever made it.
    void FilterFlvlink();

    PageContext context_;
    BackgroundRequest parse_{this};
};

}  // namespace tessel::shell
