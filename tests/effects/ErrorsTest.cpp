// Bad blocks and cancelled progress: every operation answers an error, leaves the block as it
// was and leaves no block behind (the test main counts live blocks after every test).
#include <gtest/gtest.h>

#include <functional>

#include "platform/Dib.h"
#include "rastervane/effects/RVEffects.h"
#include "tests/effects/EffectsTestSupport.h"

namespace {

using namespace fxtest;

bool succeeded(HLQMEM result) { return bool(lqp::MemOwner(result)); }
bool succeeded(int result) { return result > 0; }

struct Operation {
    const char* name;
    std::function<bool(HLQMEM)> run;
};

const std::vector<Operation>& everyOperation() {
    static const std::vector<Operation> ops = {
        {"Enhance", [](HLQMEM d) { return succeeded(rv::Enhance(d, {}, 12, 10, 8, 5, 5)); }},
        {"Better", [](HLQMEM d) { return succeeded(rv::Better(d, {}, 3)); }},
        {"RVGamma", [](HLQMEM d) { return succeeded(rv::RVGamma(d, 20)); }},
        {"RVBrightness", [](HLQMEM d) { return succeeded(rv::RVBrightness(d, 20)); }},
        {"RVRotate 90", [](HLQMEM d) { return succeeded(rv::RVRotate(d, 90, 0)); }},
        {"RVRotate 30", [](HLQMEM d) { return succeeded(rv::RVRotate(d, 30, 0)); }},
        {"RVMirror", [](HLQMEM d) { return succeeded(rv::RVMirror(d, true, true)); }},
        {"RVInvert", [](HLQMEM d) { return succeeded(rv::RVInvert(d)); }},
        {"GrayArea", [](HLQMEM d) { return succeeded(rv::GrayArea(d, {}, {})); }},
        {"GrayArea part", [](HLQMEM d) { return succeeded(rv::GrayArea(d, {}, {0, 0, 1, 1})); }},
        {"RVImageCopy", [](HLQMEM d) { return succeeded(rv::RVImageCopy(d, 3, 3, rv::C_ANTIALIAS, 0, 0, 0, 0)); }},
    };
    return ops;
}

// A block holding the packed DIB with the header changed by `mutate`, `trim` bytes short.
HLQMEM malformed(void (*mutate)(lqp::DibHeader&), std::size_t trim = 0) {
    lqp::MemOwner good(makeDib(noise(4, 3, 1)));
    std::vector<std::uint8_t> bytes = blockBytes(good.get());
    lqp::DibHeader h = lqp::readDibHeader(bytes.data());
    mutate(h);
    lqp::writeDibHeader(bytes.data(), h);
    bytes.resize(bytes.size() - trim);
    HLQMEM mem = lqMemAlloc(bytes.size());
    std::copy(bytes.begin(), bytes.end(), lqp::MemLock(mem).data());
    return mem;
}

TEST(Errors, BadBlocksAreRefusedAndLeftAsTheyWere) {
    struct Case { const char* what; std::function<HLQMEM()> make; int code; };
    const auto keep = [](lqp::DibHeader&) {};
    const Case cases[] = {
        {"ten bytes", [] { return lqMemAlloc(10); }, rv::kRVErrBadDib},
        {"one byte short", [&] { return malformed(keep, 1); }, rv::kRVErrBadDib},
        {"12 bits", [] { return malformed([](lqp::DibHeader& h) { h.bitCount = 12; }); }, rv::kRVErrBadDib},
        {"top-down", [] { return malformed([](lqp::DibHeader& h) { h.height = -h.height; }); }, rv::kRVErrBadDib},
        {"huge width", [] { return malformed([](lqp::DibHeader& h) { h.width = 0x7FFFFFFF; }); }, rv::kRVErrBadDib},
        {"RLE8", [] { return malformed([](lqp::DibHeader& h) { h.bitCount = 8, h.compression = lqp::kBiRle8; }); }, rv::kRVErrBadDib},
        {"300 colours", [] { return malformed([](lqp::DibHeader& h) { h.bitCount = 8, h.clrUsed = 300; }); }, rv::kRVErrBadDib},
        {"16 bits", [] { return malformed([](lqp::DibHeader& h) { h.bitCount = 16; }); }, rv::kRVErrUnsupported},
        {"32 bits", [] { return malformed([](lqp::DibHeader& h) { h.bitCount = 32, h.width = 3; }); }, rv::kRVErrUnsupported},
    };
    for (const Case& c : cases) {
        lqp::MemOwner block(c.make());
        const auto before = blockBytes(block.get());
        for (const Operation& op : everyOperation()) {
            EXPECT_FALSE(op.run(block.get())) << op.name << " on " << c.what;
            EXPECT_EQ(rv::RVLastErrorCode(), c.code) << op.name << " on " << c.what << ": " << rv::RVLastErrorText();
            EXPECT_EQ(blockBytes(block.get()), before) << op.name << " on " << c.what;
        }
    }
}

TEST(Errors, MissingBlocksAreAnEmptyImage) {
    HLQMEM freed = lqMemAlloc(100);
    lqMemFree(freed);
    for (HLQMEM h : {HLQMEM(nullptr), freed}) {
        for (const Operation& op : everyOperation()) {
            EXPECT_FALSE(op.run(h)) << op.name;
            EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrEmptyImage) << op.name;
            EXPECT_EQ(rv::RVLastErrorText(), "Input image is empty");
        }
    }
}

