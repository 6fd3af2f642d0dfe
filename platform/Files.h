#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// The separator of the program's own path logic: the backslash on Windows,
// the slash on POSIX.
#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
// Only Windows knows drive-relative paths such as C:r.csv.
inline constexpr bool kDriveRelativePaths = true;
#else
inline constexpr char16_t kPathSeparator = u'/';
inline constexpr bool kDriveRelativePaths = false;
#endif

// PathFileExistsW: true for an existing file or directory.
bool PathExists(std::u16string_view path);

// CreateDirectoryW with default security: creates one directory.
bool MakeDirectory(std::u16string_view path);

// A file opened for binary writing (created if missing, truncated if present:
// _wfopen with "wb"). Writes go through the runtime's buffered stream; the
// file is closed when the object goes or by Close.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool Open(std::u16string_view path);
    bool IsOpen() const { return stream_ != nullptr; }
    void Write(const void* bytes, std::size_t size);
    // True when every write and the close succeeded.
    bool Close();

  private:
    // The stream's buffer, when the runtime needs one from us; freed after the
    // stream is closed.
    std::unique_ptr<char[]> buffer_;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
};

}  // namespace platform
