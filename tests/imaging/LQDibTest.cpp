#include <gtest/gtest.h>

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <atomic>
#include <thread>

#include "imaging/LQDib.h"
#include "platform/Dib.h"
#include "platform/MessageSink.h"
#include "rastervane/RVBmp.h"
#include "rastervane/RVError.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using rvtest::Rgb;

class GuiEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "lqdib_test";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QGuiApplication* app_ = nullptr;
};
const auto* const kGui = testing::AddGlobalTestEnvironment(new GuiEnvironment);

QString q(const std::string& s) { return QString::fromStdString(s); }

// An image object holding `image` at the given depth; *shown receives what it shows.
void fill(TLQDib& dib, const Rgb& image, int bits = 24, Rgb* shown = nullptr) {
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(image, bits, shown)));
}

Rgb pixelsOf(TLQDib& dib) { return rvtest::dibToRgb(dib.GetDibHandle()); }

// Records message boxes instead of showing them.
class SinkRecorder {
public:
    SinkRecorder() {
        previous_ = lqp::setMessageSink([this](const lqp::Message& m) {
            texts.push_back(m.text);
            return lqp::MsgAnswer::Ok;
        });
    }
    ~SinkRecorder() { lqp::setMessageSink(previous_); }
    std::vector<std::string> texts;

private:
    lqp::MessageSink previous_;
};

TEST(TLQDib, SettersKeepTheirRanges) {
    TLQDib dib;
    struct Case { int set, quality; };
    for (const Case& c : {Case{0, 25}, Case{101, 25}, Case{-3, 25}, Case{1, 1}, Case{100, 100}, Case{57, 57}}) {
        dib.SetJPegSaveQuality(c.set);
        EXPECT_EQ(dib.JPegSaveQuality(), c.quality) << c.set;
    }
    for (const Case& c : {Case{101, 5}, Case{255, 5}, Case{100, 100}, Case{0, 0}, Case{7, 7}}) {
        dib.SetJPegSaveSmooth(c.set);
        EXPECT_EQ(dib.JPegSaveSmooth(), c.quality) << c.set;
    }
    EXPECT_EQ(dib.DateTime(), QDate::currentDate().startOfDay());

    dib.SetCMWidth(4.0f);  // no pixels: nothing happens
    fill(dib, rvtest::pattern(300, 200));
    dib.SetCMWidth(2.54f);   // 300 pixels on an inch: 11811 pixels per metre
    dib.SetCMHeight(10.0f);  // 200 pixels on 10 cm: 2000
    EXPECT_EQ(dib.Info().xPelsPerMeter, 11811);
    EXPECT_EQ(dib.Info().yPelsPerMeter, 2000);
    EXPECT_EQ(dib.CMWidth(), 0.0f);
    dib.SetCMHeight(0.0f);
    EXPECT_EQ(dib.Info().yPelsPerMeter, 2000);
}

// Pixel access reads every depth through its real row size, also for widths that are not a
// multiple of 4.
TEST(TLQDib, PixelAccessAtEveryDepth) {
    for (int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        TLQDib dib;
        Rgb shown;
        fill(dib, rvtest::pattern(13, 7), bits, &shown);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                std::uint8_t b = 0, g = 0, r = 0;
                const int index = dib.GetPixelRGB(x, y, b, g, r);
                const std::uint8_t* want = &shown.pixels[(std::size_t(y) * 13 + x) * 3];
                ASSERT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{want[0], want[1], want[2]})) << x << "," << y;
                if (bits <= 8) {
                    const QRgb c = dib.Palette()[index];
                    EXPECT_EQ(qRed(c), r);
                } else {
                    EXPECT_EQ(index, 0);
                }
            }
        std::uint8_t b = 1, g = 2, r = 3;
        EXPECT_EQ(dib.GetPixelRGB(13, 0, b, g, r), -1);
        EXPECT_EQ(dib.GetPixelRGB(0, -1, b, g, r), -1);
        EXPECT_EQ(b + g + r, 6);

        // Setting a pixel takes the nearest colour the depth can show.
        dib.SetPixelColor(12, 6, lqp::rgb(250, 250, 250));
        dib.GetPixelRGB(12, 6, b, g, r);
        EXPECT_GT(r, 200);
        EXPECT_GT(b, 200);
        dib.SetPixelColor(11, 6, lqp::rgb(0, 0, 0));
        dib.GetPixelRGB(11, 6, b, g, r);
        EXPECT_EQ(r + g + b, 0);
        const Rgb after = pixelsOf(dib);
        EXPECT_TRUE(std::equal(after.pixels.begin(), after.pixels.begin() + 6 * 13 * 3, shown.pixels.begin()));  // other rows untouched
    }
}

