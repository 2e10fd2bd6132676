// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Replacement objects for the download managers' automation identifiers.
// Each takes exactly the methods and argument counts of the object it stands
// for and hands the task to aria2 (aria2.addUri): the link, the title as the
// output file name when there is one, the page as the referring page.  The
// managers' comment, save path and thread settings have no aria2 counterpart.
//
//   ThunderAgent.Agent         AddTask(8): queues; CommitTasks2(1): sends the queue
//   BHO.IFlashGetNetscapeEx    AddUrlEx(6 or 7)
//   BHO.IFlashGetNetscape      AddUrlEx(6)
//   JetCar.Netscape            AddUrl(3)
//   QQIEHelper.QQRightClick.2  SendUrl4(9)

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "handoff/aria2_rpc.h"
#include "handoff/automation.h"
#include "text/codepage.h"

namespace tessel::handoff {

// Raised when aria2 does not take a task; carries what aria2 (or the lack of
// it) answered and the settings used, so the message can say how to start it.
class Aria2Error : public AutomationError {
 public:
    Aria2Error(std::u16string source, Aria2Settings settings, Aria2Reply reply);

    const Aria2Settings& Settings() const { return settings_; }
    const Aria2Reply& Reply() const { return reply_; }

 private:
    Aria2Settings settings_;
    Aria2Reply reply_;
};

// What the media server expects besides the link, as the video engine
// reported it (UTF-8): without them a server that checks the referring page
// or a session cookie refuses the download.
//
// With them go what the engine knows of the address itself: the media's
// file extension, which a name taken from the title must keep, and the code
// page its non-ASCII characters go back to bytes with (the parse service
// answers in GBK, yt-dlp in UTF-8).
struct MediaHeaders {
    std::string referer;              // "" keeps the page as referring page
    std::string userAgent;            // "" keeps aria2's own
    std::vector<std::string> header;  // further "Name: value" lines, the cookie among them
    std::string ext{};                // "mp4"; "" takes it from the address
    text::CodePage codePage = text::CodePage::Gbk;
};

struct Aria2Task {
    std::u16string link;
    std::u16string page;   // referring page; "" sends none
    std::u16string title;  // output file name; "" lets aria2 name the file
    MediaHeaders headers{};
};

// The title made safe as a file name inside aria2's download folder: path
// separators and control characters become "_", blanks at both ends go, and
// it is cut to 240 UTF-8 bytes.  "" when nothing usable is left ("", ".", "..").
// With an extension ("mp4") the name ends in it: added when the title does
// not already end in it, and kept whole when a long title is cut.
std::u16string Aria2OutName(std::u16string_view title, std::u16string_view ext = {});

// The file extension of the last path part of `link` ("a/b.MP4?x" gives
// "MP4"): one to eight ASCII letters and digits, at least one a letter;
// "" when the address names none.
std::u16string LinkExtension(std::u16string_view link);

// The `out` option aria2 gets for `task`: its title made safe, ending in the
// media's extension (the engine's, else the address's); "" for no title.
std::u16string Aria2OutNameOf(const Aria2Task& task);

// The file name aria2 is told for `address`: its last path part (query and
// fragment cut off), percent escapes read as GBK or UTF-8 as a link's
// payload is, cleaned like a title.  Empty when the address names no file
// (it ends in "/").
std::u16string OutNameFromAddress(std::u16string_view address);

// The aria2.addUri call for one task (without the token): the link escaped
// for aria2 in its code page, and its options: the title with the media's
// extension as "out", the referring page, the media headers.
Aria2MethodCall AddUriCall(const Aria2Task& task);

// The name the task's file gets, for telling the user: the title made a file
// name, else the last part of the link's path; "" when neither names one.
std::u16string Aria2TaskName(const Aria2Task& task);

// aria2.addUri for one task; returns aria2's id for it, raises Aria2Error.
std::string SendToAria2(const Aria2Settings& settings, const Aria2Task& task, std::u16string_view source);

// Where the objects' tasks go: straight to aria2 (SendToAria2, blocking), or
// to a collector that sends them later (the window, which must not wait on
// aria2 while its boxes are answered).
using Aria2TaskSink = std::function<void(const Aria2Task&)>;

class Aria2ObjectFactory : public ObjectFactory {
 public:
    // `headers` go with every task the objects hand over.
    explicit Aria2ObjectFactory(Aria2Settings settings, MediaHeaders headers = {})
        : settings_(std::move(settings)), headers_(std::move(headers)) {}
    // Tasks go to `sink` instead of aria2.
    Aria2ObjectFactory(Aria2TaskSink sink, MediaHeaders headers)
        : headers_(std::move(headers)), sink_(std::move(sink)) {}
    std::unique_ptr<AutomationObject> Create(std::u16string_view progId) override;

 private:
    Aria2Settings settings_;
    MediaHeaders headers_;
    Aria2TaskSink sink_;
};

}  // namespace tessel::handoff
