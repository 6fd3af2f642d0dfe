// What only the Windows layer does: the real entry point and console output
// through a pipe, well-known accounts.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Accounts.h"
#include "platform/Files.h"
#include "platform/OleAuto.h"
#include "tests/platform/TempDirectory.h"

namespace {

// Closes a handle when it goes.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Reset(); }

    void Reset() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }
    HANDLE Get() const { return handle_; }
    HANDLE* Out() {
        Reset();
        return &handle_;
    }

  private:
    HANDLE handle_ = nullptr;
};

// The probe program beside this test executable.
std::wstring ProbePath() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"platform_entry_probe.exe";
}

// The real entry point: wmain hands over the UTF-16 command line; narrow and
// wide output keep their order and reach a pipe as UTF-8, each line feed as
// CR LF; the result is the exit code.
TEST(Win32Entry, ArgumentsConsoleAndExitCode) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle readEnd;
    Handle writeEnd;
    ASSERT_NE(CreatePipe(readEnd.Out(), writeEnd.Out(), &inherit, 0), 0);
    ASSERT_NE(SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0), 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);

    const std::wstring program = ProbePath();
    std::wstring commandLine =
        L"\"" + program + L"\" -o:r\u00E9port.csv \"a b\" \U0001F600 \"\" \u65E5\u672C";
    PROCESS_INFORMATION process{};
    ASSERT_NE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                             nullptr, nullptr, &startup, &process),
              0);
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    writeEnd.Reset();

    std::string text;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof buffer, &count, nullptr) != 0 && count > 0) {
        text.append(buffer, count);
    }
    ASSERT_EQ(WaitForSingleObject(processHandle.Get(), 60000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_NE(GetExitCodeProcess(processHandle.Get(), &exitCode), 0);

    EXPECT_EQ(text,
              "argc 6\r\n"
              "[-o:r\xC3\xA9port.csv]\r\n"
              "[a b]\r\n"
              "[\xF0\x9F\x98\x80]\r\n"
              "[]\r\n"
              "[\xE6\x97\xA5\xE6\x9C\xAC]\r\n"
              "end\r\n");
    EXPECT_EQ(exitCode, 42u);
}

TEST(Win32Accounts, WellKnownAccountsResolveAndUnknownOnesDoNot) {
    std::u16string domain;
    std::u16string name;
    ASSERT_TRUE(platform::LookupAccount(u"S-1-5-18", domain, name));
    EXPECT_EQ(domain, u"NT AUTHORITY");
    EXPECT_EQ(name, u"SYSTEM");

    // A well-formed SID of a domain nobody knows, and text that would name
    // SYSTEM if the system saw it only up to the NUL.
    const std::u16string unknown[] = {u"S-1-5-21-1-2-3-500", std::u16string(u"S-1-5-18\0x", 10)};
    for (const std::u16string& sid : unknown) {
        domain = u"kept";
        name = u"kept";
        EXPECT_FALSE(platform::LookupAccount(sid, domain, name));
        EXPECT_EQ(domain, u"kept");
        EXPECT_EQ(name, u"kept");
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::wstring> Names(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().wstring());
    }
    return names;
}

// While it is written, the report is a hidden file beside the old one; the
// move makes it the report, shown like any other file.
TEST(Win32Files, TheTemporaryFileIsHiddenAndTheMovedReportIsNot) {
    platform_test::TempDirectory temp;
    const std::filesystem::path path = temp.Path() / "r.csv";
    { std::ofstream(path, std::ios::binary) << "old"; }
    platform::OutputFile file;
    ASSERT_TRUE(file.Open(path.u16string()));
    file.Write("new", 3);
    std::vector<std::wstring> names = Names(temp.Path());
    ASSERT_EQ(names.size(), 2u);
    const std::wstring temporary = names[0] == L"r.csv" ? names[1] : names[0];
    EXPECT_TRUE(temporary.starts_with(L"r.csv.") && temporary.ends_with(L".tmp"));
    const DWORD attributes = GetFileAttributesW((temp.Path() / temporary).c_str());
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);

    EXPECT_EQ(file.Commit(), platform::CommitResult::kPlaced);
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(Names(temp.Path()), std::vector<std::wstring>{L"r.csv"});
}

// Another program holds the old report open without sharing its deletion:
// the move is refused, the old report stays and the temporary file goes.
TEST(Win32Files, AMoveRefusedLeavesTheOldReport) {
    platform_test::TempDirectory temp;
    const std::filesystem::path path = temp.Path() / "r.csv";
    { std::ofstream(path, std::ios::binary) << "old"; }
    Handle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(holder.Get(), INVALID_HANDLE_VALUE);
    platform::OutputFile file;
    ASSERT_TRUE(file.Open(path.u16string()));
    file.Write("new", 3);
    EXPECT_EQ(file.Commit(), platform::CommitResult::kCannotPlace);
    holder.Reset();
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Names(temp.Path()), std::vector<std::wstring>{L"r.csv"});
}

}  // namespace
