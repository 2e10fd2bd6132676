// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/jobs/download_follower.h"

#include <QUrl>
#include <chrono>

#include "handoff/aria2_follow.h"
#include "handoff/aria2_rpc.h"
#include "shell/jobs/follow_socket.h"
#include "shell/ui/plain_text.h"
#include "tessel_version.h"
#include "text/codepage.h"

namespace tessel::shell {

namespace {

QString Q(std::u16string_view s) { return QString::fromStdU16String(std::u16string(s)); }

// aria2's answers for a few tasks are a few kilobytes.
constexpr qint64 kMaxMessage = 1 << 20;
// A host that takes the connection but never finishes the handshake (a
// sleeping NAS) counts as not answering after this long.
constexpr int kConnectLimitMs = 10000;

std::string KeyOf(const handoff::Aria2Settings& a) {
    return text::ToUtf8(handoff::Aria2RpcAddress(a)) + '\n' + text::ToUtf8(a.secret) + '\n' +
           text::ToUtf8(a.caFile);
}

}  // namespace

struct DownloadFollower::Channel {
    handoff::Aria2Settings settings;
    std::unique_ptr<FollowSocket> socket;
    bool open = false;
    int failures = 0;
    QTimer retry;    // single shot, runs only while waiting to try again
    QTimer connect;  // single shot, runs only while the handshake runs
    // Status requests in flight: id -> the gids asked, in order.
    std::map<std::uint64_t, std::vector<std::string>> asked;
};

DownloadFollower::DownloadFollower(QObject* parent) : QObject(parent) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &DownloadFollower::Tick);
}

// A socket taken apart tells nothing more (follow_socket.h).
DownloadFollower::~DownloadFollower() = default;

int DownloadFollower::OpenChannels() const {
    int n = 0;
    for (const auto& [key, c] : channels_) n += c->open ? 1 : 0;
    return n;
}

void DownloadFollower::Follow(const HandedTask& task) {
    if (task.gid.empty()) return;
    Channel& c = ChannelFor(task.aria2);
    const std::string key = KeyOf(task.aria2);
    tasks_[{key, task.gid}] = Task{key, task.name, {}, 0, 0, false};
    if (c.open)
        AskStatus(c, {task.gid});
    else if (!c.socket && !c.retry.isActive())
        Connect(c);
    Changed();
}

bool DownloadFollower::Follows(const std::string& gid, const handoff::Aria2Settings& aria2) const {
    return tasks_.count({KeyOf(aria2), gid}) > 0;
}

DownloadFollower::Channel& DownloadFollower::ChannelFor(const handoff::Aria2Settings& aria2) {
    const std::string key = KeyOf(aria2);
    auto& slot = channels_[key];
    if (slot) return *slot;
    slot = std::make_unique<Channel>();
    Channel& c = *slot;
    c.settings = aria2;
    c.retry.setSingleShot(true);
    c.connect.setSingleShot(true);
    c.connect.setInterval(kConnectLimitMs);
    connect(&c.retry, &QTimer::timeout, this, [this, key] {
        const auto it = channels_.find(key);
        if (it != channels_.end()) Connect(*it->second);
    });
    connect(&c.connect, &QTimer::timeout, this, [this, key] { OnFailure(key); });
    return c;
}

void DownloadFollower::Connect(Channel& c) {
    const std::string key = KeyOf(c.settings);
    const QString address =
        QString::fromStdString(handoff::Aria2WsAddress(handoff::Aria2RpcAddress(c.settings)));
    const QUrl url(address);
    if (!url.isValid() || url.scheme().isEmpty()) {
        DropChannelTasks(key);  // an address aria2 cannot have: nothing to follow
        return;
    }
    FollowSocketEvents events;
    events.connected = [this, key] {
        const auto it = channels_.find(key);
        if (it == channels_.end()) return;
        Channel& ch = *it->second;
        ch.connect.stop();
        ch.open = true;
        ch.failures = 0;
        SyncPoll();
        // What ended while we were away is told now.
        std::vector<std::string> gids;
        for (const auto& [id, t] : tasks_)
            if (id.first == key) gids.push_back(id.second);
        if (!gids.empty()) AskStatus(ch, std::move(gids));
    };
    // A refused connection, a failed handshake or a closed one.
    events.lost = [this, key] { OnFailure(key); };
    events.text = [this, key](const QString& m) { OnMessage(key, m); };
    // The same rule as the hand-off: the certificate file's certificates
    // replace the system's authorities for this engine.
    c.socket = OpenFollowSocket({address, Q(c.settings.caFile), kMaxMessage}, std::move(events));
    if (!c.socket) {
        DropChannelTasks(key);  // the program cannot follow at all: its module is missing
        return;
    }
    c.connect.start();
}

void DownloadFollower::OnFailure(const std::string& key) {
    const auto it = channels_.find(key);
    if (it == channels_.end()) return;
    Channel& c = *it->second;
    c.connect.stop();
    c.open = false;
    c.asked.clear();
    SyncPoll();
    c.socket.reset();
    bool waiting = false;
    for (const auto& [id, t] : tasks_) waiting = waiting || id.first == key;
    if (!waiting) return;  // nothing of ours there: no reason to come back
    if (++c.failures >= kGiveUpAfter) {
        DropChannelTasks(key);
        return;
    }
    c.retry.start(std::chrono::milliseconds(handoff::RetryDelay(c.failures)));
}

