// TLQImage with a real pixel object: measures, cached bitmaps, dormant pixels, rotation.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QUrl>

#include <cstdlib>
#include <thread>

#include "imaging/LQDib.h"
#include "model/LQDesktop.h"
#include "model/LQImage.h"
#include "model/LQMeasures.h"
#include "model/LQTmpl.h"
#include "tests/model/ModelFixtures.h"

namespace {

// A pool image of w × h pixels, every pixel the given colour.
TLQImage* solidImage(const QString& name, int w, int h, QRgb colour) {
    auto* image = new TLQImage(name);
    image->Dib()->AttachHandle(rv::RVTDib::CreateDib(w, h, 24));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = image->Dib()->Row(y);
        for (int x = 0; x < w; ++x, row += 3) {
            row[0] = std::uint8_t(qBlue(colour));
            row[1] = std::uint8_t(qGreen(colour));
            row[2] = std::uint8_t(qRed(colour));
        }
    }
    return image;
}

QRgb pixelOf(TLQDib& dib, int x, int y) {
    std::uint8_t b = 0, g = 0, r = 0;
    dib.GetPixelRGB(x, y, b, g, r);
    return qRgb(r, g, b);
}

class ImagePixels : public testing::Test {
protected:
    ImagePixels() {
        setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
        SetScreenSizeSource([] { return QSize(1000, 800); });
    }
    ~ImagePixels() override {
        unsetenv("XDG_CACHE_HOME");
        SetScreenSizeSource({});
        SetPrinterMetricsSource(nullptr);
        ModelSettings() = TLQModelSettings();
    }
    lqtest::TempDir cache;
};

class Printer600x300 : public TLQPrinterMetricsSource {
public:
    std::optional<int> Metric(TPrinterMetric m) const override {
        if (m == TPrinterMetric::ResolutionX) return 600;
        if (m == TPrinterMetric::ResolutionY) return 300;
        return std::nullopt;
    }
};

TEST_F(ImagePixels, SizesInCentimetresComeFromThePixelsAndTheHorizontalResolution) {
    TLQImage* image = solidImage("/a.jpg", 3000, 1500, qRgb(0, 0, 0));
    EXPECT_DOUBLE_EQ(image->GetCMWidth(), 25.4);  // no printer: 300 dpi
    SetPrinterMetricsSource(std::make_shared<Printer600x300>());
    EXPECT_DOUBLE_EQ(image->GetCMWidth(), 12.7);
    EXPECT_DOUBLE_EQ(image->GetCMHeight(), 6.35);  // 600 dpi, not the vertical 300
    TLQImage bare("/b.jpg");
    bare.CMWidth = 4.1f;
    bare.CMHeight = 5.6f;
    EXPECT_FLOAT_EQ(bare.GetCMWidth(), 4.1f);
    EXPECT_FLOAT_EQ(bare.GetCMHeight(), 5.6f);
    ReleaseImage(image);
}

TEST_F(ImagePixels, TheThumbnailFitsTheSquareAndIsKeptUntilThePixelsChange) {
    TLQImage* image = solidImage("/a.jpg", 3000, 2000, qRgb(200, 0, 0));
    const QImage& thumb = image->GetThumbnail();
    EXPECT_EQ(thumb.size(), QSize(64, 43));
    EXPECT_EQ(thumb.pixel(32, 20), qRgb(200, 0, 0));
    const qint64 key = thumb.cacheKey();
    EXPECT_EQ(image->GetThumbnail().cacheKey(), key);

    auto other = std::make_unique<TLQDib>();
    other->AttachHandle(rv::RVTDib::CreateDib(100, 400, 24));
    image->SetDib(std::move(other));
    EXPECT_EQ(image->GetThumbnail().size(), QSize(16, 64));
    ReleaseImage(image);
}

TEST_F(ImagePixels, PreviewsAreLimitedToHalfOrAllOfTheScreen) {
    const struct { int mode, w, h; QSize expected; } cases[] = {
        {0, 3000, 2000, QSize(500, 333)},   // above a quarter of the 1000 × 800 screen, landscape
        {0, 1000, 3000, QSize(133, 400)},   // portrait: half the screen height
        {0, 400, 500, QSize(400, 500)},     // 200000 pixels: not above a quarter
        {1, 3000, 2000, QSize(1000, 667)},
        {1, 900, 800, QSize(900, 800)},
        {2, 3000, 2000, QSize(3000, 2000)},
    };
    for (const auto& c : cases) {
        ModelSettings().PreviewMode = c.mode;
        TLQImage* image = solidImage("/p.jpg", c.w, c.h, qRgb(0, 90, 0));
        const QImage& preview = image->GetPreview();
        EXPECT_EQ(preview.size(), c.expected) << "mode " << c.mode << ", " << c.w << " x " << c.h;
        EXPECT_EQ(preview.pixel(c.expected.width() / 2, c.expected.height() / 2), qRgb(0, 90, 0));
        ReleaseImage(image);
    }
}

