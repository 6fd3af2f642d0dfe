// Every allocation of a whole run, failed in turn (as SQLite's own tests fail
// each malloc): the program ends with the errors line and exit code 1 (or,
// where a callee copes, as a whole run), never an abort; the report is the old one or the complete
// new one, nothing is left beside it, and no object of the library stays alive.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Entry.h"
#include "tests/core/FailingAllocation.h"
#include "tests/core/TestQuery.h"
#include "tests/fakes/FakeObjectLibrary.h"
#include "tests/fakes/FakePlatform.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outcome {
    int code = 0;
    bool failedAnAllocation = false;
    std::string console;
    std::string report;
    std::size_t entries = 0;
};

Outcome RunFailingAt(long failAt, const std::filesystem::path& report) {
    fake::ResetPlatform();
    fake::ResetLibrary();
    fake::Platform().profiles = std::vector<std::u16string>{u"S-1-22-1-1000", u"S-1-22-1-1001"};
    fake::Platform().accounts = {{u"S-1-22-1-1000", u"Unix User", u"alice"}};
    fake::Library().defaultAnswer.result =
        fake::ResultMap({{fake::Text(u"S-1-22-1-1000"),
                          fake::UserMap({fake::Visit(u"https://a.example/", 46088.5, 1, {42, 3}),
                                         fake::Visit(u"https://b.example/", 46088.6, 0, {})})}});
    { std::ofstream(report, std::ios::binary) << "old"; }
    const std::u16string option = u"-o:" + report.u16string();
    const char16_t* const argv[] = {u"Ostrelin", option.c_str(), nullptr};

    Outcome outcome;
    failing_allocation::Arm(failAt);
    outcome.code = OstrelinMain(2, argv);
    outcome.failedAnAllocation = failing_allocation::Disarm();

    outcome.console = fake::Platform().console;
    outcome.report = ReadAll(report);
    for (const auto& entry : std::filesystem::directory_iterator(report.parent_path())) {
        static_cast<void>(entry);
        ++outcome.entries;
    }
    fake::ResetLibrary();
    return outcome;
}

TEST(OutOfMemory, EveryFailedAllocationEndsTheRunCleanly) {
    TemporaryDirectory directory;
    const std::filesystem::path report = directory.Root() / "r.csv";
    const Outcome whole = RunFailingAt(-1, report);
    ASSERT_EQ(whole.code, 0) << whole.console;
    ASSERT_FALSE(whole.failedAnAllocation);
    ASSERT_GT(whole.report.size(), 180u);

    long failAt = 0;
    for (;; ++failAt) {
        const Outcome outcome = RunFailingAt(failAt, report);
        if (!outcome.failedAnAllocation) {
            EXPECT_EQ(outcome.code, 0);
            EXPECT_EQ(outcome.report, whole.report);
            break;
        }
        SCOPED_TRACE("allocation " + std::to_string(failAt) + " failed");
        if (outcome.code == 0) {
            // A library call that met the failure and managed without (the
            // runtime's own file-system calls on Windows do): a whole run.
            EXPECT_EQ(outcome.console, whole.console);
            EXPECT_EQ(outcome.report, whole.report);
        } else {
            EXPECT_EQ(outcome.code, 1);
            EXPECT_TRUE(outcome.console.ends_with("Proccess finished whith errors\n"))
                << outcome.console;
            EXPECT_TRUE(outcome.report == "old" || outcome.report == whole.report);
        }
        EXPECT_EQ(outcome.entries, 1u);
        EXPECT_EQ(fake::Platform().openTemporaryFiles, 0);
        EXPECT_EQ(fake::LiveObjects(), 0) << fake::DescribeLiveObjects();
        if (HasFailure()) {
            break;
        }
    }
    // The run allocates: the loop above did fail some.
    EXPECT_GT(failAt, 10);
}

}  // namespace
