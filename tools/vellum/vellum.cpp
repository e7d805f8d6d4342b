// vellum: reads and writes TIFF files through libVellum32.so.
//   vellum info FILE [--stream]
//   vellum convert IN.tif OUT.bmp [--page N] [--bits N] [--stream]
//   vellum convert IN.bmp OUT.tif [--compress none|mh|g3|g4|lzw|packbits] [--bits N] [--append] [--stream]
//   vellum pages FILE swap A B | move A B | delete P | pack [--stream]
//   vellum tags FILE [--page N] [--stream]
//   vellum tag FILE PAGE TAG VALUE | vellum tag FILE PAGE TAG --text TEXT [--stream]
// --stream works on a memory block holding the file (read into it first, written back after).
// Exit status 0 on success; on failure one line on standard error and status 1.
#include <algorithm>
#include <cctype>
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
    bool append = false;
    std::string compress = "none";
    std::optional<std::string> text;
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
        } else if (s == "--append") {
            a.append = true;
        } else if (s == "--compress" || s == "--text") {
            if (i + 1 >= argc) return false;
            (s == "--text" ? a.text.emplace() : a.compress) = argv[++i];
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

// A file's bytes in a memory block, locked for the stream exports (an empty stream when the
// file does not exist and `mayBeMissing` is set).
class StreamFile {
public:
    explicit StreamFile(const std::string& path, bool mayBeMissing = false) {
        std::ifstream f(path, std::ios::binary);
        if (!f) {
            if (mayBeMissing) ok_ = true;
            return;
        }
        const std::vector<char> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
        HLQMEM block = lqMemAlloc(bytes.size());
        if (!block) return;
        address_ = lqMemLock(block);
        std::memcpy(address_, bytes.data(), bytes.size());
        length_ = std::uint32_t(bytes.size());
        ok_ = true;
    }
    ~StreamFile() {
        if (HLQMEM h = address_ ? lqMemHandleOf(address_) : nullptr) {
            lqMemUnlock(h);
            lqMemFree(h);
        }
    }
    bool ok() const { return ok_; }
    void* address() const { return address_; }
    void** addressRef() { return &address_; }
    std::uint32_t length() const { return length_; }
    std::uint32_t* lengthRef() { return &length_; }
    bool save(const std::string& path) const {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(static_cast<const char*>(address_), std::streamsize(length_));
        return bool(f);
    }
private:
    void* address_ = nullptr;  // the block is found from it: a writer may hand back another one
    std::uint32_t length_ = 0;
    bool ok_ = false;
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

// Reads a .bmp file into a DIB block (the file without its 14-byte file header).
lqp::MemOwner readBmp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    if (bytes.size() < 14 + lqp::kDibHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return {};
    lqp::MemOwner dib(lqMemAlloc(bytes.size() - 14));
    if (!dib) return {};
    lqp::MemLock lock(dib.get());
    std::memcpy(lock.data(), bytes.data() + 14, bytes.size() - 14);
    if (lqp::validateDib(lock.data(), bytes.size() - 14) != lqp::DibCheck::Ok) return {};
    return dib;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && std::equal(tail.rbegin(), tail.rend(), s.rbegin(),
                                                 [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

int writeTiff(const Args& a) {
    static const std::pair<const char*, short> kCodes[] = {{"none", 1}, {"mh", 2}, {"g3", 3}, {"g4", 4}, {"lzw", 5}, {"packbits", 32773 - 65536}};
    const auto code = std::find_if(std::begin(kCodes), std::end(kCodes), [&](const auto& c) { return a.compress == c.first; });
    if (code == std::end(kCodes)) return failure("unknown compression " + a.compress);
    lqp::MemOwner dib = readBmp(a.positional[0]);
    if (!dib) return failure("cannot read " + a.positional[0] + " as an uncompressed BMP");
    short bits = short(a.bits.value_or(0));
    if (!a.bits) {
        lqp::MemLock lock(dib.get());
        bits = short(lqp::readDibHeader(lock.data()).bitCount);
    }
    const std::string& out = a.positional[1];
    if (a.stream) {
        StreamFile s(out, true);
        if (!s.ok()) return failure("cannot read " + out);
        if (writetiffiledibstream(s.addressRef(), s.lengthRef(), code->second, bits, a.append, dib.get(), 0, nullptr, 0, nullptr) != 1)
            return libraryFailure("cannot write " + out);
        return s.save(out) ? 0 : failure("cannot write " + out);
    }
    if (writetiffiledib(out.c_str(), code->second, bits, a.append, dib.get(), 0, nullptr, 0, nullptr) != 1)
        return libraryFailure("cannot write " + out);
    return 0;
}

int toNumber(const std::string& s, bool& ok) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    ok = ok && end && *end == '\0' && !s.empty();
    return int(v);
}

int pages(const Args& a) {
    const auto& p = a.positional;
    const bool two = p.size() == 4 && (p[1] == "swap" || p[1] == "move"), one = p.size() == 3 && p[1] == "delete",
               pack = p.size() == 2 && p[1] == "pack";
    if (!two && !one && !pack) return failure("usage: vellum pages FILE swap A B | move A B | delete P | pack [--stream]");
    bool ok = true;
    const short x = short(p.size() > 2 ? toNumber(p[2], ok) : 0), y = short(p.size() > 3 ? toNumber(p[3], ok) : 0);
    if (!ok) return failure("page numbers must be numbers");
    short r;
    if (a.stream) {
        StreamFile s(p[0]);
        if (!s.ok()) return failure("cannot read " + p[0]);
        r = p[1] == "swap" ? swappagesstream(s.address(), s.length(), x, y)
          : p[1] == "move" ? movepagestream(s.address(), s.length(), x, y)
          : p[1] == "delete" ? deletepagestream(s.address(), s.length(), x)
          : packtiffstream(s.addressRef(), s.lengthRef(), 0, nullptr);
        if (r == 1 && !s.save(p[0])) return failure("cannot write " + p[0]);
    } else {
        const char* f = p[0].c_str();
        r = p[1] == "swap" ? swappages(f, x, y) : p[1] == "move" ? movepage(f, x, y) : p[1] == "delete" ? deletepage(f, x) : packtiff(f, 0, nullptr);
    }
    return r == 1 ? 0 : libraryFailure(p[1] + " failed on " + p[0]);
}

void printTag(std::int32_t tag, std::int32_t count, std::int32_t value, const void* data, std::int32_t) {
    if (data) std::printf("%d count %d text \"%.*s\"\n", tag, count, count, static_cast<const char*>(data));
    else std::printf("%d count %d value %d\n", tag, count, value);
}

int tags(const Args& a) {
    if (a.positional.size() != 1) return failure("usage: vellum tags FILE [--page N] [--stream]");
    short r;
    if (a.stream) {
        StreamFile s(a.positional[0]);
        if (!s.ok()) return failure("cannot read " + a.positional[0]);
        r = returntagsstream(s.address(), s.length(), short(a.page), 0, printTag);
    } else {
        r = returntags(a.positional[0].c_str(), short(a.page), 0, printTag);
    }
    return r == 1 ? 0 : libraryFailure("cannot list the tags of page " + std::to_string(a.page));
}

int tag(const Args& a) {
    const auto& p = a.positional;
    if (p.size() != (a.text ? 3u : 4u)) return failure("usage: vellum tag FILE PAGE TAG VALUE | --text TEXT [--stream]");
    bool ok = true;
    const short page = short(toNumber(p[1], ok)), number = short(toNumber(p[2], ok));
    const std::int32_t value = a.text ? 0 : toNumber(p[3], ok);
    if (!ok) return failure("page, tag and value must be numbers");
    short r;
    if (a.stream) {
        StreamFile s(p[0]);
        if (!s.ok()) return failure("cannot read " + p[0]);
        r = a.text ? writetagstringstream(s.address(), s.length(), page, number, a.text->c_str())
                   : writetagstream(s.address(), s.length(), page, number, value);
        if (r == 1 && !s.save(p[0])) return failure("cannot write " + p[0]);
    } else {
        r = a.text ? writetagstring(p[0].c_str(), page, number, a.text->c_str()) : writetag(p[0].c_str(), page, number, value);
    }
    return r == 1 ? 0 : libraryFailure("cannot write tag " + p[2]);
}

}  // namespace

int main(int argc, char** argv) {
    Args a;
    if (argc < 2 || !parseArgs(argc, argv, a))
        return failure("usage: vellum info | convert | pages | tags | tag ... (see the source's head comment)");
    const std::string command = argv[1];
    if (command == "info") return info(a);
    if (command == "convert" && a.positional.size() == 2 && endsWith(a.positional[0], ".bmp")) return writeTiff(a);
    if (command == "convert") return convert(a);
    if (command == "pages") return pages(a);
    if (command == "tags") return tags(a);
    if (command == "tag") return tag(a);
    return failure("unknown command " + command);
}
