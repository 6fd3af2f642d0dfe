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

struct TemporaryFile {
    std::FILE* stream = nullptr;
    // Its own path, in the program's spelling.
    std::u16string path;
};

// Makes a new, hidden file in the folder of `reportPath` and opens it for
// writing; false, with nothing made, when no report can be placed there.
// From now until the file is finished, an interrupting signal removes it.
bool CreateTemporaryFile(std::u16string_view reportPath, TemporaryFile& file);

// Closes the stream. With `complete`, flushes and syncs the file and moves it
// onto `reportPath`; without, or when any step fails, removes it.
CommitResult FinishTemporaryFile(TemporaryFile& file, std::u16string_view reportPath,
                                 bool complete);

}  // namespace detail
}  // namespace platform
