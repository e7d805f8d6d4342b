#include "rastervane/RVCodec.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "rastervane/RVDib.h"

namespace rv {

// ---- ByteReader ----

std::uint8_t ByteReader::u8() {
    const auto b = bytes(1);
    return b.empty() ? 0 : b[0];
}
std::uint16_t ByteReader::le16() {
    const auto b = bytes(2);
    return b.empty() ? 0 : lqp::getLe16(b.data());
}
std::uint32_t ByteReader::le32() {
    const auto b = bytes(4);
    return b.empty() ? 0 : lqp::getLe32(b.data());
}
std::uint16_t ByteReader::be16() {
    const auto b = bytes(2);
    return b.empty() ? 0 : std::uint16_t((b[0] << 8) | b[1]);
}
std::uint32_t ByteReader::be32() {
    const auto b = bytes(4);
    return b.empty() ? 0 : (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n) {
    if (!ok_ || n > remaining()) {
        ok_ = false;
        pos_ = data_.size();
        return {};
    }
    const auto out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
}

bool ByteReader::seek(std::size_t offset) {
    if (offset > data_.size()) {
        ok_ = false;
        return false;
    }
    pos_ = offset;
    return ok_;
}

// ---- OutputDib ----

bool OutputDib::create(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        RVSetLastError(kRVErrFormat, "Invalid image size");
        return false;
    }
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || std::uint64_t(width) * std::uint64_t(height) > RVImageLimit()) {
        RVSetLastError(kRVErrTooLarge, "Image is too large");
        return false;
    }
    block_.reset(RVTDib::CreateDib(std::int32_t(width), std::int32_t(height), 24));
    if (!block_) return false;
    header_ = static_cast<std::uint8_t*>(lqMemLock(block_.get()));
    width_ = int(width);
    height_ = int(height);
    rowSize_ = std::size_t(lqp::dibRowSize(width, 24));
    bits_ = header_ + lqp::kDibHeaderSize;
    return true;
}

void OutputDib::setResolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter) {
    lqp::putLe32(header_ + 24, std::uint32_t(xPelsPerMeter));
    lqp::putLe32(header_ + 28, std::uint32_t(yPelsPerMeter));
}

HLQMEM OutputDib::release() {
    if (header_) lqMemUnlock(block_.get());
    header_ = bits_ = nullptr;
    return block_.release();
}

// ---- InputDib ----

bool InputDib::open(HLQMEM dib) {
    if (!RVCheckDib(dib, &info_)) return false;
    handle_ = dib;
    dib_ = static_cast<const std::uint8_t*>(lqMemLock(dib));
    rowSize_ = std::size_t(lqp::dibRowSize(info_));
    bits_ = dib_ + lqp::dibPixelOffset(info_);
    if (info_.bitCount <= 8) {
        table_ = {dib_ + info_.size, std::size_t(lqp::dibColorCount(info_)) * 4};
        for (std::size_t i = 0; i < table_.size() / 4; ++i) colors_.set(i, table_[i * 4 + 2], table_[i * 4 + 1], table_[i * 4]);
    }
    if (info_.compression == lqp::kBiBitfields) {
        for (int i = 0; i < 3; ++i) masks_[i] = lqp::getLe32(dib_ + lqp::kDibHeaderSize + 4 * i);
    } else if (info_.bitCount == 16) {
        masks_[0] = 0x7C00; masks_[1] = 0x03E0; masks_[2] = 0x001F;
    } else if (info_.bitCount == 32) {
        masks_[0] = 0xFF0000; masks_[1] = 0xFF00; masks_[2] = 0xFF;
    }
    return true;
}

InputDib::~InputDib() {
    if (dib_) lqMemUnlock(handle_);
}

QList<QRgb> InputDib::palette() const {
    QList<QRgb> out;
    for (std::size_t i = 0; i + 3 < table_.size(); i += 4) out.append(qRgb(table_[i + 2], table_[i + 1], table_[i]));
    return out;
}

void ColorTable::toBgr(const std::uint8_t* indices, int width, std::uint8_t* out) const {
    for (int x = 0; x < width; ++x, out += 3) std::memcpy(out, entries_[indices[x]].data(), 3);
}

