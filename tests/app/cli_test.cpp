// SPDX-License-Identifier: GPL-3.0-or-later
// tessel-cli run as a real process: arguments, standard input, the three
// output streams and the exit status.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_cli.h"

using namespace testcli;

TEST(Cli, ArgumentsGiveOneLinePerItemInOrder) {
    const Result r = RunCli({"thunder", "http://a/b", "  ftp://x  "});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "thunder://QUFodHRwOi8vYS9iWlo=/\nthunder://QUFmdHA6Ly94Wlo=/\n");
    EXPECT_EQ(r.err, "");

    EXPECT_EQ(RunCli({"fs2you", "--size", "1024", "http://a/b"}).out, "fs2you://YS9ifDEwMjQ=/\n");
    EXPECT_EQ(RunCli({"--size=1024", "fs2you", "http://a/b"}).out, "fs2you://YS9ifDEwMjQ=/\n");
    EXPECT_EQ(RunCli({"qqdl", "--", "http://a/b"}).out, "qqdl://aHR0cDovL2EvYg==/\n");
}

TEST(Cli, StdinBatchKeepsLinesAlignedAroundARejectedLine) {
    const Result r =
        RunCli({"decode"}, "thunder://QUFodHRwOi8vYS9iWlo=/\r\n  http://not/a/link \nqqdl://xOO6ww==/");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "http://a/b\n\n你好\n");  // UTF-8, last line without LF still counts
    EXPECT_EQ(r.err, "tessel-cli: 第 2 行：对不起，链接不正确\n");
}

TEST(Cli, UrlCommandsAndLineBreaksInResults) {
    EXPECT_EQ(RunCli({"urlencode", "你好 a"}).out, "%C4%E3%BA%C3%20a\n");
    EXPECT_EQ(RunCli({"urldecode", "%C4%E3%BA%C3"}).out, "你好\n");
    // A decoded line break would shift every later line, so it is refused.
    const Result r = RunCli({"urldecode", "a%0Ab", "%41"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\nA\n");
    EXPECT_NE(r.err.find("第 1 行："), std::string::npos);
}

TEST(Cli, LargeBatchCrossesReadChunks) {
    std::string input;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i);
        input += "http://host/file" + n + ".zip\n";
        expected += "http://host/file" + n + ".zip\n";
    }
    const Result encoded = RunCli({"qqdl"}, input);
    ASSERT_EQ(encoded.status, 0);
    ASSERT_EQ(CountLines(encoded.out), 20000u);
    const Result decoded = RunCli({"decode"}, encoded.out);
    EXPECT_EQ(decoded.status, 0);
    EXPECT_TRUE(decoded.out == expected);
}

TEST(Cli, FingerprintBlocksSeparatedByAnEmptyLine) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::filesystem::path a = dir / ("tessel-cli-a-" + std::to_string(::getpid()));
    const std::filesystem::path b = dir / ("tessel-cli-b-" + std::to_string(::getpid()));
    std::ofstream(a) << "abc";
    { std::ofstream empty(b); }
    const Result r = RunCli({"fingerprint", a.string(), (dir / "no-such-file").string(), b.string()});
    std::filesystem::remove(a);
    std::filesystem::remove(b);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "文件大小:3\nCRC32:352441C2\nMD5:900150983CD24FB0D6963F7D28E17F72\n"
              "\n\n\n"
              "文件大小:0\nCRC32:00000000\nMD5:D41D8CD98F00B204E9800998ECF8427E\n");
    EXPECT_EQ(r.err, "tessel-cli: 第 2 行：文件并不存在\n");
}

TEST(Cli, UsageErrorsExitWithTwoAndAOneLineHint) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"bogus"},
                                               {"fs2you", "http://a/b"},
                                               {"fs2you", "--size", " "},
                                               {"thunder", "--size", "1", "http://a/b"},
                                               {"decode", "--frobnicate"}}) {
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(CountLines(r.err), 1u) << r.err;
    }
}

