#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelo {

// The visits of one user, or of the whole datastore (no SID), with the times
// of the oldest and newest in milliseconds since 1970 UTC (none without visits).
struct VisitStatistics {
    std::optional<std::string> sid;
    std::int64_t visits = 0;
    std::optional<std::int64_t> oldestMs;
    std::optional<std::int64_t> newestMs;
};

// Every user in SID order, then the whole datastore. SQLITE_OK, or the code
// of the failing read.
int ReadVisitStatistics(sqlite3* database, std::vector<VisitStatistics>& rows);

}  // namespace kelo
