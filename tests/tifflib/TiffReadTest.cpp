// Reading TIFF files and streams through the Vellum32 exports.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/LastError.h"
#include "tests/support/TestSupport.h"
#include "tests/tifflib/DibUtil.h"
#include "tests/tifflib/TiffBuilder.h"
#include "tifflib/TifErrors.h"
#include "tifflib/Vellum32.h"

using lqtest::DibCopy;
using lqtest::Rgb;
using lqtest::TiffBuilder;
using B = lqtest::TiffBuilder;

namespace {

using Stream = lqtest::LockedStream;

struct Read {
    short result = 0;
    std::uint32_t reason = 0;
    std::vector<std::uint8_t> dib;  // the DIB's bytes on success
};

Read readFile(const std::string& path, int page = 0, short bits = 0, short convert = 0,
              LqProgressProc progress = nullptr) {
    HLQMEM dib = nullptr;
    lqSetLastError(0);
    Read r;
    r.result = readtiffiledib(path.c_str(), bits, convert, short(page), &dib, 7, progress, 0, nullptr);
    r.reason = lqGetLastError();
    if (dib) {
        r.dib = DibCopy(dib).bytes();
        lqMemFree(dib);
    }
    return r;
}

Read readStream(const std::vector<std::uint8_t>& bytes, int page = 0, std::uint32_t extraLength = 0) {
    Stream s(bytes);
    HLQMEM dib = nullptr;
    lqSetLastError(0);
    Read r;
    r.result = readtiffiledibstream(s.address(), s.length() + extraLength, 0, 0, short(page), &dib, 0, nullptr, 0, nullptr);
    r.reason = lqGetLastError();
    if (dib) {
        r.dib = DibCopy(dib).bytes();
        lqMemFree(dib);
    }
    return r;
}

// The reading corpus: files made by tiffcp, Pillow and ImageMagick, every page compared with
// what Pillow decodes.
TEST(TiffReadCorpus, EveryPageMatchesPillow) {
    lqtest::TempDir dir;
    auto made = lqtest::run("/usr/bin/python3 " + lqtest::sourceDir() + "/tests/tifflib/make_corpus.py " + dir.path().string());
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::ifstream manifest(dir.file("manifest.txt"));
    std::string name;
    int page, width, height, checked = 0;
    while (manifest >> name >> page >> width >> height) {
        SCOPED_TRACE(name + " page " + std::to_string(page));
        const Read r = readFile(dir.file(name), page);
        ASSERT_EQ(r.result, 1) << "reason " << r.reason;
        const DibCopy dib(r.dib);
        ASSERT_EQ(dib.width(), width);
        ASSERT_EQ(dib.height(), height);
        EXPECT_EQ(lqtest::countDifferences(dib, lqtest::readFile(dir.file(name + "." + std::to_string(page) + ".rgb"))), 0);
        // The stream form reads the same DIB; getinfo agrees on the geometry.
        EXPECT_EQ(readStream(lqtest::readFile(dir.file(name)), page).dib, r.dib);
        std::int32_t w = 0, h = 0, reserved = -1;
        short comp = 0, pages = 0, bpp = 0;
        ASSERT_EQ(getinfo(dir.file(name).c_str(), short(page), &w, &h, &comp, &reserved, &pages, &bpp), 1);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_EQ(reserved, 0);
        EXPECT_GT(pages, page);
        ++checked;
    }
    EXPECT_GE(checked, 36);
}

std::vector<std::uint8_t> bilevelRows(int width, int height, bool whiteIsZero) {
    std::vector<std::uint8_t> rows;
    const int rowBytes = (width + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (int b = 0; b < rowBytes; ++b) rows.push_back(std::uint8_t((b + y) & 1 ? 0xF0 : 0x3C) ^ (whiteIsZero ? 0xFF : 0));
    return rows;
}

// PackBits as literal runs of at most 128 bytes.
std::vector<std::uint8_t> packLiterals(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < data.size(); i += 128) {
        const std::size_t n = std::min<std::size_t>(128, data.size() - i);
        out.push_back(std::uint8_t(n - 1));
        out.insert(out.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
    }
    return out;
}

TiffBuilder& basicTags(TiffBuilder& t, std::uint32_t w, std::uint32_t h, std::uint32_t bits, std::uint32_t comp,
                       std::uint32_t photometric) {
    return t.tag(256, B::Long, {w}).tag(257, B::Long, {h}).tag(258, B::Short, {bits}).tag(259, B::Short, {comp})
        .tag(262, B::Short, {photometric});
}

class TiffReadFiles : public testing::Test {
protected:
    std::string save(const TiffBuilder& t, const std::string& name = "t.tif") {
        lqtest::writeFile(dir_.file(name), t.bytes());
        return dir_.file(name);
    }
    lqtest::TempDir dir_;
};

TEST_F(TiffReadFiles, WhiteIsZeroBilevelIsInvertedAlike) {
    const std::vector<std::uint8_t> rows = bilevelRows(21, 9, true);
    TiffBuilder plain, packed;
    basicTags(plain.page(), 21, 9, 1, 1, 0).strips({rows});
    basicTags(packed.page(), 21, 9, 1, 32773, 0).strips({packLiterals(std::vector<std::uint8_t>(rows.begin(), rows.begin() + 27)),
                                                         packLiterals(std::vector<std::uint8_t>(rows.begin() + 27, rows.end()))})
        .tag(278, B::Short, {9});
    const Read a = readFile(save(plain, "a.tif")), b = readFile(save(packed, "b.tif"));
    ASSERT_EQ(a.result, 1);
    ASSERT_EQ(b.result, 1) << b.reason;
    const DibCopy da(a.dib), db(b.dib);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 21; ++x) {
            const bool fileBit = (rows[std::size_t(y * 3 + x / 8)] >> (7 - x % 8)) & 1;
            EXPECT_EQ(da.color(x, y), fileBit ? (Rgb{0, 0, 0}) : (Rgb{255, 255, 255}));
            EXPECT_EQ(db.index(x, y), da.index(x, y));
        }
}

TEST_F(TiffReadFiles, PredictorIsUndoneBeforeWhiteIsZero) {
    const int w = 40, h = 3;
    std::vector<std::uint8_t> diffs;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) diffs.push_back(x == 0 ? std::uint8_t(y * 50) : 3);
    TiffBuilder t;
    basicTags(t.page(), w, h, 8, 32773, 0).tag(317, B::Short, {2}).strips({packLiterals(diffs)});
    const Read r = readFile(save(t));
    ASSERT_EQ(r.result, 1) << r.reason;
    const DibCopy d(r.dib);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto v = std::uint8_t(255 - (y * 50 + 3 * x));
            ASSERT_EQ(d.color(x, y), (Rgb{v, v, v})) << x << "," << y;
        }
}

