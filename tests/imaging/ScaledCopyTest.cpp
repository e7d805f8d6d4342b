// Resampled copies of the image object: MakeScaledCopy and MakeScaledPart, printer tiles put
// side by side, and the printer profile applied to the copy.
#include <gtest/gtest.h>

#include <random>

#include "imaging/LQDib.h"
#include "imaging/LQResample.h"
#include "platform/Dib.h"
#include "printing/LQPrinters.h"
#include "tests/imaging/ResampleImages.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using lqtest::Image;

// An image object holding the picture.
std::unique_ptr<TLQDib> dibOf(const Image& image) {
    auto dib = std::make_unique<TLQDib>();
    EXPECT_TRUE(dib->AttachHandle(lqtest::dibFromImage(image)));
    return dib;
}

Image pixelsOf(TLQDib& dib) { return lqtest::imageFromDib(dib.GetDibHandle()); }

Image resampled(const Image& src, int width, int height, int filter) {
    lqp::MemOwner s(lqtest::dibFromImage(src));
    lqp::MemOwner d(lqp::createDib(width, height, 24));
    const TLQResampleFilter* f = ResampleFilter(filter);
    EXPECT_TRUE(ResampleDib(s.get(), d.get(), f->Function, f->Support, 1));
    return lqtest::imageFromDib(d.get());
}

class ScaledCopy : public testing::Test {
protected:
    std::mt19937 rng{29};
    Image picture = lqtest::randomImage(90, 60, rng);
    std::unique_ptr<TLQDib> dib = dibOf(picture);
};

TEST_F(ScaledCopy, MakeScaledCopyResamplesTheWholeImage) {
    int called = 0;
    dib->OnProgress = [&](TLQDib*, short, const QString&, bool&) { ++called; };
    for (int filter = 1; filter <= kResampleFilterCount; ++filter) {
        const std::unique_ptr<TLQDib> copy = dib->MakeScaledCopy(131, 47, 0, 0, nullptr, filter);
        ASSERT_TRUE(copy) << filter;
        EXPECT_EQ(resampled(picture, 131, 47, filter), pixelsOf(*copy)) << filter;
        EXPECT_FALSE(copy->OnProgress);
    }
    EXPECT_EQ(picture, pixelsOf(*dib));
    // A destination size meant for a part of the image grows with the image.
    struct Case {
        int destWidth, destHeight, sourceWidth, sourceHeight, width, height;
    };
    const Case cases[] = {{100, 50, 90, 60, 100, 50}, {100, 50, 45, 30, 200, 100}, {100, 50, 0, 20, 100, 150},
                          {7, 7, 60, 90, 10, 5}, {5, 3, 20, 40, 22, 4}};
    for (const Case& c : cases) {
        const std::unique_ptr<TLQDib> copy = dib->MakeScaledCopy(c.destWidth, c.destHeight, c.sourceWidth, c.sourceHeight, nullptr, 2);
        ASSERT_TRUE(copy);
        EXPECT_EQ(c.width, copy->Width()) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(c.height, copy->Height()) << c.sourceWidth << "x" << c.sourceHeight;
    }
}

TEST_F(ScaledCopy, NoCopyForFilterZeroOtherDepthsOrMissingPixels) {
    for (int filter : {0, -1, 8}) EXPECT_FALSE(dib->MakeScaledCopy(40, 40, 0, 0, nullptr, filter)) << filter;
    TLQDib grey;
    ASSERT_TRUE(grey.AttachHandle(rvtest::makeDib(rvtest::pattern(30, 20), 8)));
    EXPECT_FALSE(grey.MakeScaledCopy(40, 40, 0, 0, nullptr, 4));
    TLQDib empty;
    EXPECT_FALSE(empty.MakeScaledCopy(40, 40, 0, 0, nullptr, 4));
    EXPECT_FALSE(empty.MakeScaledPart(40, 40, QRect(0, 0, 10, 10), nullptr, 4));

    // A dormant image stays dormant: no copy, no waking.
    lqtest::TempDir dir;
    const QString parked = QString::fromStdString(dir.file("parked.bmp"));
    ASSERT_TRUE(dib->SaveToFile(parked));
    TLQDib dormant;
    dormant.DormantFile = parked;
    EXPECT_FALSE(dormant.MakeScaledCopy(40, 40, 0, 0, nullptr, 4));
    EXPECT_FALSE(dormant.MakeScaledPart(40, 40, QRect(0, 0, 10, 10), nullptr, 4));
    EXPECT_FALSE(dormant.HasPixels());
}

