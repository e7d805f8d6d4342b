#include <gtest/gtest.h>

#include <QFileInfo>

#include "model/LQImage.h"
#include "tests/model/TemplateFixtures.h"

namespace {

QStringList names(const TLQImageList& list) {
    QStringList n;
    for (int i = 0; i < list.Count(); ++i) n << QFileInfo(list[i]->FileName).fileName();
    return n;
}

TEST(ImagePool, AddingMakesNamesUniqueAndNumbersTheImages) {
    TLQImageList pool;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pool.Add(new TLQImage("/f/a.jpg")), i);
    pool.Add(new TLQImage(""));
    pool.Add(new TLQImage(""));
    EXPECT_EQ(pool[0]->FileName, "/f/a.jpg");
    EXPECT_EQ(pool[1]->FileName, "/f/a.jpg (2)");
    EXPECT_EQ(pool[2]->FileName, "/f/a.jpg (2) (3)");
    EXPECT_EQ(pool[3]->FileName, "");  // images without a file get no number for a name
    EXPECT_EQ(pool[4]->FileName, "");
    for (int i = 0; i < pool.Count(); ++i) EXPECT_EQ(pool[i]->Number, i + 1);
    EXPECT_EQ(pool.VisibleCount, -1);
}

TEST(ImagePool, FiltersPutTheirImagesFirstAndCountThem) {
    TLQImageList pool;
    const struct { const char* name; const char* map; } images[] = {
        {"l1.jpg", "LayoutImage"}, {"u1.jpg", ""}, {"m1.jpg", "Urlaub"}, {"u2.jpg", ""}, {"m2.jpg", "Urlaub"}};
    for (const auto& i : images) {
        auto* image = new TLQImage(QStringLiteral("/f/") + i.name);
        image->MapName = i.map;
        pool.Add(image);
    }
    const struct { const char* filter; int visible; QStringList order; } cases[] = {
        {"ILF_All", 5, {"l1.jpg", "u1.jpg", "m1.jpg", "u2.jpg", "m2.jpg"}},
        {"ILF_Pool", 4, {"u1.jpg", "m1.jpg", "u2.jpg", "m2.jpg", "l1.jpg"}},
        {"ILF_NoMap", 2, {"u1.jpg", "u2.jpg", "l1.jpg", "m1.jpg", "m2.jpg"}},
        {"Urlaub", 2, {"m1.jpg", "m2.jpg", "l1.jpg", "u1.jpg", "u2.jpg"}},
        {"Keine", 0, {"l1.jpg", "u1.jpg", "m1.jpg", "u2.jpg", "m2.jpg"}},
    };
    pool.SortKey = 5;  // all widths equal (no pixels): the order within a group is by number
    for (const auto& c : cases) {
        pool.SetFilter(c.filter);
        EXPECT_EQ(pool.VisibleCount, -1);
        EXPECT_EQ(pool.ApplyFilter(), c.visible) << c.filter;
        EXPECT_EQ(pool.FilteredTotal, 5);
        EXPECT_EQ(names(pool), c.order) << c.filter;
    }
}

TEST(ImagePool, SortKeysOrderAscendingWithTiesByNumber) {
    lqtest::TempDir dir;
    TLQImageList pool;
    // name, size of the file on disk, width, height, bits, date
    const struct { const char* name; int bytes; int w, h, bits; QDateTime when; } images[] = {
        {"c.png", 30, 800, 600, 24, QDateTime(QDate(2023, 5, 3), QTime(9, 0))},
        {"a.jpg", 10, 800, 400, 8, QDateTime(QDate(2023, 5, 1), QTime(23, 0))},
        {"b.bmp", 20, 100, 900, 24, QDateTime(QDate(2023, 5, 1), QTime(13, 0))},
        {"a.bmp", 20, 1600, 100, 1, QDateTime(QDate(2021, 1, 1), QTime(0, 0))},
    };
    for (const auto& i : images) {
        lqtest::writeFile(dir.file(i.name), std::string(std::size_t(i.bytes), 'x'));
        TLQImage* image = fixture::photo(QString::fromStdString(dir.file(i.name)), i.w, i.h, i.bits);
        TLQImageFacts facts = *image->PixelFacts();
        facts.DateTime = i.when;
        image->SetPixelPart(std::make_unique<fixture::FakePixels>(facts));
        pool.Add(image);
    }
    const struct { int key; QStringList order; } cases[] = {
        {1, {"a.bmp", "a.jpg", "b.bmp", "c.png"}},
        {2, {"a.bmp", "b.bmp", "a.jpg", "c.png"}},
        {3, {"a.bmp", "a.jpg", "b.bmp", "c.png"}},  // a.jpg and b.bmp 10 h apart: same day, by number
        {4, {"a.jpg", "b.bmp", "a.bmp", "c.png"}},
        {5, {"b.bmp", "c.png", "a.jpg", "a.bmp"}},
        {6, {"a.bmp", "a.jpg", "c.png", "b.bmp"}},
        {7, {"a.bmp", "a.jpg", "c.png", "b.bmp"}},
        {8, {"a.bmp", "b.bmp", "a.jpg", "c.png"}},
    };
    for (const auto& c : cases) {
        pool.SortKey = c.key;
        pool.Sort();
        EXPECT_EQ(names(pool), c.order) << "key " << c.key;
    }
    // Sorting by key 8 did not renumber: number order is still the order of adding.
    pool.SortKey = 0;
    pool.Sort();
    EXPECT_EQ(names(pool), (QStringList{"c.png", "a.jpg", "b.bmp", "a.bmp"}));
}

TEST(ImagePool, SortingByNumberRenumbersThePool) {
    TLQImageList pool;
    for (const char* n : {"a", "b", "c", "d"}) pool.Add(new TLQImage(n));
    pool[0]->Number = 7;
    pool[1]->Number = 3;
    pool[2]->Number = 3;
    pool[3]->Number = 1;
    pool.SortKey = 0;
    pool.Sort();
    EXPECT_EQ(names(pool), (QStringList{"d", "b", "c", "a"}));
    for (int i = 0; i < pool.Count(); ++i) EXPECT_EQ(pool[i]->Number, i + 1);
}

TEST(ImagePool, ThePoolReleasesOnlyItsOwnReference) {
    TLQImage* shared = new TLQImage("/x.jpg");
    {
        TLQImageList pool;
        pool.Add(shared->AddRef());
        pool.Add(new TLQImage("/y.jpg"));
        pool.Delete(1);
        EXPECT_EQ(pool.Count(), 1);
    }
    EXPECT_EQ(shared->RefCount(), 1);
    ReleaseImage(shared);
    EXPECT_EQ(shared, nullptr);
}

}  // namespace
