// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The yt-dlp road of the online-video page's parse.
//
// The page asks Parse() first on every click of "解析地址"; false means the
// settings choose the parse service and the page goes on as before.  While
// yt-dlp runs the window stays live and further clicks are taken and
// ignored.  The result lands in the same places as the service's: the
// media addresses in txtFlvlink (one per line, through the box's filter),
// "对不起，解析失败，您可以到硕鼠网站试试" when yt-dlp gives none, and the
// title and the media's headers for the page to keep (TitleFound,
// MediaFound).  Status() tells which engine answered and why yt-dlp failed.

#include <QObject>
#include <QString>
#include <string_view>
#include <vector>

#include "handoff/aria2_objects.h"
#include "shell/jobs/ytdlp_engine.h"
#include "web/ytdlp_reply.h"

class QPlainTextEdit;

namespace tessel::shell {

class SettingsStore;

// What the video page knows of the last parse: the title (shown as imgTip's
// tooltip, the file name of a hand-off) and the media yt-dlp gave, with the
// headers their servers want.
struct VideoFound {
    QString title;
    std::vector<web::YtDlpMedia> media;

    // What the media server needs for `address` when it is one yt-dlp gave
    // in its last answer, with the media's extension and the address taken
    // as UTF-8; nothing otherwise (the parse service's GBK rule).
    handoff::MediaHeaders HeadersFor(std::u16string_view address) const;
};

class YtDlpVideoParse : public QObject {
    Q_OBJECT
 public:
    // The page's input and output boxes.
    YtDlpVideoParse(const SettingsStore& settings, QPlainTextEdit* txtOnlineflv, QPlainTextEdit* txtFlvlink,
                    QObject* parent = nullptr);

    // Takes the click when yt-dlp is the engine (VideoEngine, YtDlpPath).
    bool Parse();
    bool Running() const { return engine_.Running(); }

    // The last word on the engine: running, which engine answered, yt-dlp's
    // error.  Empty until the first parse through yt-dlp.
    QString Status() const { return status_; }

 signals:
    void StatusChanged(const QString& status);
    // A run starts: the earlier title and media go ("" and none).  It
    // succeeds: the media come before the box is written, the title after,
    // and only when the box's filter kept the addresses.
    void TitleFound(const QString& title);
    void MediaFound(const std::vector<web::YtDlpMedia>& media);

 private:
    void Apply(const web::YtDlpReply& reply);
    void Fail(const std::u16string& why);
    void SetStatus(const QString& status);

    const SettingsStore& settings_;
    QPlainTextEdit* txtOnlineflv_;
    QPlainTextEdit* txtFlvlink_;
    YtDlpEngine engine_;
    QString status_;
};

}  // namespace tessel::shell
