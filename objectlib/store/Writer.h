#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "objectlib/store/Sqlite.h"

namespace kelo {

enum class OpenMode {
    kCreateNew,     // fails when the file exists
    kOpenOrCreate,  // creates the datastore when the file does not exist
    kOpenExisting,  // fails when the file does not exist
};

// The one way visits get into a datastore: used by kelodb and by the tests'
// fixtures. Every failure comes with a sentence for the user in `error`.
class DatastoreWriter {
  public:
    static std::unique_ptr<DatastoreWriter> Open(const std::filesystem::path& path, OpenMode mode,
                                                 std::string& error);

    DatastoreWriter(const DatastoreWriter&) = delete;
    DatastoreWriter& operator=(const DatastoreWriter&) = delete;
    ~DatastoreWriter();

    // Visits are added inside one write transaction; until Commit nothing is
    // visible to readers, and Rollback (or destruction) stores nothing.
    bool Begin(std::string& error);
    bool Add(std::string_view user, std::string_view url, std::int64_t timeMs, bool allowed,
             std::span<const std::int32_t> categories, std::string& error);
    bool Commit(std::string& error);
    void Rollback();

    sqlite3* Handle() const { return database_.get(); }

  private:
    explicit DatastoreWriter(Database database) : database_(std::move(database)) {}
    bool PrepareStatements(std::string& error);
    bool UserId(std::string_view user, std::int64_t& id, std::string& error);

    Database database_;
    Statement findUser_;
    Statement addUser_;
    Statement addVisit_;
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, std::int64_t, TextHash, std::equal_to<>> userIds_;
    bool inTransaction_ = false;
};

}  // namespace kelo
