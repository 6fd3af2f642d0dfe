#pragma once

#include <filesystem>
#include <string>

namespace kelo {

// The datastore file: the environment variable KELO_DATASTORE when it is set
// and not empty, else the product's default location: on Windows
// %ProgramData%\Kelo\datastore.db, on POSIX /var/lib/kelo/datastore.db.
std::filesystem::path DatastorePath();

// SQLite takes file names as UTF-8 on every system.
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace kelo
