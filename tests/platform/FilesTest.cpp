#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "tests/platform/TempDirectory.h"

namespace {

using platform_test::TempDirectory;

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Files, PathExistsForFilesAndDirectoriesOnly) {
    TempDirectory temp;
    WriteBytes(temp.Path() / "report.csv", "x");

    EXPECT_TRUE(platform::PathExists(temp.Path().u16string()));
    EXPECT_TRUE(platform::PathExists(temp.Child(u"report.csv")));
    EXPECT_FALSE(platform::PathExists(temp.Child(u"missing.csv")));
    EXPECT_FALSE(platform::PathExists(temp.Child(u"missing") + platform::kPathSeparator + u"x"));
    EXPECT_FALSE(platform::PathExists(u""));
}

TEST(Files, MakeDirectoryCreatesOneLevel) {
    TempDirectory temp;
    const std::u16string name = temp.Child(u"\u00DCbersicht \u65E5\u672C");

    EXPECT_TRUE(platform::MakeDirectory(name));
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(name)));
    EXPECT_TRUE(platform::PathExists(name));
    // It exists now.
    EXPECT_FALSE(platform::MakeDirectory(name));
    // Its parent is missing.
    EXPECT_FALSE(platform::MakeDirectory(temp.Child(u"a") + platform::kPathSeparator + u"b"));
    EXPECT_FALSE(platform::MakeDirectory(u""));
}

TEST(Files, OutputFileWritesEveryByteAndReplacesOldContent) {
    TempDirectory temp;
    const std::filesystem::path path = temp.Path() / u"r\u00E9port.csv";
    WriteBytes(path, std::string(5000, 'o'));

    std::string expected("\xFF\xFE", 2);
    for (int i = 0; i < 70000; ++i) {
        expected += static_cast<char>(i % 251);
    }

    platform::OutputFile file;
    EXPECT_FALSE(file.IsOpen());
    ASSERT_TRUE(file.Open(path.u16string()));
    EXPECT_TRUE(file.IsOpen());
    // Many small writes, as the report writer makes them, and one large one.
    for (std::size_t i = 0; i < 1000; ++i) {
        file.Write(expected.data() + i, 1);
    }
    file.Write(expected.data() + 1000, expected.size() - 1000);
    file.Write(expected.data(), 0);
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());

    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(Files, OutputFileIsClosedWhenItGoes) {
    TempDirectory temp;
    const std::filesystem::path path = temp.Path() / "r.csv";
    {
        platform::OutputFile file;
        ASSERT_TRUE(file.Open(path.u16string()));
        file.Write("abc", 3);
    }
    EXPECT_EQ(ReadBytes(path), "abc");
}

TEST(Files, OutputFileCannotOpenADirectoryOrAMissingFolder) {
    TempDirectory temp;
    platform::OutputFile file;
    EXPECT_FALSE(file.Open(temp.Path().u16string()));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Open(temp.Child(u"missing") + platform::kPathSeparator + u"r.csv"));
    EXPECT_FALSE(file.IsOpen());
    // Nothing was opened, so nothing was written.
    EXPECT_FALSE(file.Close());
}

TEST(Files, PathWithANulNamesNothing) {
    platform_test::TempDirectory temp;
    const std::u16string withNul = temp.Path().u16string() + std::u16string(1, u'\0') + u"x";
    EXPECT_FALSE(platform::PathExists(withNul));
    EXPECT_FALSE(platform::MakeDirectory(withNul));
    platform::OutputFile file;
    EXPECT_FALSE(file.Open(withNul));
}

}  // namespace
