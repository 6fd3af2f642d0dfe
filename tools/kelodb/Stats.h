#pragma once

#include <filesystem>
#include <ostream>

namespace kelodb {

// Prints one tab-separated line per user (SID, visits, oldest and newest visit
// as ISO 8601 UTC), users in SID order, then a "total" line. The datastore is
// opened read-only.
int PrintStats(const std::filesystem::path& path, std::ostream& out, std::ostream& err);

}  // namespace kelodb
