#include "tools/kelodb/Stats.h"

#include <string>
#include <string_view>

#include "objectlib/store/Location.h"
#include "objectlib/store/Schema.h"
#include "objectlib/store/Sqlite.h"
#include "objectlib/store/UtcTime.h"
#include "tools/kelodb/Import.h"

namespace kelodb {
namespace {

std::string TimeText(sqlite3_stmt* statement, int column) {
    return sqlite3_column_type(statement, column) == SQLITE_NULL
               ? "-"
               : kelo::FormatIsoUtc(sqlite3_column_int64(statement, column));
}

bool ReadNumber(sqlite3* database, const char* sql, std::int64_t& value) {
    int status = SQLITE_OK;
    const kelo::Statement statement = kelo::Prepare(database, sql, status);
    if (status != SQLITE_OK || sqlite3_step(statement.get()) != SQLITE_ROW) {
        return false;
    }
    value = sqlite3_column_int64(statement.get(), 0);
    return true;
}

}  // namespace

int PrintStats(const std::filesystem::path& path, std::ostream& out, std::ostream& err) {
    const std::string name = kelo::PathToUtf8(path);
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        err << name << ": no such datastore\n";
        return kExitFailure;
    }
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(name.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const kelo::Database database(raw);
    if (opened != SQLITE_OK) {
        err << name << ": " << sqlite3_errmsg(database.get()) << "\n";
        return kExitFailure;
    }
    sqlite3_busy_timeout(database.get(), 10'000);
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    if (!ReadNumber(database.get(), "PRAGMA application_id", applicationId) ||
        !ReadNumber(database.get(), "PRAGMA user_version", version)) {
        err << name << ": " << sqlite3_errmsg(database.get()) << "\n";
        return kExitFailure;
    }
    if (applicationId != kelo::kApplicationId || version != kelo::kSchemaVersion) {
        err << name << ": not a kelo datastore of schema version " << kelo::kSchemaVersion << "\n";
        return kExitFailure;
    }
    // Users with their figures, then the whole datastore's in one more row.
    int status = SQLITE_OK;
    const kelo::Statement statement = kelo::Prepare(
        database.get(),
        "SELECT * FROM (SELECT u.sid AS sid, count(v.id), min(v.time_ms), max(v.time_ms) "
        "FROM users u LEFT JOIN visits v ON v.user_id = u.id GROUP BY u.id "
        "UNION ALL SELECT NULL, count(*), min(time_ms), max(time_ms) FROM visits) "
        "ORDER BY sid IS NULL, sid",
        status);
    if (status != SQLITE_OK) {
        err << name << ": " << sqlite3_errmsg(database.get()) << "\n";
        return kExitFailure;
    }
    std::string text = "user\tvisits\toldest\tnewest\n";
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const auto* sid = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
        text += sid == nullptr
                    ? std::string("total")
                    : std::string(
                          sid, static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), 0)));
        text += '\t' + std::to_string(sqlite3_column_int64(statement.get(), 1)) + '\t' +
                TimeText(statement.get(), 2) + '\t' + TimeText(statement.get(), 3) + '\n';
    }
    if (status != SQLITE_DONE) {
        err << name << ": " << sqlite3_errmsg(database.get()) << "\n";
        return kExitFailure;
    }
    out << text;
    return kExitOk;
}

}  // namespace kelodb
