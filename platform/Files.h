#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/common/TemporaryFile.h"

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

// A report file written whole or not at all. Open makes a new temporary file
// in the path's folder (never opening what is at the path: a link, a FIFO, the
// old report); writes go through the runtime's buffered stream; Commit moves
// the complete file onto the path. Until then, and on every failure, the path
// keeps what it held; the temporary file is removed by a failure, by Discard,
// when the object goes, and when an interrupting signal (a console control
// event on Windows) ends the process.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // False when no report can be placed at `path` (its folder is missing or
    // takes no new file, the path names a directory); nothing is made then.
    bool Open(std::u16string_view path);
    bool IsOpen() const { return temporary_.stream != nullptr; }
    void Write(const void* bytes, std::size_t size);
    CommitResult Commit();
    void Discard();

  private:
    detail::TemporaryFile temporary_;
    // The stream's buffer, when the runtime needs one from us; freed after the
    // stream is closed.
    std::unique_ptr<char[]> buffer_;
    bool failed_ = false;
};

}  // namespace platform
