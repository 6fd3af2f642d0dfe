// After every test of the core no fake object of the library is alive once
// the library's own state (the answers it was given) is dropped: each
// reference the program kept or leaked fails the test that left it.

#include <gtest/gtest.h>

#include "tests/fakes/FakeObjectLibrary.h"

namespace {

class LiveFakeObjectCheck : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override {
        fake::ResetLibrary();
        EXPECT_EQ(fake::LiveObjects(), 0) << fake::DescribeLiveObjects();
    }
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new LiveFakeObjectCheck);
    return true;
}();

}  // namespace
