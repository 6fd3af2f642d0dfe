// What only the POSIX layer does, and the Windows rules Wine does not follow
// (so the shared tables leave them out).

#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Accounts.h"
#include "platform/Clock.h"
#include "platform/DateText.h"
#include "platform/Files.h"
#include "platform/OleAuto.h"
#include "platform/Profiles.h"
#include "platform/SystemInfo.h"
#include "platform/Text.h"
#include "tests/platform/TempDirectory.h"
#include "tests/platform/TimeSupport.h"

extern char** environ;

namespace {

using platform_test::Describe;
using platform_test::kFails;
using platform_test::Time;

std::u16string CurrentUserSid() {
    return u"S-1-22-1-" + platform::Utf8ToUtf16(std::to_string(getuid()));
}

TEST(PosixAccounts, CurrentUserIsAUnixUser) {
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr) << "the current user is not in the user database";
    std::u16string domain;
    std::u16string name;
    ASSERT_TRUE(platform::LookupAccount(CurrentUserSid(), domain, name));
    EXPECT_EQ(domain, u"Unix User");
    EXPECT_EQ(name, platform::Utf8ToUtf16(entry->pw_name));
}

TEST(PosixAccounts, OnlyTheStrictFormResolves) {
    const std::u16string uid = platform::Utf8ToUtf16(std::to_string(getuid()));
    const std::u16string malformed[] = {
        u"S-1-22-1-",
        u"S-1-22-1-" + uid + u" ",
        u"S-1-22-1-" + uid + u"x",
        u" S-1-22-1-" + uid,
        u"s-1-22-1-" + uid,
        u"S-1-22-2-" + uid,
        u"S-1-22-1-+" + uid,
        u"S-1-22-1--" + uid,
        u"S-1-22-1-4294967296",
        u"S-1-22-1-99999999999999999999999",
        u"S-1-22-1-\uFF10",  // a fullwidth digit
    };
    for (const std::u16string& sid : malformed) {
        std::u16string domain = u"kept";
        std::u16string name = u"kept";
        EXPECT_FALSE(platform::LookupAccount(sid, domain, name)) << platform::Utf16ToUtf8(sid);
        EXPECT_EQ(domain, u"kept");
        EXPECT_EQ(name, u"kept");
    }
}

TEST(PosixProfiles, ListHoldsTheCurrentUserInTheUnixUserForm) {
    const std::unique_ptr<platform::ProfileList> list = platform::ProfileList::Open();
    ASSERT_NE(list, nullptr);
    bool foundCurrentUser = false;
    std::u16string name;
    for (std::uint32_t index = 0; list->EnumName(index, name, 256) == platform::kProfileEnumOk;
         ++index) {
        const std::string text = platform::Utf16ToUtf8(name);
        ASSERT_EQ(text.rfind("S-1-22-1-", 0), 0u) << text;
        ASSERT_EQ(text.find_first_not_of("0123456789", 9), std::string::npos) << text;
        foundCurrentUser = foundCurrentUser || name == CurrentUserSid();
    }
    EXPECT_TRUE(foundCurrentUser);
}

TEST(PosixSystemInfo, ComputerNameIsTheFirstLabelOfTheHostName) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string expected(host);
    expected = expected.substr(0, expected.find('.'));
    std::u16string name;
    ASSERT_TRUE(platform::ReadComputerName(name, 200));
    EXPECT_EQ(name, platform::Utf8ToUtf16(expected));
}

TEST(PosixSystemInfo, RemovedCurrentDirectoryReadsAsFailure) {
    const std::filesystem::path saved = std::filesystem::current_path();
    std::optional<platform_test::TempDirectory> temp(std::in_place);
    const std::filesystem::path gone = temp->Path() / "gone";
    std::filesystem::create_directory(gone);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    std::filesystem::remove(gone);

    std::u16string directory = u"kept";
    const std::uint32_t result = platform::ReadCurrentDirectory(directory, 260);
    ASSERT_EQ(chdir(saved.c_str()), 0);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(directory, u"kept");
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A report of the longest name the system takes still gets its temporary
// file: the name in it is cut, at a character's start.
TEST(PosixFiles, TheLongestReportNameStillHasATemporaryFile) {
    for (const std::string& name :
         {std::string(255, 'n'),
          std::string(240, 'n') + "\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9a",
          std::string("r.csv")}) {
        SCOPED_TRACE(name.size());
        platform_test::TempDirectory temp;
        const std::filesystem::path path = temp.Path() / name;
        platform::OutputFile file;
        ASSERT_TRUE(file.Open(platform::Utf8ToUtf16(path.string())));
        file.Write("new", 3);
        const std::vector<std::string> during = Names(temp.Path());
        ASSERT_EQ(during.size(), 1u);
        const std::string& temporary = during[0];
        EXPECT_LE(temporary.size(), 255u);
        EXPECT_TRUE(temporary.starts_with("." + name.substr(0, temporary.size() - 12)));
        // Valid UTF-8: no character was cut in two.
        EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16(temporary)), temporary);
        EXPECT_EQ(file.Commit(), platform::CommitResult::kPlaced);
        EXPECT_EQ(ReadFile(path), "new");
        EXPECT_EQ(Names(temp.Path()), std::vector<std::string>{name});
    }
}

