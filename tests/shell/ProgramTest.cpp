// Starts the built program as a user would.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace {

std::string program() { return lqtest::binaryDir() + "/bin/lumquil"; }

TEST(Program, VersionAndHelpAnswerWithoutADisplay) {
    const auto version = lqtest::run("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= " + program() + " --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.output.find("lumquil "), std::string::npos);
    EXPECT_NE(version.output.find("Lumenquiltworks 98"), std::string::npos);
    const auto help = lqtest::run("env -u DISPLAY " + program() + " --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--lang"), std::string::npos);
}

TEST(Program, StartsShowsItsWindowAndQuits) {
    for (const char* lang : {"de", "en"}) {
        const auto r = lqtest::run("QT_QPA_PLATFORM=offscreen " + program() + " --lang " + lang + " --quit-after 200");
        EXPECT_EQ(r.exitCode, 0) << lang << ": " << r.output;
    }
}

TEST(Program, WithoutCatalogItReportsAndEndsWithFailure) {
    const auto r = lqtest::run("LUMQUIL_NONINTERACTIVE=1 QT_QPA_PLATFORM=offscreen " + program() +
                               " --lang /nonexistent/none.lang --quit-after 0");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("Could not find the required program file LQLANG.DLL in the program directory.\n"
                            "Try to reinstall or contact your local software dealer."),
              std::string::npos)
        << r.output;
}

}  // namespace
