// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-cli: one item per argument, or per line of standard input when no
// item is given; one output line per item, UTF-8 in and out.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "links/commands.h"
#include "links/fingerprint.h"
#include "links/url.h"
#include "text/codepage.h"

namespace {

using namespace tessel;

constexpr const char* kHelp =
    "Usage: tessel-cli COMMAND [ITEM...]\n"
    "\n"
    "Converts each ITEM, or each line of standard input when no ITEM is given,\n"
    "and prints one line per item in the same order (UTF-8).  Items are trimmed\n"
    "of leading and trailing blanks.\n"
    "\n"
    "Commands:\n"
    "  thunder ADDRESS...          plain address to thunder:// link\n"
    "      tessel-cli thunder http://a/b          -> thunder://QUFodHRwOi8vYS9iWlo=/\n"
    "  flashget ADDRESS...         plain address to flashget:// link\n"
    "      tessel-cli flashget http://a/b\n"
    "  qqdl ADDRESS...             plain address to qqdl:// link\n"
    "      tessel-cli qqdl http://a/b             -> qqdl://aHR0cDovL2EvYg==/\n"
    "  fs2you --size N ADDRESS...  http:// address and file size to fs2you:// link\n"
    "      tessel-cli fs2you --size 1024 http://a/b -> fs2you://YS9ifDEwMjQ=/\n"
    "  decode LINK...              thunder, flashget, qqdl or fs2you link to plain address\n"
    "      tessel-cli decode thunder://QUFodHRwOi8vYS9iWlo=/ -> http://a/b\n"
    "  urlencode TEXT...           percent-encode the GBK bytes of the text\n"
    "      tessel-cli urlencode 你好              -> %C4%E3%BA%C3\n"
    "  urldecode TEXT...           decode GBK percent escapes\n"
    "      tessel-cli urldecode %C4%E3%BA%C3      -> 你好\n"
    "  fingerprint FILE...         size, CRC32 and MD5 (size only above 500 MiB);\n"
    "                              an empty line between files\n"
    "      tessel-cli fingerprint ~/Downloads/setup.exe\n"
    "\n"
    "  -h, --help                  show this help\n"
    "  --                          end of options (for items starting with \"-\")\n"
    "\n"
    "A rejected item is reported on standard error with its line number and\n"
    "leaves its output line empty.  Exit status: 0 all items done, 1 some item\n"
    "rejected, 2 usage error.\n"
    "  printf 'http://a/b\\nftp://c/d\\n' | tessel-cli thunder > links.txt\n";

// Buffered standard output: one write per item on a terminal (so output
// keeps up with typing), large writes otherwise.
class Output {
 public:
    Output() : interactive_(::isatty(STDOUT_FILENO) == 1) {}
    ~Output() { Flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Line(std::string_view s) {
        buffer_.append(s);
        buffer_.push_back('\n');
        if (interactive_ || buffer_.size() >= (1u << 16)) Flush();
    }

    void Flush() {
        const char* p = buffer_.data();
        std::size_t left = buffer_.size();
        while (left > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failed_ = true;
                break;
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        buffer_.clear();
    }

    bool failed() const { return failed_; }

 private:
    bool interactive_;
    bool failed_ = false;
    std::string buffer_;
};

struct Outcome {
    std::string text;       // what goes on standard output (without the final line break)
    std::string complaint;  // non-empty: the item is rejected
};

using Converter = std::function<Outcome(std::string_view item)>;

// Links and addresses are nearly always ASCII: skip the general converters.
std::u16string Utf8In(std::string_view s) {
    if (text::IsAscii(s)) return std::u16string(s.begin(), s.end());
    return text::FromUtf8(s);
}

std::string Utf8Out(std::u16string_view s) {
    for (char16_t c : s) {
        if (c >= 0x80) return text::ToUtf8(s);
    }
    return std::string(s.begin(), s.end());
}

Outcome FromCommand(const links::CommandResult& r) {
    if (!r.accepted) return {{}, Utf8Out(r.output)};
    // A line break inside a result would shift every later line of a batch.
    if (r.output.find(u'\n') != std::u16string::npos || r.output.find(u'\r') != std::u16string::npos) {
        return {{}, "结果含有换行符，无法写成一行"};
    }
    return {Utf8Out(r.output), {}};
}

Converter LinkConverter(links::CommandResult (*command)(std::u16string_view)) {
    return [command](std::string_view item) { return FromCommand(command(Utf8In(item))); };
}

Converter UrlConverter(bool decode) {
    return [decode](std::string_view item) {
        links::CommandResult r;
        r.input = links::CleanInput(Utf8In(item));
        if (r.input.empty()) {
            r.output = std::u16string(links::kAskForUrlText);
            r.accepted = false;
        } else {
            r.output = decode ? links::UrlDecode(r.input) : links::UrlEncode(r.input);
        }
        return FromCommand(r);
    };
}

Converter RayfileConverter(std::u16string size) {
    return [size = std::move(size)](std::string_view item) {
        const links::RayfileStart start = links::RayfileBegin(Utf8In(item));
        links::CommandResult r;
        if (start.output) {
            r.output = *start.output;
            r.accepted = false;
        } else {
            r.output = links::RayfileFinish(start.address, size);
        }
        return FromCommand(r);
    };
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

Outcome FingerprintItem(std::string_view item) {
    // The path keeps its own bytes: file names need not be UTF-8.
    const links::FingerprintResult r = links::Fingerprint(std::string(TrimBlanks(item)));
    using Status = links::FingerprintResult::Status;
    if (r.status == Status::NoFile) return {{}, text::ToUtf8(links::kNoFileText)};
    if (r.status == Status::ReadError)
        return {{}, text::ToUtf8(links::kReadErrorText) + " (" + r.problem + ")"};
    return {text::ToUtf8(links::FingerprintText(r, u"\n")), {}};
}

struct Run {
    Converter convert;
    bool blankLineBetween = false;
    Output out;
    std::size_t line = 0;
    bool anyRejected = false;

    void Item(std::string_view item) {
        ++line;
        if (blankLineBetween && line > 1) out.Line({});
        const Outcome o = convert(item);
        if (!o.complaint.empty()) {
            anyRejected = true;
            out.Flush();  // keep stdout and stderr in order on a terminal
            std::fprintf(stderr, "tessel-cli: line %zu: %s\n", line, o.complaint.c_str());
        }
        out.Line(o.text);
    }

    // Every line of standard input is one item; a CR before the LF goes
    // with the line break.  A last line without LF still counts.
    bool FromStdin() {
        std::vector<char> chunk(1 << 16);
        std::string pending;
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                std::fprintf(stderr, "tessel-cli: cannot read standard input: %s\n", std::strerror(errno));
                return false;
            }
            if (n == 0) break;
            std::string_view data(chunk.data(), static_cast<std::size_t>(n));
            for (std::size_t nl; (nl = data.find('\n')) != std::string_view::npos;
                 data.remove_prefix(nl + 1)) {
                std::string_view lineText = data.substr(0, nl);
                if (!pending.empty()) {
                    pending.append(lineText);
                    lineText = pending;
                }
                if (!lineText.empty() && lineText.back() == '\r') lineText.remove_suffix(1);
                Item(lineText);
                pending.clear();
            }
            pending.append(data);
        }
        if (!pending.empty()) {
            std::string_view lineText = pending;
            if (lineText.back() == '\r') lineText.remove_suffix(1);
            Item(lineText);
        }
        return true;
    }
};

int UsageError(const std::string& what) {
    std::fprintf(stderr, "tessel-cli: %s (try 'tessel-cli --help')\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    std::vector<std::string_view> items;
    std::optional<std::string_view> command;
    std::optional<std::string_view> size;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (!optionsEnded && (a == "-h" || a == "--help")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "--size") {
            if (i + 1 >= args.size()) return UsageError("--size needs a value");
            size = args[++i];
        } else if (!optionsEnded && a.starts_with("--size=")) {
            size = a.substr(7);
        } else if (!optionsEnded && a.size() > 1 && a.front() == '-') {
            return UsageError("unknown option '" + std::string(a) + "'");
        } else if (!command) {
            command = a;
        } else {
            items.push_back(a);
        }
    }
    if (!command) return UsageError("no command given");

    Run run;
    if (*command == "thunder") {
        run.convert = LinkConverter(&links::ToThunder);
    } else if (*command == "flashget") {
        run.convert = LinkConverter(&links::ToFlashGet);
    } else if (*command == "qqdl") {
        run.convert = LinkConverter(&links::ToQqdl);
    } else if (*command == "decode") {
        run.convert = LinkConverter(&links::ToGeneral);
    } else if (*command == "urlencode" || *command == "urldecode") {
        run.convert = UrlConverter(*command == "urldecode");
    } else if (*command == "fs2you") {
        if (!size) return UsageError("fs2you needs --size N (the file size in bytes)");
        std::u16string sizeText = links::CleanInput(text::FromUtf8(*size));
        if (sizeText.empty()) return UsageError("--size must not be empty");
        run.convert = RayfileConverter(std::move(sizeText));
    } else if (*command == "fingerprint") {
        run.convert = &FingerprintItem;
        run.blankLineBetween = true;
    } else {
        return UsageError("unknown command '" + std::string(*command) + "'");
    }
    if (size && *command != "fs2you") return UsageError("--size belongs to fs2you only");

    if (items.empty()) {
        if (!run.FromStdin()) return 2;
    } else {
        for (std::string_view item : items) run.Item(item);
    }
    run.out.Flush();
    if (run.out.failed()) {
        std::fprintf(stderr, "tessel-cli: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return run.anyRejected ? 1 : 0;
}