// A file-size limit refuses writes as a full disk does (and, were SIGXFSZ
// not ignored meanwhile, would kill the process).
TEST(PosixFiles, AFailedWriteLeavesTheOldReportAndNoTemporaryFile) {
    platform_test::TempDirectory temp;
    const std::filesystem::path path = temp.Path() / "r.csv";
    { std::ofstream(path, std::ios::binary) << "old"; }
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    platform::CommitResult result = platform::CommitResult::kPlaced;
    {
        platform::OutputFile file;
        if (file.Open(path.u16string())) {
            const std::string chunk(100 * 1024, 'n');
            file.Write(chunk.data(), chunk.size());
            file.Write(chunk.data(), chunk.size());
            result = file.Commit();
        }
    }
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(result, platform::CommitResult::kNotWritten);
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Names(temp.Path()), std::vector<std::string>{"r.csv"});
}

// In a child: the report is being written when the signal comes. The handler
// removes the temporary file and the child ends by that signal; a signal the
// process ignored stays ignored, and the report is then placed.
TEST(PosixFiles, AnInterruptingSignalRemovesTheTemporaryFile) {
    struct Case {
        int signal;
        bool ignoredBefore;
    };
    for (const Case c :
         {Case{SIGINT, false}, Case{SIGTERM, false}, Case{SIGHUP, false}, Case{SIGQUIT, false},
          Case{SIGPIPE, false}, Case{SIGXCPU, false}, Case{SIGALRM, false}, Case{SIGHUP, true}}) {
        SCOPED_TRACE(strsignal(c.signal));
        platform_test::TempDirectory temp;
        const std::filesystem::path path = temp.Path() / "r.csv";
        { std::ofstream(path, std::ios::binary) << "old"; }
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};  // SIGQUIT and SIGXCPU would dump one
            setrlimit(RLIMIT_CORE, &noCore);
            signal(c.signal, c.ignoredBefore ? SIG_IGN : SIG_DFL);
            platform::OutputFile file;
            if (!file.Open(path.u16string())) {
                _exit(10);
            }
            file.Write("new", 3);
            raise(c.signal);
            _exit(file.Commit() == platform::CommitResult::kPlaced ? 0 : 11);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (c.ignoredBefore) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_EQ(ReadFile(path), "new");
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
            EXPECT_EQ(ReadFile(path), "old");
        }
        EXPECT_EQ(Names(temp.Path()), std::vector<std::string>{"r.csv"});
    }
}

// Sets TZ for the time of a test and puts the old value back.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            saved_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ZoneGuard(const ZoneGuard&) = delete;
    ZoneGuard& operator=(const ZoneGuard&) = delete;
    ~ZoneGuard() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> saved_;
};

std::string ToLocal(const SYSTEMTIME& utc) {
    SYSTEMTIME local{};
    return platform::UtcToLocal(utc, local) ? Describe(local) : kFails;
}

std::string ToUtc(const SYSTEMTIME& local) {
    SYSTEMTIME utc{};
    return platform::LocalToUtc(local, utc) ? Describe(utc) : kFails;
}

