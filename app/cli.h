// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pieces every tessel-cli subcommand shares: its parsed arguments, the
// item loop (one item per argument, or per line of standard input), and the
// way complaints and usage errors are written.  A subcommand is one entry of
// the table in tessel_cli.cpp.

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::cli {

inline constexpr int kExitDone = 0;      // every item done
inline constexpr int kExitRejected = 1;  // some item rejected, or the output failed
inline constexpr int kExitUsage = 2;     // wrong command line

// The command line after the subcommand's name: options by name ("--size"),
// with the value given ("" for a flag), and the items in order.
struct Args {
    std::map<std::string, std::string, std::less<>> options;
    std::vector<std::string_view> items;

    std::optional<std::string_view> Option(std::string_view name) const;
};

// "tessel-cli: <what> (try 'tessel-cli --help')" on standard error; returns kExitUsage.
int UsageError(std::string_view what);

// What one item gives: its output line, without the line break, appended
// to `line`, and a complaint, empty when the item is accepted.  A rejected
// item's output line stays empty, whatever was appended.
using Converter = std::function<std::string(std::string_view item, std::string& line)>;

// Converts every item of `args`, or every line of standard input when there
// is none (a CR before the LF goes with the line break), writing one output
// line per item in order and "tessel-cli: line N: complaint" on standard
// error for each rejected one.  `blankLineBetween` separates the outputs of
// multi-line items.  Returns the exit status.
int RunItems(const Args& args, const Converter& convert, bool blankLineBetween = false);

}  // namespace tessel::cli