TEST_F(TiffReadFiles, PagesSkipReducedImagesAndSurviveCycles) {
    const std::vector<std::uint8_t> small(8, 0x55), big(4 * 6, 0x0F);
    TiffBuilder t;
    basicTags(t.page().tag(254, B::Long, {1}), 8, 8, 1, 1, 1).strips({small});
    basicTags(t.page().tag(254, B::Long, {0}), 30, 6, 1, 1, 1).strips({big});
    basicTags(t.page(), 8, 8, 1, 1, 1).strips({small});
    t.linkLastTo(1);  // the last IFD points back at the second
    const std::string path = save(t);
    std::int32_t w = 0, h = 0, reserved = 5;
    short comp = 0, pages = 0, bpp = 0;
    ASSERT_EQ(getinfo(path.c_str(), 0, &w, &h, &comp, &reserved, &pages, &bpp), 1);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(bpp, 1);
    EXPECT_EQ(comp, 1);
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(readFile(path, 1).result, 1);
    const Read past = readFile(path, 2);
    EXPECT_EQ(past.result, -1);
    EXPECT_EQ(past.reason, vellum::kErrNoPage);
}

TEST_F(TiffReadFiles, StripLayouts) {
    const int w = 16, h = 100;
    std::vector<std::uint8_t> grey(std::size_t(w) * h);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t(i * 7);
    auto rowsOf = [&](int from, int to) {
        return std::vector<std::uint8_t>(grey.begin() + from * w, grey.begin() + to * w);
    };
    // One strip offset with RowsPerStrip 10: a 10-row image.
    TiffBuilder one;
    basicTags(one.page(), w, h, 8, 1, 1).tag(278, B::Short, {10}).strips({rowsOf(0, 100)});
    EXPECT_EQ(DibCopy(readFile(save(one)).dib).height(), 10);
    // RowsPerStrip above the height is clamped; two SHORT offsets stored inline read right in
    // both byte orders.
    for (bool big : {false, true}) {
        TiffBuilder two(big);
        const auto top = rowsOf(0, 60), bottom = rowsOf(60, 100);
        basicTags(two.page(), w, h, 8, 1, 1).tag(278, B::Long, {60});
        const auto file = two.strips({top, bottom}).bytes();
        // Rewrite the offsets as SHORTs inline: find them and build again with explicit values.
        const std::uint32_t topAt = 8, bottomAt = 8 + std::uint32_t(top.size());
        TiffBuilder inlined(big);
        basicTags(inlined.page(), w, h, 8, 1, 1).tag(273, B::Short, {topAt, bottomAt}).tag(278, B::Long, {60});
        auto bytes = inlined.bytes();
        // The builder put no strip data in: splice the same rows in at offset 8.
        bytes.insert(bytes.begin() + 8, grey.begin(), grey.end());
        // Move the first-IFD pointer past the spliced rows.
        const std::uint32_t ifd = (big ? (bytes[4] << 24 | bytes[5] << 16 | bytes[6] << 8 | bytes[7])
                                       : (bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24)) + std::uint32_t(grey.size());
        for (int i = 0; i < 4; ++i) bytes[std::size_t(4 + i)] = std::uint8_t(big ? ifd >> (24 - 8 * i) : ifd >> (8 * i));
        EXPECT_FALSE(file.empty());
        lqtest::writeFile(dir_.file("inline.tif"), bytes);
        const Read r = readFile(dir_.file("inline.tif"));
        ASSERT_EQ(r.result, 1) << "big " << big << " reason " << r.reason;
        const DibCopy d(r.dib);
        ASSERT_EQ(d.height(), h);
        for (int y : {0, 59, 60, 99}) EXPECT_EQ(d.color(5, y).r, grey[std::size_t(y * w + 5)]) << y;
    }
}

