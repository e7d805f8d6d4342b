#include <gtest/gtest.h>

#include <QFileInfo>
#include <cstring>

#include "imaging/LQDib.h"
#include "platform/Dib.h"
#include "rastervane/RVError.h"
#include "rastervane/RVJpeg.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using rvtest::Rgb;

QString q(const std::string& s) { return QString::fromStdString(s); }
Rgb pixelsOf(TLQDib& dib) { return rvtest::dibToRgb(dib.GetDibHandle()); }

// The image turned a quarter clockwise.
Rgb turnedClockwise(const Rgb& in) {
    Rgb out{in.height, in.width, std::vector<std::uint8_t>(in.pixels.size())};
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            std::memcpy(&out.pixels[(std::size_t(x) * out.width + (in.height - 1 - y)) * 3], &in.pixels[(std::size_t(y) * in.width + x) * 3], 3);
    return out;
}

Rgb crop(const Rgb& in, int left, int top, int w, int h) {
    Rgb out{w, h, {}};
    for (int y = top; y < top + h; ++y)
        out.pixels.insert(out.pixels.end(), in.pixels.begin() + (std::size_t(y) * in.width + left) * 3,
                          in.pixels.begin() + (std::size_t(y) * in.width + left + w) * 3);
    return out;
}

// Pixels released, the turn remembered without waking, then woken by pixel access: the same
// pixels, turned once.
TEST(TLQDibEffects, DormantImageTurnsOnceWhenWoken) {
    lqtest::TempDir dir;
    TLQDib dib;
    const Rgb image = rvtest::pattern(40, 25);
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(image, 24)));
    ASSERT_TRUE(dib.SaveToFile(q(dir.file("dormant.bmp"))));
    const std::size_t live = lqMemLiveBlocks();
    dib.AttachDib(nullptr);
    dib.DormantFile = q(dir.file("dormant.bmp"));
    EXPECT_EQ(lqMemLiveBlocks(), live - 1);

    ASSERT_TRUE(dib.Rotate(-90));  // clockwise
    EXPECT_FALSE(dib.HasPixels());
    EXPECT_EQ(lqMemLiveBlocks(), live - 1);
    EXPECT_EQ(dib.Width(), 25);
    EXPECT_EQ(dib.Height(), 40);
    EXPECT_EQ(dib.PendingAngle(), 270);

    std::uint8_t b, g, r;
    dib.GetPixelRGB(0, 0, b, g, r);
    EXPECT_TRUE(dib.HasPixels());
    EXPECT_EQ(dib.PendingAngle(), 0);
    EXPECT_EQ(dib.Width(), 25);
    EXPECT_EQ(pixelsOf(dib), turnedClockwise(image));
    EXPECT_EQ(pixelsOf(dib), turnedClockwise(image));  // once only
    EXPECT_EQ(dib.LockCount(), 0);
}

TEST(TLQDibEffects, PendingTurnsAddUpAndWaitForASuccessfulWake) {
    lqtest::TempDir dir;
    TLQDib dib;
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(rvtest::pattern(8, 6), 24)));
    dib.AttachDib(nullptr);
    dib.DormantFile = q(dir.file("not-there.bmp"));
    for (double angle : {90.0, 90.0, 270.0, -450.0}) ASSERT_TRUE(dib.Rotate(angle));
    EXPECT_EQ(dib.PendingAngle(), 0);  // 90 + 90 + 270 - 450 = 0
    ASSERT_TRUE(dib.Rotate(90));
    EXPECT_EQ(dib.Width(), 6);
    EXPECT_EQ(dib.GetDibHandle(), nullptr);  // the parking file is missing: nothing to wake
    EXPECT_EQ(dib.PendingAngle(), 90);
    EXPECT_EQ(dib.LockCount(), 0);
}