TEST(TLQDib, LoadsByExtensionAndByContent) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    const Rgb image = rvtest::pattern(30, 20);
    rvtest::writePpm(src, image);
    rvtest::python("im = Image.open('" + src + "')\nim.save('" + dir.file("a.png") + "')\nim.save('" + dir.file("b.xyz") + "', 'PNG')\n"
                   "im.save('" + dir.file("c.JPG") + "', quality=95)\nim.save('" + dir.file("d.gif") + "')\nim.save('" + dir.file("e.tif") + "')\n"
                   "im.save('" + dir.file("f.kdc") + "', 'PNG')\n");
    for (const char* name : {"a.png", "b.xyz", "e.tif"}) {
        SCOPED_TRACE(name);
        TLQDib dib;
        ASSERT_TRUE(dib.LoadFromFile(q(dir.file(name)))) << rv::RVLastErrorText();
        EXPECT_EQ(pixelsOf(dib), image);
        EXPECT_EQ(dib.DateTime(), QFileInfo(q(dir.file(name))).lastModified());
    }
    TLQDib jpeg;
    ASSERT_TRUE(jpeg.LoadFromFile(q(dir.file("c.JPG"))));
    EXPECT_EQ(jpeg.Width(), 30);
    EXPECT_LE(rvtest::maxDifference(pixelsOf(jpeg), rvtest::pillowDecode(dir.file("c.JPG"))), 1);

    // No reader: GIF and KDC (even when the content could be read) answer false; the pixels stay.
    for (const char* name : {"d.gif", "f.kdc"}) {
        EXPECT_FALSE(jpeg.LoadFromFile(q(dir.file(name)))) << name;
        EXPECT_EQ(jpeg.Width(), 30);
    }
    try {
        jpeg.LoadFromFile(q(dir.file("missing.png")));
        FAIL() << "no exception";
    } catch (const rv::ERVError& e) {
        EXPECT_STREQ(e.what(), "Input filename isn't valid");
    }
}

TEST(TLQDib, SavesEveryWritableFormatAndReportsTheNameWritten) {
    lqtest::TempDir dir;
    TLQDib dib;
    const Rgb image = rvtest::pattern(21, 11);
    fill(dib, image);
    for (const char* name : {"a.bmp", "a.png", "a.pcx", "a.tga", "a.BMP"}) {
        SCOPED_TRACE(name);
        QString written;
        ASSERT_TRUE(dib.SaveToFile(q(dir.file(name)), &written)) << rv::RVLastErrorText();
        EXPECT_EQ(written, q(dir.file(name)));
        EXPECT_EQ(rvtest::pillowDecode(dir.file(name)), image);
        TLQDib back;
        ASSERT_TRUE(back.LoadFromFile(written));
        EXPECT_EQ(pixelsOf(back), image);
    }
    ASSERT_TRUE(dib.SaveToFile(q(dir.file("a.gif"))));
    EXPECT_EQ(rvtest::pillowDecode(dir.file("a.gif")).width, 21);
    // Only .JPG among the JPEG names has a writer of its own; the others get ".jpg" appended.
    for (const char* name : {"b.jpeg", "b.tiff", "b.raw"}) {
        QString written;
        ASSERT_TRUE(dib.SaveToFile(q(dir.file(name)), &written));
        EXPECT_EQ(written, q(dir.file(name)) + ".jpg");
        EXPECT_TRUE(QFileInfo::exists(written));
        EXPECT_FALSE(QFileInfo::exists(q(dir.file(name))));
        EXPECT_EQ(rvtest::pillowDecode(written.toStdString()).width, 21);
    }
    TLQDib empty;
    try {
        empty.SaveToFile(q(dir.file("x.bmp")));
        FAIL() << "no exception";
    } catch (const rv::ERVError& e) {
        EXPECT_STREQ(e.what(), "Input image is empty");
    }
}

