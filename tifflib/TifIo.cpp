#include "tifflib/TifIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vellum {

namespace {

class FileIo : public TifTarget {
public:
    explicit FileIo(int fd) : fd_(fd) {
        struct stat st {};
        if (::fstat(fd_, &st) == 0) size_ = std::uint64_t(st.st_size);
    }
    ~FileIo() override { ::close(fd_); }
    std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) override {
        std::size_t done = 0;
        auto* out = static_cast<char*>(dst);
        while (done < n) {
            const ssize_t got = ::pread(fd_, out + done, n - done, off_t(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += std::size_t(got);
        }
        return done;
    }
    std::uint64_t size() const override { return size_; }
    bool writeAt(std::uint64_t offset, const void* src, std::size_t n) override {
        std::size_t done = 0;
        const auto* in = static_cast<const char*>(src);
        while (done < n) {
            const ssize_t put = ::pwrite(fd_, in + done, n - done, off_t(offset + done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            done += std::size_t(put);
        }
        size_ = std::max(size_, offset + done);
        return done == n;
    }
private:
    int fd_;
    std::uint64_t size_ = 0;
};

class StreamIo : public TifIo {
public:
    StreamIo(HLQMEM h, const std::uint8_t* data, std::uint64_t length) : h_(h), data_(data), length_(length) {
        lqMemLock(h_);  // held for the call, so the block cannot move under the reader
    }
    ~StreamIo() override { lqMemUnlock(h_); }
    std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) override {
        if (offset >= length_ || n == 0) return 0;
        const std::size_t count = std::size_t(std::min<std::uint64_t>(n, length_ - offset));
        std::memcpy(dst, data_ + offset, count);
        return count;
    }
    std::uint64_t size() const override { return length_; }
private:
    HLQMEM h_;
    const std::uint8_t* data_;
    std::uint64_t length_;
};

}  // namespace

std::size_t BufferTarget::readAt(std::uint64_t offset, void* dst, std::size_t n) {
    if (offset >= data_.size() || n == 0) return 0;
    const std::size_t count = std::size_t(std::min<std::uint64_t>(n, data_.size() - offset));
    std::memcpy(dst, data_.data() + offset, count);
    return count;
}

bool BufferTarget::writeAt(std::uint64_t offset, const void* src, std::size_t n) {
    if (offset + n > kLqMemMaxBlock) return false;  // a stream must fit one memory block
    if (fixed_ && offset + n > data_.size()) return false;
    if (offset + n > data_.size()) data_.resize(std::size_t(offset + n));
    if (n) std::memcpy(data_.data() + offset, src, n);
    return true;
}

std::unique_ptr<TifTarget> openFileForUpdate(const std::string& path, bool create) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<FileIo>(fd);
}

std::unique_ptr<TifIo> openFileForRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<FileIo>(fd);
}

std::unique_ptr<TifIo> openStreamForRead(const void* address, std::uint32_t length) {
    HLQMEM h = address ? lqMemHandleOf(address) : nullptr;
    if (!h) return nullptr;
    const std::uint64_t valid = std::min<std::uint64_t>(length, lqMemSize(h));
    return std::make_unique<StreamIo>(h, static_cast<const std::uint8_t*>(address), valid);
}

}  // namespace vellum
