#pragma once

// The seam between the report file and the system: a new temporary file
// beside the report, then its move onto the report path or its removal. Each
// system implements these two functions; the core's tests replace them.

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// How a report's file ended.
enum class CommitResult {
    kPlaced,       // complete and synced, under its own name
    kNotWritten,   // a write, the flush or the sync failed; the path keeps what it held
    kCannotPlace,  // the move onto the path was refused; the path keeps what it held
};

namespace detail {

// Paths as the system takes them: UTF-8 on POSIX, UTF-16 on Windows.
#if defined(_WIN32)
using SystemPath = std::wstring;
#else
using SystemPath = std::string;
#endif

// Everything a finish needs is made with the file, so that finishing it, on
// any path and out of memory too, allocates nothing.
struct TemporaryFile {
    std::FILE* stream = nullptr;
    SystemPath path;    // the temporary file
    SystemPath target;  // the report path
    SystemPath folder;  // the folder of both, empty for the current one
};

// Makes a new, hidden file in the folder of `reportPath` and opens it for
// writing; false, with nothing made, when no report can be placed there.
// From now until the file is finished, an interrupting signal removes it.
bool CreateTemporaryFile(std::u16string_view reportPath, TemporaryFile& file);

// Closes the stream. With `complete`, flushes and syncs the file and moves it
// onto the report path; without, or when any step fails, removes it. Leaves
// `file` without a stream.
CommitResult FinishTemporaryFile(TemporaryFile& file, bool complete) noexcept;

}  // namespace detail
}  // namespace platform
