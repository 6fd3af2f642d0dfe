#pragma once

#include <sqlite3.h>

#include <memory>
#include <string_view>

namespace kelo {

struct DatabaseCloser {
    void operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Prepares one statement; empty with `status` set on failure.
inline Statement Prepare(sqlite3* database, std::string_view sql, int& status) {
    sqlite3_stmt* statement = nullptr;
    status = sqlite3_prepare_v3(database, sql.data(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    return Statement(statement);
}

// Resets a statement after use so that it holds no read lock.
class StatementUse {
  public:
    explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    ~StatementUse() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

  private:
    sqlite3_stmt* statement_;
};

}  // namespace kelo