TEST(PosixTimeZone, ConversionsFollowTzChangesInProcess) {
    const SYSTEMTIME utc = Time(2026, 3, 7, 16, 5, 9, 250);
    {
        ZoneGuard zone("Asia/Tokyo");
        EXPECT_EQ(ToLocal(utc), "2026-03-08 01:05:09.250 w0");
        EXPECT_EQ(ToUtc(Time(2026, 3, 8, 1, 5, 9, 250)), "2026-03-07 16:05:09.250 w6");
    }
    {
        ZoneGuard zone("UTC0");
        EXPECT_EQ(ToLocal(utc), "2026-03-07 16:05:09.250 w6");
    }
    {
        // A rule given in TZ itself rather than by zone file.
        ZoneGuard zone("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(ToLocal(utc), "2026-03-07 11:05:09.250 w6");
        EXPECT_EQ(ToUtc(Time(2026, 3, 8, 2, 30)), "2026-03-08 06:30:00.000 w0");
        EXPECT_EQ(ToUtc(Time(2026, 11, 1, 1, 30)), "2026-11-01 05:30:00.000 w0");
    }
    {
        // A southern zone: daylight time spans the turn of the year.
        ZoneGuard zone("Australia/Sydney");
        EXPECT_EQ(ToLocal(Time(2026, 1, 15)), "2026-01-15 11:00:00.000 w4");
        // 2026-04-05 03:00 daylight time goes back to 02:00 standard time.
        EXPECT_EQ(ToUtc(Time(2026, 4, 5, 2, 30)), "2026-04-04 15:30:00.000 w6");
        EXPECT_EQ(ToUtc(Time(2026, 4, 5, 3, 0)), "2026-04-04 17:00:00.000 w6");
        // 2026-10-04 02:00 standard time jumps to 03:00 daylight time.
        EXPECT_EQ(ToUtc(Time(2026, 10, 4, 2, 30)), "2026-10-03 15:30:00.000 w6");
    }
}

// Like every POSIX program, the conversions follow TZ as it is when they run,
// also when nobody called tzset after changing it.
TEST(PosixTimeZone, ConversionsFollowTzWithoutTzset) {
    const SYSTEMTIME utc = Time(2026, 3, 7, 16, 5, 9, 250);
    ZoneGuard zone("Asia/Tokyo");
    EXPECT_EQ(ToLocal(utc), "2026-03-08 01:05:09.250 w0");
    for (int round = 0; round < 2; ++round) {
        setenv("TZ", "UTC0", 1);
        EXPECT_EQ(ToLocal(utc), "2026-03-07 16:05:09.250 w6");
        EXPECT_EQ(ToUtc(Time(2026, 3, 7, 16, 5, 9, 250)), "2026-03-07 16:05:09.250 w6");
        setenv("TZ", "Asia/Tokyo", 1);
        EXPECT_EQ(ToLocal(utc), "2026-03-08 01:05:09.250 w0");
    }
}

// Runs of nearby instants, as a log's visits come, across a change that
// falls inside an hour of UTC: Lord Howe Island moves from +10:30 to +11 at
// 2026-10-03 15:30 UTC.
TEST(PosixTimeZone, NearbyInstantsAcrossAChangeWithinAnHour) {
    ZoneGuard zone("Australia/Lord_Howe");
    const struct {
        SYSTEMTIME utc;
        const char* local;
    } cases[] = {
        {Time(2026, 10, 3, 15, 10), "2026-10-04 01:40:00.000 w0"},
        {Time(2026, 10, 3, 15, 29, 59), "2026-10-04 01:59:59.000 w0"},
        {Time(2026, 10, 3, 15, 30), "2026-10-04 02:30:00.000 w0"},
        {Time(2026, 10, 3, 15, 45), "2026-10-04 02:45:00.000 w0"},
        {Time(2026, 10, 3, 15, 10), "2026-10-04 01:40:00.000 w0"},
        {Time(2026, 10, 3, 16, 10), "2026-10-04 03:10:00.000 w0"},
        {Time(2026, 10, 3, 16, 59, 59), "2026-10-04 03:59:59.000 w0"},
        {Time(2026, 10, 3, 14, 59, 59), "2026-10-04 01:29:59.000 w0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToLocal(c.utc), c.local) << Describe(c.utc);
    }
}

// Results must again lie in 1601 through 30827 (Wine 8 lets 30828 through).
TEST(PosixTimeZone, ResultsPast30827Fail) {
    {
        ZoneGuard zone("Asia/Tokyo");
        EXPECT_EQ(ToLocal(Time(30827, 12, 31, 14, 59, 59)), "30827-12-31 23:59:59.000 w5");
        EXPECT_EQ(ToLocal(Time(30827, 12, 31, 15)), kFails);
    }
    {
        ZoneGuard zone("America/New_York");
        EXPECT_EQ(ToUtc(Time(30827, 12, 31, 18, 59, 59)), "30827-12-31 23:59:59.000 w5");
        EXPECT_EQ(ToUtc(Time(30827, 12, 31, 19)), kFails);
    }
}

// Windows rejects these days and years; Wine 8 rolls them on.
TEST(PosixWindowsRules, DaysPastTheMonthAndYear30828AreInvalid) {
    const SYSTEMTIME invalid[] = {Time(2026, 2, 29), Time(2100, 2, 29), Time(1900, 2, 29),
                                  Time(30828, 1, 1)};
    for (const SYSTEMTIME& time : invalid) {
        FILETIME fileTime{};
        EXPECT_FALSE(platform::SystemTimeToFileTimeUnits(time, fileTime)) << Describe(time);
        std::u16string text = u"kept";
        EXPECT_FALSE(platform::FormatShortDate(time, text, 200)) << Describe(time);
        EXPECT_EQ(text, u"kept");
        EXPECT_EQ(ToUtc(time), kFails);
        EXPECT_EQ(ToLocal(time), kFails);
    }
    std::u16string text;
    EXPECT_TRUE(platform::FormatShortDate(Time(2000, 2, 29), text, 200));
    EXPECT_EQ(text, u"2/29/2000");
}

TEST(PosixWindowsRules, DateTextNeedsABuffer) {
    std::u16string text = u"kept";
    EXPECT_FALSE(platform::FormatShortDate(Time(2026, 3, 7), text, 0));
    EXPECT_FALSE(platform::FormatLongTime(Time(2026, 3, 7), text, 0));
    EXPECT_EQ(text, u"kept");
}

std::string VariantToSystemTime(double date) {
    SYSTEMTIME time{};
    return VariantTimeToSystemTime(date, &time) == 1 ? Describe(time) : kFails;
}

double VariantOf(const SYSTEMTIME& time) {
    double date = -12345.0;
    EXPECT_EQ(SystemTimeToVariantTime(&time, &date), 1) << Describe(time);
    return date;
}

// Wine 8 rolls November into January and keeps the weekday of the day
// before a carry; the date that follows is what the rules give.
TEST(PosixVariantTime, CarriesLandOnTheNextDayWithItsWeekday) {
    const double lastSecond = 1.0 / 86400.0 * 0.3;
    EXPECT_EQ(VariantToSystemTime(0.99999999), "1899-12-31 00:00:00.000 w0");
    EXPECT_EQ(VariantToSystemTime(-1.999999), "1899-12-30 00:00:00.000 w6");
    EXPECT_EQ(VariantToSystemTime(VariantOf(Time(1980, 12, 1)) - lastSecond),
              "1980-12-01 00:00:00.000 w1");
    EXPECT_EQ(VariantToSystemTime(VariantOf(Time(1981, 1, 1)) - lastSecond),
              "1981-01-01 00:00:00.000 w4");
    EXPECT_EQ(VariantToSystemTime(VariantOf(Time(1980, 3, 1)) - lastSecond),
              "1980-03-01 00:00:00.000 w6");
    EXPECT_DOUBLE_EQ(VariantOf(Time(2026, 11, 31)), VariantOf(Time(2026, 12, 1)));
    EXPECT_DOUBLE_EQ(VariantOf(Time(2026, 11, 30, 24)), VariantOf(Time(2026, 12, 1)));
}

TEST(PosixVariantTime, NotANumberIsNoDate) {
    SYSTEMTIME time{};
    EXPECT_EQ(VariantTimeToSystemTime(std::numeric_limits<double>::quiet_NaN(), &time), 0);
}

// The real entry point: arguments arrive as UTF-8 and are converted once,
// invalid bytes as U+FFFD; narrow and wide output keep their order; the
// result is the exit code.
TEST(PosixEntry, ArgumentsConsoleAndExitCode) {
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addclose(&actions, output[1]);

    std::string program = OSTRELIN_ENTRY_PROBE;
    std::vector<std::string> arguments = {program,
                                          "-o:r\xC3\xA9port.csv",
                                          "a\xFF"
                                          "b",
                                          "\xE2\x82",
                                          "\xF0\x9F\x98\x80",
                                          ""};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    ASSERT_EQ(spawned, 0);

    std::string text;
    char buffer[4096];
    for (ssize_t count; (count = read(output[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    close(output[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    EXPECT_EQ(text,
              "argc 6\n"
              "[-o:r\xC3\xA9port.csv]\n"
              "[a\xEF\xBF\xBD"
              "b]\n"
              "[\xEF\xBF\xBD]\n"
              "[\xF0\x9F\x98\x80]\n"
              "[]\n"
              "end\n");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42);
}

}  // namespace
