#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// One connection to a database as the run database uses it: statements with parameters
// written $1, $2, ... in order, every value passed and returned as text (NULL as nothing).
// Both SQLite and PostgreSQL read such statements alike.
class SqlConnection {
public:
    using Value = std::optional<std::string>;
    using Row = std::vector<Value>;

    virtual ~SqlConnection() = default;
    // The rows a statement returns (none for most); throws DatabaseError.
    virtual std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params = {}) = 0;
    // Runs `work` in a transaction that holds the database's write lock from its start, so two
    // processes never read the same last number; anything thrown rolls it back.
    virtual void Exclusive(const std::function<void()>& work) = 0;
    // The column type of an identity key that numbers itself.
    virtual const char* IdentityKey() const = 0;
};

// How long the database may take: to connect, and for each statement (a lock another process
// holds included). A database that takes longer fails the statement.
struct SqlLimits {
    int timeoutSeconds = 5;
    bool readOnly = false;  // nothing is written, and a missing database is not created
};

// sqlite:PATH: the file, in WAL mode with a busy timeout; created when missing unless read-only.
std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, const SqlLimits& limits);
// postgresql://...: libpq's connection URI. A connection lost between statements is made
// again at the next statement outside a transaction.
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri, const SqlLimits& limits);

}  // namespace qv