// Each effect keeps its result; in-place operations refresh the header (a quarter turn swaps
// the size); a failing operation leaves the image as it was.
TEST(TLQDibEffects, EffectsKeepTheirResultOrLeaveTheImage) {
    const Rgb image = rvtest::pattern(16, 10);
    TLQDib dib;
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(image, 24)));
    ASSERT_TRUE(dib.Rotate(-90));
    EXPECT_EQ(dib.Width(), 10);
    EXPECT_EQ(pixelsOf(dib), turnedClockwise(image));
    ASSERT_TRUE(dib.Rotate(90));
    ASSERT_TRUE(dib.Invert());
    Rgb inverted = image;
    for (auto& v : inverted.pixels) v = std::uint8_t(255 - v);
    EXPECT_EQ(pixelsOf(dib), inverted);
    ASSERT_TRUE(dib.Invert());
    ASSERT_TRUE(dib.Mirror(true, false));
    ASSERT_TRUE(dib.Mirror(true, false));
    EXPECT_EQ(pixelsOf(dib), image);
    for (auto apply : {+[](TLQDib& d) { return d.AdjustColors(10, 10, 10, 0, 0); }, +[](TLQDib& d) { return d.GammaCorrect(10); },
                       +[](TLQDib& d) { return d.Brighten(0); }, +[](TLQDib& d) { return d.Sharpen(0); }}) {
        ASSERT_TRUE(apply(dib));
        EXPECT_EQ(pixelsOf(dib), image);  // neutral values keep the image
    }
    ASSERT_TRUE(dib.Brighten(20));
    EXPECT_EQ(pixelsOf(dib).pixels[3 * 17 + 1], std::min(255, image.pixels[3 * 17 + 1] + 20));
    EXPECT_FALSE(dib.IsGray());
    ASSERT_TRUE(dib.MakeGray());
    EXPECT_TRUE(dib.IsGray());
    const Rgb gray = pixelsOf(dib);
    EXPECT_EQ(gray.pixels[0], gray.pixels[1]);

    const HLQMEM before = dib.Handle();
    EXPECT_FALSE(dib.CropTo(10, 5, 10, 10));  // past the image: refused
    EXPECT_EQ(dib.Handle(), before);
    EXPECT_EQ(pixelsOf(dib), gray);

    TLQDib copy;
    ASSERT_TRUE(copy.Assign(dib));
    EXPECT_TRUE(copy.IsGray());
    EXPECT_EQ(pixelsOf(copy), gray);
    TLQDib empty;
    EXPECT_FALSE(empty.Invert());
    EXPECT_FALSE(empty.CropTo(0, 0, 1, 1));
}

TEST(TLQDibEffects, CopyRectCropAndScale) {
    const Rgb image = rvtest::pattern(30, 20);
    TLQDib source;
    ASSERT_TRUE(source.AttachHandle(rvtest::makeDib(image, 24)));
    struct Case { int left, top, width, height; int x, y, w, h; };
    const Case cases[] = {
        {5, 4, 10, 8, 5, 4, 10, 8},      // inside
        {-3, -2, 10, 8, 0, 0, 10, 8},    // negative left and top become 0
        {25, 15, 10, 8, 20, 12, 10, 8},  // moved back to end at the right and bottom edges
        {4, 3, 50, 40, 0, 0, 30, 20},    // larger than the image: the whole image
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
        TLQDib dib;
        ASSERT_TRUE(dib.CopyRect(source.GetDibHandle(), c.left, c.top, c.width, c.height));
        EXPECT_EQ(pixelsOf(dib), crop(image, c.x, c.y, c.w, c.h));
    }
    TLQDib cut;
    ASSERT_TRUE(cut.Assign(source));
    ASSERT_TRUE(cut.CropTo(3, 2, 7, 5));
    EXPECT_EQ(pixelsOf(cut), crop(image, 3, 2, 7, 5));
    TLQDib scaled;
    ASSERT_TRUE(scaled.ScaleTo(source.GetDibHandle(), 60, 40));
    EXPECT_EQ(scaled.Width(), 60);
    EXPECT_EQ(pixelsOf(scaled).pixels[(std::size_t(39) * 60 + 59) * 3], image.pixels[(std::size_t(19) * 30 + 29) * 3]);
    EXPECT_FALSE(scaled.CopyRect(nullptr, 0, 0, 1, 1));
    EXPECT_EQ(scaled.Width(), 60);
}

// Drawn smaller by a factor of 21 or more, the image is resampled first, upright.
TEST(TLQDibEffects, LargeReductionsDrawAResampledCopy) {
    Rgb stripes{4, 1050, {}};
    for (int y = 0; y < 1050; ++y)
        for (int x = 0; x < 4; ++x) stripes.pixels.insert(stripes.pixels.end(), {std::uint8_t(y < 525 ? 255 : 0), 0, std::uint8_t(y < 525 ? 0 : 255)});
    TLQDib dib;
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(stripes, 24)));
    QImage canvas(4, 10, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        ASSERT_TRUE(dib.DrawRect(painter, QRect(0, 0, 4, 10), QRect(0, 0, 4, 1050)));
    }
    for (int y = 0; y < 10; ++y) EXPECT_EQ(canvas.pixel(2, y), y < 5 ? qRgb(255, 0, 0) : qRgb(0, 0, 255)) << y;
}

