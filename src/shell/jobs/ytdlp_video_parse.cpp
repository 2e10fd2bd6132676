// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/ytdlp_video_parse.h"

#include <QPlainTextEdit>

#include "shell/settings/settings_store.h"
#include "shell/ui/page_parts.h"
#include "text/input_cleaning.h"
#include "web/video_parse.h"

namespace tessel::shell {

YtDlpVideoParse::YtDlpVideoParse(const SettingsStore& settings, QPlainTextEdit* txtOnlineflv,
                                 QPlainTextEdit* txtFlvlink, QObject* parent)
    : QObject(parent),
      settings_(settings),
      txtOnlineflv_(txtOnlineflv),
      txtFlvlink_(txtFlvlink),
      engine_(this) {
    connect(&engine_, &YtDlpEngine::Finished, this, &YtDlpVideoParse::Apply);
}

bool YtDlpVideoParse::Parse() {
    const QString program = FindYtDlp(ReadText(settings_, keys::kYtDlpPath));
    const web::VideoEngine engine =
        web::ChooseVideoEngine(ReadText(settings_, keys::kVideoEngine).toStdU16String(), !program.isEmpty());
    if (engine == web::VideoEngine::Service) return false;
    if (engine_.Running()) return true;

    const std::u16string address = text::CleanInput(BoxText(txtOnlineflv_));
    SetBoxText(txtOnlineflv_, address);
    if (address.empty()) {
        SetBoxText(txtFlvlink_, web::kFlvAskInput);
        return true;
    }
    emit TitleFound(QString());
    emit MediaFound({});
    if (program.isEmpty()) {
        Fail(u"没有找到 yt-dlp，请安装它或在设置 YtDlpPath 里写明它的位置");
        return true;
    }
    const int seconds = web::YtDlpTimeoutSeconds(ReadText(settings_, keys::kYtDlpTimeout).toStdU16String());
    SetStatus(QStringLiteral("yt-dlp 正在解析……"));
    engine_.Start(program, address, std::chrono::seconds(seconds));
    return true;
}

void YtDlpVideoParse::Apply(const web::YtDlpReply& reply) {
    if (!reply.ok) {
        Fail(reply.error);
        return;
    }
    emit MediaFound(reply.media);
    std::u16string joined;
    for (const web::YtDlpMedia& m : reply.media) {
        if (!joined.empty()) joined += u"\r\n";
        joined += m.address;
    }
    // The box cuts what yt-dlp may have made megabytes long.
    SetBoxText(txtFlvlink_, joined);
    // As with the service: a title only for addresses the box's filter kept.
    if (BoxText(txtFlvlink_) == FittedBoxText(joined)) emit TitleFound(Q(reply.title));
    SetStatus(QStringLiteral("由 yt-dlp 解析：%1 个地址").arg(reply.media.size()));
}

void YtDlpVideoParse::Fail(const std::u16string& why) {
    SetBoxText(txtFlvlink_, web::kFlvParseFailed);
    SetStatus(QStringLiteral("yt-dlp 解析失败：") + Q(why));
}

void YtDlpVideoParse::SetStatus(const QString& status) {
    status_ = status;
    emit StatusChanged(status_);
}

handoff::MediaHeaders VideoFound::HeadersFor(std::u16string_view address) const {
    for (const web::YtDlpMedia& m : media) {
        if (m.address != address) continue;
        handoff::MediaHeaders h{m.headers.referer, m.headers.userAgent, {}, m.ext, text::CodePage::Utf8};
        if (!m.headers.cookie.empty()) h.header.push_back("Cookie: " + m.headers.cookie);
        for (const std::string& line : m.headers.other) h.header.push_back(line);
        return h;
    }
    return {};
}

}  // namespace tessel::shell
