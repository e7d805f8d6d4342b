// The writing, page and tag exports of Vellum32.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/Dib.h"
#include "platform/Files.h"
#include "platform/LastError.h"
#include "tifflib/Color.h"
#include "tifflib/TifErrors.h"
#include "tifflib/TifPages.h"
#include "tifflib/TifWriter.h"
#include "tifflib/Vellum32.h"
#include "tifflib/ttif.h"

namespace {

using namespace vellum;

constexpr std::uint32_t kStreamStep = 0x40000;

// The stream's current bytes (none for a null address); false when the address is no block.
bool streamBytes(const void* address, std::uint32_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!address) return true;
    HLQMEM h = lqMemHandleOf(address);
    if (!h) return false;
    const auto* p = static_cast<const std::uint8_t*>(address);
    out.assign(p, p + std::min<std::uint64_t>(length, lqMemSize(h)));
    return true;
}

// Puts a finished file image into the stream's block (allocating one for a null address),
// grown in steps of 0x40000 bytes. The caller's block is only changed when this succeeds.
bool commitStream(void** address, std::uint32_t* length, const std::vector<std::uint8_t>& bytes) {
    const std::size_t size = (bytes.size() + kStreamStep - 1) / kStreamStep * kStreamStep;
    HLQMEM h = *address ? lqMemHandleOf(*address) : nullptr;
    const bool fresh = h == nullptr;
    if (fresh && *address) return false;
    if (fresh) h = lqMemAlloc(std::max<std::size_t>(size, kStreamStep));
    else if (lqMemSize(h) < size && !lqMemReAlloc(h, size)) h = nullptr;
    if (!h) return false;
    auto* p = static_cast<std::uint8_t*>(lqMemLock(h));  // a fresh block stays locked for the caller
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    if (!fresh) lqMemUnlock(h);  // the caller's own lock keeps the new address valid
    *address = p;
    *length = std::uint32_t(bytes.size());
    return true;
}

// The DIB to write: the caller's own (never changed), or a new one when a 32-bit DIB loses
// its fourth byte or (unless packing) a depth other than the requested one is converted.
struct PreparedDib {
    HLQMEM dib = nullptr;   // what to write
    lqp::MemOwner owned;    // set when `dib` was made here
    std::uint32_t error = 0;
};

PreparedDib prepareDib(HLQMEM dib, int bits, bool packing) {
    PreparedDib p;
    lqp::DibHeader h;
    {
        lqp::MemLock lock(dib);
        if (!lock || lqp::validateDib(lock.data(), lqMemSize(dib), &h) != lqp::DibCheck::Ok || h.compression != lqp::kBiRgb ||
            (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24 && h.bitCount != 32)) {
            p.error = kErrArgument;
            return p;
        }
    }
    p.dib = dib;
    if (h.bitCount == 32) {
        p.owned.reset(lqp::createDib(h.width, h.height, 24));
        if (!p.owned) { p.error = kErrMemory; return p; }
        lqp::MemLock from(dib), to(p.owned.get());
        const std::uint64_t inRow = lqp::dibRowSize(h), outRow = lqp::dibRowSize(h.width, 24);
        const std::uint8_t* src = from.data() + lqp::dibPixelOffset(h);
        std::uint8_t* dst = to.data() + lqp::kDibHeaderSize;
        for (std::int32_t y = 0; y < h.height; ++y)
            for (std::int32_t x = 0; x < h.width; ++x) std::memcpy(dst + y * outRow + 3 * x, src + y * inRow + 4 * x, 3);
        lqp::DibHeader out = lqp::readDibHeader(to.data());
        out.xPelsPerMeter = h.xPelsPerMeter;
        out.yPelsPerMeter = h.yPelsPerMeter;
        lqp::writeDibHeader(to.data(), out);
        p.dib = p.owned.get();
        h.bitCount = 24;
    }
    const int wanted = bits <= 0 ? 0 : bits == 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
    if (!packing && wanted != h.bitCount) {
        p.owned.reset(lqcolor::changeDepth(p.dib, wanted));
        p.dib = p.owned.get();
        if (!p.dib) p.error = kErrMemory;
    }
    return p;
}

