#include "objectlib/store/Writer.h"

#include <system_error>

#include "objectlib/store/CategoryText.h"
#include "objectlib/store/Location.h"
#include "objectlib/store/SchemaMarks.h"

namespace kelo {
namespace {

constexpr int kBusyTimeoutMs = 10'000;

std::string SqliteError(sqlite3* database) {
    return database != nullptr ? sqlite3_errmsg(database) : "out of memory";
}

bool Run(sqlite3* database, const char* sql, std::string& error) {
    if (sqlite3_exec(database, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = SqliteError(database);
        return false;
    }
    return true;
}

constexpr char kCountObjectsSql[] = "SELECT count(*) FROM sqlite_schema";

bool Succeeded(sqlite3* database, int status, std::string& error) {
    if (status != SQLITE_OK) {
        error = SqliteError(database);
        return false;
    }
    return true;
}

// A new file gets the schema; an existing one must be a datastore of this
// version. Decided inside one write transaction so two writers cannot both
// create the tables.
bool EnsureSchema(sqlite3* database, std::string& error) {
    SchemaMarks marks;
    std::int64_t objects = 0;
    if (!Succeeded(database, ReadSchemaMarks(database, marks), error)) {
        return false;
    }
    if (marks.IsUnmarked() &&
        !Succeeded(database, ReadInteger(database, kCountObjectsSql, objects), error)) {
        return false;
    }
    if (marks.IsUnmarked() && objects == 0) {
        // The journal mode cannot change inside a transaction; WAL lets the
        // export read a consistent snapshot while an import goes on.
        if (!Run(database, "PRAGMA journal_mode = WAL", error) ||
            !Run(database, "BEGIN IMMEDIATE", error)) {
            return false;
        }
        if (!Succeeded(database, ReadInteger(database, kCountObjectsSql, objects), error)) {
            Run(database, "ROLLBACK", error);
            return false;
        }
        if (objects == 0) {
            if (!Run(database, kSchemaSql, error) ||
                !Run(database, MarkSchemaSql().c_str(), error)) {
                std::string ignored;
                Run(database, "ROLLBACK", ignored);
                return false;
            }
        }
        if (!Run(database, "COMMIT", error)) {
            return false;
        }
    }
    if (!Succeeded(database, ReadSchemaMarks(database, marks), error)) {
        return false;
    }
    if (marks.applicationId != kApplicationId) {
        error = "not a kelo datastore";
        return false;
    }
    if (marks.version != kSchemaVersion) {
        error = "unknown datastore schema version " + std::to_string(marks.version) +
                " (this tool knows " + std::to_string(kSchemaVersion) + ")";
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<DatastoreWriter> DatastoreWriter::Open(const std::filesystem::path& path,
                                                       OpenMode mode, std::string& error) {
    std::error_code ignored;
    const bool exists = std::filesystem::exists(path, ignored);
    if (mode == OpenMode::kCreateNew && exists) {
        error = PathToUtf8(path) + ": already exists";
        return nullptr;
    }
    if (mode == OpenMode::kOpenExisting && !exists) {
        error = PathToUtf8(path) + ": no such datastore (create one with kelodb init)";
        return nullptr;
    }
    if (!exists && path.has_parent_path()) {
        // A new datastore may be the first file of its folder (the product's
        // default location, say).
        std::filesystem::create_directories(path.parent_path(), ignored);
    }
    sqlite3* raw = nullptr;
    const int status = sqlite3_open_v2(PathToUtf8(path).c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Database database(raw);
    if (status != SQLITE_OK) {
        error = PathToUtf8(path) + ": " + SqliteError(database.get());
        return nullptr;
    }
    sqlite3_busy_timeout(database.get(), kBusyTimeoutMs);
    std::string why;
    if (!EnsureSchema(database.get(), why) ||
        !Run(database.get(), "PRAGMA synchronous = NORMAL; PRAGMA cache_size = -32768", why)) {
        error = PathToUtf8(path) + ": " + why;
        return nullptr;
    }
    std::unique_ptr<DatastoreWriter> writer(new DatastoreWriter(std::move(database)));
    if (!writer->PrepareStatements(why)) {
        error = PathToUtf8(path) + ": " + why;
        return nullptr;
    }
    return writer;
}

DatastoreWriter::~DatastoreWriter() {
    Rollback();
}

bool DatastoreWriter::PrepareStatements(std::string& error) {
    int status = SQLITE_OK;
    findUser_ = Prepare(database_.get(), "SELECT id FROM users WHERE sid = ?1", status);
    if (status == SQLITE_OK) {
        addUser_ = Prepare(database_.get(), "INSERT INTO users (sid) VALUES (?1)", status);
    }
    if (status == SQLITE_OK) {
        addVisit_ = Prepare(database_.get(),
                            "INSERT INTO visits (user_id, time_ms, allowed, url, categories) "
                            "VALUES (?1, ?2, ?3, ?4, ?5)",
                            status);
    }
    if (status != SQLITE_OK) {
        error = SqliteError(database_.get());
        return false;
    }
    return true;
}

bool DatastoreWriter::Begin(std::string& error) {
    if (!Run(database_.get(), "BEGIN IMMEDIATE", error)) {
        return false;
    }
    inTransaction_ = true;
    return true;
}

bool DatastoreWriter::Commit(std::string& error) {
    if (!Run(database_.get(), "COMMIT", error)) {
        Rollback();
        return false;
    }
    inTransaction_ = false;
    return true;
}

void DatastoreWriter::Rollback() {
    // The ids of users added in the transaction go with it.
    userIds_.clear();
    if (inTransaction_) {
        std::string ignored;
        Run(database_.get(), "ROLLBACK", ignored);
        inTransaction_ = false;
    }
}

bool DatastoreWriter::UserId(std::string_view user, std::int64_t& id, std::string& error) {
    if (const auto found = userIds_.find(user); found != userIds_.end()) {
        id = found->second;
        return true;
    }
    {
        StatementUse use(findUser_.get());
        sqlite3_bind_text(findUser_.get(), 1, user.data(), static_cast<int>(user.size()),
                          SQLITE_STATIC);
        const int step = sqlite3_step(findUser_.get());
        if (step == SQLITE_ROW) {
            id = sqlite3_column_int64(findUser_.get(), 0);
            userIds_.emplace(user, id);
            return true;
        }
        if (step != SQLITE_DONE) {
            error = SqliteError(database_.get());
            return false;
        }
    }
    StatementUse use(addUser_.get());
    sqlite3_bind_text(addUser_.get(), 1, user.data(), static_cast<int>(user.size()), SQLITE_STATIC);
    if (sqlite3_step(addUser_.get()) != SQLITE_DONE) {
        error = SqliteError(database_.get());
        return false;
    }
    id = sqlite3_last_insert_rowid(database_.get());
    userIds_.emplace(user, id);
    return true;
}

bool DatastoreWriter::Add(std::string_view user, std::string_view url, std::int64_t timeMs,
                          bool allowed, std::span<const std::int32_t> categories,
                          std::string& error) {
    std::int64_t userId = 0;
    if (!UserId(user, userId, error)) {
        return false;
    }
    const std::string categoryText = EncodeCategories(categories);
    sqlite3_stmt* statement = addVisit_.get();
    StatementUse use(statement);
    sqlite3_bind_int64(statement, 1, userId);
    sqlite3_bind_int64(statement, 2, timeMs);
    sqlite3_bind_int(statement, 3, allowed ? 1 : 0);
    // Lengths given explicitly: a URL may hold NUL characters.
    sqlite3_bind_text64(statement, 4, url.data(), url.size(), SQLITE_STATIC, SQLITE_UTF8);
    sqlite3_bind_text64(statement, 5, categoryText.data(), categoryText.size(), SQLITE_STATIC,
                        SQLITE_UTF8);
    if (sqlite3_step(statement) != SQLITE_DONE) {
        error = SqliteError(database_.get());
        return false;
    }
    return true;
}

}  // namespace kelo
