#include "objectlib/store/Statistics.h"

#include "objectlib/store/Sqlite.h"

namespace kelo {
namespace {

std::optional<std::int64_t> OptionalInteger(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return sqlite3_column_int64(statement, column);
}

}  // namespace

int ReadVisitStatistics(sqlite3* database, std::vector<VisitStatistics>& rows) {
    int status = SQLITE_OK;
    const Statement statement =
        Prepare(database,
                "SELECT * FROM (SELECT u.sid AS sid, count(v.id), min(v.time_ms), max(v.time_ms) "
                "FROM users u LEFT JOIN visits v ON v.user_id = u.id GROUP BY u.id "
                "UNION ALL SELECT NULL, count(*), min(time_ms), max(time_ms) FROM visits) "
                "ORDER BY sid IS NULL, sid",
                status);
    if (status != SQLITE_OK) {
        return status;
    }
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) {
        VisitStatistics row;
        if (const auto* sid =
                reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0))) {
            row.sid.emplace(sid,
                            static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), 0)));
        }
        row.visits = sqlite3_column_int64(statement.get(), 1);
        row.oldestMs = OptionalInteger(statement.get(), 2);
        row.newestMs = OptionalInteger(statement.get(), 3);
        rows.push_back(std::move(row));
    }
    return status == SQLITE_DONE ? SQLITE_OK : status;
}

}  // namespace kelo
