// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/download_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "text/codepage.h"

namespace tessel::handoff {
namespace {

struct Address {
    std::u16string scheme, host, port;
};

// scheme://host[:port]/path, with the host in brackets for IPv6.
bool SplitAddress(std::u16string_view a, Address& out) {
    const auto colon = a.find(u"://");
    if (colon == std::u16string_view::npos) return false;
    out.scheme = std::u16string(a.substr(0, colon));
    std::transform(out.scheme.begin(), out.scheme.end(), out.scheme.begin(),
                   [](char16_t c) { return c < 128 ? static_cast<char16_t>(std::tolower(c)) : c; });
    std::u16string_view rest = a.substr(colon + 3);
    rest = rest.substr(0, rest.find(u'/'));
    if (!rest.empty() && rest.front() == u'[') {
        const auto close = rest.find(u']');
        if (close == std::u16string_view::npos) return false;
        out.host = std::u16string(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
        if (!rest.empty() && rest.front() != u':') return false;
        if (!rest.empty()) out.port = std::u16string(rest.substr(1));
    } else {
        const auto p = rest.rfind(u':');
        out.host = std::u16string(rest.substr(0, p));
        if (p != std::u16string_view::npos) out.port = std::u16string(rest.substr(p + 1));
    }
    return true;
}

bool HasControl(std::u16string_view s) {
    return std::any_of(s.begin(), s.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace

DownloadSettingsProblem CheckDownloadSettings(const DownloadSettingsForm& form) {
    if (!form.ownEngine) {
        Address a;
        if (!SplitAddress(form.rpc, a) || (a.scheme != u"http" && a.scheme != u"https") || a.host.empty() ||
            HasControl(form.rpc) || form.rpc.find(u' ') != std::u16string::npos)
            return {u"txtAria2Rpc",
                    u"aria2 的地址须以 http:// 或 https:// 开头，例如 http://192.168.1.5:6800/jsonrpc"};
        if (!a.port.empty()) {
            const bool digits =
                a.port.size() <= 5 &&
                std::all_of(a.port.begin(), a.port.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
            const long port = digits ? std::stol(text::ToUtf8(a.port)) : 0;
            if (port < 1 || port > 65535)
                return {u"txtAria2Rpc", u"aria2 地址里的端口须是 1 到 65535 之间的数"};
        }
        if (HasControl(form.secret)) return {u"txtAria2Secret", u"密钥不能含有换行或其他控制字符"};
        if (!form.caFile.empty()) {
            if (a.scheme != u"https")
                return {u"txtAria2CaFile", u"证书文件只用于 https:// 地址；http:// 地址请留空"};
            struct stat st = {};
            const std::string path = text::ToUtf8(form.caFile);
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                return {u"txtAria2CaFile", u"证书文件不存在或不是普通文件"};
            if (::access(path.c_str(), R_OK) != 0) return {u"txtAria2CaFile", u"证书文件无法读取"};
        }
    }
    if (!form.downloadDir.empty()) {
        const std::string dir = text::ToUtf8(form.downloadDir);
        if (dir.front() != '/')
            return {u"txtDownloadDir", u"下载文件夹须是完整路径（以 / 开头），或留空用桌面的下载文件夹"};
        if (HasControl(form.downloadDir)) return {u"txtDownloadDir", u"下载文件夹的路径不能含有控制字符"};
        struct stat st = {};
        if (::stat(dir.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return {u"txtDownloadDir", u"下载文件夹的路径指向的不是文件夹"};
            if (::access(dir.c_str(), W_OK | X_OK) != 0) return {u"txtDownloadDir", u"下载文件夹无法写入"};
        }
    }
    return {};
}

}  // namespace tessel::handoff