TEST(Cli, HelpNamesEverySubcommandWithAnExample) {
    const Result r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command :
         {"thunder", "flashget", "qqdl", "fs2you", "decode", "urlencode", "urldecode", "fingerprint"}) {
        EXPECT_NE(r.out.find(std::string("tessel-cli ") + command + " "), std::string::npos) << command;
    }
}

// One language in every run, whatever the locale: the help, the usage
// errors and the complaints are Simplified Chinese, as the window is.
TEST(Cli, HelpAndMessagesAreChineseInEveryLocale) {
    for (const char* locale : {"C", "en_US.UTF-8", "zh_CN.UTF-8"}) {
        ::setenv("LC_ALL", locale, 1);
        const Result help = RunCli({"--help"});
        for (const char* english :
             {"Usage", "Converts", "Commands", "show this help", "Exit status", "rejected"}) {
            EXPECT_EQ(help.out.find(english), std::string::npos) << locale << ": " << english;
        }
        for (const char* chinese :
             {"用法：tessel-cli 命令", "普通地址转为 thunder:// 链接", "交给 aria2 下载", "退出状态"}) {
            EXPECT_NE(help.out.find(chinese), std::string::npos) << locale << ": " << chinese;
        }
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {}, {"bogus"}, {"fs2you", "http://a/b"}, {"thunder", "--size", "1"}, {"aria2", "--bogus"}}) {
            const Result r = RunCli(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_NE(r.err.find("（用法见 tessel-cli --help）\n"), std::string::npos)
                << locale << ": " << r.err;
        }
        EXPECT_EQ(RunCli({"decode", "x"}).err, "tessel-cli: 第 1 行：对不起，链接不正确\n") << locale;
    }
    ::unsetenv("LC_ALL");
}

