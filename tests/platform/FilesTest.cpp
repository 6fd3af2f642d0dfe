#include <gtest/gtest.h>

#include <algorithm>
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

// The names in `folder`, sorted.
std::vector<std::u16string> Listing(const std::filesystem::path& folder) {
    std::vector<std::u16string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().u16string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Files, OutputFileWritesEveryByteAndReplacesOldContentWhenCommitted) {
    TempDirectory temp;
    const std::filesystem::path path = temp.Path() / u"r\u00E9port.csv";
    const std::string old(5000, 'o');
    WriteBytes(path, old);

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

    // Until the commit the old report stays, and the new one is a hidden
    // temporary file beside it.
    EXPECT_EQ(ReadBytes(path), old);
    const std::u16string name = path.filename().u16string();
    const std::vector<std::u16string> during = Listing(temp.Path());
    ASSERT_EQ(during.size(), 2u);
    const std::u16string& temporary = during[0] == name ? during[1] : during[0];
    // Hidden: a leading dot on POSIX (Windows' hidden attribute is checked
    // with Windows' own tests).
    const std::u16string stem = (platform::kPathSeparator == u'/' ? u"." : u"") + name + u".";
    EXPECT_TRUE(temporary.starts_with(stem));
    EXPECT_TRUE(temporary.ends_with(u".tmp"));

    EXPECT_EQ(file.Commit(), platform::CommitResult::kPlaced);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::u16string>{name});
}

TEST(Files, AnUncommittedFileIsRemovedAndTheOldReportKept) {
    struct Case {
        const char* what;
        bool oldReport;
        bool discard;  // else the object goes
    };
    for (const Case& c : {Case{"discarded, over an old report", true, true},
                          Case{"gone, over an old report", true, false},
                          Case{"gone, no report before", false, false}}) {
        SCOPED_TRACE(c.what);
        TempDirectory temp;
        const std::filesystem::path path = temp.Path() / "r.csv";
        if (c.oldReport) {
            WriteBytes(path, "old");
        }
        {
            platform::OutputFile file;
            ASSERT_TRUE(file.Open(path.u16string()));
            file.Write(std::string(300000, 'n').data(), 300000);
            if (c.discard) {
                file.Discard();
                EXPECT_FALSE(file.IsOpen());
                EXPECT_EQ(file.Commit(), platform::CommitResult::kNotWritten);
            }
        }
        if (c.oldReport) {
            EXPECT_EQ(ReadBytes(path), "old");
            EXPECT_EQ(Listing(temp.Path()), std::vector<std::u16string>{u"r.csv"});
        } else {
            EXPECT_EQ(Listing(temp.Path()), std::vector<std::u16string>{});
        }
    }
}

TEST(Files, OutputFileCannotOpenADirectoryOrAMissingFolder) {
    TempDirectory temp;
    platform::OutputFile file;
    const std::u16string sep(1, platform::kPathSeparator);
    for (const std::u16string& path : {temp.Path().u16string(), temp.Path().u16string() + sep,
                                       temp.Child(u"missing") + sep + u"r.csv"}) {
        EXPECT_FALSE(file.Open(path));
        EXPECT_FALSE(file.IsOpen());
    }
    // Nothing was opened, so nothing was written, and nothing was made.
    EXPECT_EQ(file.Commit(), platform::CommitResult::kNotWritten);
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::u16string>{});
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
