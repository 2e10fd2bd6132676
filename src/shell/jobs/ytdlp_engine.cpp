// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/ytdlp_engine.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPromise>
#include <QStandardPaths>
#include <QStringList>
#include <QThreadPool>
#include <algorithm>
#include <optional>
#include <utility>

namespace tessel::shell {

namespace {

// Enough for the last error lines; yt-dlp's warnings before them may be many.
constexpr qsizetype kMaxErrors = 64 * 1024;

// Ends yt-dlp's process group.  A process still starting has no id yet, and
// kill(0) would hit our own group, so only a real id is used.
void KillGroup(qint64 pid) {
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

// The parent and start time (in clock ticks since boot) of process `pid`.
std::optional<std::pair<qint64, quint64>> ParentAndStart(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray line = stat.readAll();
    // After the name in parentheses (which may hold blanks and ")"): state,
    // parent, ... and the start time as the 20th field after the name.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20) return std::nullopt;
    return std::pair{fields[1].toLongLong(), fields[19].toULongLong()};
}

}  // namespace

std::vector<YtDlpEngine::Descendant> YtDlpEngine::DescendantsOf(qint64 root) {
    QHash<qint64, QList<std::pair<qint64, quint64>>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number) continue;
        if (const auto info = ParentAndStart(pid)) children[info->first].append({pid, info->second});
    }
    std::vector<Descendant> out;
    QList<qint64> pending{root};
    while (!pending.isEmpty() && out.size() < 4096) {
        for (const auto& [pid, start] : children.value(pending.takeFirst())) {
            out.push_back({pid, start});
            pending.append(pid);
        }
    }
    return out;
}

void YtDlpEngine::EndDescendants() {
    // Those that left yt-dlp's group (setsid) and were seen while it ran; the
    // start time tells a process from a later one given the same id.
    for (const Descendant& d : seen_) {
        const auto now = ParentAndStart(d.pid);
        if (now && now->second == d.start) ::kill(static_cast<pid_t>(d.pid), SIGKILL);
    }
    seen_.clear();
    KillGroup(pid_);
}

void YtDlpEngine::NoteDescendants() {
    if (pid_ <= 0) return;
    for (const Descendant& d : DescendantsOf(pid_)) {
        const bool known = std::any_of(seen_.begin(), seen_.end(), [&](const Descendant& s) {
            return s.pid == d.pid && s.start == d.start;
        });
        if (!known && seen_.size() < 4096) seen_.push_back(d);
    }
}

namespace {

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
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, &YtDlpEngine::NoteDescendants);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout_).count();
        Stop(u"yt-dlp 在 " + QString::number(seconds).toStdU16String() + u" 秒内没有结束");
    });
}

YtDlpEngine::~YtDlpEngine() {
    // A report still being read is read to its end by its pool thread and
    // dropped there.
    delete reading_;
    if (!process_) return;
    process_->disconnect(this);
    if (process_->state() != QProcess::NotRunning) {
        NoteDescendants();
        EndDescendants();
        process_->kill();
        process_->waitForFinished(2000);
    }
}

bool YtDlpEngine::Start(const QString& program, std::u16string_view address,
                        std::chrono::milliseconds timeout) {
    if (Running()) return false;
    output_.clear();
    errors_.clear();
    failure_.clear();
    timeout_ = timeout;

    QStringList arguments;
    for (const std::string& a : web::YtDlpArguments(address)) arguments << QString::fromStdString(a);

    process_ = std::make_unique<QProcess>();
    pid_ = 0;
    seen_.clear();
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

    connect(p, &QProcess::started, this, [this] {
        if (process_) pid_ = process_->processId();
    });
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
    if (process_) {
        // The id is known once start() has forked; waiting for started()
        // would leave a window in which a stop could not find the group.
        pid_ = process_->processId();
        timer_.start(timeout_);
        watch_.start();
    }
    return true;
}

void YtDlpEngine::ReadOutput() {
    if (!process_ || !failure_.empty()) return;
    // yt-dlp prints its report as it ends: whatever it started that still
    // runs is seen now, before it is orphaned.
    NoteDescendants();
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
    watch_.stop();
    if (process_->state() != QProcess::NotRunning) {
        // All of its tree, those in a session of their own included, while
        // yt-dlp still holds it together.
        NoteDescendants();
        EndDescendants();
        process_->kill();  // in case it was stopped before it had its group
    }
}

void YtDlpEngine::Done(int exitCode, bool crashed) {
    if (!process_) return;
    timer_.stop();
    watch_.stop();
    if (failure_.empty()) {
        ReadOutput();
        ReadErrors();
    }
    web::YtDlpReply reply;
    const std::u16string errorLine = web::YtDlpErrorLine(errors_.toStdString());
    const bool succeeded = failure_.empty() && !crashed && exitCode == 0;
    if (!failure_.empty()) {
        reply.error = failure_;
    } else if (crashed) {
        reply.error = errorLine.empty() ? u"yt-dlp 意外退出" : errorLine;
    } else if (exitCode != 0) {
        reply.error = errorLine.empty()
                          ? u"yt-dlp 以退出码 " + QString::number(exitCode).toStdU16String() + u" 结束"
                          : errorLine;
    }
    // Nothing yt-dlp started outlives the run.
    EndDescendants();
    // The process object may be the sender of the signal that got us here.
    process_->disconnect(this);
    process_.release()->deleteLater();
    QByteArray report = std::exchange(output_, {});
    errors_.clear();
    if (succeeded) {
        ReadReport(std::move(report));
        return;
    }
    emit Finished(reply);
}

void YtDlpEngine::ReadReport(QByteArray report) {
    // The promise is shared only because the pool takes copyable work; the
    // engine keeps nothing of it but the watcher, which goes with the engine.
    auto promise = std::make_shared<QPromise<web::YtDlpReply>>();
    reading_ = new QFutureWatcher<web::YtDlpReply>(this);
    connect(reading_, &QFutureWatcherBase::finished, this, &YtDlpEngine::Deliver);
    promise->start();
    reading_->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, report = std::move(report)] {
        promise->addResult(web::ReadYtDlpReply(
            std::string_view(report.constData(), static_cast<std::size_t>(report.size()))));
        promise->finish();
    });
}

void YtDlpEngine::Deliver() {
    // The watcher is the sender: it goes once the signal has been handled.
    QFutureWatcher<web::YtDlpReply>* reading = std::exchange(reading_, nullptr);
    reading->deleteLater();
    const QFuture<web::YtDlpReply> future = reading->future();
    const web::YtDlpReply reply =
        future.resultCount() > 0 ? future.result() : web::YtDlpReply{false, {}, {}, u"yt-dlp 的输出无法读取"};
    emit Finished(reply);
}

}  // namespace tessel::shell