TEST(Errors, IndicesPastTheColourTableReadAsBlack) {
    Image input = uniform(3, 2, 1);
    input.bits = 8;
    input.palette = {bgr(10, 20, 30), bgr(200, 100, 50)};
    input.pixels[4] = 200;
    lqp::MemOwner src(makeDib(input));
    lqp::MemOwner out(rv::GrayArea(src.get(), {}, {0, 0, 1, 1}));  // a part: widened to 24 bits
    ASSERT_TRUE(out);
    const Image wide = readDib(out.get());
    EXPECT_EQ(wide.at(0, 1), bgr(200, 100, 50));
    EXPECT_EQ(wide.at(1, 1), 0u);
}

// The operations that report progress, on a 24-bit and a palette image.
struct Progressive {
    const char* name;
    HLQMEM (*run)(HLQMEM, const rv::RVProgress&);
};
const Progressive kProgressive[] = {
    {"Enhance", [](HLQMEM d, const rv::RVProgress& p) { return rv::Enhance(d, p, 12, 9, 10, 20, 0); }},
    {"Better", [](HLQMEM d, const rv::RVProgress& p) { return rv::Better(d, p, 4); }},
    {"Better 0", [](HLQMEM d, const rv::RVProgress& p) { return rv::Better(d, p, 0); }},
    {"GrayArea", [](HLQMEM d, const rv::RVProgress& p) { return rv::GrayArea(d, p, {}); }},
    {"GrayArea part", [](HLQMEM d, const rv::RVProgress& p) { return rv::GrayArea(d, p, {1, 1, 5, 30}); }},
};

TEST(Progress, RunsFromZeroToHundred) {
    for (const Image& input : {noise(7, 150, 3), paletteNoise(7, 150, 8, 3)}) {
        lqp::MemOwner src(makeDib(input));
        for (const Progressive& op : kProgressive) {
            std::vector<int> seen;
            lqp::MemOwner out(op.run(src.get(), [&](int p) { seen.push_back(p); return true; }));
            ASSERT_TRUE(out) << op.name;
            ASSERT_GE(seen.size(), 2u);
            EXPECT_EQ(seen.front(), 0) << op.name;
            EXPECT_EQ(seen.back(), 100) << op.name;
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << op.name;
        }
    }
}

TEST(Progress, CancelAtAnyReportFailsAndKeepsTheInput) {
    for (const Image& input : {noise(7, 40, 4), paletteNoise(7, 40, 4, 4)}) {
        lqp::MemOwner src(makeDib(input));
        const auto before = blockBytes(src.get());
        for (const Progressive& op : kProgressive) {
            int reports = 0;
            lqp::MemOwner(op.run(src.get(), [&](int) { return ++reports, true; }));
            for (int cancelAt = 1; cancelAt <= reports; ++cancelAt) {
                int calls = 0;
                EXPECT_EQ(op.run(src.get(), [&](int) { return ++calls < cancelAt; }), nullptr) << op.name << " cancel at " << cancelAt;
                EXPECT_EQ(calls, cancelAt) << "no report after the cancel";
                EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrCancelled);
                EXPECT_EQ(blockBytes(src.get()), before);
            }
        }
    }
}

}  // namespace