// Each of these once printed a wrong result and reported success.
TEST(Cli, WrongResultsAreRejectedNotPrinted) {
    // Bytes that are not UTF-8 would become "?" inside the link.
    Result r = RunCli({"thunder"}, "http://a/b\nhttp://a/\xC4\xE3\nhttp://c/d\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "thunder://QUFodHRwOi8vYS9iWlo=/\n\nthunder://QUFodHRwOi8vYy9kWlo=/\n");
    EXPECT_EQ(r.err, "tessel-cli: 第 2 行：输入不是有效的 UTF-8 文本\n");

    // "%" at the end decodes to U+0000, which is no line of text.
    r = RunCli({"urldecode", "100%", "%41"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\nA\n");
    EXPECT_EQ(r.err, "tessel-cli: 第 1 行：结果含有空字符，无法写成一行\n");

    // An address holding a line break or a NUL byte is no line of text.
    r = RunCli({"decode"}, "qqdl://aHR0cDovL2EKYg==/\nqqdl://aHR0cDovL2EAYg==/\nqqdl://aHR0cDovL2EvYg==/\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\n\nhttp://a/b\n");
    EXPECT_EQ(r.err,
              "tessel-cli: 第 1 行：结果含有换行符，无法写成一行\n"
              "tessel-cli: 第 2 行：结果含有空字符，无法写成一行\n");

    // A link holding no address at all.
    r = RunCli({"decode", "qqdl://", "qqdl://aHR0cDovL2EvYg==/"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\nhttp://a/b\n");
    EXPECT_EQ(r.err, "tessel-cli: 第 1 行：对不起，链接不正确\n");
}

TEST(Cli, SizeMustBeAWholeNumberOfBytes) {
    for (const char* size : {"-5", "abc", "NaN", "1.5", "1e3", "+7", "12 34"}) {
        const Result r = RunCli({"fs2you", "--size", size, "http://a/b"});
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_EQ(r.out, "") << size;
    }
    EXPECT_EQ(RunCli({"fs2you", "--size", " 0 ", "http://a/b"}).out, "fs2you://YS9ifDA=/\n");
}

TEST(Cli, FingerprintNamesEachKindOfFailure) {
    // A NUL would cut the path short and fingerprint another file.
    Result r = RunCli({"fingerprint"}, std::string("/etc/hostname\0.bak\n", 19));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tessel-cli: 第 1 行：路径含有空字符，不是有效的文件路径\n");

    // A file of /proc says its size is 0 but has content.
    r = RunCli({"fingerprint", "/proc/self/status"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\n");
    EXPECT_NE(r.err.find("文件大小无法确定"), std::string::npos) << r.err;

    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tessel-cli-locked-" + std::to_string(::getpid()));
    std::filesystem::create_directory(dir);
    std::ofstream(dir / "f") << "abc";
    std::filesystem::permissions(dir, std::filesystem::perms::none);
    r = RunCli({"fingerprint", (dir / "f").string()});
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tessel-cli: 第 1 行：没有权限读取此文件，无法计算CRC32和MD5\n");
}

// Each of these printed a wrong result ("?" inside a link, an address of
// nothing) and reported success.
TEST(Cli, ItemsTheConversionCannotHoldAreRefusedWithTheirLine) {
    const struct Row {
        std::vector<std::string> args;
        std::string input;
        std::string says;  // the whole of standard error
    } rows[] = {
        {{"thunder"},
         "http://a/b\nhttp://a/\xF0\x9F\x98\x80\n",
         "tessel-cli: 第 2 行：含有 GBK 无法表示的字符 U+1F600，转换后会变成“?”\n"},
        {{"qqdl", "http://a/\xED\x95\x9C"},
         "",
         "tessel-cli: 第 1 行：含有 GBK 无法表示的字符 U+D55C，转换后会变成“?”\n"},
        {{"urlencode", "\xF0\x9F\x98\x80"},
         "",
         "tessel-cli: 第 1 行：含有 GBK 无法表示的字符 U+1F600，转换后会变成“?”\n"},
        {{"fs2you", "--size", "1", "http://a/\xF0\x9F\x98\x80"},
         "",
         "tessel-cli: 第 1 行：含有 GBK 无法表示的字符 U+1F600，转换后会变成“?”\n"},
        {{"decode", "qqdl:/aHR0cDovL2EvYg=="}, "", "tessel-cli: 第 1 行：对不起，链接不正确\n"},
        {{"decode", "qqdl:/"}, "", "tessel-cli: 第 1 行：对不起，链接不正确\n"},
        {{"decode", "fs2you://fA=="}, "", "tessel-cli: 第 1 行：对不起，链接不正确\n"},
        {{"decode"}, "fs2you://fA==\r\n", "tessel-cli: 第 1 行：对不起，链接不正确\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.back());
        const Result r = RunCli(row.args, row.input);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, row.says);
    }
    // GBK's own characters still convert, the euro sign included.
    EXPECT_EQ(RunCli({"urlencode", "\xE2\x82\xAC\xE4\xBD\xA0"}).out, "%80%C4%E3\n");
    EXPECT_EQ(RunCli({"decode", "QQDL://aHR0cDovL2EvYg==/"}).out, "http://a/b\n");
}

// Standard input that cannot be read is not a wrong command line, and a line
// too long to be a link is refused without being held whole.
TEST(Cli, InputTroubleIsReportedAsSuch) {
    const int folder = ::open("/", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    Result r = RunCli({"decode"}, {}, {}, folder);
    ::close(folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("无法读取标准输入"), std::string::npos) << r.err;

    r = RunCli({"thunder"}, "http://a/" + std::string(3 * 1024 * 1024, 'x') + "\r\nhttp://a/b\nhttp://" +
                                std::string(2 * 1024 * 1024, 'y'));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\nthunder://QUFodHRwOi8vYS9iWlo=/\n\n");
    EXPECT_EQ(r.err,
              "tessel-cli: 第 1 行：行太长（超过 1 MiB），没有转换\n"
              "tessel-cli: 第 3 行：行太长（超过 1 MiB），没有转换\n");
}
