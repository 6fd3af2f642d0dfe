#include "objectlib/store/SchemaMarks.h"

#include "objectlib/store/Sqlite.h"

namespace kelo {

int ReadInteger(sqlite3* database, const char* sql, std::int64_t& value) {
    int status = SQLITE_OK;
    const Statement statement = Prepare(database, sql, status);
    if (status != SQLITE_OK) {
        return status;
    }
    status = sqlite3_step(statement.get());
    if (status != SQLITE_ROW) {
        return status;
    }
    value = sqlite3_column_int64(statement.get(), 0);
    return SQLITE_OK;
}

int ReadSchemaMarks(sqlite3* database, SchemaMarks& marks) {
    const int status = ReadInteger(database, "PRAGMA application_id", marks.applicationId);
    return status != SQLITE_OK ? status
                               : ReadInteger(database, "PRAGMA user_version", marks.version);
}

std::string MarkSchemaSql() {
    return "PRAGMA application_id = " + std::to_string(kApplicationId) +
           "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
}

}  // namespace kelo