TEST_F(ImagePixels, DormantPixelsLiveInATemporaryBitmapAndComeBack) {
    TLQImage* first = solidImage("/eins.jpg", 120, 80, qRgb(10, 20, 30));
    TLQImage* second = solidImage("/zwei.jpg", 60, 40, qRgb(1, 2, 3));
    const std::size_t liveBefore = lqMemLiveBlocks();
    ASSERT_TRUE(first->MakeDormant());
    ASSERT_TRUE(second->MakeDormant());
    EXPECT_EQ(lqMemLiveBlocks(), liveBefore - 2);  // both pixel blocks released
    const QString folder = QString::fromStdString(cache.path().string()) + "/lumquil/Temp/";
    EXPECT_EQ(first->Dib()->DormantFile, folder + "LQDImg1.bmp");
    EXPECT_EQ(second->Dib()->DormantFile, folder + "LQDImg2.bmp");
    EXPECT_FALSE(first->Dib()->HasPixels());
    EXPECT_EQ(first->GetThumbnail().size(), QSize(64, 43));  // made before the pixels left
    EXPECT_EQ(first->GetPreview().size(), QSize(120, 80));
    EXPECT_EQ(first->Dib()->Width(), 120);
    EXPECT_FALSE(first->MakeDormant());  // already dormant

    ASSERT_NE(first->Dib()->GetDibHandle(), nullptr);  // wakes from the file
    EXPECT_EQ(pixelOf(*first->Dib(), 119, 79), qRgb(10, 20, 30));
    ReleaseImage(first);
    EXPECT_FALSE(QFile::exists(folder + "LQDImg1.bmp"));  // the dormant file goes with the image

    TLQImage* third = solidImage("/drei.jpg", 10, 10, qRgb(0, 0, 0));
    ASSERT_TRUE(third->MakeDormant());
    EXPECT_EQ(third->Dib()->DormantFile, folder + "LQDImg1.bmp");  // the smallest free number
    ReleaseImage(second);
    ReleaseImage(third);
}

TEST_F(ImagePixels, AnImageInUseStaysAwake) {
    TLQImage* image = solidImage("/a.jpg", 20, 20, qRgb(0, 0, 0));
    image->Dib()->Lock();
    bool dormant = true;
    std::thread([&] { dormant = image->MakeDormant(); }).join();
    EXPECT_FALSE(dormant);
    EXPECT_TRUE(image->Dib()->HasPixels());
    EXPECT_TRUE(image->Dib()->DormantFile.isEmpty());
    image->Dib()->Unlock();
    ReleaseImage(image);
}

TEST_F(ImagePixels, TemporaryImageFilesAreDeletedWithTheirImage) {
    QDir().mkpath(TempImageFolder());
    const QString temp = TempImageFolder() + "scan.bmp";
    const QString kept = QString::fromStdString(cache.file("foto.bmp"));
    for (const QString& f : {temp, kept}) lqtest::writeFile(f.toStdString(), std::string("x"));
    delete new TLQImage(temp);
    delete new TLQImage(kept);
    EXPECT_FALSE(QFile::exists(temp));
    EXPECT_TRUE(QFile::exists(kept));
}

TEST_F(ImagePixels, RotatingPoolImagesAwakeAndDormant) {
    TLQImageList pool;
    pool.Add(solidImage("/wach.jpg", 30, 20, qRgb(255, 0, 0)));
    pool.Add(solidImage("/schlaf.jpg", 60, 40, qRgb(0, 0, 255)));
    pool[0]->CMWidth = 3;
    EXPECT_EQ(pool[0]->GetThumbnail().size(), QSize(64, 43));
    ASSERT_TRUE(pool.Rotate(0, 90));
    EXPECT_EQ(pool[0]->Dib()->Width(), 20);
    EXPECT_EQ(pool[0]->Dib()->Height(), 30);
    EXPECT_EQ(pool[0]->CMWidth, 0.0f);
    EXPECT_EQ(pool[0]->GetThumbnail().size(), QSize(43, 64));

    ASSERT_TRUE(pool[1]->MakeDormant());
    ASSERT_TRUE(pool.Rotate(1, -90));
    EXPECT_FALSE(pool[1]->Dib()->HasPixels());  // not woken
    EXPECT_EQ(pool[1]->GetThumbnail().size(), QSize(43, 64));
    EXPECT_EQ(pool[1]->GetPreview().size(), QSize(40, 60));
    EXPECT_EQ(pool[1]->Dib()->Width(), 40);
    ASSERT_NE(pool[1]->Dib()->GetDibHandle(), nullptr);
    EXPECT_EQ(pool[1]->Dib()->Width(), 40);
    EXPECT_EQ(pool[1]->Dib()->Height(), 60);

    pool[0]->Dib()->Lock();
    bool rotated = true;
    std::thread([&] { rotated = pool.Rotate(0, 90); }).join();
    EXPECT_FALSE(rotated);
    pool[0]->Dib()->Unlock();
    EXPECT_TRUE(pool.Rotate(7, 90));  // no such entry: nothing to do
}

TEST_F(ImagePixels, PlaceholdersQuoteTheRealPixelObject) {
    TLQTemplate layout;
    TLQTemplateArea& photo = layout.AddArea();
    photo.AreaNumber = 1;
    photo.SetImage(solidImage("/fotos/Turm.jpg", 1200, 900, qRgb(0, 0, 0)));
    TLQTemplateArea& text = layout.AddArea();
    text.Text.SetText(QString::fromUtf8("<Bild1_Breite> x <Bild1_Höhe>, <Bild1_Farbtiefe> Bit, <Bild1_BreiteCM> cm"));
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(text.ExpandText(), "1200 x 900, 24 Bit, 10.16 cm");
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(Desktop, FilesAndAddressesGoToTheDesktop) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QGuiApplication app(argc, argv);
    UrlCatcher catcher;
    for (const char* scheme : {"file", "http", "https"}) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    lqtest::TempDir dir;
    lqtest::writeFile(dir.file("bild.jpg"), std::string("x"));
    EXPECT_TRUE(OpenWithShell(QString::fromStdString(dir.file("bild.jpg"))));
    EXPECT_TRUE(OpenWithShell("www.example.de"));
    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[0], QUrl::fromLocalFile(QString::fromStdString(dir.file("bild.jpg"))));
    EXPECT_EQ(catcher.urls[1].host(), "www.example.de");
    for (const char* scheme : {"file", "http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
}

}  // namespace

#include "ImagePixelsTest.moc"
