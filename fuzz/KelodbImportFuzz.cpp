// `kelodb import` of any input, into a datastore held in memory.
//
// Checked beyond "no crash, no leak": an import is all or nothing. On
// success the datastore holds exactly as many visits as the tool says it
// imported, and every stored visit reads back as well-formed (a known user,
// a time of the accepted years, a 0/1 action, categories that decode); on
// failure (exit 2 with "line N: ..." on the error stream) it holds none.

#include <sstream>
#include <string>

#include "fuzz/FuzzInput.h"
#include "objectlib/store/CategoryText.h"
#include "objectlib/store/UtcTime.h"
#include "objectlib/store/Writer.h"
#include "tools/kelodb/Import.h"

namespace {

std::int64_t Count(sqlite3* database, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return value;
}

void CheckStoredVisits(sqlite3* database) {
    sqlite3_stmt* statement = nullptr;
    fuzz::Check(sqlite3_prepare_v2(database,
                                   "SELECT v.time_ms, v.allowed, v.categories, u.sid FROM visits v "
                                   "JOIN users u ON u.id = v.user_id",
                                   -1, &statement, nullptr) == SQLITE_OK,
                "cannot read the visits back");
    const std::int64_t first = *kelo::MillisecondsFromFields({1601, 1, 1}, 1601, 9999);
    const std::int64_t last =
        *kelo::MillisecondsFromFields({9999, 12, 31, 23, 59, 59, 999}, 1601, 9999);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const std::int64_t time = sqlite3_column_int64(statement, 0);
        const int allowed = sqlite3_column_int(statement, 1);
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 2));
        std::vector<std::int32_t> categories;
        fuzz::Check(time >= first && time <= last, "a visit outside the accepted years");
        fuzz::Check(allowed == 0 || allowed == 1, "an action that is neither 0 nor 1");
        fuzz::Check(kelo::DecodeCategories(text == nullptr ? "" : text, categories),
                    "categories that do not decode");
        fuzz::Check(sqlite3_column_bytes(statement, 3) > 0, "a visit of an empty user");
    }
    sqlite3_finalize(statement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string error;
    auto writer = kelo::DatastoreWriter::Open(":memory:", kelo::OpenMode::kOpenOrCreate, error);
    fuzz::Check(writer != nullptr, "no datastore in memory", error);

    std::istringstream in(std::string(reinterpret_cast<const char*>(bytes), size));
    std::ostringstream out;
    std::ostringstream err;
    const int code = kelodb::ImportVisits(*writer, in, out, err);

    const std::int64_t stored = Count(writer->Handle(), "SELECT count(*) FROM visits");
    if (code == kelodb::kExitOk) {
        const std::string said = out.str();
        const std::string expected =
            std::to_string(stored) + (stored == 1 ? " visit" : " visits") + " imported\n";
        fuzz::Check(said == expected, "imported count differs from the stored one", said);
        CheckStoredVisits(writer->Handle());
    } else {
        fuzz::Check(code == kelodb::kExitBadInput, "exit status neither 0 nor 2", err.str());
        fuzz::Check(err.str().starts_with("line "), "a refusal without its line", err.str());
        fuzz::Check(stored == 0, "a refused import stored visits");
        fuzz::Check(Count(writer->Handle(), "SELECT count(*) FROM users") == 0,
                    "a refused import stored users");
    }
    return 0;
}