void DownloadFollower::OnMessage(const std::string& key, const QString& text) {
    const auto it = channels_.find(key);
    if (it == channels_.end()) return;
    Channel& c = *it->second;
    const handoff::Aria2Message m = handoff::ParseAria2Message(text.toStdString());
    using Kind = handoff::Aria2Message::Kind;
    if (m.kind == Kind::Notification) {
        using handoff::Aria2Event;
        const bool ending = m.event == Aria2Event::Complete || m.event == Aria2Event::BtComplete ||
                            m.event == Aria2Event::Error || m.event == Aria2Event::Stop;
        if (ending && tasks_.count({key, m.gid})) AskStatus(c, {m.gid});
        return;
    }
    if (m.kind != Kind::Answer) return;
    const auto asked = c.asked.find(m.id);
    if (asked == c.asked.end()) return;
    const std::vector<std::string> gids = std::move(asked->second);
    c.asked.erase(asked);
    if (!m.ok) {
        // The secret was refused, or the engine is not aria2 after all:
        // following cannot work there.
        DropChannelTasks(key);
        return;
    }
    ApplyStatus(key, gids, m.result);
}

void DownloadFollower::AskStatus(Channel& c, std::vector<std::string> gids) {
    if (!c.open || !c.socket || gids.empty()) return;
    const std::uint64_t id = next_id_++;
    c.socket->Send(QString::fromStdString(handoff::Aria2StatusRequest(id, c.settings.secret, gids)));
    c.asked.emplace(id, std::move(gids));
}

void DownloadFollower::ApplyStatus(const std::string& key, const std::vector<std::string>& gids,
                                   const std::string& result) {
    const auto answers = handoff::ParseStatusAnswers(result, gids.size());
    if (answers.size() != gids.size()) return;
    for (std::size_t i = 0; i < gids.size(); ++i) {
        const auto it = tasks_.find({key, gids[i]});
        if (it == tasks_.end()) continue;  // told already
        if (!answers[i]) {
            tasks_.erase(it);  // aria2 forgot it (purged, restarted without its session)
            continue;
        }
        const handoff::Aria2TaskStatus& s = *answers[i];
        Task& t = it->second;
        t.total = s.total;
        t.completed = s.completed;
        t.seen = true;
        if (!s.path.empty() && s.path != t.path) {
            t.path = s.path;
            const std::u16string real = handoff::FileNameOf(text::FromUtf8(s.path));
            if (!t.name.empty() && !real.empty() && real != t.name) emit Renamed(Q(t.name), Q(real));
        }
        using State = handoff::Aria2TaskStatus::State;
        if (s.state == State::Complete && !s.followedBy.empty()) {
            // A torrent or metalink file: the downloads it started are the task now.
            tasks_.erase(it);
            for (const std::string& next : s.followedBy) tasks_[{key, next}] = Task{key, {}, {}, 0, 0, false};
            continue;
        }
        if (const auto ending = handoff::EndOfTask(s, t.name)) {
            tasks_.erase(it);
            // The body holds aria2's file name and error text, told on the
            // desktop, in the tray's balloon or on the status line.
            emit Ended(Q(ending->summary), PlainCut(Q(ending->body)), QString::fromStdString(ending->file));
        } else if (s.state == State::Removed) {
            tasks_.erase(it);
        }
    }
    Changed();
}

void DownloadFollower::DropChannelTasks(const std::string& key) {
    std::erase_if(tasks_, [&key](const auto& entry) { return entry.first.first == key; });
    if (const auto it = channels_.find(key); it != channels_.end()) {
        it->second->retry.stop();
        it->second->asked.clear();
    }
    Changed();
}

void DownloadFollower::Tick() {
    std::map<std::string, std::vector<std::string>> byChannel;
    for (const auto& [id, t] : tasks_) byChannel[id.first].push_back(id.second);
    for (auto& [key, gids] : byChannel) {
        Channel& c = *channels_.at(key);
        // One question at a time per engine: a slow engine is not flooded.
        if (c.open && c.asked.empty()) AskStatus(c, std::move(gids));
    }
}

void DownloadFollower::SyncPoll() {
    // Only questions that can be answered: an engine out of reach is left
    // to its retry timer, not woken for every second.
    bool ask = false;
    for (const auto& [id, t] : tasks_) {
        const auto c = channels_.find(id.first);
        ask = ask || (c != channels_.end() && c->second->open);
    }
    if (ask && !poll_.isActive()) poll_.start();
    if (!ask) poll_.stop();
}

void DownloadFollower::Changed() {
    SyncPoll();
    QString text;
    std::vector<handoff::TaskProgress> progress;
    for (const auto& [id, t] : tasks_)
        if (t.seen) progress.push_back({t.total, t.completed});
    if (!progress.empty()) text = Q(handoff::ProgressText(u"Tessel V" TESSEL_VERSION_MAJOR, progress));
    if (text == last_progress_) return;
    last_progress_ = text;
    emit ProgressChanged(text);
}

}  // namespace tessel::shell