TEST(TLQDib, DormantImageWakesWithTheSamePixelsAndDate) {
    lqtest::TempDir dir;
    TLQDib dib;
    const Rgb image = rvtest::pattern(40, 25);
    fill(dib, image);
    const QDateTime date = dib.DateTime();
    ASSERT_TRUE(dib.SaveToFile(q(dir.file("dormant.bmp"))));
    const std::size_t before = lqMemLiveBlocks();
    dib.AttachDib(nullptr);
    dib.DormantFile = q(dir.file("dormant.bmp"));
    EXPECT_EQ(lqMemLiveBlocks(), before - 1);
    EXPECT_FALSE(dib.HasPixels());
    EXPECT_EQ(dib.Width(), 40);
    EXPECT_EQ(dib.Height(), 25);
    EXPECT_EQ(dib.Bits(), 24);

    std::uint8_t b = 0, g = 0, r = 0;
    dib.GetPixelRGB(39, 24, b, g, r);  // wakes the image
    EXPECT_TRUE(dib.HasPixels());
    EXPECT_EQ(pixelsOf(dib), image);
    EXPECT_EQ(dib.DateTime(), date);
    EXPECT_EQ(dib.LockCount(), 0);
    EXPECT_EQ(dib.DormantFile, q(dir.file("dormant.bmp")));
}

TEST(TLQDib, TryLockFailsWhileAnotherThreadHoldsTheLock) {
    TLQDib dib;
    dib.Lock();
    dib.Lock();  // the owner may lock again
    EXPECT_EQ(dib.LockCount(), 2);
    std::atomic<int> result{-1};
    std::thread([&] { result = dib.TryLock() ? 1 : 0; }).join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(dib.TryLock());  // any lock, also the caller's own, makes TryLock fail
    dib.Unlock();
    dib.Unlock();
    EXPECT_EQ(dib.LockCount(), 0);
    std::thread([&] {
        result = dib.TryLock() ? 1 : 0;
        if (result) dib.Unlock();
    }).join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dib.LockCount(), 0);

    // Lock from another thread waits until the owner unlocks.
    std::atomic<bool> entered{false};
    dib.Lock();
    std::thread other([&] {
        dib.Lock();
        entered = true;
        dib.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);
    dib.Unlock();
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_EQ(dib.LockCount(), 0);
}

QImage canvasImage(int w, int h) {
    QImage canvas(w, h, QImage::Format_RGB32);
    canvas.fill(qRgb(1, 2, 3));
    return canvas;
}

Rgb canvasRgb(const QImage& canvas) {
    const QImage rgb = canvas.convertToFormat(QImage::Format_RGB888);
    Rgb out{rgb.width(), rgb.height(), {}};
    for (int y = 0; y < rgb.height(); ++y) out.pixels.insert(out.pixels.end(), rgb.constScanLine(y), rgb.constScanLine(y) + rgb.width() * 3);
    return out;
}

