// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The online-video page ("fraFlv"): the parse, the filter of the output box,
// paste and copy, the browser download, the download-manager hand-off and
// copying the file name.

#include "shell/jobs/ytdlp_video_parse.h"
#include "shell/pages/service_page.h"

class QLabel;
class QPlainTextEdit;

namespace tessel::handoff {
enum class HandoffButton;
}

namespace tessel::shell {

class VideoPage final : public ServicePage {
    Q_OBJECT
 public:
    VideoPage(PageContext context, QWidget* parent);

    // The notice the load puts into txtFlvlink.
    void ShowLoadNotice();
    // The text of txtFlvlink, in the program's form (lines apart by CR LF).
    std::u16string FlvlinkText() const;
    // A video address for txtOnlineflv (a copied or opened link).
    void SetOnlineflv(std::u16string_view text);

    // The parse (the click on skbParse).  The request, or yt-dlp, runs
    // beside the window; the boxes change when it ends.
    void Parse();
    bool Busy() const override { return ServicePage::Busy() || ytdlp_->Running(); }
    void PasteOnlineflv();
    void OpenInBrowser();
    void Handoff(handoff::HandoffButton button);

    // The parsed title: kept by the page, shown as imgTip's tooltip (cut to
    // what a tooltip shows), handed on as the file name; "" clears it.
    void ShowTitle(const QString& title);
    const QString& Title() const { return found_.title; }
    // The title onto the clipboard, when there is one.
    void CopyFileName();

 private:
    // Runs on every change of txtFlvlink, whoever made it.
    void FilterFlvlink();

    QPlainTextEdit* txtOnlineflv_ = nullptr;
    QPlainTextEdit* txtFlvlink_ = nullptr;
    QLabel* imgTip_ = nullptr;
    // The parse through yt-dlp, when the settings choose it.
    YtDlpVideoParse* ytdlp_ = nullptr;
    VideoFound found_;
};

}  // namespace tessel::shell
