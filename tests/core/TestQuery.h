#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "app/CDataStoreQuery.h"
#include "platform/Files.h"
#include "tests/fakes/FakePlatform.h"

// The program class with its state in view; it adds no behaviour.
class TestQuery : public CDataStoreQuery {
  public:
    using CDataStoreQuery::CDataStoreQuery;

    // Built from the arguments after the program name.
    static std::vector<const char16_t*> Argv(const std::vector<std::u16string>& arguments) {
        std::vector<const char16_t*> argv{u"Ostrelin"};
        for (const std::u16string& argument : arguments) {
            argv.push_back(argument.c_str());
        }
        return argv;
    }

    // An object that has loaded everything but resolved no path (an
    // unrecognised argument sets the usage flag after the loads).
    static std::vector<std::u16string> NoResolution() { return {u"-x"}; }

    using CDataStoreQuery::allUsers;
    using CDataStoreQuery::categoryLists;
    using CDataStoreQuery::categoryNames;
    using CDataStoreQuery::days;
    using CDataStoreQuery::hostName;
    using CDataStoreQuery::mostSharedCategoryLists;
    using CDataStoreQuery::outputPath;
    using CDataStoreQuery::records;
    using CDataStoreQuery::showUsage;
    using CDataStoreQuery::users;
};

// Owns the argument strings so that the object can be built from them.
struct CommandLine {
    explicit CommandLine(std::vector<std::u16string> args)
        : arguments(std::move(args)), argv(TestQuery::Argv(arguments)) {}
    int Argc() const { return static_cast<int>(argv.size()); }

    std::vector<std::u16string> arguments;
    std::vector<const char16_t*> argv;
};

// '/' in a test value stands for the program's own separator.
inline std::u16string InProgramForm(std::u16string path) {
    for (char16_t& c : path) {
        if (c == u'/') {
            c = platform::kPathSeparator;
        }
    }
    return path;
}

// A fresh directory, made the current one for the life of the object.
class TemporaryDirectory {
  public:
    TemporaryDirectory() : previous_(std::filesystem::current_path()) {
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() /
                ("ostrelin-core-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(root_);
        std::filesystem::current_path(root_);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(root_, ignored);
    }

    const std::filesystem::path& Root() const { return root_; }
    // The directory in the program's form, no trailing separator.
    std::u16string Path() const { return root_.u16string(); }
    // The directory, a separator and `relative` (given with '/').
    std::u16string Join(std::u16string_view relative) const {
        return Path() + platform::kPathSeparator + InProgramForm(std::u16string(relative));
    }

  private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};
