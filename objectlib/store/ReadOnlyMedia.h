#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace kelo {

// Whether a journal beside the main file of `database`, its write-ahead log
// or a rollback journal, holds anything: SQLite's own test, which counts an
// empty file as none. Where one does, the main file alone is not the data.
bool HasJournalContent(sqlite3* database);

// Whether a failed first read of a datastore (`status`, an extended SQLite
// code) says only that SQLite could not make its -shm file there.
bool IsSharedMemoryRefusal(int status);

// A URI that opens the file at `fullPath` read-only as immutable: SQLite
// then needs no -shm file and takes no lock, and reads the main file alone.
// Right only where no journal holds anything (HasJournalContent).
std::string ImmutableUri(std::string_view fullPath);

}  // namespace kelo
