// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tessel-cli aria2 [--rpc URL] [--secret S] [--ca-file FILE] [LINK-OR-ADDRESS...]

// The arguments after "aria2"; returns the exit status.
int RunAria2Command(int argc, char** argv);

// The lines of the main help that describe the command.
extern const char* const kAria2HelpLines;
