// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ytdlp_engine.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>

namespace tessel::shell {

namespace {

// Enough for the last error lines; yt-dlp's warnings before them may be many.
constexpr qsizetype kMaxErrors = 64 * 1024;

// Ends yt-dlp's process group.  A process still starting has no id yet, and
// kill(0) would hit our own group, so only a real id is used.
void KillGroup(qint64 pid) {
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

QString Runnable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
}

}  // namespace

QString FindYtDlp(const QString& configured) {
    QString wanted = configured.trimmed();
    if (wanted.isEmpty()) {
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("yt-dlp"));
        if (!onPath.isEmpty()) return onPath;
        return Runnable(QDir::homePath() + QStringLiteral("/.local/bin/yt-dlp"));
    }
    if (wanted.startsWith(QStringLiteral("~/"))) wanted = QDir::homePath() + wanted.mid(1);
    if (wanted.contains(QLatin1Char('/'))) return Runnable(wanted);
    return QStandardPaths::findExecutable(wanted);
}

YtDlpEngine::YtDlpEngine(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout_).count();
        Stop(u"yt-dlp 在 " + QString::number(seconds).toStdU16String() + u" 秒内没有结束");
    });
}

YtDlpEngine::~YtDlpEngine() {
    if (!process_) return;
    process_->disconnect(this);
    if (process_->state() != QProcess::NotRunning) {
        KillGroup(process_->processId());
        process_->waitForFinished(2000);
    }
}

bool YtDlpEngine::Start(const QString& program, std::u16string_view address,
                        std::chrono::milliseconds timeout) {
    if (process_) return false;
    output_.clear();
    errors_.clear();
    failure_.clear();
    timeout_ = timeout;

    QStringList arguments;
    for (const std::string& a : web::YtDlpArguments(address)) arguments << QString::fromStdString(a);

    process_ = std::make_unique<QProcess>();
    QProcess* p = process_.get();
    p->setProgram(program);
    p->setArguments(arguments);
    p->setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    p->setProcessEnvironment(env);
    // A group of its own, so that the time limit also ends whatever yt-dlp
    // started (newer versions run a JavaScript interpreter, ffprobe).
    p->setChildProcessModifier([] { ::setpgid(0, 0); });

    connect(p, &QProcess::readyReadStandardOutput, this, &YtDlpEngine::ReadOutput);
    connect(p, &QProcess::readyReadStandardError, this, &YtDlpEngine::ReadErrors);
    connect(p, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        Done(exitCode, status == QProcess::CrashExit);
    });
    connect(p, &QProcess::errorOccurred, this, [this, program](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        failure_ = u"无法启动 yt-dlp：" + program.toStdU16String();
        Done(-1, false);
    });
    p->start(QIODevice::ReadOnly);
    // A program that cannot start may already have finished the run.
    if (process_) timer_.start(timeout_);
    return true;
}

void YtDlpEngine::ReadOutput() {
    if (!process_ || !failure_.empty()) return;
    const QByteArray more = process_->readAllStandardOutput();
    if (static_cast<std::size_t>(output_.size() + more.size()) > web::kYtDlpMaxOutput) {
        output_.clear();
        Stop(u"yt-dlp 的输出超过 16 MiB");
        return;
    }
    output_ += more;
}

void YtDlpEngine::ReadErrors() {
    if (!process_) return;
    errors_ += process_->readAllStandardError();
    if (errors_.size() > kMaxErrors) errors_.remove(0, errors_.size() - kMaxErrors);
}

void YtDlpEngine::Stop(std::u16string why) {
    if (!process_ || !failure_.empty()) return;
    failure_ = std::move(why);
    timer_.stop();
    if (process_->state() != QProcess::NotRunning) {
        KillGroup(process_->processId());
        process_->kill();  // in case it was stopped before it had its group
    }
}

void YtDlpEngine::Done(int exitCode, bool crashed) {
    if (!process_) return;
    timer_.stop();
    if (failure_.empty()) {
        ReadOutput();
        ReadErrors();
    }
    web::YtDlpReply reply;
    const std::u16string errorLine = web::YtDlpErrorLine(errors_.toStdString());
    if (!failure_.empty()) {
        reply.error = failure_;
    } else if (crashed) {
        reply.error = errorLine.empty() ? u"yt-dlp 意外退出" : errorLine;
    } else if (exitCode != 0) {
        reply.error = errorLine.empty()
                          ? u"yt-dlp 以退出码 " + QString::number(exitCode).toStdU16String() + u" 结束"
                          : errorLine;
    } else {
        reply = web::ReadYtDlpReply(
            std::string_view(output_.constData(), static_cast<std::size_t>(output_.size())));
    }
    // The process object may be the sender of the signal that got us here.
    process_->disconnect(this);
    process_.release()->deleteLater();
    output_.clear();
    errors_.clear();
    emit Finished(reply);
}

}  // namespace tessel::shell
