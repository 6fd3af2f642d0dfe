#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelodb {

struct Visit {
    std::string user;
    std::string url;
    std::int64_t timeMs = 0;
    bool allowed = false;
    std::vector<std::int32_t> categories;
};

// Reads one JSON Lines record:
//   {"user":"S-1-22-1-1000","url":"https://example.org/a?b=1",
//    "time":"2026-03-07T16:05:09.250Z","allowed":true,"categories":[42,0]}
// Exactly these five fields, each once: "user" a non-empty string, "url" a
// string (any Unicode, NULs included), "time" UTC as YYYY-MM-DDTHH:MM:SS with
// up to three fraction digits and Z (years 1601 to 9999), "allowed" a boolean,
// "categories" an array of 32-bit integers (kept in order). An unknown field
// is refused, since it is most likely a misspelt one. False with the reason
// in `error`.
bool ParseVisitLine(std::string_view line, Visit& visit, std::string& error);

}  // namespace kelodb
