#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace kelo {

// Whether SQLite's write-ahead log beside the main file of `database` holds
// anything: SQLite's own test, which counts an empty file as none.
bool HasWalContent(sqlite3* database);

// A URI that opens the file at `fullPath` read-only as immutable: SQLite
// then needs no -shm file and takes no lock, and reads the main file alone.
// Right only where no -wal holds commits.
std::string ImmutableUri(std::string_view fullPath);

}  // namespace kelo
