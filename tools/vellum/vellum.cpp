// vellum: reads TIFF files through libVellum32.so.
//   vellum info FILE [--stream]
//   vellum convert IN.tif OUT.bmp [--page N] [--bits N] [--stream]
// --stream reads the file into a memory block first and uses the stream exports.
// Exit status 0 on success; on failure one line on standard error and status 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "platform/LastError.h"
#include "platform/MemBlock.h"
#include "tifflib/Vellum32.h"

namespace {

struct Args {
    std::vector<std::string> positional;
    int page = 0;
    std::optional<int> bits;
    bool stream = false;
};

bool parseArgs(int argc, char** argv, Args& a) {
    for (int i = 2; i < argc; ++i) {
        const std::string s = argv[i];
        auto number = [&](int& out) {
            if (i + 1 >= argc) return false;
            char* end = nullptr;
            out = int(std::strtol(argv[++i], &end, 10));
            return end && *end == '\0';
        };
        if (s == "--stream") {
            a.stream = true;
        } else if (s == "--page") {
            if (!number(a.page)) return false;
        } else if (s == "--bits") {
            int b = 0;
            if (!number(b)) return false;
            a.bits = b;
        } else if (s.rfind("--", 0) == 0) {
            return false;
        } else {
            a.positional.push_back(s);
        }
    }
    return true;
}

int failure(const std::string& what) {
    std::fprintf(stderr, "vellum: %s\n", what.c_str());
    return 1;
}

int libraryFailure(const std::string& what) {
    return failure(what + " (reason " + std::to_string(lqGetLastError()) + ")");
}

// A file's bytes in a memory block, locked for the stream exports.
class StreamFile {
public:
    explicit StreamFile(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        if (!f) return;
        const std::vector<char> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        block_.reset(lqMemAlloc(bytes.size()));
        if (!block_) return;
        address_ = lqMemLock(block_.get());
        std::memcpy(address_, bytes.data(), bytes.size());
        length_ = std::uint32_t(bytes.size());
    }
    ~StreamFile() { if (address_) lqMemUnlock(block_.get()); }
    bool ok() const { return address_ != nullptr; }
    const void* address() const { return address_; }
    std::uint32_t length() const { return length_; }
private:
    lqp::MemOwner block_;
    void* address_ = nullptr;
    std::uint32_t length_ = 0;
};

short infoOf(const Args& a, const StreamFile* s, short page, std::int32_t& w, std::int32_t& h, short& comp, short& pages,
             short& bpp) {
    std::int32_t reserved = 0;
    if (s) return getinfostream(s->address(), s->length(), page, &w, &h, &comp, &reserved, &pages, &bpp);
    return getinfo(a.positional[0].c_str(), page, &w, &h, &comp, &reserved, &pages, &bpp);
}

int info(const Args& a) {
    if (a.positional.size() != 1) return failure("usage: vellum info FILE [--stream]");
    std::optional<StreamFile> s;
    if (a.stream && !(s.emplace(a.positional[0]), s->ok())) return failure("cannot read " + a.positional[0]);
    short pages = 0;
    for (short page = 0; page == 0 || page < pages; ++page) {
        std::int32_t w = 0, h = 0;
        short comp = 0, bpp = 0;
        if (infoOf(a, s ? &*s : nullptr, page, w, h, comp, pages, bpp) != 1)
            return libraryFailure("cannot read page " + std::to_string(page) + " of " + a.positional[0]);
        std::printf("page %d: width %d, height %d, bits %d, compression %u, pages %d\n", page, w, h, bpp,
                    unsigned(std::uint16_t(comp)), pages);
    }
    return 0;
}

bool writeBmp(const std::string& path, HLQMEM dib) {
    lqp::MemLock lock(dib);
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    const std::uint64_t size = lqp::dibTotalSize(h);
    std::uint8_t fileHeader[14] = {'B', 'M'};
    lqp::putLe32(fileHeader + 2, std::uint32_t(14 + size));
    lqp::putLe32(fileHeader + 10, std::uint32_t(14 + lqp::dibPixelOffset(h)));
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(fileHeader), 14);
    f.write(reinterpret_cast<const char*>(lock.data()), std::streamsize(size));
    return bool(f);
}

int convert(const Args& a) {
    if (a.positional.size() != 2) return failure("usage: vellum convert IN.tif OUT.bmp [--page N] [--bits N] [--stream]");
    HLQMEM dib = nullptr;
    const short bits = short(a.bits.value_or(0)), convertFlag = a.bits ? 1 : 0, page = short(a.page);
    short r;
    if (a.stream) {
        StreamFile s(a.positional[0]);
        if (!s.ok()) return failure("cannot read " + a.positional[0]);
        r = readtiffiledibstream(s.address(), s.length(), bits, convertFlag, page, &dib, 0, nullptr, 0, nullptr);
    } else {
        r = readtiffiledib(a.positional[0].c_str(), bits, convertFlag, page, &dib, 0, nullptr, 0, nullptr);
    }
    if (r != 1) return libraryFailure("cannot read page " + std::to_string(page) + " of " + a.positional[0]);
    lqp::MemOwner owned(dib);
    if (!writeBmp(a.positional[1], dib)) return failure("cannot write " + a.positional[1]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Args a;
    if (argc < 2 || !parseArgs(argc, argv, a))
        return failure("usage: vellum info FILE | convert IN.tif OUT.bmp [--page N] [--bits N] [--stream]");
    const std::string command = argv[1];
    if (command == "info") return info(a);
    if (command == "convert") return convert(a);
    return failure("unknown command " + command);
}