// Drawn 1:1 every depth shows its pixels upright, through the view of the rows or (4 bits)
// through bands.
TEST(TLQDib, DrawsEveryDepthUpright) {
    for (int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        TLQDib dib;
        Rgb shown;
        fill(dib, rvtest::pattern(23, 17), bits, &shown);
        QImage canvas = canvasImage(23, 17);
        {
            QPainter painter(&canvas);
            ASSERT_TRUE(dib.Draw(painter, QRect(0, 0, 23, 17)));
        }
        EXPECT_EQ(canvasRgb(canvas), shown);

        // A part: columns 5..14, rows 3..10.
        QImage part = canvasImage(10, 8);
        {
            QPainter painter(&part);
            ASSERT_TRUE(dib.DrawRect(painter, QRect(0, 0, 10, 8), QRect(5, 3, 10, 8)));
        }
        Rgb expected{10, 8, {}};
        for (int y = 3; y < 11; ++y)
            expected.pixels.insert(expected.pixels.end(), shown.pixels.begin() + (y * 23 + 5) * 3, shown.pixels.begin() + (y * 23 + 15) * 3);
        EXPECT_EQ(canvasRgb(part), expected);
    }
    TLQDib empty;
    QImage canvas = canvasImage(4, 4);
    QPainter painter(&canvas);
    EXPECT_FALSE(empty.Draw(painter, QRect(0, 0, 4, 4)));
}

// Bands cover every destination row, even when the source has fewer rows than bands.
TEST(TLQDib, BandsCoverEveryDestinationRow) {
    for (int rows : {1000, 3}) {
        SCOPED_TRACE(rows);
        TLQDib dib;
        Rgb white{5, rows, std::vector<std::uint8_t>(std::size_t(5) * rows * 3, 255)};
        Rgb shown;
        fill(dib, white, 4, &shown);  // no Qt format for 4 bits: drawn in bands
        const QRgb colour = qRgb(shown.pixels[0], shown.pixels[1], shown.pixels[2]);
        QImage canvas = canvasImage(300, 300);
        {
            QPainter painter(&canvas);
            ASSERT_TRUE(dib.DrawPart(painter, QRect(0, 0, 300, 300), QRect(0, 0, 0, 0)));
        }
        int covered = 0;
        for (int y = 0; y < 300; ++y) covered += canvas.pixel(150, y) == colour;
        EXPECT_EQ(covered, 300);
    }
}

TEST(TLQDib, ClipboardRoundTripAndHostileData) {
    TLQDib dib;
    const Rgb image = rvtest::pattern(17, 9);
    fill(dib, image);
    ASSERT_TRUE(dib.CopyToClipboard());
    TLQDib pasted;
    ASSERT_TRUE(pasted.PasteFromClipboard());
    EXPECT_EQ(pixelsOf(pasted), image);
    ASSERT_TRUE(dib.CutToClipboard());
    EXPECT_FALSE(dib.HasPixels());

    // A DIB from another program arrives as an image.
    QImage other(3, 2, QImage::Format_RGB32);
    other.fill(qRgb(10, 200, 30));
    QGuiApplication::clipboard()->setImage(other);
    ASSERT_TRUE(pasted.PasteFromClipboard());
    EXPECT_EQ(pasted.Width(), 3);
    EXPECT_EQ(pixelsOf(pasted).pixels[1], 200);

    // A header claiming more rows than the data holds is refused; the image stays.
    std::vector<std::uint8_t> bmp;
    ASSERT_TRUE(rv::wrbmpstreamdib(bmp, pasted.GetDibHandle()));
    lqp::putLe32(&bmp[22], 5000);
    auto* data = new QMimeData;
    data->setData("image/bmp", QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size())));
    QGuiApplication::clipboard()->setMimeData(data);
    const std::size_t before = lqMemLiveBlocks();
    EXPECT_FALSE(pasted.PasteFromClipboard());
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrRead);
    EXPECT_EQ(pasted.Width(), 3);
    EXPECT_EQ(lqMemLiveBlocks(), before);
    QGuiApplication::clipboard()->clear();
}

