#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/Color.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Color, RedIsTheLowByte) {
    constexpr lqp::ColorRef c = lqp::rgb(0x12, 0x34, 0x56);
    static_assert(c == 0x563412);
    EXPECT_EQ(lqp::redOf(c), 0x12);
    EXPECT_EQ(lqp::greenOf(c), 0x34);
    EXPECT_EQ(lqp::blueOf(c), 0x56);
}

TEST(MessageSink, RecordsTextsAndScriptsAnswers) {
    std::vector<lqp::Message> seen;
    auto previous = lqp::setMessageSink([&](const lqp::Message& m) {
        seen.push_back(m);
        return m.buttons == lqp::MsgButtons::YesNo ? lqp::MsgAnswer::No : lqp::MsgAnswer::Ok;
    });
    EXPECT_EQ(lqp::showMessage("Überschreiben?", "Datei", lqp::MsgIcon::Question, lqp::MsgButtons::YesNo),
              lqp::MsgAnswer::No);
    EXPECT_EQ(lqp::showMessage("Fertig"), lqp::MsgAnswer::Ok);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "Überschreiben?");
    EXPECT_EQ(seen[0].caption, "Datei");
    EXPECT_EQ(seen[0].icon, lqp::MsgIcon::Question);
    lqp::setMessageSink(previous);
    // Without a sink the first button answers.
    EXPECT_EQ(lqp::showMessage("x", {}, lqp::MsgIcon::None, lqp::MsgButtons::RetryCancel), lqp::MsgAnswer::Retry);
}

TEST(Files, FreeSpaceModificationTimeAndFolders) {
    lqtest::TempDir dir;
    const auto space = lqp::freeSpace(dir.file("not/yet/there.qlt"));
    ASSERT_TRUE(space.has_value());
    EXPECT_GT(*space, 0u);
    EXPECT_FALSE(lqp::modificationTime(dir.file("missing")).has_value());
    lqtest::writeFile(dir.file("f"), std::string("x"));
    const auto t = lqp::modificationTime(dir.file("f"));
    ASSERT_TRUE(t.has_value());
    EXPECT_GT(*t, 1'600'000'000LL * 1'000'000'000LL);
    EXPECT_FALSE(lqp::programFolder().empty());
    EXPECT_EQ(lqp::programFolder().back() == '/', false);

    ::setenv("XDG_CACHE_HOME", dir.path().c_str(), 1);
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(lqp::userCacheFolder(), dir.path().string() + "/lumquil");
    EXPECT_EQ(lqp::userDataFolder(), "/home/someone/.local/share/lumquil");
}

}  // namespace
