#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "line/RecordErrors.h"
#include "line/SqlConnection.h"
#include "line/SqliteFileName.h"

namespace qv {
namespace {

// Several qvusb processes of one PC share the file: a writer waits up to the time limit for
// another.
class SqliteConnection : public SqlConnection {
public:
    SqliteConnection(const std::string& path, const SqlLimits& limits)
        : busyTimeoutMs_(limits.timeoutSeconds * 1000) {
        const int access = limits.readOnly ? SQLITE_OPEN_READONLY
                                           : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        const int opened = sqlite3_open_v2(SqliteFileName(path).c_str(), &db_,
                                           access | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (opened != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw DatabaseError(why);
        }
        sqlite3_busy_timeout(db_, busyTimeoutMs_);
        try {
            if (!limits.readOnly) UseWriteAheadLog();
        } catch (const DatabaseError&) {
            sqlite3_close(db_);  // no destructor runs for a connection never made
            throw;
        }
    }
    ~SqliteConnection() override { sqlite3_close(db_); }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            throw DatabaseError(sqlite3_errmsg(db_));
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(statement,
                                                                          sqlite3_finalize);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            const int bound = params[i] ? sqlite3_bind_text(statement, index, params[i]->c_str(),
                                                            -1, SQLITE_TRANSIENT)
                                        : sqlite3_bind_null(statement, index);
            if (bound != SQLITE_OK) throw DatabaseError(sqlite3_errmsg(db_));
        }
        std::vector<Row> rows;
        for (int result; (result = sqlite3_step(statement)) != SQLITE_DONE;) {
            if (result != SQLITE_ROW) throw DatabaseError(sqlite3_errmsg(db_));
            Row row;
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                const auto* text = sqlite3_column_text(statement, column);
                row.push_back(text ? Value(reinterpret_cast<const char*>(text)) : std::nullopt);
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // BEGIN IMMEDIATE takes the write lock at once.
    void Exclusive(const std::function<void()>& work) override {
        Query("BEGIN IMMEDIATE", {});
        try {
            work();
            Query("COMMIT", {});
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    const char* IdentityKey() const override { return "INTEGER PRIMARY KEY"; }

private:
    // Switching a file to WAL needs it to itself for a moment: with another process opening it
    // at the same time the switch fails at once as busy (the busy timeout does not cover it),
    // so it is tried again until the timeout.
    void UseWriteAheadLog() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs_);
        for (;;) {
            const int result = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
            if (result == SQLITE_OK) return;
            const bool busy = result == SQLITE_BUSY || result == SQLITE_LOCKED;
            if (!busy || std::chrono::steady_clock::now() > deadline)
                throw DatabaseError(sqlite3_errmsg(db_));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    int busyTimeoutMs_;
    sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, const SqlLimits& limits) {
    return std::make_unique<SqliteConnection>(path, limits);
}

}  // namespace qv
