// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/aria2_rpc.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/codepage.h"
#include "text/vbstring.h"
#include "web/curl_session.h"
#include "web/curl_url.h"

namespace tessel::handoff {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout{2000};

struct Sink {
    std::string body;
    bool tooLarge = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->body.size() + n > kMaxAria2Reply) {
        sink->tooLarge = true;
        return 0;  // stops the transfer
    }
    sink->body.append(data, n);
    return n;
}

std::string TransportError(CURLcode code, std::chrono::milliseconds timeout) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
            return "连接被拒绝，那里没有程序在监听";
        case CURLE_OPERATION_TIMEDOUT:
            return "等了 " + std::to_string((timeout.count() + 999) / 1000) + " 秒也没有回答";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "找不到这个主机";
        case CURLE_PEER_FAILED_VERIFICATION:
            return "aria2 的证书没有通过验证；它用的若是自己签发的证书，请在设置 Aria2CaFile "
                   "里写上那个证书文件";
        case CURLE_SSL_CACERT_BADFILE:
            return "设置 Aria2CaFile 指定的证书文件无法读取";
        case CURLE_URL_MALFORMAT:
            return "地址无效";
        // The address was checked before the call, so these come from what
        // answered: a program that does not speak HTTP on that port.
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
            return "那里的程序没有按 HTTP 回答";
        default:
            return std::string("网络错误：") + curl_easy_strerror(code);
    }
}

// The scheme of an address curl can parse; "" when it cannot.
std::string RpcScheme(const std::string& address) {
    // "localhost:6800/jsonrpc" is taken as http, as libcurl itself would.
    return web::CurlUrl(address, CURLU_GUESS_SCHEME).Part(CURLUPART_SCHEME);
}

// A secret with characters the shell treats specially goes in single quotes.
std::u16string ShellWord(std::u16string_view word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               std::u16string_view(u"-_.,:/@%+=").find(c) != std::u16string_view::npos;
    });
    if (plain) return std::u16string(word);
    // Appended piece by piece: GCC 12 at -O3 sees a false overlap in "'" + temporary.
    std::u16string quoted(u"'");
    quoted += text::Replace(word, u"'", u"'\\''");
    quoted += u'\'';
    return quoted;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (unsigned char b : bytes) {
        if (b >= 0x80 || b <= 0x20 || b == 0x7F) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += static_cast<char>(b);
        }
    }
}

}  // namespace

std::string CheckAria2CaFile(const std::string& path) {
    // Opened without waiting: a FIFO at that name would otherwise hold the
    // call until something writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return "设置 Aria2CaFile 指定的证书文件无法读取（" + std::string(std::strerror(errno)) + "）";
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!statted || !S_ISREG(st.st_mode)) return "设置 Aria2CaFile 指定的不是普通文件";
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxAria2CaFileBytes)
        return "设置 Aria2CaFile 指定的文件超过 " + std::to_string(kMaxAria2CaFileBytes / 1024 / 1024) +
               " MiB，不是证书文件";
    return {};
}

std::u16string Aria2RpcAddress(const Aria2Settings& settings) {
    const std::u16string rpc = text::Trim(settings.rpc);
    return rpc.empty() ? std::u16string(kAria2RpcDefault) : rpc;
}

std::u16string Aria2StartCommand(const Aria2Settings& settings) {
    std::string port = "6800";
    bool loopback = true;
    bool secure = false;
    if (const web::CurlUrl url(text::ToUtf8(Aria2RpcAddress(settings))); url) {
        if (std::string p = url.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT); !p.empty()) port = p;
        loopback = web::IsLoopbackHost(url.Part(CURLUPART_HOST));
        secure = url.Part(CURLUPART_SCHEME) == "https";
    }
    std::u16string command = u"aria2c --enable-rpc --rpc-listen-all=";
    command += loopback ? u"false" : u"true";
    command += u" --rpc-listen-port=" + text::FromUtf8(port);
    if (!settings.secret.empty()) command += u" --rpc-secret=" + ShellWord(settings.secret);
    if (secure) command += u" --rpc-secure=true --rpc-certificate=<证书文件> --rpc-private-key=<私钥文件>";
    return command;
}

std::string EscapeLinkForAria2(std::u16string_view link, text::CodePage page) {
    std::string out;
    out.reserve(link.size() * 3);
    for (std::size_t i = 0; i < link.size(); ++i) {
        std::size_t units = 1;
        if (link[i] >= 0xD800 && link[i] <= 0xDBFF && i + 1 < link.size() && link[i + 1] >= 0xDC00 &&
            link[i + 1] <= 0xDFFF) {
            units = 2;
        }
        const std::u16string_view ch = link.substr(i, units);
        i += units - 1;
        if (ch[0] < 0x80) {
            AppendEscaped(out, std::string(1, static_cast<char>(ch[0])));
            continue;
        }
        // A character GBK cannot hold would come back as "?", which starts a
        // query and cuts the path; its UTF-8 bytes are the better guess.
        const std::string bytes = text::ToCodePage(ch, page);
        AppendEscaped(out, bytes == "?" ? text::ToUtf8(ch) : bytes);
    }
    return out;
}

