#include <libpq-fe.h>

#include "cli/RunDatabase.h"
#include "cli/SqlConnection.h"

namespace qv::cli {
namespace {

// Every qvusb of a line takes this advisory lock for the transactions that must not overlap
// (creating the schema, taking a number).
constexpr const char* kLineLock = "SELECT pg_advisory_xact_lock(7154227)";

class PostgresConnection : public SqlConnection {
public:
    explicit PostgresConnection(const std::string& uri) : name_(uri) {
        connection_ = PQconnectdb(uri.c_str());
        if (PQstatus(connection_) != CONNECTION_OK) {
            const std::string why = PQerrorMessage(connection_);
            PQfinish(connection_);
            throw DatabaseError(Trimmed(why));
        }
        Query("SET client_min_messages TO WARNING", {});  // no notices on standard error
    }
    ~PostgresConnection() override { PQfinish(connection_); }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
        std::vector<const char*> values;
        for (const Value& param : params) values.push_back(param ? param->c_str() : nullptr);
        const std::unique_ptr<PGresult, void (*)(PGresult*)> result(
            PQexecParams(connection_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                         values.data(), nullptr, nullptr, 0),
            PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw DatabaseError(Trimmed(PQerrorMessage(connection_)));
        std::vector<Row> rows;
        for (int r = 0; r < PQntuples(result.get()); ++r) {
            Row row;
            for (int c = 0; c < PQnfields(result.get()); ++c)
                row.push_back(PQgetisnull(result.get(), r, c)
                                  ? std::nullopt
                                  : Value(PQgetvalue(result.get(), r, c)));
            rows.push_back(std::move(row));
        }
        return rows;
    }

    void Exclusive(const std::function<void()>& work) override {
        Query("BEGIN", {});
        try {
            Query(kLineLock, {});
            work();
            Query("COMMIT", {});
        } catch (...) {
            PQclear(PQexec(connection_, "ROLLBACK"));
            throw;
        }
    }

    const char* IdentityKey() const override { return "BIGSERIAL PRIMARY KEY"; }
    const std::string& Name() const override { return name_; }

private:
    static std::string Trimmed(std::string text) {
        text.erase(text.find_last_not_of(" \n") + 1);
        return text;
    }
    std::string name_;
    PGconn* connection_ = nullptr;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri) {
    return std::make_unique<PostgresConnection>(uri);
}

}  // namespace qv::cli
