// SPDX-License-Identifier: GPL-3.0-or-later
#include "checksum/fingerprint.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#define OPENSSL_SUPPRESS_DEPRECATED  // the low-level MD5() serves as a second implementation
#include <gtest/gtest.h>
#include <openssl/md5.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "text/codepage.h"

using namespace tessel::checksum;
namespace fs = std::filesystem;

namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

std::u16string Hex(const unsigned char* p, std::size_t n) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i) s += {kHex[p[i] >> 4], kHex[p[i] & 15]};
    return s;
}

std::u16string ReferenceMd5(const std::string& data) {
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
    return Hex(digest, sizeof digest);
}

std::uint32_t ReferenceCrc(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

class FileTest : public ::testing::Test {
 protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tessel-links-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return p;
    }

    fs::path dir_;
};

}  // namespace

TEST(Crc32, CheckValueAndAgreementWithZlibAtEveryAlignmentAndSplit) {
    EXPECT_EQ(Crc32Text(Crc32(0, "123456789", 9)), u"CBF43926");
    EXPECT_EQ(Crc32Text(0x1234), u"00001234");
    // Lengths around the 16-byte steps and the four-lane blocks (512 B, 4 KiB, 32 KiB).
    const std::string data = RandomBytes(3 * 32768 + 37, 1);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t length :
             {0u, 1u, 15u, 16u, 17u, 511u, 512u, 4095u, 4096u, 4627u, 32767u, 32768u, 3 * 32768u + 21}) {
            const std::string piece = data.substr(offset, length);
            ASSERT_EQ(Crc32(0, piece.data(), piece.size()), ReferenceCrc(piece)) << offset << "+" << length;
        }
    }
    // Fed in pieces equals fed at once.
    const std::uint32_t part = Crc32(0, data.data(), 1001);
    EXPECT_EQ(Crc32(part, data.data() + 1001, data.size() - 1001), ReferenceCrc(data));
}

