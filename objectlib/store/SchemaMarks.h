#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "objectlib/store/Schema.h"

namespace kelo {

// The first column of the first row `sql` gives. SQLITE_OK, or the code of
// the failing prepare or step (SQLITE_DONE when there is no row).
int ReadInteger(sqlite3* database, const char* sql, std::int64_t& value);

// What a file says it is, from the two numbers SQLite keeps in its header.
struct SchemaMarks {
    std::int64_t applicationId = 0;
    std::int64_t version = 0;

    bool IsUnmarked() const { return applicationId == 0; }
    bool IsDatastore() const {
        return applicationId == kApplicationId && version == kSchemaVersion;
    }
};

int ReadSchemaMarks(sqlite3* database, SchemaMarks& marks);

// The statements that mark a new file as a datastore of this version.
std::string MarkSchemaSql();

}  // namespace kelo
