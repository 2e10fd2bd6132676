// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-cli: one item per argument, or per line of standard input when no
// item is given; one output line per item, UTF-8 in and out.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "checksum/fingerprint.h"
#include "cli.h"
#include "cli_aria2.h"
#include "cli_output.h"
#include "links/commands.h"
#include "links/special_link.h"
#include "links/url.h"
#include "text/codepage.h"

namespace tessel::cli {
namespace {

// The program speaks Simplified Chinese, as the window does: the help, the
// usage errors and the complaints about items alike.
constexpr const char* kHelpHead =
    "用法：tessel-cli 命令 [项目...]\n"
    "\n"
    "逐个转换每个项目（没有项目时，逐行转换标准输入），按原顺序每项输出一行\n"
    "（UTF-8）。项目两端的空格会被去掉。\n"
    "\n"
    "命令：\n"
    "  thunder 地址...             普通地址转为 thunder:// 链接\n"
    "      tessel-cli thunder http://a/b          -> thunder://QUFodHRwOi8vYS9iWlo=/\n"
    "  flashget 地址...            普通地址转为 flashget:// 链接\n"
    "      tessel-cli flashget http://a/b\n"
    "  qqdl 地址...                普通地址转为 qqdl:// 链接\n"
    "      tessel-cli qqdl http://a/b             -> qqdl://aHR0cDovL2EvYg==/\n"
    "  fs2you --size N 地址...     http:// 地址和文件大小（字节）转为 fs2you:// 链接\n"
    "      tessel-cli fs2you --size 1024 http://a/b -> fs2you://YS9ifDEwMjQ=/\n"
    "  decode 链接...              thunder、flashget、qqdl 或 fs2you 链接转为普通地址\n"
    "      tessel-cli decode thunder://QUFodHRwOi8vYS9iWlo=/ -> http://a/b\n"
    "  urlencode 文本...           按文本的 GBK 字节做百分号编码\n"
    "      tessel-cli urlencode 你好              -> %C4%E3%BA%C3\n"
    "  urldecode 文本...           解开 GBK 百分号编码\n"
    "      tessel-cli urldecode %C4%E3%BA%C3      -> 你好\n"
    "  fingerprint 文件...         文件大小、CRC32 和 MD5（大于 500 MiB 的文件只有大小）；\n"
    "                              文件之间空一行\n"
    "      tessel-cli fingerprint ~/Downloads/setup.exe\n";

constexpr const char* kHelpTail =
    "\n"
    "  -h, --help                  显示本帮助\n"
    "  --                          选项到此为止（用于以“-”开头的项目）\n"
    "\n"
    "被拒绝的项目会连同它的行号报告在标准错误上，它的输出行留空。退出状态：\n"
    "0 全部完成，1 有项目被拒绝或读写出错，2 用法错误。标准输入的一行最长 1 MiB。\n"
    "  printf 'http://a/b\\nftp://c/d\\n' | tessel-cli thunder > links.txt\n";

// Item complaints of the command line's own (the window never meets these).
constexpr std::string_view kNotUtf8 = "输入不是有效的 UTF-8 文本";
constexpr std::string_view kLineBreakInResult = "结果含有换行符，无法写成一行";
constexpr std::string_view kNulInResult = "结果含有空字符，无法写成一行";
constexpr std::string_view kNulInPath = "路径含有空字符，不是有效的文件路径";

// A line of standard input beyond this is no link, address or path: it is
// refused unread instead of held whole (a 256 MiB line cost gigabytes).
constexpr std::size_t kMaxLineBytes = 1024 * 1024;
constexpr std::string_view kLineTooLong = "行太长（超过 1 MiB），没有转换";

// The first character of well-formed UTF-8 `s` that code page 936 has no
// form for; 0 when there is none.  Inside a link it would become "?".
char32_t FirstCharGbkLacks(std::string_view s) {
    for (std::size_t i = text::FindNonAscii(s); i < s.size();) {
        const std::size_t len = text::Utf8SequenceLength(s.substr(i));
        if (len == 0) return 0xFFFD;  // not UTF-8; the callers checked that first
        const unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t cp = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        if (cp > 0xFFFF || text::GbkCode(static_cast<char16_t>(cp)) == 0) return cp;
        i = text::FindNonAscii(s, i + len);
    }
    return 0;
}

// Refuses text with a character GBK lacks, naming it; "" when there is none.
std::string GbkComplaint(std::string_view utf8) {
    const char32_t c = FirstCharGbkLacks(utf8);
    if (c == 0) return {};
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return std::string("含有 GBK 无法表示的字符 ") + code + "，转换后会变成“?”";
}

// ---- conversions ------------------------------------------------------------

// Links and addresses are nearly always ASCII: skip the general converters.
std::u16string Utf8In(std::string_view s) {
    if (text::IsAscii(s)) return std::u16string(s.begin(), s.end());
    return text::FromUtf8(s);
}

std::string Rejected(std::string_view complaint) { return std::string(complaint); }

std::string FromCommand(const links::CommandResult& r, std::string& line) {
    if (!r.accepted) return text::ToUtf8(r.output);
    // A line break inside a result would shift every later line of a batch,
    // and a NUL byte is no text at all.
    if (r.output.find_first_of(u"\r\n") != std::u16string::npos) return Rejected(kLineBreakInResult);
    if (r.output.find(u'\0') != std::u16string::npos) return Rejected(kNulInResult);
    text::AppendUtf8(line, r.output);
    return {};
}

// Every text command reads UTF-8; bytes that are not UTF-8 would turn into
// "?" inside a link, so they are refused rather than converted.
Converter TextConverter(std::function<links::CommandResult(std::u16string_view)> command,
                        bool toGbk = false) {
    return [command = std::move(command), toGbk](std::string_view item, std::string& line) {
        if (!text::IsValidUtf8(item)) return Rejected(kNotUtf8);
        if (toGbk) {
            if (std::string complaint = GbkComplaint(item); !complaint.empty()) return complaint;
        }
        return FromCommand(command(Utf8In(item)), line);
    };
}

links::CommandResult UrlCommand(std::u16string_view item, bool decode) {
    links::CommandResult r;
    r.input = links::CleanInput(item);
    if (r.input.empty()) {
        r.output = std::u16string(links::kAskForUrlText);
        r.accepted = false;
    } else {
        r.output = decode ? links::UrlDecode(r.input) : links::UrlEncode(r.input);
    }
    return r;
}

// Special link to address, rejecting a link that holds no address at all.
links::CommandResult DecodeCommand(std::u16string_view item) {
    links::CommandResult r = links::ToGeneral(item);
    if (r.accepted && r.output.empty()) {
        r.output = std::u16string(links::kBadLinkText);
        r.accepted = false;
    }
    return r;
}

links::CommandResult RayfileCommand(std::u16string_view item, std::u16string_view size) {
    const links::RayfileStart start = links::RayfileBegin(item);
    links::CommandResult r;
    if (start.output) {
        r.output = *start.output;
        r.accepted = false;
    } else {
        r.output = links::RayfileFinish(start.address, size);
    }
    return r;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string FingerprintItem(std::string_view item, std::string& line) {
    // The path keeps its own bytes: file names need not be UTF-8.  A NUL
    // would cut the path short and name another file.
    const std::string_view path = TrimBlanks(item);
    if (path.find('\0') != std::string_view::npos) return Rejected(kNulInPath);
    const checksum::FingerprintResult r = checksum::Fingerprint(std::string(path));
    using Status = checksum::FingerprintResult::Status;
    switch (r.status) {
        case Status::Ok:
        case Status::SizeOnly:
            text::AppendUtf8(line, checksum::FingerprintText(r, u"\n"));
            return {};
        case Status::ReadError:
            return Rejected(text::ToUtf8(checksum::kReadErrorText) + " (" + r.problem + ")");
        case Status::NoPermission:
            return Rejected(text::ToUtf8(checksum::kNoPermissionText));
        case Status::NoFile:
        case Status::Unsized:
            break;
    }
    return Rejected(text::ToUtf8(checksum::FingerprintText(r)));
}

// ---- subcommands ------------------------------------------------------------

// The link commands over UTF-8 directly: the same cleaning, checks and
// results as the window's commands, without the trips through UTF-16 that
// would cost more than the conversion itself.  An item holding a CR LF pair
// (an argument can) takes the window's own way.
const std::string& Utf8Of(std::u16string_view fixed) {
    static const std::string ask = text::ToUtf8(links::kAskForLinkText);
    static const std::string bad = text::ToUtf8(links::kBadLinkText);
    return fixed == links::kAskForLinkText ? ask : bad;
}

bool IsPlainAddressUtf8(std::string_view address) {
    constexpr std::size_t kSignificant = 6;
    if (address.size() < kSignificant) return false;
    char head[kSignificant];
    for (std::size_t k = 0; k < kSignificant; ++k) {
        const char c = address[k];
        head[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    const std::string_view h(head, kSignificant);
    return h == "http:/" || h == "ftp://" || h == "https:" || h == "mms://" || h == "rtsp:/";
}

// True when `s` holds a CR, an LF or a NUL byte.  Eight bytes at a time
// first: a word without any byte below 0x0E holds none of them.
bool HasBreakOrNul(std::string_view s) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (((word - kOnes * 0x0E) & ~word & (kOnes * 0x80)) != 0) break;
    }
    for (; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n' || s[i] == '\0') return true;
    }
    return false;
}

Converter LinkEncoder(links::LinkForm form, links::CommandResult (*command)(std::u16string_view)) {
    return [form, command](std::string_view item, std::string& line) -> std::string {
        if (item.find("\r\n") != std::string_view::npos) {
            if (!text::IsValidUtf8(item)) return Rejected(kNotUtf8);
            if (std::string complaint = GbkComplaint(item); !complaint.empty()) return complaint;
            return FromCommand(command(Utf8In(item)), line);
        }
        // Trimming takes only blanks, so the address is UTF-8 where the item is.
        const std::string_view address = TrimBlanks(item);
        if (address.empty()) return Rejected(Utf8Of(links::kAskForLinkText));
        if (!IsPlainAddressUtf8(address)) {
            return Rejected(text::IsValidUtf8(address) ? Utf8Of(links::kBadLinkText) : kNotUtf8);
        }
        if (!text::IsAscii(address) && text::IsValidUtf8(address)) {
            if (std::string complaint = GbkComplaint(address); !complaint.empty()) return complaint;
        }
        if (!links::AppendEncodedLinkUtf8(line, form, address)) return Rejected(kNotUtf8);
        return {};
    };
}

// The window tells the four forms apart by their first six characters, as
// the links' first programs did; a script's input is held to the whole
// name, so "qqdl:/" followed by anything is no link.
bool HasWholeLinkName(std::string_view link) {
    for (std::string_view name : {"thunder://", "flashget://", "qqdl://", "fs2you://"}) {
        if (link.size() < name.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) {
            const char c = link[k];
            same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) == name[k];
        }
        if (same) return true;
    }
    return false;
}

// An address that is a scheme and nothing else ("http://" from
// "fs2you://fA==") names no file.
bool NamesNothing(std::string_view address) {
    const std::size_t scheme = address.find("://");
    return scheme != std::string_view::npos && scheme + 3 == address.size();
}

std::string DecodeItem(std::string_view item, std::string& line) {
    if (!text::IsValidUtf8(item)) return Rejected(kNotUtf8);
    if (!HasWholeLinkName(TrimBlanks(item))) return Rejected(Utf8Of(links::kBadLinkText));
    if (item.find("\r\n") != std::string_view::npos) {
        const std::size_t from = line.size();
        std::string complaint = FromCommand(DecodeCommand(Utf8In(item)), line);
        if (complaint.empty() && NamesNothing(std::string_view(line).substr(from)))
            return Rejected(Utf8Of(links::kBadLinkText));
        return complaint;
    }
    const std::string_view link = TrimBlanks(item);
    if (link.empty()) return Rejected(Utf8Of(links::kAskForLinkText));
    const std::size_t from = line.size();
    // A link that holds no address at all ("qqdl://") is as wrong as one
    // that is no link.
    if (!links::AppendDecodedLinkUtf8(line, link) || line.size() == from)
        return Rejected(Utf8Of(links::kBadLinkText));
    const std::string_view address(line.data() + from, line.size() - from);
    if (NamesNothing(address)) return Rejected(Utf8Of(links::kBadLinkText));
    if (HasBreakOrNul(address)) {
        return Rejected(address.find('\0') != std::string_view::npos &&
                                address.find_first_of("\r\n") == std::string_view::npos
                            ? kNulInResult
                            : kLineBreakInResult);
    }
    return {};
}

int RunThunder(const Args& args) {
    return RunItems(args, LinkEncoder(links::LinkForm::Thunder, &links::ToThunder));
}
int RunFlashGet(const Args& args) {
    return RunItems(args, LinkEncoder(links::LinkForm::FlashGet, &links::ToFlashGet));
}
int RunQqdl(const Args& args) { return RunItems(args, LinkEncoder(links::LinkForm::Qqdl, &links::ToQqdl)); }
int RunDecode(const Args& args) { return RunItems(args, &DecodeItem); }

int RunUrlEncode(const Args& args) {
    return RunItems(args,
                    TextConverter([](std::u16string_view item) { return UrlCommand(item, false); }, true));
}

int RunUrlDecode(const Args& args) {
    return RunItems(args, TextConverter([](std::u16string_view item) { return UrlCommand(item, true); }));
}

int RunRayfile(const Args& args) {
    const std::optional<std::string_view> given = args.Option("--size");
    if (!given) return UsageError("fs2you 需要 --size N（文件大小，单位：字节）");
    // The size goes into the link as typed, so it must be plain digits.
    const std::string_view size = TrimBlanks(*given);
    if (size.empty()) return UsageError("--size 不能为空");
    if (size.find_first_not_of("0123456789") != std::string_view::npos) {
        return UsageError("--size 须是 0 或更大的整数（字节）");
    }
    const std::u16string sizeText(size.begin(), size.end());
    return RunItems(
        args,
        TextConverter([sizeText](std::u16string_view item) { return RayfileCommand(item, sizeText); }, true));
}

int RunFingerprint(const Args& args) { return RunItems(args, &FingerprintItem, true); }

struct Subcommand {
    std::string_view name;
    std::span<const std::string_view> valueOptions;  // options that take a value
    int (*run)(const Args& args);
};

constexpr std::string_view kSizeOption[] = {"--size"};

constexpr Subcommand kSubcommands[] = {
    {"thunder", {}, &RunThunder},     {"flashget", {}, &RunFlashGet},
    {"qqdl", {}, &RunQqdl},           {"fs2you", kSizeOption, &RunRayfile},
    {"decode", {}, &RunDecode},       {"urlencode", {}, &RunUrlEncode},
    {"urldecode", {}, &RunUrlDecode}, {"fingerprint", {}, &RunFingerprint},
};

const Subcommand* FindSubcommand(std::string_view name) {
    for (const Subcommand& s : kSubcommands) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

bool TakesValue(std::string_view option, const Subcommand* only) {
    for (const Subcommand& s : kSubcommands) {
        if (only != nullptr && &s != only) continue;
        for (std::string_view o : s.valueOptions) {
            if (o == option) return true;
        }
    }
    return false;
}

// ---- output -----------------------------------------------------------------

struct ItemLoop {
    ItemLoop(const Converter& c, bool blankLines) : convert(c), blankLineBetween(blankLines) {}

    const Converter& convert;
    bool blankLineBetween = false;
    Output out;
    std::size_t line = 0;
    bool anyRejected = false;

    void Item(std::string_view item, bool tooLong = false) {
        ++line;
        if (blankLineBetween && line > 1) out.EndLine();
        const std::size_t mark = out.Buffer().size();
        const std::string complaint = tooLong ? std::string(kLineTooLong) : convert(item, out.Buffer());
        if (!complaint.empty()) {
            anyRejected = true;
            out.Buffer().resize(mark);
            out.Flush();  // keep stdout and stderr in order on a terminal
            std::fprintf(stderr, "tessel-cli: 第 %zu 行：%s\n", line, complaint.c_str());
        }
        out.EndLine();
    }

    void EndLine(std::string_view lineText, bool tooLong) {
        if (!lineText.empty() && lineText.back() == '\r') lineText.remove_suffix(1);
        Item(lineText, tooLong || lineText.size() > kMaxLineBytes);
    }

    // A last line without LF still counts.
    bool FromStdin() {
        std::vector<char> chunk(1 << 18);
        std::string pending;
        bool tooLong = false;  // the line being read passed kMaxLineBytes
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                std::fprintf(stderr, "tessel-cli: 无法读取标准输入：%s\n", std::strerror(errno));
                return false;
            }
            if (n == 0) break;
            std::string_view data(chunk.data(), static_cast<std::size_t>(n));
            while (!data.empty()) {
                const std::size_t nl = data.find('\n');
                const std::string_view piece = data.substr(0, nl);
                // What is held of a line stays bounded (a CR may follow the
                // limit); the rest of a longer line is skipped.
                if (!tooLong && pending.size() + piece.size() > kMaxLineBytes + 1) {
                    tooLong = true;
                    pending.clear();
                }
                if (nl == std::string_view::npos) {
                    if (!tooLong) pending.append(piece);
                    break;
                }
                data.remove_prefix(nl + 1);
                if (pending.empty() || tooLong) {
                    EndLine(piece, tooLong);  // the usual case: the whole line is in this chunk
                } else {
                    pending.append(piece);
                    EndLine(pending, false);
                }
                pending.clear();
                tooLong = false;
            }
        }
        if (!pending.empty() || tooLong) EndLine(pending, tooLong);
        return true;
    }
};

// Replaces this process with tessel-cli-aria2 and the arguments after
// "aria2"; returns only when no helper could be started.
int StartAria2Helper(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    int lastError = ENOENT;
    std::string tried;
    for (const char* folder : {".", TESSEL_ARIA2_HELPER_DIR}) {
        const std::filesystem::path helper = (self.parent_path() / folder / kAria2Helper).lexically_normal();
        argv[1] = const_cast<char*>(kAria2Helper);
        ::execv(helper.c_str(), argv + 1);
        lastError = errno;
        tried += (tried.empty() ? "" : ", ") + helper.string();
    }
    std::fprintf(stderr, "tessel-cli: 无法启动 %s（%s）：%s\n", kAria2Helper, tried.c_str(),
                 std::strerror(lastError));
    return kExitUsage;
}

void PrintHelp() {
    std::fputs(kHelpHead, stdout);
    std::fputs("\n", stdout);
    std::fputs(kAria2HelpLines, stdout);
    std::fputs(kHelpTail, stdout);
}

}  // namespace

