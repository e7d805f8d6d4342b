#include <gtest/gtest.h>

#include "rastervane/RVGif.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"
#include "tifflib/Color.h"

namespace {

using rvtest::Rgb;

// Palette images keep their colours exactly; true-colour images become the median-cut
// reduction of the colour library, pixel for pixel.
TEST(RVGifPeer, WrittenFilesDecodeInPillow) {
    lqtest::TempDir dir;
    std::vector<std::string> paths;
    std::vector<Rgb> expected;
    for (int bits : {1, 4, 8}) {
        expected.emplace_back();
        lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(35, 22), bits, &expected.back()));
        paths.push_back(dir.file("p" + std::to_string(bits) + ".gif"));
        ASSERT_TRUE(rv::wrgiffiledib(paths.back(), dib.get())) << rv::RVLastErrorText();
    }
    lqp::MemOwner photo(rvtest::makeDib(rvtest::pattern(64, 48), 24));
    paths.push_back(dir.file("photo.gif"));
    ASSERT_TRUE(rv::wrgiffiledib(paths.back(), photo.get()));
    lqp::MemOwner reduced(ReduceColorToColor(photo.get(), 256, kReduceFloyd));
    ASSERT_TRUE(reduced);
    expected.push_back(rvtest::dibToRgb(reduced.get()));

    const std::vector<Rgb> decoded = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(decoded[i], expected[i]) << paths[i];
}

TEST(RVGif, RefusesBadInputAndKeepsTheOldFile) {
    lqtest::TempDir dir;
    const std::string path = dir.file("keep.gif");
    lqtest::writeFile(path, std::string("old"));
    EXPECT_FALSE(rv::wrgiffiledib(path, nullptr));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadDib);
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(16, 300), 8));
    EXPECT_FALSE(rv::wrgiffiledib(path, dib.get(), [](int p) { return p < 40; }));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrCancelled);
    EXPECT_EQ(lqtest::readFile(path), std::vector<std::uint8_t>({'o', 'l', 'd'}));
}

}  // namespace
