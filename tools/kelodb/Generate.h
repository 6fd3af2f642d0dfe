#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "objectlib/store/Writer.h"

namespace kelodb {

struct GenerateOptions {
    std::uint64_t visits = 0;
    std::vector<std::string> users;
    int days = 365;
    std::uint64_t seed = 1;
    // The visits lie in the `days` whole days before this instant.
    std::int64_t endMs = 0;
};

// 00:00:00.000 UTC of the current day: `generate` fills the days before it, so
// the same command gives the same datastore all day long.
std::int64_t StartOfTodayUtcMs();

// Adds `visits` realistic visits in one transaction, the same ones for the
// same options: sites with their own categories (zero to six numbers of the
// product's table, now and then one it does not list), paths and query
// strings, busy evening hours, users of unequal activity, mostly allowed but
// mostly denied on sites of blocked categories. Stored in time order, as a
// product's log grows.
int GenerateVisits(kelo::DatastoreWriter& writer, const GenerateOptions& options, std::ostream& out,
                   std::ostream& err);

}  // namespace kelodb