WriteOptions exportOptions(int compression, bool append) {
    WriteOptions o;
    o.set("COMPRESS", compression == 0 || compression == 1 ? "OFF" : "ON");
    const char* names[] = {"", "", "MODCCITT", "GROUP3", "GROUP4", "LZW"};
    o.set("TIFF_COMPRESS", compression >= 2 && compression <= 5 ? names[compression] : "PACKBITS");
    o.set(append ? "APPEND" : "OVERWRITE", "ON");
    return o;
}

// Opens the file a page is written to: with APPEND "ON"/"YES" the existing file (created when
// missing); otherwise an existing file is replaced when OVERWRITE is "ON" and left alone in
// every other case.
std::unique_ptr<TifTarget> openTarget(const char* fileName, const WriteOptions& o, std::uint32_t& error) {
    error = kErrOpen;
    if (!fileName) return nullptr;
    const bool append = o.is("APPEND", "ON") || o.is("APPEND", "YES");
    if (!append && ::access(fileName, F_OK) == 0) {
        if (!o.is("OVERWRITE", "ON")) {
            error = kErrExists;
            return nullptr;
        }
        ::unlink(fileName);
    }
    return openFileForUpdate(fileName, true);
}

// Writes the page and puts it where it belongs.
std::uint32_t placePage(TifTarget& t, Placing placing, int page, const PageWrite& pw) {
    const PageCount before = countPages(t);
    if (placing == Placing::Insert || placing == Placing::Replace) {
        if (t.size() > 0 && before.error) return before.error;
        const int limit = placing == Placing::Insert ? before.pages : before.pages - 1;
        if (page < 0 || page > limit) return kErrArgument;
        if (page < before.pages) {
            const std::optional<TifFile> f = TifFile::open(t);
            if (std::uint32_t err = checkOwnLayout(*f)) return err;
        }
    }
    if (std::uint32_t err = writePage(t, pw)) return err;
    if ((placing == Placing::Insert || placing == Placing::Replace) && page < before.pages)
        if (std::uint32_t err = movePage(t, page, before.pages)) return err;
    if (placing == Placing::Replace) return deletePage(t, page + 1);
    return 0;
}

}  // namespace

short vellum::writeDib(const Destination& d, short compression, short bits, Placing placing, int page, HLQMEM dib,
                       std::int32_t user, LqProgressProc progress, short showErrors) {
    if (compression >= 2 && compression <= 4) bits = 1;
    PageWrite pw;
    const PreparedDib prepared = prepareDib(dib, bits, false);
    if (prepared.error) {
        if (prepared.error == kErrMemory) lqcolor::reportFailure(kColorOutOfMemory, showErrors);
        return fail(prepared.error);
    }
    pw.dib = prepared.dib;
    pw.options = exportOptions(compression, placing != Placing::New);
    pw.progress = {progress, user};
    if (d.isStream()) {
        std::vector<std::uint8_t> existing;
        if (placing != Placing::New && !streamBytes(*d.stream, *d.length, existing)) return fail(kErrHandle);
        if (placing == Placing::New && *d.stream && !lqMemHandleOf(*d.stream)) return fail(kErrHandle);
        BufferTarget t(std::move(existing));
        if (std::uint32_t err = placePage(t, placing, page, pw)) return fail(err);
        return commitStream(d.stream, d.length, t.bytes()) ? 1 : fail(kErrMemory);
    }
    std::uint32_t openError = 0;
    auto t = openTarget(d.fileName, pw.options, openError);
    if (!t) return fail(openError);
    std::uint32_t err = placePage(*t, placing, page, pw);
    return err ? fail(err) : 1;
}

