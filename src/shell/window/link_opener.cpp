// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/window/link_opener.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>

#include "bridge/open_link.h"
#include "controls/safe_tabs.h"
#include "handoff/ed2k_program.h"
#include "handoff/handoff_command.h"
#include "shell/jobs/aria2_job.h"
#include "shell/jobs/download_follower.h"
#include "shell/pages/disk_page.h"
#include "shell/pages/link_page.h"
#include "shell/pages/video_page.h"
#include "shell/settings/settings_store.h"
#include "shell/ui/page_parts.h"
#include "shell/ui/prompts.h"
#include "shell/window/frm_main.h"
#include "text/codepage.h"
#include "text/prompt_title.h"

namespace tessel::shell {
namespace {

constexpr int kXdgMimeTimeoutMs = 5000;

QString NameOf(const handoff::Aria2Task& task, const std::u16string& shown) {
    const std::u16string name = handoff::Aria2TaskName(task);
    return Q(name.empty() ? shown : name);
}

// The ed2k program's entry for the desktop id xdg-mime named: the first
// readable file along the data folders.
std::optional<handoff::DesktopEntry> FindEntry(const QString& id) {
    const QByteArray home = qgetenv("HOME"), dataHome = qgetenv("XDG_DATA_HOME"),
                     dirs = qgetenv("XDG_DATA_DIRS");
    for (const std::string& path :
         handoff::DesktopEntryPaths(id.toStdString(), dataHome.isEmpty() ? nullptr : dataHome.constData(),
                                    dirs.isEmpty() ? nullptr : dirs.constData(), home.constData())) {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = file.read(256 * 1024);
        return handoff::ReadDesktopEntry(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    }
    return std::nullopt;
}

}  // namespace

LinkOpener::LinkOpener(FrmMain& window, QObject* parent) : QObject(parent), w_(window) {
    gather_.setSingleShot(true);
    gather_.setInterval(kGatherMs);
    connect(&gather_, &QTimer::timeout, this, &LinkOpener::Drain);
}

void LinkOpener::Open(const QStringList& texts) {
    BringToFront();
    std::size_t over = 0;
    for (const QString& t : texts) {
        if (pending_.size() >= kMaxPending) {
            ++over;
            continue;
        }
        pending_.push_back(t);
    }
    if (over > 0) {
        dropped_ += over;
        w_.ShowStatus(
            QStringLiteral("一次最多打开 %1 个链接，另外 %2 个没有打开").arg(kMaxPending).arg(over));
    }
    // Later texts within a second join the batch; a question open right now
    // (the nested loop of a message box) finishes first.
    if (texts.isEmpty() && pending_.empty()) {
        if (!busy_) QTimer::singleShot(0, this, &LinkOpener::EndIfIdle);
        return;
    }
    gather_.start();
}

void LinkOpener::BringToFront() {
    if (w_.isMinimized()) w_.setWindowState(w_.windowState() & ~Qt::WindowMinimized);
    w_.show();
    w_.raise();
    w_.activateWindow();
}

void LinkOpener::Drain() {
    if (busy_) return;
    busy_ = true;
    while (!pending_.empty()) {
        QStringList batch;
        for (const QString& t : pending_) batch << t;
        pending_.clear();
        OpenBatch(batch);
    }
    busy_ = false;
    EndIfIdle();
}

void LinkOpener::EndIfIdle() {
    if (!busy_ && pending_.empty() && ed2kLookups_ == 0 && !gather_.isActive()) emit Idle();
}

void LinkOpener::OpenBatch(const QStringList& texts) {
    std::vector<std::u16string> raw;
    for (const QString& t : texts) raw.push_back(t.toStdU16String());
    std::vector<std::u16string> items = bridge::SplitOpenedTexts(raw);
    if (items.size() > kMaxPending) {
        const std::size_t over = items.size() - kMaxPending;
        dropped_ += over;
        items.resize(kMaxPending);
        w_.ShowStatus(
            QStringLiteral("一次最多打开 %1 个链接，另外 %2 个没有打开").arg(kMaxPending).arg(over));
    }
    const bridge::OpenBatchPlan batch = bridge::PlanOpenLinks(items, w_.RoutingInputFor(QString()));
    for (const bridge::OpenLinkPlan& plan : batch.items) w_.ApplyRouting(plan.routing);
    if (batch.txtInput) w_.Link().SetInput(*batch.txtInput);
    if (batch.txtOutput) w_.Link().SetOutput(*batch.txtOutput);
    BringToFront();
    if (!batch.offers.empty()) OfferToAria2(batch.offers, batch.offerNames);
    if (!batch.ed2k.empty()) OfferToEd2kProgram(batch.ed2k);
}

void LinkOpener::OfferToAria2(const std::vector<handoff::Aria2Task>& tasks,
                              const std::vector<std::u16string>& names) {
    Prompts& prompts = w_.Dialogs();
    Prompts::Answer answer = Prompts::Answer::No;
    if (tasks.size() == 1) {
        answer = prompts.Message(Q(bridge::OpenLinkQuestion(names[0])), Q(text::kPromptTitle),
                                 Prompts::Buttons::YesNoDefaultNo, Prompts::Icon::Question);
    } else {
        QStringList shown;
        for (const std::u16string& n : names) shown << Q(n);
        answer = prompts.AskList(Q(bridge::OpenLinksQuestion(tasks.size())), shown, Q(text::kPromptTitle));
    }
    if (answer != Prompts::Answer::Yes) return;
    std::vector<Aria2JobTask> handed;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        Aria2JobTask task = Aria2JobTask::Of(tasks[i]);
        task.name = NameOf(tasks[i], names[i]);
        handed.push_back(std::move(task));
    }
    // Beside the window: the next opened text need not wait for aria2.
    HandToAria2(w_.Engine(), std::move(handed), w_.Status(), prompts, this);
}

// xdg-mime runs beside the window; its answer picks the program, and the
// question comes when it is known.
void LinkOpener::OfferToEd2kProgram(std::vector<std::u16string> links) {
    auto* query = new QProcess(this);
    ++ed2kLookups_;
    auto done = [this, query, links = std::move(links)](bool answered) {
        query->deleteLater();
        --ed2kLookups_;
        const QString id = answered ? QString::fromUtf8(query->readAllStandardOutput()).trimmed() : QString();
        const std::optional<handoff::DesktopEntry> entry = id.isEmpty() ? std::nullopt : FindEntry(id);
        std::optional<std::vector<std::string>> probe =
            entry ? handoff::ExecArguments(entry->exec, "ed2k://") : std::nullopt;
        if (!entry || !probe || handoff::IsTesselProgram(probe->front()) ||
            id.startsWith(QLatin1String("tessel"))) {
            w_.ShowStatus(Q(handoff::kNoEd2kProgramText));
            EndIfIdle();
            return;
        }
        const auto answer =
            w_.Dialogs().Message(Q(handoff::Ed2kQuestion(entry->name, links)), Q(text::kPromptTitle),
                                 Prompts::Buttons::YesNoDefaultNo, Prompts::Icon::Question);
        if (answer == Prompts::Answer::Yes) {
            for (const std::u16string& link : links) {
                const std::vector<std::string> args =
                    *handoff::ExecArguments(entry->exec, text::ToUtf8(link));
                QStringList rest;
                for (std::size_t k = 1; k < args.size(); ++k) rest << QString::fromStdString(args[k]);
                if (!QProcess::startDetached(QString::fromStdString(args.front()), rest))
                    w_.ShowStatus(QStringLiteral("无法启动 ") + Q(entry->name));
                else
                    w_.ShowStatus(QStringLiteral("已交给 ") + Q(entry->name));
            }
        }
        EndIfIdle();
    };
    connect(query, &QProcess::finished, this, [done](int code, QProcess::ExitStatus status) {
        done(status == QProcess::NormalExit && code == 0);
    });
    connect(query, &QProcess::errorOccurred, this, [done, query](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            done(false);
        else if (e == QProcess::Timedout)
            query->kill();
    });
    QTimer::singleShot(kXdgMimeTimeoutMs, query, [query] { query->kill(); });
    query->start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                              QStringLiteral("x-scheme-handler/ed2k")});
}

}  // namespace tessel::shell
