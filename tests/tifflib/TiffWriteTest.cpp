// Writing TIFF files and streams, page and tag operations, through the Vellum32 exports;
// libtiff's tools and Pillow judge what was written.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/LastError.h"
#include "tests/support/TestSupport.h"
#include "tests/tifflib/DibUtil.h"
#include "tifflib/TifErrors.h"
#include "tifflib/Vellum32.h"

using lqtest::DibCopy;
using lqtest::LockedStream;
using lqtest::makeDib;
using lqtest::Rgb;

namespace {

constexpr short kPackBits = short(32773 - 65536);

struct Blocks {
    std::vector<HLQMEM> all;
    HLQMEM operator()(HLQMEM h) { if (h) all.push_back(h); return h; }
    ~Blocks() { for (HLQMEM h : all) lqMemFree(h); }
};

// A test image of the given depth: stripes, a diagonal and a block, so that every encoder
// meets runs and changes.
HLQMEM sample(int bits, int width = 157, int height = 61) {
    std::vector<std::uint32_t> table;
    if (bits == 1) table = {0x000000, 0xFFFFFF};
    for (int i = 0; bits == 4 && i < 16; ++i) table.push_back(std::uint32_t(i * 0x110000 + (15 - i) * 0x0011 + 0x4400));
    for (int i = 0; bits == 8 && i < 256; ++i) table.push_back(std::uint32_t(i << 16 | (255 - i) << 8 | (i * 7 & 255)));
    return makeDib(width, height, bits, table, [bits](int x, int y) -> std::uint32_t {
        const bool on = (x / 9 + y / 5) % 3 == 0 || x == y || (x > 100 && x < 130 && y > 20 && y < 50);
        if (bits == 1) return on ? 0 : 1;
        if (bits == 4) return std::uint32_t((x / 10 + y) % 16);
        if (bits == 8) return std::uint32_t((x * 3 + y * 5) % 256);
        return std::uint32_t((x * 2) << 16 | (on ? 255 : y * 4) << 8 | ((x + y) & 255));
    });
}

DibCopy readBack(const std::string& path, int page = 0) {
    HLQMEM dib = nullptr;
    EXPECT_EQ(readtiffiledib(path.c_str(), 0, 0, short(page), &dib, 0, nullptr, 0, nullptr), 1) << path << " page " << page;
    DibCopy copy(dib);
    lqMemFree(dib);
    return copy;
}

int differences(const DibCopy& a, const DibCopy& b) {
    if (a.width() != b.width() || a.height() != b.height()) return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += !(a.color(x, y) == b.color(x, y));
    return n;
}

// tiffinfo -D reads every strip; libtiff's warnings and errors come out on standard error.
std::string libtiffComplaints(const std::string& path) {
    const auto r = lqtest::run("tiffinfo -D " + lqtest::shellQuote(path) + " 2>&1 >/dev/null");
    return r.output;
}

class TiffWrite : public testing::Test {
protected:
    std::string file(const std::string& name) { return dir_.file(name); }
    lqtest::TempDir dir_;
    Blocks keep_;
};

TEST_F(TiffWrite, EveryDepthAndCompressionReadsRightEverywhere) {
    struct Case { int bits; short compression; const char* name; };
    std::vector<Case> cases;
    for (int bits : {1, 4, 8, 24})
        for (auto [code, name] : {std::pair<short, const char*>{1, "none"}, {5, "lzw"}, {kPackBits, "packbits"}})
            cases.push_back({bits, code, name});
    for (auto [code, name] : {std::pair<short, const char*>{2, "mh"}, {3, "g3"}, {4, "g4"}}) cases.push_back({1, code, name});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits " + c.name);
        HLQMEM src = keep_(sample(c.bits));
        const std::vector<std::uint8_t> before = DibCopy(src).bytes();
        const std::string path = file(std::to_string(c.bits) + c.name + ".tif");
        ASSERT_EQ(writetiffiledib(path.c_str(), c.compression, short(c.bits), 0, src, 0, nullptr, 0, nullptr), 1);
        EXPECT_EQ(DibCopy(src).bytes(), before);  // the caller's DIB is left alone
        EXPECT_EQ(libtiffComplaints(path), "");
        const DibCopy source(src);
        const auto pillow = lqtest::pillowPages(path);
        ASSERT_EQ(pillow.size(), 1u);
        EXPECT_EQ(lqtest::countDifferences(source, pillow[0]), 0);
        const DibCopy back = readBack(path);
        EXPECT_EQ(back.bits(), c.bits);
        EXPECT_EQ(differences(back, source), 0);
        // The stream form writes the same bytes.
        LockedStream s;
        ASSERT_EQ(writetiffiledibstream(s.addressRef(), s.lengthRef(), c.compression, short(c.bits), 0, src, 0, nullptr, 0, nullptr), 1);
        EXPECT_EQ(s.bytes(), lqtest::readFile(path));
    }
}