TEST(MD5Hash, KnownVectorsOfHashBytes) {
    MD5Hash md5;
    EXPECT_EQ(md5.HashBytes(""), u"D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(md5.HashBytes("abc"), u"900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(md5.HashBytes("message digest"), u"F96B697D7CB7938D525A2F31AAF161D0");
    // One object serves digest after digest.
    EXPECT_EQ(md5.HashBytes("abc"), u"900150983CD24FB0D6963F7D28E17F72");
}

// Block edges of every reader: 16 KiB, 1 MiB, and the 4 MiB from which the
// fingerprint reads ahead on a second thread.
class DigestSizes : public FileTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(DigestSizes, AllReadersAgreeWithTheReferences) {
    const std::string data = RandomBytes(GetParam(), static_cast<unsigned>(GetParam()));
    const fs::path file = Write("data.bin", data);
    const std::u16string md5 = ReferenceMd5(data);
    const std::u16string crc = Crc32Text(ReferenceCrc(data));

    MD5Hash hasher;
    EXPECT_EQ(hasher.HashFile(file), md5);
    EXPECT_EQ(hasher.HashBytes(data), md5);
    EXPECT_EQ(FileCRC32(file, 1024), crc);
    EXPECT_EQ(FileCRC32(file, 1), crc);
    EXPECT_EQ(QueryFileSize(file), data.size());

    const FingerprintResult r = Fingerprint(file);
    EXPECT_EQ(r.status, FingerprintResult::Status::Ok);
    EXPECT_EQ(r.size, data.size());
    EXPECT_EQ(r.md5, md5);
    EXPECT_EQ(r.crc32, crc);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DigestSizes,
                         ::testing::Values(0, 1, 16383, 16384, 16385, (1u << 20) + 1, (5u << 20) + 3));

TEST_F(FileTest, DropTexts) {
    EXPECT_EQ(FingerprintText(Write("empty", "")),
              u"文件大小:0\r\nCRC32:00000000\r\nMD5:D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(FingerprintText(Write(".hidden", "abc")),
              u"文件大小:3\r\nCRC32:352441C2\r\nMD5:900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(FingerprintText(dir_), kNoFileText);
    EXPECT_EQ(FingerprintText(dir_ / "gone"), kNoFileText);
    EXPECT_EQ(FingerprintText(Fingerprint(Write("lf", "abc")), u"\n"),
              u"文件大小:3\nCRC32:352441C2\nMD5:900150983CD24FB0D6963F7D28E17F72");

    // Above 500 MiB only the size, and nothing is read (sparse files).
    for (std::uint64_t size : {kChecksumSizeLimit + 1, std::uint64_t{629145600}}) {
        const fs::path big = dir_ / "big";
        { std::ofstream(big, std::ios::binary); }
        fs::resize_file(big, size);
        EXPECT_EQ(FingerprintText(big), u"文件大小:" + tessel::text::FromUtf8(std::to_string(size)));
    }
}

TEST_F(FileTest, QueryFileSizeOfThingsThatAreNoRegularFile) {
    const fs::path file = Write("f", "12345");
    fs::create_symlink(file, dir_ / "link");
    EXPECT_EQ(QueryFileSize(dir_ / "link"), 5u);
    EXPECT_EQ(QueryFileSize(dir_), 0u);
    EXPECT_EQ(QueryFileSize(dir_ / "gone"), 0u);
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(QueryFileSize(dir_ / "fifo"), 0u);
    EXPECT_EQ(FileCRC32(dir_ / "fifo", 1024), u"");  // must not wait for a writer
    EXPECT_EQ(FingerprintText(dir_ / "fifo"), kNoFileText);
    EXPECT_EQ(FileCRC32(dir_, 1024), u"");
}

TEST_F(FileTest, HashFileRaisesTheDocumentedErrors) {
    MD5Hash md5;
    const fs::path vanished = Write("vanished", "abc");
    fs::remove(vanished);
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    struct Case {
        fs::path path;
        std::uint32_t number;
        std::string description;
    };
    for (const Case& c :
         {Case{vanished, 0x8004C342, "File doesn't exist"}, Case{dir_, 75, "Path/File access error"},
          Case{dir_ / "fifo", 75, "Path/File access error"}}) {
        try {
            md5.HashFile(c.path);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const MD5HashError& e) {
            EXPECT_EQ(e.Number(), c.number);
            EXPECT_EQ(e.Source(), "MD5Hash.HashFile");
            EXPECT_EQ(e.Description(), c.description);
        }
    }
    EXPECT_EQ(md5.HashBytes("abc"), u"900150983CD24FB0D6963F7D28E17F72");  // still usable afterwards
}

TEST_F(FileTest, UnreadableFileGivesAClearMessage) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
    const fs::path file = Write("secret", "abc");
    fs::permissions(file, fs::perms::none);
    EXPECT_EQ(FingerprintText(file), u"文件大小:3\r\n" + std::u16string(kNoPermissionText));
    EXPECT_EQ(FileCRC32(file, 1024), u"");
    EXPECT_THROW(MD5Hash().HashFile(file), MD5HashError);
    // A folder that may not be searched hides even the size; the file is
    // there all the same, so "文件并不存在" would be wrong.
    fs::permissions(file, fs::perms::owner_read);
    fs::permissions(dir_, fs::perms::none);
    const std::u16string text = FingerprintText(file);
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_EQ(text, kNoPermissionText);
}

TEST(Fingerprint, FileWithoutAStatedSizeIsNotTakenForEmpty) {
    EXPECT_EQ(FingerprintText("/proc/self/status"), kUnsizedText);
    EXPECT_EQ(Fingerprint("/proc/self/status").status, FingerprintResult::Status::Unsized);
}

// The pump runs before every block; here it also cuts the file short behind
// the reader's back, which must end in an error, not in zero-filled digests.
TEST_F(FileTest, PumpRunsPerBlockAndAFileThatShrinksIsAReadError) {
    const fs::path small = Write("small", RandomBytes(3000, 3));
    int calls = 0;
    EXPECT_EQ(FileCRC32(small, 1, [&] { ++calls; }), Crc32Text(ReferenceCrc(RandomBytes(3000, 3))));
    EXPECT_EQ(calls, 3);

    for (std::size_t size : {std::size_t{3} << 20, std::size_t{6} << 20}) {  // serial and read-ahead paths
        const fs::path file = Write("shrinks", RandomBytes(size, 4));
        calls = 0;
        const FingerprintResult r = Fingerprint(file, [&] {
            if (++calls == 2) fs::resize_file(file, 1000);
        });
        EXPECT_EQ(r.status, FingerprintResult::Status::ReadError) << size;
        EXPECT_EQ(FingerprintText(r), u"文件大小:" + tessel::text::FromUtf8(std::to_string(size)) + u"\r\n" +
                                          std::u16string(kReadErrorText));
        Write("shrinks", RandomBytes(size, 4));
        calls = 0;
        EXPECT_EQ(FileCRC32(file, 1024,
                            [&] {
                                if (++calls == 2) fs::resize_file(file, 1000);
                            }),
                  u"");
    }
}
