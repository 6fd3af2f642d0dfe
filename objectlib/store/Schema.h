#pragma once

#include <cstdint>

namespace kelo {

// A datastore is a SQLite file (WAL journal) marked with this application id
// and schema version; anything else is refused rather than guessed at.
inline constexpr std::int32_t kApplicationId = 0x4B454C4F;  // "KELO"
inline constexpr std::int32_t kSchemaVersion = 1;

// Users by SID text; visits with their time in milliseconds since 1970 UTC,
// allowed 0 or 1, the URL as UTF-8 text (any characters, NULs included) and
// the categories as decimal numbers joined by commas, in their order. The index
// serves every query: one user's visits in time order.
inline constexpr char kSchemaSql[] = R"sql(
CREATE TABLE users (
    id  INTEGER PRIMARY KEY,
    sid TEXT NOT NULL UNIQUE
) STRICT;
CREATE TABLE visits (
    id         INTEGER PRIMARY KEY,
    user_id    INTEGER NOT NULL REFERENCES users (id),
    time_ms    INTEGER NOT NULL,
    allowed    INTEGER NOT NULL CHECK (allowed IN (0, 1)),
    url        TEXT NOT NULL,
    categories TEXT NOT NULL
) STRICT;
CREATE INDEX visits_by_user_time ON visits (user_id, time_ms);
)sql";

}  // namespace kelo