TEST_F(TiffReadFiles, RefusedDirectoriesGiveTheirReason) {
    const std::vector<std::uint8_t> data(64, 0);
    struct Case { const char* what; std::function<void(TiffBuilder&)> build; std::uint32_t reason; };
    const Case cases[] = {
        {"JPEG compression", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 7, 1).strips({data}); }, vellum::kErrCompression},
        {"YCbCr", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 1, 6).strips({data}); }, vellum::kErrPhotometric},
        {"predictor 3", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 5, 1).tag(317, B::Short, {3}).strips({data}); }, vellum::kErrPredictor},
        {"mixed sample bits", [&](TiffBuilder& t) { basicTags(t, 8, 2, 8, 1, 2).tag(258, B::Short, {8, 8, 4}).tag(277, B::Short, {3}).strips({data}); }, vellum::kErrBitsPerSample},
        {"planar 3", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 1, 1).tag(284, B::Short, {3}).strips({data}); }, vellum::kErrPhotometric},
        {"separate grey", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 1, 1).tag(284, B::Short, {2}).strips({data}); }, vellum::kErrPhotometric},
        {"zero width", [&](TiffBuilder& t) { basicTags(t, 0, 8, 8, 1, 1).strips({data}); }, vellum::kErrRead},
        {"no strips", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 1, 1); }, vellum::kErrRead},
        {"too few strip offsets", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 1, 1).tag(278, B::Short, {2}).strips({data, data}); }, vellum::kErrRead},
        {"truncated pixels", [&](TiffBuilder& t) { basicTags(t, 100, 100, 8, 1, 1).strips({data}); }, vellum::kErrRead},
        {"80 MB limit", [&](TiffBuilder& t) { basicTags(t, 6000, 6000, 8, 1, 2).tag(277, B::Short, {3}).strips({data}); }, vellum::kErrMemory},
        {"4 Gpixel", [&](TiffBuilder& t) { basicTags(t, 0xFFFFFFFF, 0xFFFFFFFF, 16, 1, 1).strips({data}); }, vellum::kErrMemory},
        {"fax of 8 bits", [&](TiffBuilder& t) { basicTags(t, 8, 8, 8, 4, 0).strips({data}); }, vellum::kErrBitsPerSample},
    };
    for (const Case& c : cases) {
        TiffBuilder t;
        c.build(t.page());
        const Read r = readFile(save(t));
        EXPECT_EQ(r.result, -1) << c.what;
        EXPECT_EQ(r.reason, c.reason) << c.what;
        EXPECT_TRUE(r.dib.empty()) << c.what;
    }
    lqtest::writeFile(dir_.file("text.tif"), std::string("GIF89a this is no TIFF at all"));
    EXPECT_EQ(readFile(dir_.file("text.tif")).result, -1);
    const Read missing = readFile(dir_.file("missing.tif"));
    EXPECT_EQ(missing.result, -1);
    EXPECT_EQ(missing.reason, vellum::kErrOpen);
}