namespace {

// Runs an in-place operation on a file, or on a copy of a stream that is put back on success.
template <typename Op>
short inPlace(const char* fileName, void* stream, std::uint32_t length, Op op) {
    if (!stream) {
        auto t = fileName ? openFileForUpdate(fileName, false) : nullptr;
        if (!t) return fail(kErrOpen);
        const std::uint32_t err = op(*t);
        return err ? fail(err) : 1;
    }
    std::vector<std::uint8_t> bytes;
    if (!streamBytes(stream, length, bytes)) return fail(kErrHandle);
    BufferTarget t(std::move(bytes), true);
    if (std::uint32_t err = op(t)) return fail(err);
    if (!t.bytes().empty()) std::memcpy(stream, t.bytes().data(), t.bytes().size());  // same size: writes stay inside
    return 1;
}

template <typename Op>
short reading(const char* fileName, const void* stream, std::uint32_t length, Op op) {
    TTIF t(0, nullptr);
    if (!(stream ? t.attachStream(stream, length) : t.attachFile(fileName))) return -1;
    const std::uint32_t err = op(t.io());
    return err ? fail(err) : 1;
}

// Rewrites every page of `source` into `target` (no depth conversion, same compression,
// foreign tags carried over), with three progress steps per page.
std::uint32_t packInto(TifIo& source, TifTarget& target, const Progress& progress) {
    const std::optional<TifFile> file = TifFile::open(source);
    if (!file) return kErrRead;
    const std::vector<std::uint64_t> pages = file->pages();
    const std::size_t steps = pages.size() * 3;
    std::size_t done = 0;
    auto step = [&] { return progress.report(int(++done * 100 / steps)); };
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const ParsedHead head = parseHead(*file, pages[i]);
        if (!head.head) return head.error;
        if (!step()) return kErrCancelled;
        DecodeResult decoded = decodePage(source, int(i), {});
        if (!decoded.dib) return decoded.error;
        lqp::MemOwner dib(decoded.dib);
        if (!step()) return kErrCancelled;
        PageWrite pw;
        pw.dib = dib.get();
        pw.options = exportOptions(head.head->compression == 32773 ? 6 : int(head.head->compression), true);
        pw.extraTags = foreignTags(*file, pages[i], ByteOrder{});  // a packed file is little-endian
        if (std::uint32_t err = writePage(target, pw)) return err;
        if (!step()) return kErrCancelled;
    }
    return 0;
}

