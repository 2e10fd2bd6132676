// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/download_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "text/codepage.h"

namespace tessel::handoff {
namespace {

struct FormCase {
    const char* what;
    bool own;
    std::u16string rpc, secret, caFile, dir;
    std::u16string field;  // "" when the form is right
};

TEST(DownloadSettings, EveryBoxIsCheckedAndTheOneAtFaultNamed) {
    const std::filesystem::path tmp = testing::MakeTempDir("tessel-dlset");
    const std::u16string folder = text::FromUtf8(tmp.string());
    const std::u16string file = folder + u"/ca.pem";
    std::ofstream(tmp / "ca.pem") << "not checked here";
    std::filesystem::create_directory(tmp / "locked");
    ::chmod((tmp / "locked").c_str(), 0500);
    const bool root = ::geteuid() == 0;  // root writes anywhere

    const FormCase cases[] = {
        {"own engine, desktop folder", true, u"", u"", u"", u"", u""},
        {"own engine ignores the other boxes", true, u"not an address", u"\n", u"/nope", u"", u""},
        {"another aria2 on the LAN", false, u"http://192.168.1.5:6800/jsonrpc", u"s", u"", u"", u""},
        {"https with its certificate", false, u"https://nas:6801/jsonrpc", u"", file, u"", u""},
        {"IPv6 host", false, u"http://[::1]:6800/jsonrpc", u"", u"", u"", u""},
        {"no scheme", false, u"127.0.0.1:6800/jsonrpc", u"", u"", u"", u"txtAria2Rpc"},
        {"other scheme", false, u"ftp://h/jsonrpc", u"", u"", u"", u"txtAria2Rpc"},
        {"no host", false, u"http:///jsonrpc", u"", u"", u"", u"txtAria2Rpc"},
        {"blank inside", false, u"http://h st:6800/jsonrpc", u"", u"", u"", u"txtAria2Rpc"},
        {"port out of range", false, u"http://h:70000/jsonrpc", u"", u"", u"", u"txtAria2Rpc"},
        {"port not a number", false, u"http://h:x/jsonrpc", u"", u"", u"", u"txtAria2Rpc"},
        {"secret with a line break", false, u"http://h:6800/jsonrpc", u"a\nb", u"", u"", u"txtAria2Secret"},
        {"certificate for http", false, u"http://h:6800/jsonrpc", u"", file, u"", u"txtAria2CaFile"},
        {"certificate missing", false, u"https://h/jsonrpc", u"", folder + u"/none.pem", u"",
         u"txtAria2CaFile"},
        {"certificate is a folder", false, u"https://h/jsonrpc", u"", folder, u"", u"txtAria2CaFile"},
        {"folder relative", true, u"", u"", u"", u"下载", u"txtDownloadDir"},
        {"folder is a file", true, u"", u"", u"", file, u"txtDownloadDir"},
        {"folder not there yet: made later", true, u"", u"", u"", folder + u"/新的", u""},
        {"folder cannot be written", true, u"", u"", u"", folder + u"/locked",
         root ? u"" : u"txtDownloadDir"},
    };
    for (const FormCase& c : cases) {
        const DownloadSettingsProblem p = CheckDownloadSettings({c.own, c.rpc, c.secret, c.caFile, c.dir});
        EXPECT_EQ(text::ToUtf8(p.field), text::ToUtf8(c.field)) << c.what;
        EXPECT_EQ(p.text.empty(), c.field.empty()) << c.what << ": a complaint comes with its box";
    }
    ::chmod((tmp / "locked").c_str(), 0700);
    std::filesystem::remove_all(tmp);
}

}  // namespace
}  // namespace tessel::handoff
