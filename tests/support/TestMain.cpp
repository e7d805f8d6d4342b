// Main of every test binary: runs GoogleTest and fails any test after which more global
// memory blocks are alive than before it.
#include <gtest/gtest.h>

#include "platform/MemBlock.h"

namespace {

class LiveBlockCheck : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { before_ = lqMemLiveBlocks(); }
    void OnTestEnd(const testing::TestInfo& info) override {
        const std::size_t after = lqMemLiveBlocks();
        if (after != before_) {
            ADD_FAILURE_AT(info.file(), info.line())
                << "global memory blocks leaked: " << before_ << " alive before the test, " << after << " after";
        }
    }
    std::size_t before_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new LiveBlockCheck);
    return RUN_ALL_TESTS();
}