// Every prefix of real files fails cleanly or reads; nothing leaks (checked after the test).
TEST_F(TiffReadFiles, TruncatedFilesFailCleanly) {
    for (const char* options : {"-c lzw:2", "-c g4", "-c packbits"}) {
        const std::string src = dir_.file("src.tif"), out = dir_.file("full.tif");
        auto made = lqtest::runPython("from PIL import Image\nim = Image.radial_gradient('L').resize((90, 70))\n"
                                      "im = im.convert('1') if '" + std::string(options) + "' == '-c g4' else im.convert('RGB')\n"
                                      "im.save('" + src + "')\n");
        ASSERT_EQ(made.exitCode, 0) << made.output;
        ASSERT_EQ(lqtest::run(std::string("tiffcp ") + options + " " + src + " " + out).exitCode, 0);
        const auto bytes = lqtest::readFile(out);
        int failed = 0;
        for (std::size_t cut = 0; cut < bytes.size(); cut += 37) {
            const Read r = readStream(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)));
            if (r.result == -1) {
                ++failed;
                EXPECT_NE(r.reason, 0u) << options << " cut " << cut;
            }
        }
        EXPECT_GT(failed, 0) << options;
    }
}

TEST_F(TiffReadFiles, StreamBounds) {
    TiffBuilder t;
    basicTags(t.page(), 8, 4, 8, 1, 1).strips({std::vector<std::uint8_t>(32, 9)});
    const auto bytes = t.bytes();
    // A stated length past the block's end is bounded by the block.
    EXPECT_EQ(readStream(bytes, 0, 4096).result, 1);
    // The pixels lie inside the block but outside the stated length: a read error.
    const std::vector<std::uint8_t> copy = bytes;
    Stream s(copy);
    HLQMEM dib = nullptr;
    EXPECT_EQ(readtiffiledibstream(s.address(), 20, 0, 0, 0, &dib, 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(dib, nullptr);
    // An address that is no locked block.
    const std::uint8_t local[64] = {'I', 'I', 42};
    lqSetLastError(0);
    EXPECT_EQ(readtiffiledibstream(local, sizeof local, 0, 0, 0, &dib, 0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(lqGetLastError(), vellum::kErrHandle);
    std::int32_t w = 3, h = 3, reserved = 3;
    short comp = 3, pages = 3, bpp = 3;
    EXPECT_EQ(getinfostream(local, sizeof local, 0, &w, &h, &comp, &reserved, &pages, &bpp), -1);
    EXPECT_EQ(w | h | comp | reserved | pages | bpp, 0);
}

std::vector<int> gCalls;
short record(std::int32_t percent, std::int32_t user) {
    EXPECT_EQ(user, 7);
    gCalls.push_back(percent);
    return 1;
}
short cancelAtOnce(std::int32_t percent, std::int32_t) {
    gCalls.push_back(percent);
    return 0;
}

TEST_F(TiffReadFiles, ProgressAndCancel) {
    TiffBuilder t;
    basicTags(t.page(), 10, 200, 8, 1, 1).strips({std::vector<std::uint8_t>(2000, 1)});
    const std::string path = save(t);
    gCalls.clear();
    ASSERT_EQ(readFile(path, 0, 0, 0, record).result, 1);
    ASSERT_GE(gCalls.size(), 50u);
    EXPECT_TRUE(std::is_sorted(gCalls.begin(), gCalls.end()));
    EXPECT_EQ(gCalls.back(), 100);
    gCalls.clear();
    const std::size_t live = lqMemLiveBlocks();
    const Read r = readFile(path, 0, 0, 0, cancelAtOnce);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.reason, vellum::kErrCancelled);
    EXPECT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(lqMemLiveBlocks(), live);
}

TEST_F(TiffReadFiles, ConvertFlagChangesDepth) {
    TiffBuilder t;
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 16 * 16; ++i) rgb.insert(rgb.end(), {std::uint8_t(i), std::uint8_t(255 - i), 128});
    basicTags(t.page(), 16, 16, 8, 1, 2).tag(258, B::Short, {8, 8, 8}).tag(277, B::Short, {3}).strips({rgb});
    const std::string path = save(t);
    struct Case { short bits; int depth; };
    for (const Case c : {Case{1, 1}, Case{0, 8}, Case{-3, 8}, Case{4, 4}, Case{8, 8}, Case{24, 24}, Case{32, 24}}) {
        const Read r = readFile(path, 0, c.bits, 1);
        ASSERT_EQ(r.result, 1) << c.bits;
        EXPECT_EQ(DibCopy(r.dib).bits(), c.depth) << c.bits;
    }
    EXPECT_EQ(DibCopy(readFile(path, 0, 1, 0).dib).bits(), 24);  // no convert flag: as decoded
}

}  // namespace