short packFile(const char* fileName, const Progress& progress) {
    TTIF t(0, nullptr);
    if (!t.attachFile(fileName)) return -1;
    const PageCount count = countPages(t.io());
    if (count.error) return fail(count.error);
    if (count.hidden == 0) return 1;
    const auto space = lqp::freeSpace(fileName);
    if (!space || *space < t.io().size()) return fail(kErrWrite);
    std::string temp = std::string(fileName) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(kErrOpen);
    struct stat st {};
    if (::stat(fileName, &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    ::close(fd);
    std::uint32_t err = kErrOpen;
    if (auto out = openFileForUpdate(temp, false)) err = packInto(t.io(), *out, progress);
    if (!err && ::rename(temp.c_str(), fileName) != 0) err = kErrWrite;
    if (err) {
        ::unlink(temp.c_str());
        return fail(err);
    }
    return 1;
}

}  // namespace

extern "C" {

short writetiffiledib(const char* fileName, short compression, short bits, short append, HLQMEM dib, std::int32_t user,
                      LqProgressProc progress, short showErrors, const char*) {
    return writeDib({fileName}, compression, bits, append ? Placing::Append : Placing::New, 0, dib, user, progress, showErrors);
}
short writetiffiledibpage(const char* fileName, short compression, short bits, short page, HLQMEM dib, std::int32_t user,
                          LqProgressProc progress, short showErrors, const char*) {
    return writeDib({fileName}, compression, bits, Placing::Insert, page, dib, user, progress, showErrors);
}
short writetiffiledibpagereplace(const char* fileName, short compression, short bits, short page, HLQMEM dib,
                                 std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    return writeDib({fileName}, compression, bits, Placing::Replace, page, dib, user, progress, showErrors);
}
short writetiffiledibstream(void** stream, std::uint32_t* length, short compression, short bits, short append, HLQMEM dib,
                            std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    if (!stream || !length) return fail(kLqErrInvalidParameter);
    return writeDib({nullptr, stream, length}, compression, bits, append ? Placing::Append : Placing::New, 0, dib, user,
                    progress, showErrors);
}
short writetiffiledibpagestream(void** stream, std::uint32_t* length, short compression, short bits, short page,
                                HLQMEM dib, std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    if (!stream || !length) return fail(kLqErrInvalidParameter);
    return writeDib({nullptr, stream, length}, compression, bits, Placing::Insert, page, dib, user, progress, showErrors);
}
short writetiffiledibpagereplacestream(void** stream, std::uint32_t* length, short compression, short bits, short page,
                                       HLQMEM dib, std::int32_t user, LqProgressProc progress, short showErrors,
                                       const char*) {
    if (!stream || !length) return fail(kLqErrInvalidParameter);
    return writeDib({nullptr, stream, length}, compression, bits, Placing::Replace, page, dib, user, progress, showErrors);
}

short swappages(const char* fileName, short a, short b) {
    return inPlace(fileName, nullptr, 0, [&](TifTarget& t) { return swapPages(t, a, b); });
}
short movepage(const char* fileName, short a, short b) {
    return inPlace(fileName, nullptr, 0, [&](TifTarget& t) { return movePage(t, a, b); });
}
short deletepage(const char* fileName, short page) {
    return inPlace(fileName, nullptr, 0, [&](TifTarget& t) { return deletePage(t, page); });
}
short packtiff(const char* fileName, std::int32_t user, LqProgressProc progress) {
    return packFile(fileName, {progress, user});
}
short swappagesstream(void* stream, std::uint32_t length, short a, short b) {
    if (!stream) return fail(kErrHandle);
    return inPlace(nullptr, stream, length, [&](TifTarget& t) { return swapPages(t, a, b); });
}
short movepagestream(void* stream, std::uint32_t length, short a, short b) {
    if (!stream) return fail(kErrHandle);
    return inPlace(nullptr, stream, length, [&](TifTarget& t) { return movePage(t, a, b); });
}
short deletepagestream(void* stream, std::uint32_t length, short page) {
    if (!stream) return fail(kErrHandle);
    return inPlace(nullptr, stream, length, [&](TifTarget& t) { return deletePage(t, page); });
}
short packtiffstream(void** stream, std::uint32_t* length, std::int32_t user, LqProgressProc progress) {
    if (!stream || !length || !*stream) return fail(kErrHandle);
    std::vector<std::uint8_t> bytes;
    if (!streamBytes(*stream, *length, bytes)) return fail(kErrHandle);
    BufferTarget source(std::move(bytes));
    const PageCount count = countPages(source);
    if (count.error) return fail(count.error);
    if (count.hidden == 0) return 1;
    BufferTarget packed;
    if (std::uint32_t err = packInto(source, packed, {progress, user})) return fail(err);
    return commitStream(stream, length, packed.bytes()) ? 1 : fail(kErrMemory);
}

short returntags(const char* fileName, short page, std::int32_t user, LqTagProc callback) {
    return reading(fileName, nullptr, 0, [&](TifIo& io) { return listTags(io, page, user, callback); });
}
short returntagsstream(const void* stream, std::uint32_t length, short page, std::int32_t user, LqTagProc callback) {
    return reading(nullptr, stream ? stream : "", length, [&](TifIo& io) { return listTags(io, page, user, callback); });
}
short readtag(const char* fileName, short page, short tag, short* count, std::int32_t* value, void** data) {
    if (count) *count = -1;
    if (value) *value = -1;
    return reading(fileName, nullptr, 0,
                   [&](TifIo& io) { return readTag(io, page, std::uint16_t(tag), count, value, data); });
}
short readtagstream(const void* stream, std::uint32_t length, short page, short tag, short* count, std::int32_t* value,
                    void** data) {
    if (count) *count = -1;
    if (value) *value = -1;
    return reading(nullptr, stream ? stream : "", length,
                   [&](TifIo& io) { return readTag(io, page, std::uint16_t(tag), count, value, data); });
}
short writetag(const char* fileName, short page, short tag, std::int32_t value) {
    return inPlace(fileName, nullptr, 0, [&](TifTarget& t) { return writeTag(t, page, std::uint16_t(tag), value); });
}
short writetagstream(void* stream, std::uint32_t length, short page, short tag, std::int32_t value) {
    if (!stream) return fail(kErrHandle);
    return inPlace(nullptr, stream, length, [&](TifTarget& t) { return writeTag(t, page, std::uint16_t(tag), value); });
}
short writetagstring(const char* fileName, short page, short tag, const char* text) {
    return inPlace(fileName, nullptr, 0, [&](TifTarget& t) { return writeTagString(t, page, std::uint16_t(tag), text); });
}
short writetagstringstream(void* stream, std::uint32_t length, short page, short tag, const char* text) {
    if (!stream) return fail(kErrHandle);
    return inPlace(nullptr, stream, length,
                   [&](TifTarget& t) { return writeTagString(t, page, std::uint16_t(tag), text); });
}

}  // extern "C"