// A raw video frame: three planes, memory order, cropped, resampled to 484 × 661 with the
// Bell filter, turned half a turn, 4.1 × 5.6 cm.
TEST(TLQDibEffects, RawVideoFrames) {
    lqtest::TempDir dir;
    std::vector<std::uint8_t> cvp(3 * 512 * 512 + 100);  // bytes past the planes are ignored
    for (std::size_t i = 0; i < 512 * 512; ++i) {
        cvp[i] = i / 512 < 256 ? 250 : 10;  // red: bright in the first 256 rows in memory (the bottom)
        cvp[i + 512 * 512] = 100;
        cvp[i + 2 * 512 * 512] = 30;
    }
    lqtest::writeFile(dir.file("frame.cvp"), cvp);
    TLQDib dib;
    ASSERT_TRUE(dib.LoadFromFile(q(dir.file("frame.cvp")))) << rv::RVLastErrorText();
    EXPECT_EQ(dib.Width(), 484);
    EXPECT_EQ(dib.Height(), 661);
    EXPECT_EQ(dib.Info().xPelsPerMeter, 11805);  // Round(484 / 0.041)
    EXPECT_EQ(dib.Info().yPelsPerMeter, 11804);  // Round(661 / 0.056)
    std::uint8_t b, g, r;
    dib.GetPixelRGB(242, 20, b, g, r);  // after the half turn the bright rows are at the top
    EXPECT_NEAR(r, 250, 2);
    EXPECT_NEAR(g, 100, 2);
    EXPECT_NEAR(b, 30, 2);
    dib.GetPixelRGB(242, 640, b, g, r);
    EXPECT_NEAR(r, 10, 2);

    // With CVPGamma above 10 the gamma correction follows.
    TLQDib brighter;
    brighter.CVPGamma = 20;
    ASSERT_TRUE(brighter.LoadFromFile(q(dir.file("frame.cvp"))));
    brighter.GetPixelRGB(242, 640, b, g, r);
    EXPECT_GT(g, 110);

    cvp.resize(3 * 512 * 512 - 1);
    lqtest::writeFile(dir.file("short.cvp"), cvp);
    const std::size_t before = lqMemLiveBlocks();
    EXPECT_FALSE(dib.LoadFromFile(q(dir.file("short.cvp"))));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrRead);
    EXPECT_EQ(dib.Width(), 484);
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

TEST(TLQDibEffects, OwnImageFormatThroughLoadAndSave) {
    lqtest::TempDir dir;
    TLQDib dib;
    const Rgb image = rvtest::pattern(50, 30);
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(image, 24)));
    QString written;
    ASSERT_TRUE(dib.SaveToFile(q(dir.file("a.qjg")), &written));
    EXPECT_EQ(written, q(dir.file("a.qjg")));
    TLQDib back;
    ASSERT_TRUE(back.LoadFromFile(written)) << rv::RVLastErrorText();
    // The embedded image is what the pack's JPEG coder makes at quality 100.
    std::vector<std::uint8_t> jpeg;
    ASSERT_TRUE(rv::wrjpgstreamdib(jpeg, dib.GetDibHandle(), 100, 0));
    lqp::MemOwner expected(rv::rdjpgstreamdib(jpeg));
    EXPECT_EQ(pixelsOf(back), rvtest::dibToRgb(expected.get()));
}

TEST(TLQDibEffects, LqimageEffect) {
    lqtest::TempDir dir;
    const std::string lqimage = lqtest::binaryDir() + "/bin/lqimage";
    const Rgb image = rvtest::pattern(20, 12);
    TLQDib dib;
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(image, 24)));
    ASSERT_TRUE(dib.SaveToFile(q(dir.file("a.png"))));
    auto r = lqtest::run(lqimage + " effect " + dir.file("a.png") + " " + dir.file("b.png") + " rotate -90");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(rvtest::pillowDecode(dir.file("b.png")), turnedClockwise(image));
    r = lqtest::run(lqimage + " effect " + dir.file("a.png") + " " + dir.file("c.png") + " crop 2 3 5 4");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(rvtest::pillowDecode(dir.file("c.png")), crop(image, 2, 3, 5, 4));
    r = lqtest::run(lqimage + " effect " + dir.file("a.png") + " " + dir.file("d.png") + " crop 15 0 10 4");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output.rfind("lqimage: effect crop failed: ", 0), 0u) << r.output;
    r = lqtest::run(lqimage + " effect " + dir.file("a.png") + " " + dir.file("d.png") + " swirl");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "lqimage: unknown effect swirl (effects: adjust, sharpen, gamma, brighten, rotate, mirror, invert, gray, crop, scale)\n");
    r = lqtest::run(lqimage + " effect " + dir.file("a.png") + " " + dir.file("d.png") + " gamma x");
    EXPECT_EQ(r.output, "lqimage: not a number: x\n");
    EXPECT_FALSE(QFileInfo::exists(q(dir.file("d.png"))));
}

}  // namespace
