#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/core/TestQuery.h"

namespace {

namespace fs = std::filesystem;

constexpr char16_t kDefaultName[] = u"PC01_2016526_122008_URLs.csv";

class OutputPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::ResetPlatform();
        fake::Platform().currentDirectory = directory_.Path();
    }

    // Loaded, not resolved.
    TestQuery Make() const { return TestQuery(line_.Argc(), line_.argv.data()); }

    std::u16string In(std::u16string_view relative) const { return directory_.Join(relative); }

    TemporaryDirectory directory_;
    const CommandLine line_{TestQuery::NoResolution()};
};

// An absolute directory name of `length` units.
std::u16string DirectoryOfLength(std::size_t length) {
    std::u16string directory(length, u'd');
    directory.front() = platform::kPathSeparator;
    return directory;
}

struct PathCase {
    const char* what;
    // '/' is the separator; a leading "~/" stands for the temporary directory.
    std::u16string value;
    std::u16string resolved;
    bool result;
    std::vector<std::u16string> created;
};

TEST_F(OutputPathTest, ResolvesAsATable) {
    fs::create_directories(directory_.Root() / "reports");
    std::ofstream(directory_.Root() / "plain.txt") << "x";
    const std::u16string byDefault(kDefaultName);

    const std::vector<PathCase> cases = {
        {"no value: current directory, one separator, default name",
         u"",
         u"~/" + byDefault,
         true,
         {}},
        {"bare name", u"r.csv", u"~/r.csv", true, {}},
        {"existing directory", u"~/reports/r.csv", u"~/reports//r.csv", true, {}},
        {"existing directory, trailing separator",
         u"~/reports/",
         u"~/reports//" + byDefault,
         true,
         {}},
        {"missing directory, trailing separator",
         u"~/fresh/",
         u"~/fresh//" + byDefault,
         true,
         {u"~/fresh/"}},
        {"missing nested directories, level by level",
         u"~/a/b/c/r.csv",
         u"~/a/b/c//r.csv",
         true,
         {u"~/a/", u"~/a/b/", u"~/a/b/c/"}},
        {"relative directories below the current one",
         u"out/sub/r.csv",
         u"out/sub//r.csv",
         true,
         {u"out/", u"out/sub/"}},
        {"uncreatable: below a plain file",
         u"~/plain.txt/sub/r.csv",
         u"~/plain.txt/sub/r.csv/r.csv",
         false,
         {}},
        {"root", u"/r.csv", u"//r.csv", true, {}},
    };

    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Platform().createdDirectories.clear();
        const auto expand = [&](const std::u16string& text) {
            return text.starts_with(u"~/") ? In(text.substr(2)) : InProgramForm(text);
        };
        TestQuery query = Make();
        std::u16string path = expand(c.value);
        EXPECT_EQ(query.ResolveOutputPath(path), c.result);
        EXPECT_EQ(path, expand(c.resolved));
        std::vector<std::u16string> created;
        for (const std::u16string& directory : c.created) {
            created.push_back(expand(directory));
            EXPECT_TRUE(fs::is_directory(fs::path(created.back()))) << created.size();
        }
        EXPECT_EQ(fake::Platform().createdDirectories, created);
        EXPECT_EQ(fake::Platform().console, "");
    }
}

TEST_F(OutputPathTest, FirstFailingCreationEndsTheWalk) {
    fake::Platform().uncreatableDirectories = {In(u"x/y/")};
    TestQuery query = Make();
    std::u16string path = In(u"x/y/z/r.csv");
    EXPECT_FALSE(query.ResolveOutputPath(path));
    EXPECT_EQ(path, In(u"x/y/z/r.csv/r.csv"));
    EXPECT_EQ(fake::Platform().createdDirectories, std::vector<std::u16string>{In(u"x/")});
    EXPECT_FALSE(fs::exists(directory_.Root() / "x" / "y"));

    // Without a name the default one follows the whole value.
    path = In(u"x/y/");
    EXPECT_FALSE(query.ResolveOutputPath(path));
    EXPECT_EQ(path, In(u"x/y/") + platform::kPathSeparator + kDefaultName);
}

