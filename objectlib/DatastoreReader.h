#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "objectlib/Query.h"
#include "objectlib/Snapshot.h"
#include "objectlib/store/Sqlite.h"
#include "platform/OleAuto.h"

namespace kelo {

// A read-only connection to the datastore file. It never writes: the file is
// opened read-only and the connection is query-only (SQLite may still make
// the -wal and -shm files beside it). On read-only media it reads the file as
// immutable when no journal holds anything. Shared by the datastore objects of
// one manager.
class DatastoreReader {
  public:
    // Opens the file and checks that it is a datastore of the schema this
    // library reads: kNotADatastore, kUnknownSchema, kDatastoreUnreadable,
    // kDatastoreBusy otherwise.
    static HRESULT Open(const std::string& pathUtf8, std::shared_ptr<DatastoreReader>& reader);

    DatastoreReader(const DatastoreReader&) = delete;
    DatastoreReader& operator=(const DatastoreReader&) = delete;

    // Reads the answer to `query` inside one read transaction, so it is a
    // consistent snapshot even while another process imports. Users come in
    // ascending order of their SID text (by code point), each with its visits
    // oldest first (ties in the order they were stored); a user with no visit
    // in the answer is left out. maxResults limits the whole answer: the
    // oldest visits of all users asked for are kept.
    HRESULT Read(const Query& query, Snapshot& snapshot);

  private:
    DatastoreReader(Database database, bool immutable)
        : database_(std::move(database)), immutable_(immutable) {}
    // Opens `name` (a URI when `immutable`) and checks the schema; `status`
    // is SQLite's code of the failure. `opened` holds the connection once
    // made, even when the check fails.
    static HRESULT OpenChecked(const std::string& name, bool immutable,
                               std::shared_ptr<DatastoreReader>& opened, int& status);
    HRESULT CheckSchema();
    HRESULT ReadSnapshot(const Query& query, Snapshot& snapshot);
    HRESULT ReadUsers(const Query& query, Snapshot& snapshot, std::vector<std::int64_t>& ids);
    HRESULT ReadVisits(std::int64_t userId, const Query& query, Snapshot& snapshot,
                       std::vector<std::int64_t>* visitIds);

    std::mutex mutex_;
    Database database_;
    bool immutable_;
    Statement allUsers_;
    Statement oneUser_;
    Statement visits_;
};

// The HRESULT of a SQLite result code.
HRESULT FromSqlite(int status);

}  // namespace kelo
