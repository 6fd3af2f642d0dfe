#include "tools/kelodb/Stats.h"

#include <string>
#include <vector>

#include "objectlib/store/Location.h"
#include "objectlib/store/SchemaMarks.h"
#include "objectlib/store/Sqlite.h"
#include "objectlib/store/Statistics.h"
#include "objectlib/store/UtcTime.h"
#include "tools/kelodb/Import.h"

namespace kelodb {
namespace {

std::string TimeText(const std::optional<std::int64_t>& ms) {
    return ms ? kelo::FormatIsoUtc(*ms) : "-";
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
    kelo::SchemaMarks marks;
    if (kelo::ReadSchemaMarks(database.get(), marks) != SQLITE_OK) {
        err << name << ": " << sqlite3_errmsg(database.get()) << "\n";
        return kExitFailure;
    }
    if (!marks.IsDatastore()) {
        err << name << ": not a kelo datastore of schema version " << kelo::kSchemaVersion << "\n";
        return kExitFailure;
    }
    // Users with their figures, then the whole datastore's in one more row.
    std::vector<kelo::VisitStatistics> rows;
    if (kelo::ReadVisitStatistics(database.get(), rows) != SQLITE_OK) {
        err << name << ": " << sqlite3_errmsg(database.get()) << "\n";
        return kExitFailure;
    }
    std::string text = "user\tvisits\toldest\tnewest\n";
    for (const kelo::VisitStatistics& row : rows) {
        text += row.sid.value_or("total") + '\t' + std::to_string(row.visits) + '\t' +
                TimeText(row.oldestMs) + '\t' + TimeText(row.newestMs) + '\n';
    }
    out << text;
    return kExitOk;
}

}  // namespace kelodb
