// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The private folder the service replies are saved in, and safe access to
// the reply files inside it.
//
// The folder is $XDG_RUNTIME_DIR/tessel/ or, failing that, /tmp/tessel-<uid>/.
// It is created with mode 0700 and used only when it is a real directory
// (not a link) owned by us with no access for group or others.  Reply files
// are opened without following symbolic links, and only regular files are
// read, so a link or a pipe planted under a reply name is refused.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::web {

// A service reply larger than this is treated as a failed download.
inline constexpr std::int64_t kMaxReplyBytes = 16 * 1024 * 1024;

// Names of the reply files inside the folder.
inline constexpr std::string_view kFlvReply = "flv.ini";     // video parse
inline constexpr std::string_view kRayfileReply = "RF.ini";  // size probe
inline constexpr std::string_view kPickCodeReply = "update.ini";
inline constexpr std::string_view kIpReply = "IP.ini";

// The private folder, ending in "/"; empty when neither place can be made
// safe (then every download into it fails cleanly).
std::string GetTempFolder();

// `base` + "/" + `leaf` + "/" when that folder exists or can be created and
// passes the owner, type and mode checks; empty otherwise.  GetTempFolder
// is this over the two candidate bases.
std::string PrivateFolderIn(std::string_view base, std::string_view leaf);

// GetTempFolder() + name, or empty when there is no folder.
std::string ReplyPath(std::string_view name);

// Opens `path` for writing, creating it (mode 0600) or cutting it to zero
// length, without following a symbolic link in the last component and only
// when it is a regular file.  Returns the descriptor, or -1.
int OpenReplyForWrite(const std::string& path);

// The whole file as bytes, or nothing when it cannot be opened safely, is not
// a regular file, or is larger than `maxBytes`.
std::optional<std::string> ReadReplyBytes(const std::string& path, std::int64_t maxBytes = kMaxReplyBytes);

// Same, decoded from GBK.
std::optional<std::u16string> ReadReplyText(const std::string& path, std::int64_t maxBytes = kMaxReplyBytes);

// Removes the file (a link is removed, never followed).  True when it is gone
// afterwards, including when it never existed.
bool DeleteReplyFile(const std::string& path);

}  // namespace tessel::web
