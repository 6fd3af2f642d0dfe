#include "objectlib/DatastoreReader.h"

#include <algorithm>

#include "objectlib/KeloErrors.h"
#include "objectlib/store/CategoryText.h"
#include "objectlib/store/ReadOnlyMedia.h"
#include "objectlib/store/SchemaMarks.h"
#include "platform/Text.h"

namespace kelo {
namespace {

// How long a read waits for a writer that holds the file locked (a WAL file
// being recovered, or a datastore in another journal mode).
constexpr int kBusyTimeoutMs = 5'000;

// Ends the read transaction on every path.
class ReadTransaction {
  public:
    explicit ReadTransaction(sqlite3* database) : database_(database) {}
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;
    ~ReadTransaction() {
        if (open_) {
            sqlite3_exec(database_, "COMMIT", nullptr, nullptr, nullptr);
        }
    }
    int Begin() {
        const int status = sqlite3_exec(database_, "BEGIN", nullptr, nullptr, nullptr);
        open_ = status == SQLITE_OK;
        return status;
    }

  private:
    sqlite3* database_;
    bool open_ = false;
};

std::string_view ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (text == nullptr) {
        return {};
    }
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

// Keeps the `limit` oldest visits (by time, then storage order) of the
// snapshot, in their users' lists.
void KeepOldest(std::uint32_t limit, const std::vector<std::int64_t>& visitIds,
                Snapshot& snapshot) {
    struct Order {
        std::int64_t timeMs;
        std::int64_t id;
        bool operator<(const Order& other) const {
            return timeMs != other.timeMs ? timeMs < other.timeMs : id < other.id;
        }
    };
    std::vector<Order> order(snapshot.rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = {snapshot.rows[i].timeMs, visitIds[i]};
    }
    std::nth_element(order.begin(), order.begin() + (limit - 1), order.end());
    const Order last = order[limit - 1];
    order = {};

    std::size_t kept = 0;
    for (SnapshotUser& user : snapshot.users) {
        const std::size_t first = kept;
        for (std::size_t i = user.firstRow; i < user.firstRow + user.rowCount; ++i) {
            if (!(last < Order{snapshot.rows[i].timeMs, visitIds[i]})) {
                snapshot.rows[kept++] = snapshot.rows[i];
            }
        }
        user.firstRow = first;
        user.rowCount = kept - first;
    }
    snapshot.rows.resize(kept);
}

}  // namespace

HRESULT FromSqlite(int status) {
    switch (status & 0xFF) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_FORMAT:
            return kNotADatastore;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return kDatastoreBusy;
        case SQLITE_NOMEM:
            return E_OUTOFMEMORY;
        default:
            return kDatastoreUnreadable;
    }
}

HRESULT DatastoreReader::Open(const std::string& pathUtf8,
                              std::shared_ptr<DatastoreReader>& reader) {
    std::shared_ptr<DatastoreReader> opened;
    int status = SQLITE_OK;
    HRESULT hr = OpenChecked(pathUtf8, false, opened, status);
    // On read-only media SQLite cannot make the -shm file it needs for a WAL
    // datastore. Without anything in a journal, the main file holds every
    // commit and can be read as immutable; with it, that would lose data.
    if (FAILED(hr) && opened && IsSharedMemoryRefusal(status) &&
        !HasJournalContent(opened->database_.get())) {
        const std::string uri = ImmutableUri(sqlite3_db_filename(opened->database_.get(), "main"));
        opened.reset();
        hr = OpenChecked(uri, true, opened, status);
    }
    if (FAILED(hr)) {
        return hr;
    }
    reader = std::move(opened);
    return S_OK;
}

