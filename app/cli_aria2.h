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
    "Handing downloads to aria2:\n"
    "  aria2 [OPTION...] LINK...   decode each link (or take the address) and hand it\n"
    "                              to aria2; prints aria2's task id per item\n"
    "      --rpc URL               aria2's JSON-RPC address (default: the window's\n"
    "                              setting Aria2Rpc, else http://127.0.0.1:6800/jsonrpc)\n"
    "      --secret S              aria2's --rpc-secret (default: Aria2Secret)\n"
    "      --ca-file FILE          certificate to trust for https:// (default: Aria2CaFile)\n"
    "      --config FILE           settings file (default: ~/.config/TESSEL/TESSEL.ini)\n"
    "      tessel-cli aria2 thunder://QUFodHRwOi8vYS9iWlo=/   -> 2089b05ecca3d829\n";