std::optional<std::string_view> Args::Option(std::string_view name) const {
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return std::string_view(it->second);
}

int UsageError(std::string_view what) {
    std::fprintf(stderr, "tessel-cli: %.*s（用法见 tessel-cli --help）\n", static_cast<int>(what.size()),
                 what.data());
    return kExitUsage;
}

int RunItems(const Args& args, const Converter& convert, bool blankLineBetween) {
    ItemLoop loop(convert, blankLineBetween);
    if (args.items.empty()) {
        // Not a usage error: the command line was right, the input failed.
        if (!loop.FromStdin()) return kExitRejected;
    } else {
        for (std::string_view item : args.items) loop.Item(item);
    }
    loop.out.Flush();
    if (loop.out.Failed()) {
        std::fprintf(stderr, "tessel-cli: 无法写出结果：%s\n", std::strerror(loop.out.Error()));
        return kExitRejected;
    }
    return loop.anyRejected ? kExitRejected : kExitDone;
}

}  // namespace tessel::cli

int main(int argc, char** argv) {
    using namespace tessel::cli;
    // The system's error descriptions in the user's language; the rest is Chinese.
    std::setlocale(LC_MESSAGES, "");
    if (argc >= 2 && std::string_view(argv[1]) == "aria2") return StartAria2Helper(argv);
    const std::vector<std::string_view> words(argv + 1, argv + argc);

    // The subcommand is the first word that is neither an option nor an
    // option's value; options may come before it.
    const Subcommand* command = nullptr;
    std::size_t commandAt = 0;
    for (std::size_t i = 0; i < words.size() && command == nullptr; ++i) {
        const std::string_view w = words[i];
        if (w == "-h" || w == "--help") {
            PrintHelp();
            return kExitDone;
        }
        if (w == "--") {
            if (i + 1 < words.size()) {
                commandAt = i + 1;
                command = FindSubcommand(words[i + 1]);
                if (command == nullptr) return UsageError("未知命令 '" + std::string(words[i + 1]) + "'");
            }
            break;
        }
        if (w.size() > 1 && w.front() == '-') {
            if (TakesValue(w, nullptr)) ++i;
            continue;
        }
        commandAt = i;
        command = FindSubcommand(w);
        if (command == nullptr) return UsageError("未知命令 '" + std::string(w) + "'");
    }
    if (command == nullptr) return UsageError("没有给出命令");

    Args args;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view w = words[i];
        if (i == commandAt) continue;
        if (!optionsEnded && w == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && w.size() > 1 && w.front() == '-') {
            if (w == "-h" || w == "--help") {
                PrintHelp();
                return kExitDone;
            }
            const std::size_t eq = w.find('=');
            const std::string name(w.substr(0, eq));
            if (!TakesValue(name, command)) {
                if (TakesValue(name, nullptr)) {
                    return UsageError(name + " 不是 " + std::string(command->name) + " 的选项");
                }
                return UsageError("未知选项 '" + std::string(w) + "'");
            }
            if (eq != std::string_view::npos) {
                args.options[name] = std::string(w.substr(eq + 1));
            } else if (i + 1 < words.size()) {
                args.options[name] = std::string(words[++i]);
            } else {
                return UsageError(name + " 需要一个值");
            }
        } else {
            args.items.push_back(w);
        }
    }
    return command->run(args);
}
