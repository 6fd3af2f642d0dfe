#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/core/TestQuery.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<unsigned char>;

const std::u16string kHeader =
    u"HOSTNAME,DATE,URL,USERNAME,ACTION,CATEGORY 1,CATEGORY 2,CATEGORY 3,CATEGORY 4,CATEGORY 5\n";

// The byte order mark, then each code unit low byte first.
Bytes Encoded(std::u16string_view text) {
    Bytes bytes{0xFF, 0xFE};
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names a record keeps of `names`: the first five, in a list that lasts
// as long as the tests.
RecordCategories Categories(const std::vector<std::u16string_view>& names) {
    static std::deque<CategoryNameList> lists;
    CategoryNameList& kept = lists.emplace_back();
    for (const std::u16string_view name : names) {
        kept.Add(name);
    }
    return RecordCategories(&kept);
}

CUrlRecord Record(const std::vector<std::u16string_view>& categories) {
    return {u"\"https://example.org/a\"", u"3/7/2026 4:05:09 PM", u"Unix User\\alice", u"ALLOWED",
            Categories(categories)};
}

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::ResetPlatform(); }

    // Loaded, writing to report.csv in the temporary directory.
    std::unique_ptr<TestQuery> Make() const {
        auto query = std::make_unique<TestQuery>(line_.Argc(), line_.argv.data());
        query->outputPath = Path();
        return query;
    }
    fs::path File() const { return directory_.Root() / "report.csv"; }
    std::u16string Path() const { return File().u16string(); }

    TemporaryDirectory directory_;
    const CommandLine line_{TestQuery::NoResolution()};
};

TEST_F(ReportTest, NoRecordIsTheHeaderAlone) {
    const auto query = Make();
    ASSERT_TRUE(query->WriteReport());
    const Bytes bytes = ReadAll(File());
    ASSERT_EQ(bytes.size(), 180u);
    EXPECT_EQ(bytes, Encoded(kHeader));
    // Literal bytes: the mark, "HO", and a lone line feed at the end.
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0xFF, 0xFE, 'H', 0, 'O', 0}));
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{'5', 0, '\n', 0}));
    EXPECT_EQ(fake::Platform().console, "");
}

TEST_F(ReportTest, RowsHaveTenValuesEachFollowedByAComma) {
    struct Case {
        const char* what;
        std::vector<std::u16string_view> categories;
        std::u16string row;
    };
    const std::u16string start =
        u"PC01,3/7/2026 4:05:09 PM,\"https://example.org/a\",Unix User\\alice,ALLOWED,";
    const Case cases[] = {
        {"no category", {}, start + u",,,,,\n"},
        {"two", {u"News", u"Malware"}, start + u"News,Malware,,,,\n"},
        {"five", {u"a", u"b", u"c", u"d", u"e"}, start + u"a,b,c,d,e,\n"},
        {"seven: the first five",
         {u"a", u"b", u"c", u"d", u"e", u"f", u"g"},
         start + u"a,b,c,d,e,\n"},
        {"empty name in the middle", {u"News", u"", u"Malware"}, start + u"News,,Malware,,,\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto query = Make();
        query->records = {Record(c.categories)};
        ASSERT_TRUE(query->WriteReport());
        EXPECT_EQ(ReadAll(File()), Encoded(kHeader + c.row));
    }
}

TEST_F(ReportTest, ValuesAreWrittenUnchanged) {
    const auto query = Make();
    query->hostName = u"PC,01";
    query->records = {
        {u"\"https://e.org/?q=a,b&t=\"x\"\"", u"", u"Dom,ain\\us\"er", u"DENIED",
         Categories({u"A, \"B\""})},
        // Outside the Basic Multilingual Plane: U+1F600 is D83D DE00.
        {u"\"https://e.org/\U0001F600\u00E9\"", u" 4:05:09 PM", u"ALL", u"ALLOWED",
         Categories({u"\U00010348"})},
        {u"\"a\nb\"", u"3/7/2026", u"No user found", u"ALLOWED", {}},
    };
    ASSERT_TRUE(query->WriteReport());
    const std::u16string expected =
        kHeader +
        u"PC,01,,\"https://e.org/?q=a,b&t=\"x\"\",Dom,ain\\us\"er,DENIED,A, \"B\",,,,,\n"
        u"PC,01, 4:05:09 PM,\"https://e.org/\U0001F600\u00E9\",ALL,ALLOWED,\U00010348,,,,,\n"
        u"PC,01,3/7/2026,\"a\nb\",No user found,ALLOWED,,,,,,\n";
    const Bytes bytes = ReadAll(File());
    EXPECT_EQ(bytes, Encoded(expected));
    const Bytes smiley{0x3D, 0xD8, 0x00, 0xDE, 0xE9, 0x00, '"', 0};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), smiley.begin(), smiley.end()), bytes.end());
}

