#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "platform/OleAuto.h"

namespace kelo {

// What a query map asks for.
struct Query {
    // One user's SID text; nullopt for "ALL".
    std::optional<std::u16string> user;
    // At most this many visits in the whole answer; nullopt for no limit.
    std::optional<std::uint32_t> maxResults;
    // The window, both ends inclusive; unbounded without "dateTimeFilters".
    std::int64_t startMs = std::numeric_limits<std::int64_t>::min();
    std::int64_t endMs = std::numeric_limits<std::int64_t>::max();
};

// Reads a query map (a VT_DISPATCH IVariantMap, of any implementation) into
// `query`. Keys and values must be exactly those of the query language:
//   "command" "query", "queryType" "urls", "countersType" "total" (required),
//   "user" any text, "ALL" for every user (required),
//   "maxResults" decimal digits of a number up to 4294967295 (optional),
//   "dateTimeFilters" a map whose only key "All" holds one of the library's
//   date-time filters with both ends set (optional; an empty map filters
//   nothing).
// Anything else is refused with one of the kQuery... codes or the code of a
// failing call of the map.
HRESULT ParseQuery(const VARIANT& map, Query& query);

}  // namespace kelo