HRESULT DatastoreReader::OpenChecked(const std::string& name, bool immutable,
                                     std::shared_ptr<DatastoreReader>& opened, int& status) {
    sqlite3* raw = nullptr;
    // The reader's own mutex serialises the connection's use.
    const int flags =
        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | (immutable ? SQLITE_OPEN_URI : 0);
    status = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
    Database database(raw);
    if (status != SQLITE_OK) {
        return FromSqlite(status);
    }
    sqlite3_extended_result_codes(database.get(), 1);
    sqlite3_busy_timeout(database.get(), kBusyTimeoutMs);
    sqlite3_exec(database.get(), "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    opened.reset(new DatastoreReader(std::move(database), immutable));
    const HRESULT hr = opened->CheckSchema();
    status = FAILED(hr) ? sqlite3_extended_errcode(opened->database_.get()) : SQLITE_OK;
    return hr;
}

HRESULT DatastoreReader::CheckSchema() {
    sqlite3* database = database_.get();
    SchemaMarks marks;
    const int read = ReadSchemaMarks(database, marks);
    if (read != SQLITE_OK) {
        return FromSqlite(read);
    }
    if (!marks.IsDatastore()) {
        return kUnknownSchema;
    }
    int status = SQLITE_OK;
    allUsers_ = Prepare(database, "SELECT id, sid FROM users ORDER BY sid", status);
    if (status == SQLITE_OK) {
        oneUser_ = Prepare(database, "SELECT id, sid FROM users WHERE sid = ?1", status);
    }
    if (status == SQLITE_OK) {
        // The index on (user_id, time_ms) gives the rows in this order.
        visits_ = Prepare(database,
                          "SELECT id, time_ms, allowed, url, categories FROM visits "
                          "WHERE user_id = ?1 AND time_ms BETWEEN ?2 AND ?3 "
                          "ORDER BY time_ms, id LIMIT ?4",
                          status);
    }
    if (status != SQLITE_OK) {
        // Marked as a datastore of this version, yet without its tables.
        const HRESULT cause = FromSqlite(status);
        return cause == kDatastoreUnreadable ? kUnknownSchema : cause;
    }
    return S_OK;
}

HRESULT DatastoreReader::Read(const Query& query, Snapshot& snapshot) {
    const std::lock_guard lock(mutex_);
    // An immutable read sees no writer: one that has started since (its
    // journal appears), or starts while it reads, makes the answer
    // untrustworthy.
    if (immutable_ && HasJournalContent(database_.get())) {
        return kDatastoreBusy;
    }
    const HRESULT hr = ReadSnapshot(query, snapshot);
    if (SUCCEEDED(hr) && immutable_ && HasJournalContent(database_.get())) {
        return kDatastoreBusy;
    }
    return hr;
}

HRESULT DatastoreReader::ReadSnapshot(const Query& query, Snapshot& snapshot) {
    ReadTransaction transaction(database_.get());
    if (const int status = transaction.Begin(); status != SQLITE_OK) {
        return FromSqlite(status);
    }
    std::vector<std::int64_t> userIds;
    HRESULT hr = ReadUsers(query, snapshot, userIds);
    if (FAILED(hr)) {
        return hr;
    }
    // Only an answer of several users can need trimming afterwards.
    const bool trimLater = query.maxResults && userIds.size() > 1;
    std::vector<std::int64_t> visitIds;
    for (std::size_t i = 0; i < userIds.size(); ++i) {
        snapshot.users[i].firstRow = snapshot.rows.size();
        hr = ReadVisits(userIds[i], query, snapshot, trimLater ? &visitIds : nullptr);
        if (FAILED(hr)) {
            return hr;
        }
        snapshot.users[i].rowCount = snapshot.rows.size() - snapshot.users[i].firstRow;
    }
    if (trimLater && snapshot.rows.size() > *query.maxResults) {
        if (*query.maxResults == 0) {
            snapshot.rows.clear();
            for (SnapshotUser& user : snapshot.users) {
                user.rowCount = 0;
            }
        } else {
            KeepOldest(*query.maxResults, visitIds, snapshot);
        }
    }
    std::erase_if(snapshot.users, [](const SnapshotUser& user) { return user.rowCount == 0; });
    return S_OK;
}

HRESULT DatastoreReader::ReadUsers(const Query& query, Snapshot& snapshot,
                                   std::vector<std::int64_t>& ids) {
    sqlite3_stmt* statement = query.user ? oneUser_.get() : allUsers_.get();
    const StatementUse use(statement);
    std::string sid;
    if (query.user) {
        sid = platform::Utf16ToUtf8(*query.user);
        sqlite3_bind_text64(statement, 1, sid.data(), sid.size(), SQLITE_STATIC, SQLITE_UTF8);
    }
    int status = SQLITE_OK;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        ids.push_back(sqlite3_column_int64(statement, 0));
        snapshot.users.push_back(
            SnapshotUser{platform::Utf8ToUtf16(ColumnText(statement, 1)), 0, 0});
    }
    return status == SQLITE_DONE ? S_OK : FromSqlite(status);
}

HRESULT DatastoreReader::ReadVisits(std::int64_t userId, const Query& query, Snapshot& snapshot,
                                    std::vector<std::int64_t>* visitIds) {
    sqlite3_stmt* statement = visits_.get();
    const StatementUse use(statement);
    sqlite3_bind_int64(statement, 1, userId);
    sqlite3_bind_int64(statement, 2, query.startMs);
    sqlite3_bind_int64(statement, 3, query.endMs);
    sqlite3_bind_int64(statement, 4,
                       query.maxResults ? std::int64_t{*query.maxResults} : std::int64_t{-1});
    int status = SQLITE_OK;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        VisitRow row{};
        row.timeMs = sqlite3_column_int64(statement, 1);
        row.allowed = sqlite3_column_int(statement, 2) != 0;
        const std::string_view url = snapshot.urls.Store(ColumnText(statement, 3));
        row.url = url.data();
        row.urlBytes = static_cast<std::uint32_t>(url.size());
        const std::size_t firstCategory = snapshot.categories.size();
        if (firstCategory > 0xFFFFFFFFu ||
            !DecodeCategories(ColumnText(statement, 4), snapshot.categories)) {
            return kNotADatastore;
        }
        row.firstCategory = static_cast<std::uint32_t>(firstCategory);
        row.categoryCount = static_cast<std::uint32_t>(snapshot.categories.size() - firstCategory);
        snapshot.rows.push_back(row);
        if (visitIds != nullptr) {
            visitIds->push_back(sqlite3_column_int64(statement, 0));
        }
    }
    return status == SQLITE_DONE ? S_OK : FromSqlite(status);
}

}  // namespace kelo