TEST_F(TiffWrite, WideAndLargeGeometry) {
    // A 1-bit row of alternating pixels is the worst case of every CCITT code; 70,000 pixels
    // need a LONG ImageWidth.
    HLQMEM wide = keep_(makeDib(70000, 3, 1, {0, 0xFFFFFF}, [](int x, int y) { return std::uint32_t((x + y) & 1); }));
    for (short code : {short(2), short(3), short(4), short(5), kPackBits}) {
        const std::string path = file("wide" + std::to_string(code) + ".tif");
        ASSERT_EQ(writetiffiledib(path.c_str(), code, 1, 0, wide, 0, nullptr, 0, nullptr), 1) << code;
        EXPECT_EQ(libtiffComplaints(path), "") << code;
        EXPECT_NE(lqtest::run("tiffinfo " + path).output.find("Image Width: 70000"), std::string::npos);
        EXPECT_EQ(differences(readBack(path), DibCopy(wide)), 0) << code;
    }
    // 300 x 300 at 8 bits: 12 strips of 25 rows; one row: one strip, offsets inline.
    const std::string grid = file("grid.tif");
    ASSERT_EQ(writetiffiledib(grid.c_str(), 1, 8, 0, keep_(sample(8, 300, 300)), 0, nullptr, 0, nullptr), 1);
    short count = 0;
    std::int32_t value = 0;
    void* data = nullptr;
    ASSERT_EQ(readtag(grid.c_str(), 0, 278, &count, &value, &data), 1);
    EXPECT_EQ(value, 25);
    const auto info = lqtest::run("tiffinfo -s " + grid).output;
    EXPECT_NE(info.find("12 Strips:"), std::string::npos) << info;
    const std::string line = file("line.tif");
    ASSERT_EQ(writetiffiledib(line.c_str(), 1, 24, 0, keep_(sample(24, 40, 1)), 0, nullptr, 0, nullptr), 1);
    ASSERT_EQ(readtag(line.c_str(), 0, 273, &count, &value, &data), 1);
    EXPECT_EQ(count, 1);
}