namespace {

nlohmann::json WithToken(std::u16string_view secret, const nlohmann::json& params) {
    nlohmann::json all = nlohmann::json::array();
    if (!secret.empty()) all.push_back("token:" + text::ToUtf8(secret));
    for (const auto& p : params) all.push_back(p);
    return all;
}

// `allParams` as they go, the token included where one belongs.
Aria2Reply Aria2Post(const Aria2Settings& settings, std::string_view method, const nlohmann::json& allParams,
                     std::chrono::milliseconds timeout, const web::RequestAbort* abort) {
    Aria2Reply reply;
    const std::string body = nlohmann::json{
        {"jsonrpc", "2.0"},
        {"id", kAria2CallId},
        {"method", method},
        {"params", allParams}}.dump();

    web::CurlSession session(web::CurlSession::Kind::JsonPost);
    if (!session.Ok()) {
        reply.error = "网络库无法初始化";
        return reply;
    }
    const std::string url = text::ToUtf8(Aria2RpcAddress(settings));
    const std::string scheme = RpcScheme(url);
    if ((scheme != "http" && scheme != "https") || !session.SetUrl(url)) {
        reply.error = TransportError(CURLE_URL_MALFORMAT, timeout);
        return reply;
    }
    Sink sink;
    session.SetBody(body);
    session.SetLimits({.total = timeout, .connect = std::min(timeout, kConnectTimeout)});
    session.SetWriter(Collect, &sink);
    // The certificate is always verified; a file of the user's only adds to
    // what is trusted, never turns the check off.
    const std::string caFile = text::ToUtf8(text::Trim(settings.caFile));
    if (!caFile.empty() && scheme == "https") {
        if (std::string complaint = CheckAria2CaFile(caFile); !complaint.empty()) {
            reply.status = Aria2Status::Certificate;
            reply.error = std::move(complaint);
            return reply;
        }
        curl_easy_setopt(session.Handle(), CURLOPT_CAINFO, caFile.c_str());
    }

    const CURLcode rc = session.Perform(abort);
    if (sink.tooLarge) {
        reply.status = Aria2Status::NotAria2;
        reply.error = "回答过长";
        return reply;
    }
    if (rc != CURLE_OK) {
        if (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_CACERT_BADFILE)
            reply.status = Aria2Status::Certificate;
        reply.error = TransportError(rc, timeout);
        return reply;
    }
    long httpStatus = 0;
    curl_easy_getinfo(session.Handle(), CURLINFO_RESPONSE_CODE, &httpStatus);

    return ReadAria2Reply(sink.body, httpStatus, kAria2CallId);
}

}  // namespace

Aria2Reply Aria2Call(const Aria2Settings& settings, std::string_view method, const nlohmann::json& params,
                     std::chrono::milliseconds timeout, const web::RequestAbort* abort) {
    return Aria2Post(settings, method, WithToken(settings.secret, params), timeout, abort);
}

nlohmann::json Aria2MulticallParams(std::u16string_view secret, std::span<const Aria2MethodCall> calls) {
    nlohmann::json list = nlohmann::json::array();
    for (const Aria2MethodCall& call : calls)
        list.push_back({{"methodName", call.method}, {"params", WithToken(secret, call.params)}});
    return nlohmann::json::array({list});
}

std::vector<Aria2Reply> ReadMulticallReply(const Aria2Reply& whole, std::size_t count) {
    if (whole.status != Aria2Status::Ok) return std::vector<Aria2Reply>(count, whole);
    if (!whole.result.is_array() || whole.result.size() != count) {
        Aria2Reply odd;
        odd.status = Aria2Status::NotAria2;
        odd.error = "回答的条数与请求不符";
        return std::vector<Aria2Reply>(count, odd);
    }
    std::vector<Aria2Reply> replies;
    replies.reserve(count);
    for (const nlohmann::json& item : whole.result) {
        // aria2 wraps each result in an array of one, and sends a fault as
        // an object of its own.
        if (item.is_array() && item.size() == 1) {
            Aria2Reply ok;
            ok.status = Aria2Status::Ok;
            ok.result = item[0];
            replies.push_back(std::move(ok));
        } else if (item.is_object()) {
            replies.push_back(ReadAria2Fault(item));
        } else {
            Aria2Reply odd;
            odd.status = Aria2Status::NotAria2;
            odd.error = "回答里有一条不是 aria2 的格式";
            replies.push_back(std::move(odd));
        }
    }
    return replies;
}

std::vector<Aria2Reply> Aria2Multicall(const Aria2Settings& settings, std::span<const Aria2MethodCall> calls,
                                       std::chrono::milliseconds timeout, const web::RequestAbort* abort) {
    if (calls.empty()) return {};
    const Aria2Reply whole =
        Aria2Post(settings, "system.multicall", Aria2MulticallParams(settings.secret, calls), timeout, abort);
    return ReadMulticallReply(whole, calls.size());
}

}  // namespace tessel::handoff