TEST_F(ReportTest, LongValuesAndManyRowsCrossTheBufferIntact) {
    const auto query = Make();
    std::u16string url = u"\"";
    for (std::size_t i = 0; i < 100'000; ++i) {
        url.push_back(static_cast<char16_t>(0x100 + i % 0xD000));
    }
    url += u"\"";
    query->records.push_back({url, u"d", u"u", u"ALLOWED", {}});
    std::u16string expected = kHeader + u"PC01,d," + url + u",u,ALLOWED,,,,,,\n";
    std::deque<std::u16string> texts;  // what the records refer to
    for (int i = 0; i < 5000; ++i) {
        const std::u16string& n = texts.emplace_back(1, static_cast<char16_t>(u'0' + i % 10));
        const std::u16string& quoted = texts.emplace_back(u"\"" + n + u"\"");
        query->records.push_back({quoted, n, n, u"DENIED", Categories({n, n})});
        expected += u"PC01," + n + u",\"" + n + u"\"," + n + u",DENIED," + n + u"," + n + u",,,,\n";
    }
    ASSERT_TRUE(query->WriteReport());
    EXPECT_EQ(ReadAll(File()), Encoded(expected));
}

TEST_F(ReportTest, ExistingFileIsReplaced) {
    std::ofstream(File(), std::ios::binary) << std::string(1000, 'x');
    const auto query = Make();
    ASSERT_TRUE(query->WriteReport());
    EXPECT_EQ(ReadAll(File()), Encoded(kHeader));
}

TEST_F(ReportTest, UnopenablePathIsReportedAndFails) {
    fs::create_directory(directory_.Root() / "folder");
    const std::u16string paths[] = {
        directory_.Join(u"folder"),
        directory_.Join(u"missing/report.csv"),
    };
    for (const std::u16string& path : paths) {
        fake::ResetPlatform();
        const auto query = Make();
        query->outputPath = path;
        query->records = {Record({})};
        EXPECT_FALSE(query->WriteReport());
        EXPECT_EQ(fake::Platform().wideConsole, u"Failure opening " + path + u" file");
        EXPECT_EQ(fake::Platform().narrowConsole, "");
        EXPECT_EQ(fake::Platform().openTemporaryFiles, 0);
    }
    EXPECT_TRUE(fs::is_directory(directory_.Root() / "folder"));
    EXPECT_FALSE(fs::exists(directory_.Root() / "missing"));
}

TEST_F(ReportTest, AReportNotFinishedKeepsTheOldOne) {
    struct Case {
        const char* what;
        platform::CommitResult finish;
        std::u16string console;
    };
    const Case cases[] = {
        {"a write or the sync fails", platform::CommitResult::kNotWritten, u""},
        {"the move is refused", platform::CommitResult::kCannotPlace,
         u"Failure opening " + Path() + u" file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::ResetPlatform();
        std::ofstream(File(), std::ios::binary) << "old";
        fake::Platform().finishFailure = c.finish;
        const auto query = Make();
        query->records = {Record({u"News"})};
        EXPECT_FALSE(query->WriteReport());
        EXPECT_EQ(fake::Platform().wideConsole, c.console);
        EXPECT_EQ(ReadAll(File()), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(fake::Platform().openTemporaryFiles, 0);
        EXPECT_EQ(
            std::distance(fs::directory_iterator(directory_.Root()), fs::directory_iterator()), 1);
    }
}

}  // namespace
