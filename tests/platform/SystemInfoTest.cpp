#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/SystemInfo.h"
#include "tests/platform/TempDirectory.h"

namespace {

constexpr std::uint32_t kLargeBuffer = 32768;

// Returns to the directory it started in when it goes.
class CurrentDirectoryGuard {
  public:
    CurrentDirectoryGuard() : saved_(std::filesystem::current_path()) {}
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;
    ~CurrentDirectoryGuard() { std::filesystem::current_path(saved_); }

  private:
    std::filesystem::path saved_;
};

TEST(CurrentDirectory, FitsOnlyWithRoomForTheTerminator) {
    platform_test::TempDirectory temp;
    const std::filesystem::path directory = temp.Path() / u"caf\u00E9 \U0001F600";
    std::filesystem::create_directory(directory);
    CurrentDirectoryGuard guard;
    std::filesystem::current_path(directory);
    const std::u16string expected = std::filesystem::current_path().u16string();
    const auto length = static_cast<std::uint32_t>(expected.size());

    std::u16string text = u"kept";
    EXPECT_EQ(platform::ReadCurrentDirectory(text, length + 1), length);
    EXPECT_EQ(text, expected);

    text = u"kept";
    EXPECT_EQ(platform::ReadCurrentDirectory(text, length), length + 1);
    EXPECT_EQ(text, u"kept");
    EXPECT_EQ(platform::ReadCurrentDirectory(text, 0), length + 1);
    EXPECT_EQ(text, u"kept");

    EXPECT_EQ(platform::ReadCurrentDirectory(text, kLargeBuffer), length);
    EXPECT_EQ(text, expected);
}

TEST(ComputerName, FitsOnlyWithRoomForTheTerminator) {
    std::u16string name;
    ASSERT_TRUE(platform::ReadComputerName(name, 200));
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find(u'.'), std::u16string::npos);
    const auto length = static_cast<std::uint32_t>(name.size());

    std::u16string again = u"kept";
    EXPECT_FALSE(platform::ReadComputerName(again, length));
    EXPECT_EQ(again, u"kept");
    EXPECT_TRUE(platform::ReadComputerName(again, length + 1));
    EXPECT_EQ(again, name);
}

}  // namespace
