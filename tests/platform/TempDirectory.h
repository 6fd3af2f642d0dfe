#pragma once

// A fresh directory under the system's temporary folder, removed with all
// its content when the object goes.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform_test {

class TempDirectory {
  public:
    TempDirectory() {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("ostrelin-platform-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(path_);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& Path() const { return path_; }
    // `name` below the directory, as the program's own UTF-16 text.
    std::u16string Child(const std::u16string& name) const { return (path_ / name).u16string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace platform_test