TEST_F(TiffWrite, LzwOnRandomBytesFillsTheTableAndReadsInLibtiff) {
    std::mt19937 rng(7);
    HLQMEM noise = keep_(makeDib(1024, 400, 8, std::vector<std::uint32_t>(256, 0), [&](int, int) { return rng() & 255; }));
    {
        lqp::MemLock lock(noise);
        for (int i = 0; i < 256; ++i) lock.data()[40 + 4 * i] = lock.data()[41 + 4 * i] = lock.data()[42 + 4 * i] = std::uint8_t(i);
    }
    const std::string path = file("noise.tif");
    ASSERT_EQ(writetiffiledib(path.c_str(), 5, 8, 0, noise, 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(libtiffComplaints(path), "");
    const auto pillow = lqtest::pillowPages(path);
    ASSERT_EQ(pillow.size(), 1u);
    EXPECT_EQ(lqtest::countDifferences(DibCopy(noise), pillow[0]), 0);
    EXPECT_EQ(differences(readBack(path), DibCopy(noise)), 0);
}

TEST_F(TiffWrite, AppendToABigEndianFileFromTiffcp) {
    const std::string src = file("src.tif"), be = file("be.tif");
    ASSERT_EQ(lqtest::runPython("from PIL import Image\nImage.radial_gradient('L').resize((64, 48)).convert('RGB').save('" + src + "')\n").exitCode, 0);
    ASSERT_EQ(lqtest::run("tiffcp -B -c lzw " + src + " " + be).exitCode, 0);
    for (int bits : {24, 1, 8})
        ASSERT_EQ(writetiffiledib(be.c_str(), bits == 1 ? 4 : 5, short(bits), 1, keep_(sample(bits)), 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(libtiffComplaints(be), "");
    EXPECT_EQ(lqtest::readFile(be)[0], 'M');
    const auto pillow = lqtest::pillowPages(be);
    ASSERT_EQ(pillow.size(), 4u);
    EXPECT_EQ(lqtest::countDifferences(DibCopy(keep_(sample(24))), pillow[1]), 0);
    EXPECT_EQ(lqtest::countDifferences(DibCopy(keep_(sample(1))), pillow[2]), 0);
    EXPECT_EQ(lqtest::countDifferences(DibCopy(keep_(sample(8))), pillow[3]), 0);
    // A file that is no TIFF is not appended to.
    lqtest::writeFile(file("text.tif"), std::string("plain text, not an image"));
    EXPECT_EQ(writetiffiledib(file("text.tif").c_str(), 1, 8, 1, keep_(sample(8)), 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(lqtest::readFile(file("text.tif")).size(), 24u);
}

// Three pages A, B, C in distinct colours.
HLQMEM flat(std::uint32_t rgb) { return makeDib(20, 10, 24, {}, [rgb](int, int) { return rgb; }); }
const std::uint32_t kA = 0xFF0000, kB = 0x00FF00, kC = 0x0000FF, kD = 0x808080;

std::vector<std::uint32_t> pageColours(const std::string& path) {
    std::vector<std::uint32_t> out;
    for (const auto& page : lqtest::pillowPages(path)) out.push_back(std::uint32_t(page[0] << 16 | page[1] << 8 | page[2]));
    return out;
}

class TiffPages : public TiffWrite {
protected:
    // Files in the folder other than Pillow's page dumps.
    int tiffFiles() const {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir_.path())) n += e.path().extension() != ".rgb";
        return n;
    }
    std::string threePages() {
        const std::string path = file("abc.tif");
        std::filesystem::remove(path);
        for (std::uint32_t c : {kA, kB, kC})
            EXPECT_EQ(writetiffiledib(path.c_str(), 5, 24, 1, keep_(flat(c)), 0, nullptr, 0, nullptr), 1);
        return path;
    }
};

TEST_F(TiffPages, MoveSwapDelete) {
    using V = std::vector<std::uint32_t>;
    std::string p = threePages();
    ASSERT_EQ(pageColours(p), (V{kA, kB, kC}));
    ASSERT_EQ(movepage(p.c_str(), 0, 2), 1);
    EXPECT_EQ(pageColours(p), (V{kC, kA, kB}));
    p = threePages();
    ASSERT_EQ(movepage(p.c_str(), 1, 0), 1);  // A already stands in front of B
    EXPECT_EQ(pageColours(p), (V{kA, kB, kC}));
    ASSERT_EQ(swappages(p.c_str(), 0, 1), 1);  // adjacent
    EXPECT_EQ(pageColours(p), (V{kB, kA, kC}));
    ASSERT_EQ(swappages(p.c_str(), 2, 0), 1);
    EXPECT_EQ(pageColours(p), (V{kC, kA, kB}));
    ASSERT_EQ(deletepage(p.c_str(), 1), 1);
    EXPECT_EQ(pageColours(p), (V{kC, kB}));
    std::int32_t w, h, reserved;
    short comp, pages = 0, bpp;
    ASSERT_EQ(getinfo(p.c_str(), 0, &w, &h, &comp, &reserved, &pages, &bpp), 1);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(libtiffComplaints(p), "");
    // Refusals leave the file as it was.
    const auto bytes = lqtest::readFile(p);
    EXPECT_EQ(swappages(p.c_str(), 1, 1), -1);
    EXPECT_EQ(movepage(p.c_str(), 0, 5), -1);
    EXPECT_EQ(deletepage(p.c_str(), 2), -1);
    EXPECT_EQ(lqtest::readFile(p), bytes);
    // Files whose IFDs do not begin with NewSubfileType (Pillow writes none) are not rearranged.
    const std::string foreign = file("foreign.tif");
    ASSERT_EQ(lqtest::runPython("from PIL import Image\nImage.new('RGB', (8, 8), 'red').save('" + foreign +
                                "', save_all=True, append_images=[Image.new('RGB', (8, 8), 'blue')])\n").exitCode, 0);
    const auto foreignBytes = lqtest::readFile(foreign);
    lqSetLastError(0);
    EXPECT_EQ(swappages(foreign.c_str(), 0, 1), -1);
    EXPECT_EQ(lqGetLastError(), vellum::kErrNotOwnLayout);
    EXPECT_EQ(lqtest::readFile(foreign), foreignBytes);
}

TEST_F(TiffPages, PackRewritesWithoutDeletedPages) {
    using V = std::vector<std::uint32_t>;
    const std::string p = threePages();
    ASSERT_EQ(packtiff(p.c_str(), 0, nullptr), 1);  // nothing deleted: untouched
    const auto whole = lqtest::readFile(p);
    ASSERT_EQ(deletepage(p.c_str(), 1), 1);
    ASSERT_EQ(writetagstring(p.c_str(), 0, 305, "packed along"), 1);
    ASSERT_EQ(packtiff(p.c_str(), 0, nullptr), 1);
    EXPECT_LT(lqtest::readFile(p).size(), whole.size());
    EXPECT_EQ(pageColours(p), (V{kA, kC}));
    EXPECT_EQ(libtiffComplaints(p), "");
    const auto packed = lqtest::readFile(p);
    ASSERT_EQ(packtiff(p.c_str(), 0, nullptr), 1);
    EXPECT_EQ(lqtest::readFile(p), packed);
    EXPECT_EQ(tiffFiles(), 1);  // no temporary file left
}

TEST_F(TiffPages, InterruptedPackLeavesTheOriginal) {
    std::string p = file("big.tif");
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(writetiffiledib(p.c_str(), 1, 24, 1, keep_(sample(24, 300, 200)), 0, nullptr, 0, nullptr), 1);
    ASSERT_EQ(deletepage(p.c_str(), 0), 1);
    const auto before = lqtest::readFile(p);
    // The file-size limit makes the temporary file's writes fail half way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = before.size() / 3;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    lqSetLastError(0);
    const short r = packtiff(p.c_str(), 0, nullptr);
    const std::uint32_t reason = lqGetLastError();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(reason, vellum::kErrWrite);
    EXPECT_EQ(lqtest::readFile(p), before);
    EXPECT_EQ(tiffFiles(), 1);
}

TEST_F(TiffPages, InsertAndReplace) {
    using V = std::vector<std::uint32_t>;
    const std::string p = threePages();
    ASSERT_EQ(writetiffiledibpage(p.c_str(), 5, 24, 1, keep_(flat(kD)), 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(pageColours(p), (V{kA, kD, kB, kC}));
    ASSERT_EQ(writetiffiledibpagereplace(p.c_str(), 1, 24, 2, keep_(flat(kA)), 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(pageColours(p), (V{kA, kD, kA, kC}));
    ASSERT_EQ(writetiffiledibpage(p.c_str(), 5, 24, 4, keep_(flat(kB)), 0, nullptr, 0, nullptr), 1);  // at the end
    EXPECT_EQ(pageColours(p), (V{kA, kD, kA, kC, kB}));
    const auto bytes = lqtest::readFile(p);
    EXPECT_EQ(writetiffiledibpage(p.c_str(), 5, 24, 6, keep_(flat(kB)), 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(writetiffiledibpage(p.c_str(), 5, 24, -1, keep_(flat(kB)), 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(writetiffiledibpagereplace(p.c_str(), 5, 24, 5, keep_(flat(kB)), 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(lqtest::readFile(p), bytes);  // refused before anything was written
}

TEST_F(TiffPages, StreamPagesAndWrites) {
    using V = std::vector<std::uint32_t>;
    LockedStream s;
    for (std::uint32_t c : {kA, kB, kC})
        ASSERT_EQ(writetiffiledibstream(s.addressRef(), s.lengthRef(), 5, 24, 1, keep_(flat(c)), 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(lqMemSize(lqMemHandleOf(s.address())) % 0x40000, 0u);
    ASSERT_EQ(movepagestream(s.address(), s.length(), 0, 2), 1);
    ASSERT_EQ(deletepagestream(s.address(), s.length(), 2), 1);
    ASSERT_EQ(packtiffstream(s.addressRef(), s.lengthRef(), 0, nullptr), 1);
    lqtest::writeFile(file("s.tif"), s.bytes());
    EXPECT_EQ(pageColours(file("s.tif")), (V{kC, kA}));
    // Append flag 0 writes from the start again and reports the new, shorter length.
    const std::uint32_t longer = s.length();
    ASSERT_EQ(writetiffiledibstream(s.addressRef(), s.lengthRef(), 1, 1, 0, keep_(sample(1, 16, 4)), 0, nullptr, 0, nullptr), 1);
    EXPECT_LT(s.length(), longer);
    lqtest::writeFile(file("one.tif"), s.bytes());
    EXPECT_EQ(lqtest::pillowPages(file("one.tif")).size(), 1u);
    // A failed write leaves address, length and content as they were.
    void* address = s.address();
    const std::uint32_t length = s.length();
    const auto content = s.bytes();
    HLQMEM broken = keep_(lqMemAlloc(10));
    EXPECT_EQ(writetiffiledibstream(s.addressRef(), s.lengthRef(), 5, 8, 1, broken, 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(writetiffiledibpagestream(s.addressRef(), s.lengthRef(), 5, 8, 9, keep_(sample(8)), 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(s.address(), address);
    EXPECT_EQ(s.length(), length);
    EXPECT_EQ(s.bytes(), content);
}

short cancelNow(std::int32_t, std::int32_t) { return 0; }

TEST_F(TiffPages, CancelledWriteFails) {
    const std::string p = file("cancel.tif");
    lqSetLastError(0);
    EXPECT_EQ(writetiffiledib(p.c_str(), 5, 24, 0, keep_(sample(24, 300, 300)), 0, cancelNow, 0, nullptr), -1);
    EXPECT_EQ(lqGetLastError(), vellum::kErrCancelled);
}

TEST_F(TiffPages, TagRoundTrips) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        std::string p = file("tags.tif");
        std::filesystem::remove(p);
        ASSERT_EQ(writetiffiledib(p.c_str(), 5, 24, 0, keep_(sample(24)), 0, nullptr, 0, nullptr), 1);
        if (big) {
            ASSERT_EQ(lqtest::run("tiffcp -B " + p + " " + file("be.tif")).exitCode, 0);
            p = file("be.tif");
        }
        ASSERT_EQ(writetag(p.c_str(), 0, 296, 3), 1);   // centimetres
        ASSERT_EQ(writetag(p.c_str(), 0, 282, 118), 1);
        ASSERT_EQ(writetagstring(p.c_str(), 0, 305, "Short"), 1);
        const auto info = lqtest::run("tiffinfo " + p).output;
        EXPECT_NE(info.find("Resolution: 118, 300 pixels/cm"), std::string::npos) << info;
        EXPECT_NE(info.find("Software: Short"), std::string::npos) << info;
        short count = 0;
        std::int32_t value = 0;
        void* text = nullptr;
        ASSERT_EQ(readtag(p.c_str(), 0, 305, &count, &value, &text), 1);
        EXPECT_EQ(count, 17);
        EXPECT_STREQ(static_cast<const char*>(text), "Short");
        EXPECT_EQ(static_cast<const char*>(text)[16], 0);
        HLQMEM h = lqMemHandleOf(text);
        lqMemUnlock(h);
        lqMemFree(h);
        ASSERT_EQ(readtag(p.c_str(), 0, 257, &count, &value, &text), 1);
        EXPECT_EQ(value, 61);
        EXPECT_EQ(readtag(p.c_str(), 0, 999, &count, &value, &text), -1);
        EXPECT_EQ(count, -1);
        EXPECT_EQ(writetag(p.c_str(), 0, 999, 1), -1);
        // A text longer than the entry is cut and still ends in NUL.
        ASSERT_EQ(writetagstring(p.c_str(), 0, 305, "A text much longer than seventeen"), 1);
        EXPECT_NE(lqtest::run("tiffinfo " + p).output.find("Software: A text much long\n"), std::string::npos);
    }
}

// Entries whose data would lie past the end are refused; nothing grows or changes.
TEST_F(TiffPages, TagDataOutsideTheFileIsRefused) {
    const std::string p = file("outside.tif");
    ASSERT_EQ(writetiffiledib(p.c_str(), 1, 8, 0, keep_(sample(8, 16, 4)), 0, nullptr, 0, nullptr), 1);
    auto bytes = lqtest::readFile(p);
    const std::uint8_t software[] = {0x31, 0x01, 0x02, 0x00, 0x11, 0x00, 0x00, 0x00};
    const std::uint8_t xres[] = {0x1A, 0x01, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00};
    for (const auto& entry : {std::vector<std::uint8_t>(software, software + 8), std::vector<std::uint8_t>(xres, xres + 8)}) {
        const auto at = std::search(bytes.begin(), bytes.end(), entry.begin(), entry.end());
        ASSERT_NE(at, bytes.end());
        at[8] = 0xF0;  // the offset now points far past the end
        at[11] = 0x7F;
    }
    lqtest::writeFile(p, bytes);
    EXPECT_EQ(writetagstring(p.c_str(), 0, 305, "grown"), -1);
    EXPECT_EQ(writetag(p.c_str(), 0, 282, 10), -1);
    EXPECT_EQ(lqtest::readFile(p), bytes);
    LockedStream s(bytes);
    EXPECT_EQ(writetagstringstream(s.address(), s.length(), 0, 305, "grown"), -1);
    EXPECT_EQ(writetagstream(s.address(), s.length(), 0, 282, 10), -1);
    EXPECT_EQ(s.bytes(), bytes);
}

std::vector<std::string> gTags;
void collect(std::int32_t tag, std::int32_t count, std::int32_t value, const void* data, std::int32_t user) {
    EXPECT_EQ(user, 42);
    gTags.push_back(std::to_string(tag) + ":" + std::to_string(count) + ":" +
                    (data ? std::string(static_cast<const char*>(data)) : std::to_string(value)));
}

TEST_F(TiffPages, ReturnTagsListsEntries) {
    const std::string p = file("list.tif");
    ASSERT_EQ(writetiffiledib(p.c_str(), 4, 1, 0, keep_(sample(1)), 0, nullptr, 0, nullptr), 1);
    gTags.clear();
    ASSERT_EQ(returntags(p.c_str(), 0, 42, collect), 1);
    const std::vector<std::string> want = {"254:1:0", "256:1:157", "257:1:61", "258:1:1", "259:1:4", "262:1:0",
                                           "273:1:8", "277:1:1", "278:1:61", "279:1:" , "282:1:", "283:1:",
                                           "296:1:2", "305:17:Lumquil Vellum32"};
    ASSERT_EQ(gTags.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(gTags[i].rfind(want[i], 0), 0u) << gTags[i];
    const auto bytes = lqtest::readFile(p);
    LockedStream s(bytes);
    gTags.clear();
    ASSERT_EQ(returntagsstream(s.address(), s.length(), 0, 42, collect), 1);
    EXPECT_EQ(gTags.size(), want.size());
    EXPECT_EQ(returntags(p.c_str(), 1, 42, collect), -1);
}

}  // namespace
