// Building blocks shared by the pack's readers and writers: a bounded byte reader, the 24-bit
// output image of every reader, a read-only view of a DIB handed to a writer, whole-file
// reading and a file writer that replaces its target only when everything was written.
#pragma once

#include <QList>
#include <QRgb>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

// Reads little- and big-endian values from a byte span. A read past the end answers 0 and
// marks the reader failed; callers check ok() once after a group of reads.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
    std::uint8_t u8();
    std::uint16_t le16();
    std::uint32_t le32();
    std::uint16_t be16();
    std::uint32_t be32();
    // The next n bytes, or an empty span (and failure) when fewer remain.
    std::span<const std::uint8_t> bytes(std::size_t n);
    void skip(std::size_t n) { bytes(n); }
    bool seek(std::size_t offset);
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ >= data_.size(); }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// The 24-bit DIB a reader fills, addressed by image rows from the top.
class OutputDib {
public:
    // Records the pack's last error and answers false when the size is invalid or too large.
    bool create(std::int64_t width, std::int64_t height);
    std::uint8_t* row(int y) const { return bits_ + std::size_t(height_ - 1 - y) * rowSize_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setResolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter);
    // Hands the finished DIB to the caller (unlocked).
    HLQMEM release();

private:
    lqp::MemOwner block_;
    std::uint8_t* bits_ = nullptr;
    std::uint8_t* header_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::size_t rowSize_ = 0;
};

// Up to 256 colours; every entry not set is black, so any 8-bit index is safe to look up.
class ColorTable {
public:
    void set(std::size_t index, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        if (index < 256) entries_[index] = {blue, green, red};
    }
    const std::uint8_t* bgr(std::uint8_t index) const { return entries_[index].data(); }
    // Colours of `width` indices as blue, green, red triples.
    void toBgr(const std::uint8_t* indices, int width, std::uint8_t* out) const;

private:
    std::array<std::array<std::uint8_t, 3>, 256> entries_ {};
};

// Unpacks a row of 1-, 2-, 4- or 8-bit indices (most significant bits first) to one byte each.
void UnpackIndices(const std::uint8_t* packed, int bits, int width, std::uint8_t* out);

// A writer's read-only view of a valid DIB of 1, 4, 8, 16, 24 or 32 bits.
class InputDib {
public:
    // Records kRVErrBadDib and answers false for a missing or invalid DIB.
    bool open(HLQMEM dib);
    ~InputDib();
    const lqp::DibHeader& info() const { return info_; }
    // The whole packed DIB (header, colour table, rows).
    const std::uint8_t* data() const { return dib_; }
    int width() const { return info_.width; }
    int height() const { return info_.height; }
    int bits() const { return info_.bitCount; }
    const std::uint8_t* row(int y) const { return bits_ + std::size_t(info_.height - 1 - y) * rowSize_; }
    std::size_t rowSize() const { return rowSize_; }
    // The colour table (entries in blue, green, red, reserved order), empty above 8 bits.
    std::span<const std::uint8_t> colorTable() const { return table_; }
    QList<QRgb> palette() const;
    // Image row y as blue, green, red triples (width × 3 bytes into `out`).
    void rowToBgr(int y, std::uint8_t* out) const;
    // True for an 8-bit DIB whose colour table is the grey ramp 0..255.
    bool isGrayRamp() const;

private:
    HLQMEM handle_ = nullptr;
    const std::uint8_t* dib_ = nullptr;
    const std::uint8_t* bits_ = nullptr;
    std::span<const std::uint8_t> table_;
    ColorTable colors_;
    mutable std::vector<std::uint8_t> scratch_;
    lqp::DibHeader info_;
    std::size_t rowSize_ = 0;
    std::uint32_t masks_[3] = {0, 0, 0};
};

// Scales the bits of `value` selected by `mask` to 0..255 (v × 255 / max, truncated; a 5-bit
// component 4 gives 32).
std::uint8_t MaskedComponent(std::uint32_t value, std::uint32_t mask);

// Reads a whole file (at most maxBytes) into `out`; records kRVErrOpen / kRVErrRead /
// kRVErrTooLarge and answers false on failure.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::uint64_t maxBytes = std::uint64_t(1) << 31);

// Runs a stream reader on the whole of a file.
template <typename StreamReader>
HLQMEM ReadFileWith(const std::string& fileName, StreamReader&& read) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes)) return nullptr;
    return read(std::span<const std::uint8_t>(bytes));
}

// Runs a decoder (constructed on the data; readHeader(), then decode(dib, progress)) with the
// operation text and the first and last progress report around it.
template <typename Decoder>
HLQMEM Decode(const char* operation, std::span<const std::uint8_t> data, const RVProgress& progress) {
    RVSetOperation(operation);
    if (!RVReport(progress, 0)) return nullptr;
    Decoder decoder(data);
    OutputDib dib;
    if (!decoder.readHeader() || !decoder.decode(dib, progress) || !RVReport(progress, 100)) return nullptr;
    return dib.release();
}

// Reads at most the first `count` bytes of a file (fewer when it is shorter).
bool ReadFileStart(const std::string& path, std::size_t count, std::vector<std::uint8_t>& out);

// Writes a file through a temporary file in the same folder; commit() renames it over the
// target. Without a successful commit the target stays as it was and the temporary file is
// removed.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // False (with kRVErrOpen recorded) when the temporary file could not be created.
    bool ok() const { return file_ != nullptr; }
    std::FILE* file() const { return file_; }
    bool write(const void* data, std::size_t size);
    bool write(std::span<const std::uint8_t> bytes) { return write(bytes.data(), bytes.size()); }
    // Flushes, closes and renames; records kRVErrWrite and answers false on failure.
    bool commit();

private:
    std::string path_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// Writes bytes to a file through OutputFile.
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Reports progress every time the row count passes another step of 1/50 of the rows.
class RowProgress {
public:
    RowProgress(const RVProgress& progress, int rows) : progress_(progress), rows_(rows), step_(rows / 50 > 0 ? rows / 50 : 1) {}
    bool start() { return RVReport(progress_, 0); }
    bool row(int done) { return (done % step_) != 0 || RVReport(progress_, int(std::int64_t(done) * 100 / rows_)); }
    bool finish() { return RVReport(progress_, 100); }

private:
    const RVProgress& progress_;
    int rows_;
    int step_;
};

}  // namespace rv
