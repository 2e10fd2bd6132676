// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The yt-dlp road of the online-video page's parse.
//
// The page asks Parse() first on every click of "解析地址"; false means the
// settings choose the parse service and the page goes on as before.  While
// yt-dlp runs the window stays live and further clicks are taken and
// ignored.  The result lands in the same places as the service's: the
// title in imgTip's tooltip, the media addresses in txtFlvlink (one per
// line, through the box's filter), "对不起，解析失败，您可以到硕鼠网站试试"
// when yt-dlp gives none.  Status() tells which engine answered and why
// yt-dlp failed.

#include <QObject>
#include <QString>
#include <string_view>

#include "handoff/aria2_objects.h"
#include "shell/jobs/ytdlp_engine.h"
#include "web/ytdlp_reply.h"

class QLabel;
class QPlainTextEdit;

namespace tessel::shell {

class SettingsStore;

class YtDlpVideoParse : public QObject {
    Q_OBJECT
 public:
    // The page's input box, output box and title picture.
    YtDlpVideoParse(const SettingsStore& settings, QPlainTextEdit* txtOnlineflv, QPlainTextEdit* txtFlvlink,
                    QLabel* imgTip, QObject* parent = nullptr);

    // Takes the click when yt-dlp is the engine (VideoEngine, YtDlpPath).
    bool Parse();
    bool Running() const { return engine_.Running(); }

    // What the media server needs for `address` when it is one yt-dlp gave
    // in its last answer, with the media's extension and the address taken
    // as UTF-8; nothing otherwise (the parse service's GBK rule).
    handoff::MediaHeaders HeadersFor(std::u16string_view address) const;

    // The last word on the engine: running, which engine answered, yt-dlp's
    // error.  Empty until the first parse through yt-dlp.
    QString Status() const { return status_; }

 signals:
    void StatusChanged(const QString& status);

 private:
    void Apply(const web::YtDlpReply& reply);
    void Fail(const std::u16string& why);
    void SetStatus(const QString& status);

    const SettingsStore& settings_;
    QPlainTextEdit* txtOnlineflv_;
    QPlainTextEdit* txtFlvlink_;
    QLabel* imgTip_;
    YtDlpEngine engine_;
    web::YtDlpReply last_;
    QString status_;
};

}  // namespace tessel::shell
