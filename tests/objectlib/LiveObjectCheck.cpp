// After every test the library holds no live object: each leaked or kept
// reference fails the test that left it.

#include <gtest/gtest.h>

#include "objectlib/Diagnostics.h"

namespace {

class LiveObjectCheck : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override {
        EXPECT_EQ(NSVumoUtil::LiveObjectCount(), 0) << "objects of the library left alive";
    }
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new LiveObjectCheck);
    return true;
}();

}  // namespace
