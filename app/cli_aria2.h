// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tessel-cli aria2 [--rpc URL] [--secret S] [--ca-file FILE] [LINK-OR-ADDRESS...]

// The command runs as a program of its own, tessel-cli-aria2, which tessel-cli
// starts for it: the network libraries then cost the link conversions
// nothing at start.  tessel-cli looks for it in its own folder, then where
// it is installed (TESSEL_ARIA2_HELPER_DIR, relative to tessel-cli's folder).
inline constexpr const char* kAria2Helper = "tessel-cli-aria2";

// The arguments after "aria2"; returns the exit status.
int RunAria2Command(int argc, char** argv);

// The lines of the main help that describe the command.
inline constexpr const char* kAria2HelpLines =
    "交给 aria2 下载：\n"
    "  aria2 [选项...] 链接...     解开每个链接（或直接取地址）交给 aria2，每项输出\n"
    "                              aria2 的任务编号\n"
    "      --rpc URL               aria2 的 JSON-RPC 地址（默认：窗口的设置 Aria2Rpc，\n"
    "                              再无则 http://127.0.0.1:6800/jsonrpc）\n"
    "      --secret S              aria2 的 --rpc-secret（默认：Aria2Secret）\n"
    "      --ca-file 文件          https:// 时信任的证书（默认：Aria2CaFile）\n"
    "      --config 文件           设置文件（默认：~/.config/TESSEL/TESSEL.ini）\n"
    "      tessel-cli aria2 thunder://QUFodHRwOi8vYS9iWlo=/   -> 2089b05ecca3d829\n";
