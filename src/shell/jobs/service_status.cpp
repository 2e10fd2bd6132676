// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/service_status.h"

#include <QUrl>

#include "shell/settings/settings_store.h"
#include "shell/ui/page_parts.h"
#include "web/download_to_file.h"

namespace tessel::shell {

namespace {

QString Seconds(std::chrono::milliseconds t) {
    return QString::number(std::chrono::duration<double>(t).count(), 'g', 3);
}

// Where to point the program elsewhere, or nothing for a typed address.
QString Remedy(const ServiceRef& s) {
    if (!s.key) return {};
    return QStringLiteral("，可改设置 [%1] %2")
        .arg(QString::fromLatin1(s.key->group), QString::fromLatin1(s.key->name));
}

QString Who(const ServiceRef& s) { return s.what + QLatin1Char(' ') + HostOf(s.address); }

}  // namespace

QString HostOf(std::u16string_view address) {
    const QUrl url(Q(address), QUrl::TolerantMode);
    if (url.isValid() && !url.host().isEmpty())
        return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
    return Q(address);
}

QString FailureText(const ServiceRef& s, web::FetchEnd end, std::chrono::milliseconds limit,
                    std::chrono::milliseconds silence) {
    using web::FetchEnd;
    switch (end) {
        case FetchEnd::Complete:
        case FetchEnd::Stopped:
        case FetchEnd::Aborted:
            return {};
        case FetchEnd::NoReply:
            if (silence.count() <= 0) return QStringLiteral("无法连接 %1").arg(Who(s)) + Remedy(s);
            return QStringLiteral("无法连接 %1，或它在 %2 秒内没有应答").arg(Who(s), Seconds(silence)) +
                   Remedy(s);
        case FetchEnd::TimedOut:
            return QStringLiteral("%1 在 %2 秒内没有答完").arg(Who(s), Seconds(limit)) + Remedy(s);
        case FetchEnd::Broken:
            return QStringLiteral("%1 的应答不完整（中途断开或 %2 秒无数据）").arg(Who(s), Seconds(silence)) +
                   Remedy(s);
        case FetchEnd::HttpError:
            return QStringLiteral("%1 拒绝了请求").arg(Who(s)) + Remedy(s);
        case FetchEnd::CutOff:
            return QStringLiteral("%1 的应答超过 %2 MiB，已放弃")
                .arg(Who(s))
                .arg(web::kMaxReplyBytes / (1024 * 1024));
        case FetchEnd::FileFailed:
            return QStringLiteral("%1 的应答无法存入临时文件夹 %2")
                .arg(Who(s), QString::fromStdString(web::GetTempFolder()));
    }
    return {};
}

QString BusyRefusalText(const QString& what) {
    return QStringLiteral("%1仍在进行，请等它结束后再试").arg(what);
}

}  // namespace tessel::shell
