// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The download settings as the user edits them in the window's dialog, and
// the rules a form must meet before it is saved.  Plain C++: the dialog reads
// its boxes into a DownloadSettingsForm, calls CheckDownloadSettings and
// shows the complaint beside the box it names.
//
//   Aria2Start   "auto": Tessel starts its own aria2 when none answers at a
//                loopback Aria2Rpc; "never": another aria2 at Aria2Rpc
//   Aria2Rpc     http:// or https:// address of aria2's JSON-RPC
//   Aria2Secret  its secret (Tessel makes one for its own aria2)
//   Aria2CaFile  a certificate file trusted for an https:// address
//   DownloadDir  where Tessel's own aria2 saves; "" the desktop's download folder

#include <string>
#include <string_view>

namespace tessel::handoff {

struct DownloadSettingsForm {
    bool ownEngine = true;
    std::u16string rpc;
    std::u16string secret;
    std::u16string caFile;
    std::u16string downloadDir;
};

struct DownloadSettingsProblem {
    std::u16string
        field;  // the box at fault: "txtAria2Rpc", "txtAria2Secret", "txtAria2CaFile", "txtDownloadDir"
    std::u16string text;  // what to tell the user
};

// Nothing wrong: an empty field.  Looks at the file system for the CA file
// and the download folder (a folder that does not exist yet is fine: it is
// made at the first download).
DownloadSettingsProblem CheckDownloadSettings(const DownloadSettingsForm& form);

}  // namespace tessel::handoff