TEST_F(OutputPathTest, CreateDirectoryPathTellsWhetherTheLastLevelExists) {
    TestQuery query = Make();
    EXPECT_TRUE(query.CreateDirectoryPath(In(u"p/q/")));
    EXPECT_TRUE(fs::is_directory(directory_.Root() / "p" / "q"));
    EXPECT_TRUE(query.CreateDirectoryPath(In(u"p/q/")));
    EXPECT_FALSE(query.CreateDirectoryPath(u""));
}

TEST_F(OutputPathTest, ColonIsOrdinaryWhereDrivesAreUnknown) {
    TestQuery query = Make();
    std::u16string path = u"C:r.csv";
    const bool result = query.ResolveOutputPath(path);
    if (platform::kDriveRelativePaths) {
        EXPECT_FALSE(result);
        EXPECT_EQ(path, u"C:r.csv");
    } else {
        EXPECT_TRUE(result);
        EXPECT_EQ(path, In(u"C:r.csv"));
    }
}

TEST_F(OutputPathTest, CurrentDirectoryThatCannotBeUsedLeavesThePath) {
    struct Case {
        const char* what;
        bool fail;
        std::size_t length;
        bool result;
    };
    // 259 units fit the 260-unit buffer with the terminator, 260 do not.
    const Case cases[] = {
        {"query fails", true, 10, false},
        {"too long", false, 260, true},
        {"far too long", false, 1000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Platform().failCurrentDirectory = c.fail;
        fake::Platform().currentDirectory = DirectoryOfLength(c.length);
        TestQuery query = Make();
        for (const std::u16string value : {u"", u"r.csv"}) {
            std::u16string path = value;
            EXPECT_EQ(query.ResolveOutputPath(path), c.result);
            EXPECT_EQ(path, value);
        }
    }

    fake::Platform().failCurrentDirectory = false;
    const std::u16string longest = DirectoryOfLength(259);
    fake::Platform().currentDirectory = longest;
    TestQuery query = Make();
    std::u16string path = u"r.csv";
    EXPECT_TRUE(query.ResolveOutputPath(path));
    EXPECT_EQ(path, longest + platform::kPathSeparator + u"r.csv");
}

TEST_F(OutputPathTest, ConstructionResolvesTheOptionValue) {
    fake::Platform().currentDirectory = directory_.Path();
    {
        const CommandLine line({});
        const TestQuery query(line.Argc(), line.argv.data());
        EXPECT_EQ(query.GetOutputPath(), In(kDefaultName));
    }
    {
        fake::Platform().failCurrentDirectory = true;
        const CommandLine line({});
        const TestQuery query(line.Argc(), line.argv.data());
        EXPECT_FALSE(query.GetShowUsage());
        EXPECT_EQ(query.GetOutputPath(), u"");
    }
}

TEST_F(OutputPathTest, DefaultNameIsHostAndUnpaddedDateAndPaddedTime) {
    struct Case {
        SYSTEMTIME now;
        std::u16string name;
    };
    const Case cases[] = {
        {{2016, 5, 4, 26, 12, 20, 8, 345}, u"PC01_2016526_122008_URLs.csv"},
        {{2026, 1, 4, 1, 0, 0, 0, 0}, u"PC01_202611_000000_URLs.csv"},
        {{2016, 1, 5, 15, 9, 5, 7, 0}, u"PC01_2016115_090507_URLs.csv"},
        {{2016, 11, 6, 5, 23, 59, 59, 999}, u"PC01_2016115_235959_URLs.csv"},
        {{65535, 65535, 0, 65535, 65535, 65535, 65535, 0},
         u"PC01_655356553565535_655356553565535_URLs.csv"},
    };
    TestQuery query = Make();
    for (const Case& c : cases) {
        fake::Platform().localNow = c.now;
        EXPECT_EQ(query.MakeDefaultFileName(), c.name);
    }

    fake::Platform().computerName.reset();
    fake::Platform().localNow = cases[0].now;
    query.LoadHostName();
    EXPECT_EQ(query.MakeDefaultFileName(), u"HostName_2016526_122008_URLs.csv");
}

}  // namespace
