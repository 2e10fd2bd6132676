// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Follows the tasks the window handed to aria2 until each ends, and says how
// it ended.  aria2 tells over its WebSocket (the JSON-RPC address with ws://
// or wss://, the same secret) when a task completes or fails; the follower
// then asks for the task's status and emits Ended with the texts to show.
// While tasks run at an engine that answers, a one-second timer asks for
// their progress (one system.multicall per engine) for the tray's tooltip;
// with nothing running there is no timer and nothing is asked, so a program
// at rest sleeps.
//
// An engine that cannot be reached is tried again after 2, 4, 8 ... seconds,
// at most every five minutes, and only while tasks of ours wait on it; after
// kGiveUpAfter failures in a row its tasks are forgotten without a word.
//
//   follower.Follow({gid, u"电影.mp4", aria2Settings});
//   connect(&follower, &DownloadFollower::Ended, notifier, &DesktopNotifier::Tell);

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "handoff/aria2_settings.h"

namespace tessel::shell {

// A task aria2 took: its id, the name it was handed over with, and the
// engine it went to.
struct HandedTask {
    std::string gid;
    std::u16string name;
    handoff::Aria2Settings aria2;
};

class DownloadFollower final : public QObject {
    Q_OBJECT
 public:
    static constexpr int kGiveUpAfter = 10;
    static constexpr int kPollMs = 1000;

    explicit DownloadFollower(QObject* parent = nullptr);
    ~DownloadFollower() override;

    void Follow(const HandedTask& task);

    // The task `gid` of that engine is followed already.
    bool Follows(const std::string& gid, const handoff::Aria2Settings& aria2) const;
    // Tasks followed now.
    std::size_t Count() const { return tasks_.size(); }
    // True while the progress timer runs: only while tasks are followed at
    // an engine that answers.
    bool Polling() const { return poll_.isActive(); }
    // Engines with a WebSocket open.
    int OpenChannels() const;

 signals:
    // A task ended: the summary ("下载完成" / "下载失败"), the body (the file
    // name, and aria2's own message for a failure) and the finished file
    // (empty for a failure).
    void Ended(const QString& summary, const QString& body, const QString& file);
    // The tooltip text while tasks run (those aria2 has answered for); empty
    // once none runs.
    void ProgressChanged(const QString& text);
    // aria2 named the file of a task, differently from the name it was
    // handed over with (a file of that name was there already).
    void Renamed(const QString& handedName, const QString& realName);

 private:
    struct Channel;
    struct Task {
        std::string channel;  // key of the engine it went to
        std::u16string name;
        std::string path;  // as aria2 last reported it
        std::uint64_t total = 0;
        std::uint64_t completed = 0;
        bool seen = false;  // aria2 has answered for it: only then is it shown
    };

    Channel& ChannelFor(const handoff::Aria2Settings& aria2);
    void Connect(Channel& c);
    void OnFailure(const std::string& key);
    void OnMessage(const std::string& key, const QString& text);
    void AskStatus(Channel& c, std::vector<std::string> gids);
    void ApplyStatus(const std::string& key, const std::vector<std::string>& gids, const std::string& result);
    void DropChannelTasks(const std::string& key);
    void Tick();
    void Changed();
    void SyncPoll();

    std::map<std::string, std::unique_ptr<Channel>> channels_;
    // Keyed by engine and gid: two engines may use the same gid.
    std::map<std::pair<std::string, std::string>, Task> tasks_;
    QTimer poll_;
    std::uint64_t next_id_ = 1;
    QString last_progress_;
};

}  // namespace tessel::shell