void UnpackIndices(const std::uint8_t* packed, int bits, int width, std::uint8_t* out) {
    if (bits == 8) {
        std::memcpy(out, packed, std::size_t(width));
        return;
    }
    const int perByte = 8 / bits;
    const std::uint8_t mask = std::uint8_t((1u << bits) - 1);
    for (int x = 0; x < width; ++x) out[x] = (packed[x / perByte] >> (8 - bits * (x % perByte + 1))) & mask;
}

std::uint8_t MaskedComponent(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const std::uint64_t v = (value & mask) >> shift;
    const std::uint64_t max = (std::uint64_t(1) << width) - 1;
    return std::uint8_t(v * 255 / max);
}

void InputDib::rowToBgr(int y, std::uint8_t* out) const {
    const std::uint8_t* src = row(y);
    const int w = width();
    switch (bits()) {
    case 24:
        std::memcpy(out, src, std::size_t(w) * 3);
        return;
    case 1: case 4: case 8: {
        scratch_.resize(std::size_t(w));
        UnpackIndices(src, bits(), w, scratch_.data());
        colors_.toBgr(scratch_.data(), w, out);
        return;
    }
    default: {
        const int bytes = bits() / 8;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = bytes == 2 ? lqp::getLe16(src + 2 * x) : lqp::getLe32(src + 4 * x);
            out[3 * x] = MaskedComponent(v, masks_[2]);
            out[3 * x + 1] = MaskedComponent(v, masks_[1]);
            out[3 * x + 2] = MaskedComponent(v, masks_[0]);
        }
    }
    }
}

bool InputDib::isGrayRamp() const {
    if (bits() != 8 || table_.size() != 256 * 4) return false;
    for (std::size_t i = 0; i < 256; ++i)
        if (table_[i * 4] != i || table_[i * 4 + 1] != i || table_[i * 4 + 2] != i) return false;
    return true;
}

// ---- files ----

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t maxBytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        RVSetLastError(kRVErrOpen, "Can't open file " + path + ": " + std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        RVSetLastError(kRVErrOpen, "Not a regular file: " + path);
        return false;
    }
    if (std::uint64_t(st.st_size) > maxBytes) {
        std::fclose(f);
        RVSetLastError(kRVErrTooLarge, "File is too large: " + path);
        return false;
    }
    out.resize(std::size_t(st.st_size));
    const std::size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed || got != out.size()) {
        out.clear();
        RVSetLastError(kRVErrRead, "Read error in file " + path);
        return false;
    }
    return true;
}

bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        RVSetLastError(kRVErrOpen, "Can't open file " + path + ": " + std::strerror(errno));
        return false;
    }
    out.resize(count);
    const std::size_t got = std::fread(out.data(), 1, count, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    out.resize(got);
    if (failed) RVSetLastError(kRVErrRead, "Read error in file " + path);
    return !failed;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    std::string pattern = folder + "/.lqsave-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        RVSetLastError(kRVErrOpen, "Can't create file " + path + ": " + std::strerror(errno));
        return;
    }
    // mkstemp makes the file private; give it the target's mode, or the usual 0644.
    struct stat target {};
    ::fchmod(fd, ::stat(path.c_str(), &target) == 0 ? (target.st_mode & 07777) : 0644);
    temp_ = pattern;
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(temp_.c_str());
        RVSetLastError(kRVErrOpen, "Can't create file " + path);
    }
}

OutputFile::~OutputFile() {
    if (file_) {
        std::fclose(file_);
        ::unlink(temp_.c_str());
    }
}

bool OutputFile::write(const void* data, std::size_t size) {
    if (!file_ || failed_) return false;
    if (size && std::fwrite(data, 1, size, file_) != size) failed_ = true;
    return !failed_;
}

bool OutputFile::commit() {
    if (!file_) return false;
    bool good = !failed_ && std::fflush(file_) == 0 && std::ferror(file_) == 0;
    good = std::fclose(file_) == 0 && good;
    file_ = nullptr;
    if (good && std::rename(temp_.c_str(), path_.c_str()) == 0) return true;
    const std::string reason = std::strerror(errno);
    ::unlink(temp_.c_str());
    RVSetLastError(kRVErrWrite, "Write error in file " + path_ + ": " + reason);
    return false;
}

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    OutputFile out(path);
    return out.ok() && out.write(bytes) && out.commit();
}

}  // namespace rv
