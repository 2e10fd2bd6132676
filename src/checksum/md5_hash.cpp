// SPDX-License-Identifier: GPL-3.0-or-later
#include "checksum/md5_hash.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <algorithm>
#include <vector>

#include "checksum/file_reader.h"
#include "checksum/md5_context.h"

namespace tessel::checksum {
namespace {

// The numbers of the failures listed in md5_hash.h.
constexpr std::uint32_t kMD5ErrNoProvider = 0x8004C352;
constexpr std::uint32_t kMD5ErrCreateHash = 0x8004C332;
constexpr std::uint32_t kMD5ErrHashBlock = 0x8004C312;
constexpr std::uint32_t kMD5ErrHashLength = 0x8004C322;
constexpr std::uint32_t kMD5ErrHashValue = 0x8004C324;
constexpr std::uint32_t kMD5ErrNoFile = 0x8004C342;
constexpr std::uint32_t kMD5ErrFileAccess = 75;
constexpr std::uint32_t kMD5ErrDeviceIO = 57;
constexpr std::uint32_t kMD5ErrPastEnd = 62;

constexpr const char* kSource = "MD5Hash";
constexpr const char* kFileSource = "MD5Hash.HashFile";

std::string SystemError(const char* what) {
    // Take the oldest queued error (the one that made the call fail) and leave
    // the queue empty for the next digest.
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    return std::string(what) + ", OpenSSL error " + std::to_string(code);
}

}  // namespace

MD5HashError::MD5HashError(std::uint32_t number, std::string source, std::string description)
    : NumberedError(description, number, std::move(source), description) {}

Md5Context::Md5Context() {
    md_ = EVP_MD_fetch(nullptr, "MD5", nullptr);
    if (md_ == nullptr) {
        throw MD5HashError(kMD5ErrNoProvider, "MD5Hash.Class_Initialize",
                           SystemError("Failed to load the MD5 digest from OpenSSL"));
    }
}

Md5Context::~Md5Context() {
    Discard();
    EVP_MD_free(md_);
}

void Md5Context::Discard() {
    EVP_MD_CTX_free(ctx_);
    ctx_ = nullptr;
}

void Md5Context::BeginHash() {
    Discard();
    ctx_ = EVP_MD_CTX_new();
    if (ctx_ == nullptr || EVP_DigestInit_ex2(ctx_, md_, nullptr) != 1) {
        Discard();
        throw MD5HashError(kMD5ErrCreateHash, kSource, SystemError("Failed to create an MD5 digest context"));
    }
}

void Md5Context::HashBlock(const void* data, std::size_t size) {
    if (ctx_ == nullptr || EVP_DigestUpdate(ctx_, data, size) != 1) {
        Discard();
        throw MD5HashError(kMD5ErrHashBlock, kSource, SystemError("Failed to hash data block"));
    }
}

std::u16string Md5Context::FinishHash() {
    const int length = ctx_ != nullptr ? EVP_MD_CTX_get_size(ctx_) : 0;
    if (length <= 0 || length > EVP_MAX_MD_SIZE) {
        Discard();
        throw MD5HashError(kMD5ErrHashLength, kSource, SystemError("Failed to obtain hash value length"));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int got = 0;
    if (EVP_DigestFinal_ex(ctx_, digest, &got) != 1 || got != static_cast<unsigned int>(length)) {
        Discard();
        throw MD5HashError(kMD5ErrHashValue, kSource, SystemError("Failed to obtain hash value"));
    }
    Discard();
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string text;
    text.reserve(got * 2);
    for (unsigned int i = 0; i < got; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 15]);
    }
    return text;
}

void ThrowFileError(FileReader::Failure failure, int error) {
    const std::string sys = error != 0 ? ", system error " + std::to_string(error) : std::string();
    switch (failure) {
        case FileReader::Failure::Missing:
            throw MD5HashError(kMD5ErrNoFile, kFileSource, "File doesn't exist");
        case FileReader::Failure::ReadFailed:
            throw MD5HashError(kMD5ErrDeviceIO, kFileSource, "Device I/O error" + sys);
        case FileReader::Failure::Shrunk:
            throw MD5HashError(kMD5ErrPastEnd, kFileSource, "Input past end of file");
        case FileReader::Failure::None:
        case FileReader::Failure::NotRegular:
        case FileReader::Failure::CannotOpen:
            break;
    }
    throw MD5HashError(kMD5ErrFileAccess, kFileSource, "Path/File access error" + sys);
}

MD5Hash::MD5Hash() : ctx_(std::make_unique<Md5Context>()) {}

MD5Hash::~MD5Hash() = default;

std::u16string MD5Hash::HashFile(const std::filesystem::path& fileName) {
    FileReader file(fileName);
    if (!file.Ok()) ThrowFileError(file.Why(), file.Errno());

    constexpr std::size_t kBlock = 1 << 20;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, file.Size())));
    ctx_->BeginHash();
    for (std::uint64_t remaining = file.Size(); remaining > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kBlock));
        if (!file.ReadExactly(buffer.data(), n)) ThrowFileError(file.Why(), file.Errno());
        ctx_->HashBlock(buffer.data(), n);
        remaining -= n;
    }
    return ctx_->FinishHash();
}

std::u16string MD5Hash::HashBytes(std::string_view block) {
    ctx_->BeginHash();
    ctx_->HashBlock(block.data(), block.size());
    return ctx_->FinishHash();
}

}  // namespace tessel::checksum