TEST(TLQDib, ProgressCarriesTheOperationAndCanCancel) {
    lqtest::TempDir dir;
    TLQDib source;
    fill(source, rvtest::pattern(64, 120));
    ASSERT_TRUE(source.SaveToFile(q(dir.file("a.png"))));

    TLQDib dib;
    std::vector<int> percents;
    QString message;
    dib.OnProgress = [&](TLQDib* sender, short percent, const QString& text, bool&) {
        EXPECT_EQ(sender, &dib);
        percents.push_back(percent);
        message = text;
    };
    ASSERT_TRUE(dib.LoadFromFile(q(dir.file("a.png"))));
    EXPECT_EQ(message, "loading png image");
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);

    TLQDib cancelled;
    fill(cancelled, rvtest::pattern(5, 5));
    cancelled.OnProgress = [](TLQDib*, short percent, const QString&, bool& cancel) { cancel = percent > 30; };
    EXPECT_FALSE(cancelled.LoadFromFile(q(dir.file("a.png"))));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrCancelled);
    EXPECT_EQ(cancelled.Width(), 5);

    // The process-wide default reaches images made afterwards.
    int calls = 0;
    TLQDib::SetDefaultProgress([&](TLQDib*, short, const QString&, bool&) { ++calls; });
    TLQDib later;
    ASSERT_TRUE(later.LoadFromFile(q(dir.file("a.png"))));
    EXPECT_GT(calls, 0);
    TLQDib::SetDefaultProgress({});
}

TEST(TLQDib, ErrorsGoToTheHandlerOrABoxOnTheInterfaceThreadOnly) {
    SinkRecorder sink;
    TLQDib dib;
    rv::RVSetLastError(rv::kRVErrFormat, "PNG: broken");
    short code = 0;
    QString text;
    dib.OnRvlibError = [&](TLQDib*, short c, const QString& t) { code = c, text = t; };
    dib.ReportError();
    EXPECT_EQ(code, rv::kRVErrFormat);
    EXPECT_EQ(text, "PNG: broken");
    EXPECT_TRUE(sink.texts.empty());

    dib.OnRvlibError = nullptr;
    dib.ReportError();
    EXPECT_EQ(sink.texts, std::vector<std::string>{"PNG: broken"});
    std::thread([&] {
        rv::RVSetLastError(rv::kRVErrRead, "from a print thread");
        dib.ReportError();
    }).join();
    EXPECT_EQ(sink.texts.size(), 1u);
}

}  // namespace

namespace {

// TIFF is written by libVellum32.so with the chosen compression (each name mapped to the
// library's own code), appended as a page on request; Pillow reads what it writes.
TEST(TLQDib, TiffIsWrittenThroughVellum32) {
    lqtest::TempDir dir;
    TLQDib dib;
    const Rgb image = rvtest::pattern(19, 13);
    ASSERT_TRUE(dib.AttachHandle(rvtest::makeDib(image, 24)));
    struct Case { rv::TTiffCompression compression; const char* name; const char* pillow; };
    const Case cases[] = {{rv::sNONE, "none.tif", "raw"}, {rv::sLZW, "lzw.tif", "tiff_lzw"},
                          {rv::sPACKBITS, "packbits.tif", "packbits"}, {rv::sFAXCCITT4, "g4.tif", "group4"}};
    std::string program = "from PIL import Image\n";
    for (const Case& c : cases) {
        dib.TifSaveCompress = c.compression;
        ASSERT_TRUE(dib.SaveToFile(q(dir.file(c.name)))) << rv::RVLastErrorText();
        program += "print(Image.open('" + dir.file(c.name) + "').info['compression'])\n";
    }
    const auto r = lqtest::runPython(program);
    EXPECT_EQ(r.output, "raw\ntiff_lzw\npackbits\ngroup4\n");
    for (const char* lossless : {"none.tif", "lzw.tif", "packbits.tif"}) EXPECT_EQ(rvtest::pillowDecode(dir.file(lossless)), image) << lossless;

    dib.TifSaveCompress = rv::sNONE;
    dib.TiffAppend = true;
    ASSERT_TRUE(dib.SaveToFile(q(dir.file("none.tif"))));
    EXPECT_EQ(lqtest::runPython("from PIL import Image\nprint(Image.open('" + dir.file("none.tif") + "').n_frames)").output, "2\n");
    TLQDib second;
    second.TiffPage = 1;
    ASSERT_TRUE(second.LoadFromFile(q(dir.file("none.tif"))));
    EXPECT_EQ(pixelsOf(second), image);
}

}  // namespace