TEST_F(ScaledCopy, MakeScaledPartWithoutResamplingGivesTheRectangleUnscaled) {
    const std::unique_ptr<TLQDib> part = dib->MakeScaledPart(500, 500, QRect(10, 5, 30, 20), nullptr, 0);
    ASSERT_TRUE(part);
    EXPECT_EQ(picture.crop(10, 5, 30, 20), pixelsOf(*part));

    TLQDib grey;
    const rvtest::Rgb pattern = rvtest::pattern(30, 20);
    rvtest::Rgb shown;
    ASSERT_TRUE(grey.AttachHandle(rvtest::makeDib(pattern, 8, &shown)));
    const std::unique_ptr<TLQDib> greyPart = grey.MakeScaledPart(100, 100, QRect(4, 2, 9, 7), nullptr, 4);
    ASSERT_TRUE(greyPart);
    EXPECT_EQ(9, greyPart->Width());
    EXPECT_EQ(7, greyPart->Height());
    const rvtest::Rgb got = rvtest::dibToRgb(greyPart->GetDibHandle());
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(shown.pixels[(std::size_t(y + 2) * 30 + std::size_t(x + 4)) * 3 + std::size_t(c)],
                          got.pixels[(std::size_t(y) * 9 + std::size_t(x)) * 3 + std::size_t(c)]) << x << "," << y;
}

TEST_F(ScaledCopy, PartRectangleIsKeptInsideTheImage) {
    struct Case {
        QRect given, inside;
    };
    const Case cases[] = {
        {QRect(-5, -3, 40, 30), QRect(0, 0, 40, 30)},   // negative left and top
        {QRect(70, 50, 40, 30), QRect(50, 30, 40, 30)}, // past the right and bottom edges
        {QRect(20, 10, 0, 0), QRect(20, 10, 70, 50)},   // 0: the rest of the image
        {QRect(0, 0, 200, 100), QRect(0, 0, 90, 60)},   // larger than the image
    };
    for (const Case& c : cases) {
        const std::unique_ptr<TLQDib> part = dib->MakeScaledPart(25, 17, c.given, nullptr, 2);
        ASSERT_TRUE(part);
        const std::unique_ptr<TLQDib> expected = dib->MakeScaledPart(25, 17, c.inside, nullptr, 2);
        EXPECT_EQ(pixelsOf(*expected), pixelsOf(*part)) << c.given.x() << "," << c.given.y();
    }
}

TEST_F(ScaledCopy, SourceProgressHandlerIsGivenBack) {
    int called = 0;
    dib->OnProgress = [&](TLQDib*, short, const QString&, bool&) { ++called; };
    TLQProfile profile;
    profile.SetSharpness(3);
    ASSERT_TRUE(dib->MakeScaledPart(30, 30, QRect(0, 0, 45, 30), &profile, 4));
    EXPECT_EQ(0, called);
    ASSERT_TRUE(dib->OnProgress);
    dib->DoProgress(50);
    EXPECT_EQ(1, called);
}

TEST(ScaledTiles, SideBySideTilesEqualTheWholeImage) {
    // Halving 2047 pixels to 1024 maps every 512-pixel destination tile onto a source rectangle
    // of 1023 pixels starting at a multiple of 1024, so the tiles must reproduce the whole
    // image exactly, also where their filters reach across the tile borders.
    std::mt19937 rng(512);
    const std::unique_ptr<TLQDib> dib = dibOf(lqtest::randomImage(2047, 2047, rng));
    for (int filter = 1; filter <= kResampleFilterCount; ++filter) {
        const std::unique_ptr<TLQDib> whole = dib->MakeScaledCopy(1024, 1024, 0, 0, nullptr, filter);
        ASSERT_TRUE(whole);
        const Image wholePixels = pixelsOf(*whole);
        for (int ty = 0; ty < 2; ++ty)
            for (int tx = 0; tx < 2; ++tx) {
                const std::unique_ptr<TLQDib> tile = dib->MakeScaledPart(512, 512, QRect(1024 * tx, 1024 * ty, 1023, 1023), nullptr, filter);
                ASSERT_TRUE(tile);
                EXPECT_EQ(wholePixels.crop(512 * tx, 512 * ty, 512, 512), pixelsOf(*tile))
                    << ResampleFilter(filter)->Name << " tile " << tx << "," << ty;
            }
    }
}

