// SPDX-License-Identifier: GPL-3.0-or-later
#include "checksum/fingerprint.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <semaphore>
#include <system_error>
#include <thread>
#include <vector>

#include "checksum/file_reader.h"
#include "checksum/md5_context.h"
#include "text/codepage.h"
#include "text/vbstring.h"

namespace tessel::checksum {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
// Below this a helper thread costs more than it saves.
constexpr std::uint64_t kHelperFrom = std::uint64_t{4} << 20;

std::string Describe(const FileReader& file) {
    switch (file.Why()) {
        case FileReader::Failure::Shrunk:
            return "the file became shorter while it was read";
        case FileReader::Failure::ReadFailed:
        case FileReader::Failure::CannotOpen:
            return std::error_code(file.Errno(), std::generic_category()).message();
        default:
            return "not a regular file";
    }
}

// MD5 is the slow half, so it stays on the calling thread while a helper
// computes the CRC of the same block and reads the next one.  The pump still
// runs on the calling thread, between blocks, with the helper idle.
class CrcAndReadAhead {
 public:
    struct Job {
        const unsigned char* crcData = nullptr;
        std::size_t crcSize = 0;
        unsigned char* readInto = nullptr;
        std::size_t readSize = 0;
    };

    explicit CrcAndReadAhead(FileReader& file) : file_(file), thread_([this] { Run(); }) {}
    ~CrcAndReadAhead() {
        Wait();
        stop_ = true;
        start_.release();
        thread_.join();
    }
    CrcAndReadAhead(const CrcAndReadAhead&) = delete;
    CrcAndReadAhead& operator=(const CrcAndReadAhead&) = delete;

    void Start(const Job& job) {
        job_ = job;
        busy_ = true;
        start_.release();
    }
    // Waits for the running job; false when its read failed.
    bool Wait() {
        if (busy_) {
            done_.acquire();
            busy_ = false;
        }
        return readOk_;
    }
    std::uint32_t crc() const { return crc_; }

 private:
    void Run() {
        for (;;) {
            start_.acquire();
            if (stop_) return;
            crc_ = Crc32(crc_, job_.crcData, job_.crcSize);
            if (job_.readSize > 0) readOk_ = file_.ReadExactly(job_.readInto, job_.readSize);
            done_.release();
        }
    }

    FileReader& file_;
    Job job_;
    std::uint32_t crc_ = 0;
    bool readOk_ = true;
    bool busy_ = false;
    bool stop_ = false;
    std::binary_semaphore start_{0};
    std::binary_semaphore done_{0};
    std::thread thread_;
};

// Both digests over the whole file; false when reading failed.
bool DigestSerial(FileReader& file, Md5Context& md5, std::uint32_t& crc, const EventPump& pump) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, file.Size())));
    md5.BeginHash();
    crc = 0;
    for (std::uint64_t remaining = file.Size(); remaining > 0;) {
        if (pump) pump();
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kBlock));
        if (!file.ReadExactly(buffer.data(), n)) return false;
        md5.HashBlock(buffer.data(), n);
        crc = Crc32(crc, buffer.data(), n);
        remaining -= n;
    }
    return true;
}

bool DigestOverlapped(FileReader& file, Md5Context& md5, std::uint32_t& crc, const EventPump& pump) {
    std::vector<unsigned char> buffers[2] = {std::vector<unsigned char>(kBlock),
                                             std::vector<unsigned char>(kBlock)};
    auto blockSize = [&](std::uint64_t offset) {
        return static_cast<std::size_t>(std::min<std::uint64_t>(file.Size() - offset, kBlock));
    };
    // Declared after the buffers: its destructor waits for a job in flight
    // before they go, also when the MD5 step throws.
    std::optional<CrcAndReadAhead> helper;
    try {
        helper.emplace(file);
    } catch (const std::system_error&) {
        return DigestSerial(file, md5, crc, pump);  // no thread to be had
    }
    if (!file.ReadExactly(buffers[0].data(), blockSize(0))) return false;
    md5.BeginHash();
    int current = 0;
    for (std::uint64_t offset = 0; offset < file.Size();) {
        if (pump) pump();
        const std::size_t n = blockSize(offset);
        const std::uint64_t next = offset + n;
        const std::size_t nextSize = next < file.Size() ? blockSize(next) : 0;
        helper->Start({buffers[current].data(), n, buffers[1 - current].data(), nextSize});
        md5.HashBlock(buffers[current].data(), n);
        if (!helper->Wait()) return false;
        offset = next;
        current = 1 - current;
    }
    crc = helper->crc();
    return true;
}

}  // namespace

std::uint64_t QueryFileSize(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return 0;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

FingerprintResult Fingerprint(const std::filesystem::path& path, const EventPump& pump) {
    using Status = FingerprintResult::Status;
    FingerprintResult result;
    FileReader file(path);
    if (!file.Ok()) {
        std::error_code ec;
        if (file.Errno() == EACCES || file.Errno() == EPERM) {
            result.status = Status::NoPermission;
            result.sizeKnown = std::filesystem::is_regular_file(path, ec);
            result.size = QueryFileSize(path);
            return result;
        }
        if (file.Why() == FileReader::Failure::CannotOpen && std::filesystem::is_regular_file(path, ec)) {
            // There, but not for us (no permission, too many open files...).
            result.status = Status::ReadError;
            result.size = QueryFileSize(path);
            result.problem = Describe(file);
        } else {
            result.status = Status::NoFile;
        }
        return result;
    }
    result.size = file.Size();
    if (file.HasUnstatedContent()) {
        result.status = Status::Unsized;
        return result;
    }
    if (result.size > kChecksumSizeLimit) {
        result.status = Status::SizeOnly;
        return result;
    }

    try {
        Md5Context md5;
        std::uint32_t crc = 0;
        const bool read = result.size >= kHelperFrom ? DigestOverlapped(file, md5, crc, pump)
                                                     : DigestSerial(file, md5, crc, pump);
        if (!read) {
            result.status = Status::ReadError;
            result.problem = Describe(file);
            return result;
        }
        result.md5 = md5.FinishHash();
        result.crc32 = Crc32Text(crc);
        result.status = Status::Ok;
    } catch (const MD5HashError& e) {
        result.status = Status::ReadError;
        result.problem = e.Description();
    }
    return result;
}

std::u16string FingerprintText(const FingerprintResult& r, std::u16string_view lineBreak) {
    using Status = FingerprintResult::Status;
    if (r.status == Status::NoFile) return std::u16string(kNoFileText);
    if (r.status == Status::NoPermission && !r.sizeKnown) return std::u16string(kNoPermissionText);
    if (r.status == Status::Unsized) return std::u16string(kUnsizedText);
    std::u16string out = u"文件大小:" + text::ToDecimal(static_cast<std::int64_t>(r.size));
    switch (r.status) {
        case Status::Ok:
            out.append(lineBreak).append(u"CRC32:").append(r.crc32);
            out.append(lineBreak).append(u"MD5:").append(r.md5);
            break;
        case Status::ReadError:
            out.append(lineBreak).append(kReadErrorText);
            break;
        case Status::NoPermission:
            out.append(lineBreak).append(kNoPermissionText);
            break;
        case Status::SizeOnly:
        case Status::NoFile:
        case Status::Unsized:
            break;
    }
    return out;
}

std::u16string FingerprintText(const std::filesystem::path& path, const EventPump& pump) {
    return FingerprintText(Fingerprint(path, pump));
}

}  // namespace tessel::checksum
