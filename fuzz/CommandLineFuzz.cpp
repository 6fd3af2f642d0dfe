// The command line and the report path: any arguments (any count, length and
// units) against any current directory, computer name, clock and in-memory
// file tree. The whole program runs over the fake platform and the fake
// object library, so nothing touches the disk.
//
// Checked beyond "no crash, no leak": the exit code agrees with the console's
// last line and with the report file; a report that is said to be written
// exists and starts with the mark and the header; the only directories made
// are prefixes of the -o: value; every object of the library is released.

#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "platform/Entry.h"
#include "platform/Text.h"
#include "tests/fakes/FakeObjectLibrary.h"
#include "tests/fakes/FakePlatform.h"

namespace {

constexpr std::u16string_view kSuccess = u"Proccess finished ok with output : ";
constexpr std::string_view kFailure = "Proccess finished whith errors\n";
constexpr std::string_view kHeader =
    "HOSTNAME,DATE,URL,USERNAME,ACTION,CATEGORY 1,CATEGORY 2,CATEGORY 3,CATEGORY 4,CATEGORY 5\n";

std::u16string Argument(FuzzedDataProvider& data) {
    const std::u16string prefix =
        fuzz::OneOf(data, {u"-d:", u"-o:", u"-o:/", u"-a", u"-h", u"-all", u"-D:", u"", u"-d: 7"});
    return prefix + fuzz::Text(data, 300);
}

// Adds `path` and all its parents to the in-memory directories.
void AddDirectory(const std::u16string& path) {
    const auto key = fake::MemoryPath(path);
    if (!key) {
        return;
    }
    for (std::size_t at = key->find(u'/', 1); at != std::u16string::npos;
         at = key->find(u'/', at + 1)) {
        fake::Platform().memoryDirectories.insert(key->substr(0, at));
    }
    fake::Platform().memoryDirectories.insert(*key);
}

void SetUpPlatform(FuzzedDataProvider& data) {
    fake::PlatformState& platform = fake::Platform();
    platform.inMemoryFiles = true;
    if (data.ConsumeBool()) {
        platform.computerName = fuzz::Text(data, 40);
    } else if (data.ConsumeBool()) {
        platform.computerName.reset();
    }
    platform.localNow = SYSTEMTIME{data.ConsumeIntegral<WORD>(), data.ConsumeIntegral<WORD>(),
                                   data.ConsumeIntegral<WORD>(), data.ConsumeIntegral<WORD>(),
                                   data.ConsumeIntegral<WORD>(), data.ConsumeIntegral<WORD>(),
                                   data.ConsumeIntegral<WORD>(), data.ConsumeIntegral<WORD>()};
    // Long enough to pass the 260-unit buffer now and then.
    platform.currentDirectory = u"/" + fuzz::Text(data, 300);
    platform.failCurrentDirectory = data.ConsumeIntegralInRange(0, 15) == 0;
    AddDirectory(*platform.currentDirectory);
    const int extraDirectories = data.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < extraDirectories; ++i) {
        AddDirectory(u"/" + fuzz::Text(data, 40));
    }
    const int files = data.ConsumeIntegralInRange(0, 2);
    for (int i = 0; i < files; ++i) {
        if (const auto key = fake::MemoryPath(u"/" + fuzz::Text(data, 40));
            key && platform.memoryDirectories.count(*key) == 0) {
            platform.memoryFiles[*key] = "old";
        }
    }
    std::vector<std::u16string> profiles;
    const int users = data.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < users; ++i) {
        profiles.push_back(fuzz::OneOf(data, {u"S-1-22-1-0", u"S-1-22-1-1000"}));
    }
    platform.profiles = profiles;
}

void SetUpLibrary(FuzzedDataProvider& data) {
    fake::LibraryState& library = fake::Library();
    if (data.ConsumeIntegralInRange(0, 7) == 0) {
        library.helperCode = static_cast<long>(E_FAIL);
    }
    library.defaultAnswer.result = fake::ResultMap({});
}

// A directory the program made must be a prefix of what -o: named.
bool IsPrefixOfAValue(const std::u16string& directory,
                      const std::vector<std::u16string>& arguments) {
    for (const std::u16string& argument : arguments) {
        if (argument.starts_with(u"-o:") && argument.substr(3).starts_with(directory)) {
            return true;
        }
    }
    return false;
}

void CheckOutcome(int code, const std::vector<std::u16string>& arguments) {
    const fake::PlatformState& platform = fake::Platform();
    const std::string& console = platform.console;
    for (const std::u16string& made : platform.createdDirectories) {
        fuzz::Check(IsPrefixOfAValue(made, arguments), "made a directory it was not asked for",
                    platform::Utf16ToUtf8(made));
    }
    if (console.starts_with("Ostrelin [-d:nDays]")) {
        fuzz::Check(code == 0, "usage text with a nonzero exit code");
        fuzz::Check(platform.createdDirectories.empty(), "usage text after making directories");
        return;
    }
    fuzz::Check(code == 0 || code == 1, "exit code neither 0 nor 1");
    if (code == 1) {
        fuzz::Check(console.ends_with(kFailure), "exit 1 without the failure line", console);
        return;
    }
    // Nothing printed before the line can hold its text; the path can.
    const std::u16string& wide = platform.wideConsole;
    const std::size_t at = wide.find(kSuccess);
    fuzz::Check(at != std::u16string::npos && wide.ends_with(u"\n"),
                "exit 0 without the success line", console);
    const std::u16string path =
        wide.substr(at + kSuccess.size(), wide.size() - at - kSuccess.size() - 1);
    const auto key = fake::MemoryPath(path);
    fuzz::Check(key && platform.memoryFiles.count(*key) != 0, "exit 0 but no report at the path",
                platform::Utf16ToUtf8(path));
    const std::string& report = platform.memoryFiles.at(*key);
    std::string expected = "\xFF\xFE";
    for (const char c : kHeader) {
        expected.push_back(c);
        expected.push_back('\0');
    }
    fuzz::Check(report == expected, "a report of no visits is not the mark and the header");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    fake::ResetPlatform();
    fake::ResetLibrary();
    SetUpPlatform(data);
    SetUpLibrary(data);

    std::vector<std::u16string> arguments;
    const int count = data.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Argument(data));
    }
    // Making one directory of the value fails, as in a read-only parent.
    if (data.ConsumeBool()) {
        for (const std::u16string& argument : arguments) {
            const std::size_t separator = argument.find(u'/', 4);
            if (argument.starts_with(u"-o:") && separator != std::u16string::npos) {
                fake::Platform().uncreatableDirectories.insert(argument.substr(3, separator - 2));
            }
        }
    }
    std::vector<const char16_t*> argv{u"Ostrelin"};
    for (const std::u16string& argument : arguments) {
        argv.push_back(argument.c_str());
    }

    const int code = OstrelinMain(static_cast<int>(argv.size()), argv.data());
    CheckOutcome(code, arguments);

    fake::ResetLibrary();
    fuzz::Check(fake::LiveObjects() == 0, "objects of the library left alive",
                fake::DescribeLiveObjects());
    return 0;
}