TEST(ScaledTiles, EnlargedTilesContinueTheWholeImage) {
    // Enlarging 74 → 512 pixels per tile (× 7): tiles that share their border pixel line up
    // with the whole image enlarged × 7; only single-precision rounding of the centres may differ.
    std::mt19937 rng(74);
    const std::unique_ptr<TLQDib> dib = dibOf(lqtest::randomImage(73 * 3 + 1, 73 * 2 + 1, rng));
    for (int filter = 1; filter <= kResampleFilterCount; ++filter) {
        const std::unique_ptr<TLQDib> whole = dib->MakeScaledCopy(511 * 3 + 1, 511 * 2 + 1, 0, 0, nullptr, filter);
        ASSERT_TRUE(whole);
        const Image wholePixels = pixelsOf(*whole);
        for (int ty = 0; ty < 2; ++ty)
            for (int tx = 0; tx < 3; ++tx) {
                const std::unique_ptr<TLQDib> tile = dib->MakeScaledPart(512, 512, QRect(73 * tx, 73 * ty, 74, 74), nullptr, filter);
                ASSERT_TRUE(tile);
                EXPECT_LE(lqtest::maxChannelDifference(wholePixels.crop(511 * tx, 511 * ty, 512, 512), pixelsOf(*tile)), 1)
                    << ResampleFilter(filter)->Name << " tile " << tx << "," << ty;
            }
    }
}

// ---- Printer profiles ------------------------------------------------------------------------

struct Corrections {
    int bright = 0, contrast = 0, red = 10, green = 10, blue = 10, sharpness = 0, gamma = 10;
};

void setEntry(TLQProfileInfo& e, const Corrections& c) {
    e.SetBright(c.bright);
    e.SetContrast(c.contrast);
    e.SetRed(c.red);
    e.SetGreen(c.green);
    e.SetBlue(c.blue);
    e.SetSharpness(c.sharpness);
    e.SetGamma(c.gamma);
}

// The corrections applied by hand, in their order, each only when not neutral.
Image corrected(TLQDib& plain, const Corrections& c) {
    if (c.bright || c.contrast || c.red != 10 || c.green != 10 || c.blue != 10) {
        EXPECT_TRUE(plain.AdjustColors(c.blue, c.green, c.red, c.contrast, c.bright));
    }
    if (c.sharpness) {
        EXPECT_TRUE(plain.Sharpen(c.sharpness));
    }
    if (c.gamma != 10) {
        EXPECT_TRUE(plain.GammaCorrect(c.gamma));
    }
    return pixelsOf(plain);
}

TEST_F(ScaledCopy, ProfileCorrectsTheCopyWithTheEntryForItsKind) {
    const Corrections colour{.bright = 30, .contrast = -20, .red = 14, .green = 9, .blue = 8, .sharpness = 2, .gamma = 18};
    const Corrections grey{.bright = -15, .sharpness = -1, .gamma = 25};
    TLQProfile twoEntries;
    setEntry(twoEntries.Current(), colour);
    setEntry(twoEntries.AddProfile(), grey);
    TLQProfile oneEntry;
    setEntry(oneEntry.Current(), colour);
    TLQProfile neutral;
    neutral.Current();

    std::unique_ptr<TLQDib> greyDib = dibOf(picture);
    ASSERT_TRUE(greyDib->MakeGray());
    const Image greyPicture = pixelsOf(*greyDib);

    struct Case {
        const char* what;
        TLQDib* source;
        TLQProfile* profile;
        Corrections expected;
        int entry;
    };
    const Case cases[] = {
        {"colour image", dib.get(), &twoEntries, colour, 0},
        {"greyscale image, two entries", greyDib.get(), &twoEntries, grey, 1},
        {"greyscale image, one entry", greyDib.get(), &oneEntry, colour, 0},
        {"neutral profile", dib.get(), &neutral, Corrections{}, 0},
    };
    for (const Case& c : cases) {
        const Image before = pixelsOf(*c.source);
        for (bool part : {false, true}) {
            c.profile->SetCurrentIndex(part ? 0 : 1);
            const std::unique_ptr<TLQDib> copy = part ? c.source->MakeScaledPart(50, 40, QRect(5, 5, 60, 45), c.profile, 7)
                                                      : c.source->MakeScaledCopy(50, 40, 0, 0, c.profile, 7);
            const std::unique_ptr<TLQDib> plain = part ? c.source->MakeScaledPart(50, 40, QRect(5, 5, 60, 45), nullptr, 7)
                                                       : c.source->MakeScaledCopy(50, 40, 0, 0, nullptr, 7);
            ASSERT_TRUE(copy && plain) << c.what;
            EXPECT_EQ(corrected(*plain, c.expected), pixelsOf(*copy)) << c.what << (part ? ", part" : ", copy");
            EXPECT_EQ(c.entry, c.profile->CurrentIndex()) << c.what;
        }
        EXPECT_EQ(before, pixelsOf(*c.source)) << c.what;
    }
    EXPECT_NE(pixelsOf(*dib->MakeScaledCopy(50, 40, 0, 0, &oneEntry, 7)), pixelsOf(*dib->MakeScaledCopy(50, 40, 0, 0, nullptr, 7)));
    EXPECT_NE(greyPicture, picture);
}

}  // namespace
