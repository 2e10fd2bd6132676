// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-cli aria2: hands links and addresses to aria2 for scripts, a
// browser's "send to" command or a cron job, with the window's settings.
#include "cli_aria2.h"

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/open_link.h"
#include "handoff/aria2_objects.h"
#include "handoff/services_ini.h"
#include "text/codepage.h"
#include "text/visible_text.h"

using namespace tessel;

namespace {

constexpr std::size_t kMaxLine = 1024 * 1024;
// aria2's task ids are 16 hexadecimal digits; its messages one line.  What a
// server sends is printed escaped and cut, never as terminal commands.
constexpr std::size_t kMaxIdOut = 64;
constexpr std::size_t kMaxComplaintOut = 4096;

int Usage(const std::string& what) {
    std::fprintf(stderr, "tessel-cli: aria2: %s（用法见 tessel-cli --help）\n", what.c_str());
    return 2;
}

class Sender {
 public:
    explicit Sender(handoff::Aria2Settings settings) : settings_(std::move(settings)) {}

    void Item(std::string_view item) {
        ++line_;
        std::string out;
        const std::string complaint = Send(item, out);
        if (!complaint.empty()) {
            rejected_ = true;
            std::fflush(stdout);
            std::fprintf(stderr, "tessel-cli: 第 %zu 行：%s\n", line_,
                         text::EscapeForTerminal(complaint, kMaxComplaintOut).c_str());
        }
        std::printf("%s\n", text::EscapeForTerminal(out, kMaxIdOut).c_str());
        if (::isatty(STDOUT_FILENO)) std::fflush(stdout);
    }

    bool FromStdin() {
        std::string pending;
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                std::fprintf(stderr, "tessel-cli: 无法读取标准输入：%s\n", std::strerror(errno));
                return false;
            }
            if (n == 0) break;
            for (std::string_view data(chunk, static_cast<std::size_t>(n)); !data.empty();) {
                const std::size_t nl = data.find('\n');
                pending.append(data.substr(0, nl));
                if (pending.size() > kMaxLine) pending.resize(kMaxLine + 1);  // rejected below, kept bounded
                if (nl == std::string_view::npos) break;
                data.remove_prefix(nl + 1);
                Line(pending);
                pending.clear();
            }
        }
        if (!pending.empty()) Line(pending);
        return true;
    }

    bool rejected() const { return rejected_; }

 private:
    void Line(std::string& text) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        Item(text);
    }

    std::string Send(std::string_view item, std::string& id) {
        if (item.size() > kMaxLine) return "行太长，不是链接";
        if (!text::IsValidUtf8(item)) return "不是 UTF-8 文本";
        const bridge::Aria2Item parsed = bridge::Aria2ItemFrom(text::FromUtf8(item));
        if (!parsed.task) return text::ToUtf8(parsed.complaint);
        try {
            id = handoff::SendToAria2(settings_, *parsed.task, u"tessel-cli");
            return {};
        } catch (const handoff::Aria2Error& error) {
            std::string why = text::ToUtf8(error.Description()) + "（" +
                              text::ToUtf8(handoff::Aria2RpcAddress(settings_)) + "）";
            const auto status = error.Reply().status;
            if (!hinted_ &&
                (status == handoff::Aria2Status::NoAnswer || status == handoff::Aria2Status::SecretRefused)) {
                hinted_ = true;
                why += "；启动 aria2：" + text::ToUtf8(handoff::Aria2StartCommand(settings_));
            }
            return why;
        } catch (const std::exception& error) {
            return std::string("没能交给 aria2：") + error.what();
        }
    }

    handoff::Aria2Settings settings_;
    std::size_t line_ = 0;
    bool rejected_ = false;
    bool hinted_ = false;
};

}  // namespace

int RunAria2Command(int argc, char** argv) {
    std::optional<std::string> rpc, secret, caFile, config;
    std::vector<std::string_view> items;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view a = argv[i];
        std::optional<std::string>* target = nullptr;
        std::string_view name;
        for (auto [option, slot] :
             {std::pair{std::string_view("--rpc"), &rpc}, std::pair{std::string_view("--secret"), &secret},
              std::pair{std::string_view("--ca-file"), &caFile},
              std::pair{std::string_view("--config"), &config}}) {
            if (!optionsEnded && (a == option || (a.starts_with(option) && a.size() > option.size() &&
                                                  a[option.size()] == '='))) {
                target = slot;
                name = option;
            }
        }
        if (target) {
            if (a.size() > name.size()) {
                *target = std::string(a.substr(name.size() + 1));
            } else if (i + 1 < argc) {
                *target = argv[++i];
            } else {
                return Usage(std::string(name) + " 需要一个值");
            }
        } else if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.size() > 1 && a.front() == '-') {
            return Usage("未知选项 '" + std::string(a) + "'");
        } else {
            items.push_back(a);
        }
    }
    for (const auto* value : {&rpc, &secret, &caFile, &config}) {
        if (*value && !text::IsValidUtf8(**value)) return Usage("选项的值须是 UTF-8 文本");
    }

    handoff::Aria2Settings settings;
    if (!rpc || !secret || !caFile) {
        // A settings file that cannot be read must not mean the default
        // address without the secret: nothing is sent.
        handoff::Aria2SettingsFile file = handoff::ReadAria2SettingsFile(
            config ? *config : handoff::SettingsFilePath(), config.has_value());
        if (!file.complaint.empty()) {
            const std::string why =
                text::EscapeForTerminal(file.complaint, kMaxComplaintOut) + "，没有交出任何链接";
            if (config) return Usage(why);
            std::fprintf(stderr, "tessel-cli: aria2: %s\n", why.c_str());
            return 1;
        }
        settings = std::move(file.settings);
    }
    if (rpc) settings.rpc = text::FromUtf8(*rpc);
    if (secret) settings.secret = text::FromUtf8(*secret);
    if (caFile) settings.caFile = text::FromUtf8(*caFile);

    Sender sender(std::move(settings));
    if (items.empty()) {
        if (!sender.FromStdin()) return 1;  // the command line was right, the input failed
    } else {
        for (std::string_view item : items) sender.Item(item);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "tessel-cli: 无法写出结果：%s\n", std::strerror(errno));
        return 1;
    }
    return sender.rejected() ? 1 : 0;
}

int main(int argc, char** argv) {
    std::setlocale(LC_MESSAGES, "");  // as tessel-cli
    return RunAria2Command(argc - 1, argv + 1);
}
