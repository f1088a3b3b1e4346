#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <string_view>

#include "line/RecordErrors.h"
#include "line/SocketWait.h"
#include "line/SqlConnection.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

// Every qvusb of a line takes this advisory lock for the transactions that must not overlap
// (creating the schema, taking a number, recording a board).
constexpr const char* kLineLock = "SELECT pg_advisory_xact_lock(7154227)";

// libpq's messages may run over several lines; a verdict line holds one.
std::string OneLine(std::string text) {
    std::string line;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        part.erase(0, part.find_first_not_of(" \t"));
        part.erase(part.find_last_not_of(" \t\r") + 1);
        if (!part.empty()) line += (line.empty() ? "" : "; ") + part;
        start = end + 1;
    }
    return line;
}

// The SSL mode a connection that failed asked for (require, verify-ca or verify-full, from the
// URL or PGSSLMODE) of a libpq built without SSL, as the Windows build's is; empty when it asked
// for none or libpq has SSL. libpq refuses such a connection before it reaches the server,
// which is then not away but the URL wrong.
std::string MissingSslMode(PGconn* failed) {
    if (failed == nullptr || PQsslAttribute(nullptr, "library") != nullptr) return "";
    std::string mode;
    if (PQconninfoOption* options = PQconninfo(failed)) {
        for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option)
            if (std::string_view(option->keyword) == "sslmode" && option->val != nullptr &&
                (option->val[0] == 'r' || option->val[0] == 'v'))
                mode = option->val;
        PQconninfoFree(options);
    }
    return mode;
}

struct ResultFree {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

// Statements are sent without blocking and their answers awaited up to the time limit: a
// server that stopped answering (frozen, cut off) fails the statement instead of holding the
// station. Such a connection is dropped; the next statement outside a transaction connects
// again.
class PostgresConnection : public SqlConnection {
public:
    PostgresConnection(std::string uri, const SqlLimits& limits)
        : uri_(std::move(uri)), limits_(limits) {
        Connect();
    }
    ~PostgresConnection() override { Drop(); }

    std::vector<Row> Query(const std::string& sql, const std::vector<Value>& params) override {
        if (!Connected()) {
            if (inTransaction_) throw DatabaseUnreachable("the connection to the server was lost");
            Reconnect();
        }
        std::vector<const char*> values;
        for (const Value& param : params) values.push_back(param ? param->c_str() : nullptr);
        if (PQsendQueryParams(connection_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                              values.data(), nullptr, nullptr, 0) == 0)
            Lost();
        const auto deadline = Clock::now() + std::chrono::seconds(limits_.timeoutSeconds + 2);
        timedOut_ = false;
        Result last;
        while (Result next = NextResult(deadline)) last = std::move(next);
        const ExecStatusType status = PQresultStatus(last.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const std::string why = OneLine(PQresultErrorMessage(last.get()));
            if (Connected()) throw DatabaseError(why.empty() ? "the server gave no answer" : why);
            Drop();
            throw DatabaseUnreachable(why.empty() ? "the server gave no answer" : why);
        }
        std::vector<Row> rows;
        for (int r = 0; r < PQntuples(last.get()); ++r) {
            Row row;
            for (int c = 0; c < PQnfields(last.get()); ++c)
                row.push_back(PQgetisnull(last.get(), r, c) ? std::nullopt
                                                            : Value(PQgetvalue(last.get(), r, c)));
            rows.push_back(std::move(row));
        }
        return rows;
    }

    // A connection the server dropped since the last statement (it restarted) is found at BEGIN,
    // which is then sent once more on a new connection; a server that did not answer in time
    // is not waited for twice.
    void Exclusive(const std::function<void()>& work) override {
        try {
            Query("BEGIN", {});
        } catch (const DatabaseError&) {
            if (Connected() || timedOut_) throw;
            Query("BEGIN", {});
        }
        inTransaction_ = true;
        try {
            Query(kLineLock, {});
            work();
            Query("COMMIT", {});
            inTransaction_ = false;
        } catch (...) {
            inTransaction_ = false;
            if (Connected()) {
                try {
                    Query("ROLLBACK", {});
                } catch (const DatabaseError&) {
                    Drop();  // the server ends a transaction whose connection is gone
                }
            }
            throw;
        }
    }

    const char* IdentityKey() const override { return "BIGSERIAL PRIMARY KEY"; }

private:
    bool Connected() const {
        return connection_ != nullptr && PQstatus(connection_) == CONNECTION_OK;
    }

    // A server that could not be reached is asked again only after a wait that doubles with
    // each failure (1 s to 30 s): while it is away, a station's boards fail their records at once
    // instead of each waiting out the time limit. The first attempt after a working connection
    // is made at once (a restarted server is back).
    void Reconnect() {
        const auto now = Clock::now();
        if (now < retryAt_)
            throw DatabaseUnreachable(
                "no connection to the server (asked again in " +
                std::to_string(
                    std::chrono::duration_cast<std::chrono::seconds>(retryAt_ - now).count() + 1) +
                " s)");
        try {
            Connect();
            backoff_ = kFirstBackoff;
        } catch (const DatabaseError&) {
            retryAt_ = Clock::now() + backoff_;
            backoff_ = std::min(backoff_ * 2, kLongestBackoff);
            throw;
        }
    }

    void Connect() {
        Drop();
        // libpq takes connect_timeout in whole seconds, 2 at least; keepalives find a server
        // that vanished while nothing was asked of it. What the URL sets itself wins.
        const std::string timeout = std::to_string(std::max(2, limits_.timeoutSeconds));
        const char* keywords[] = {"connect_timeout",
                                  "keepalives",
                                  "keepalives_idle",
                                  "keepalives_interval",
                                  "keepalives_count",
                                  "dbname",
                                  nullptr};
        const char* values[] = {timeout.c_str(), "1", "5", "2", "2", uri_.c_str(), nullptr};
        PGconn* made = PQconnectdbParams(keywords, values, 1);
        if (PQstatus(made) != CONNECTION_OK) {
            const std::string why = made ? OneLine(PQerrorMessage(made)) : "out of memory";
            const std::string sslMode = MissingSslMode(made);
            PQfinish(made);
            if (!sslMode.empty())
                throw DatabaseError("sslmode=" + sslMode +
                                    " needs SSL, which this qvusb's PostgreSQL client is built "
                                    "without: leave sslmode out and use a trusted network, with "
                                    "a SCRAM-SHA-256 password (it never crosses the network)");
            throw DatabaseUnreachable(why);
        }
        connection_ = made;
        Query("SET client_min_messages TO WARNING", {});  // no notices on standard error
        Query("SET statement_timeout = " + std::to_string(limits_.timeoutSeconds * 1000), {});
        if (limits_.readOnly) Query("SET default_transaction_read_only = on", {});
    }

    void Drop() {
        if (connection_ != nullptr) PQfinish(connection_);
        connection_ = nullptr;
    }

    [[noreturn]] void Lost() {
        const std::string why = OneLine(PQerrorMessage(connection_));
        Drop();
        throw DatabaseUnreachable(why.empty() ? "the connection to the server was lost" : why);
    }

    // The next result of the statement sent, or nothing once all came.
    Result NextResult(Clock::time_point deadline) {
        while (PQisBusy(connection_) != 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                Drop();
                timedOut_ = true;
                throw DatabaseUnreachable("the server did not answer within " +
                                    std::to_string(limits_.timeoutSeconds) + " s");
            }
            if (WaitReadable(PQsocket(connection_), static_cast<int>(left.count())) &&
                PQconsumeInput(connection_) == 0)
                Lost();
        }
        return Result(PQgetResult(connection_));
    }

    static constexpr std::chrono::seconds kFirstBackoff{1};
    static constexpr std::chrono::seconds kLongestBackoff{30};

    std::string uri_;
    SqlLimits limits_;
    PGconn* connection_ = nullptr;
    bool inTransaction_ = false;
    bool timedOut_ = false;  // the last statement's answer did not come in time
    Clock::time_point retryAt_{};
    std::chrono::seconds backoff_ = kFirstBackoff;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri, const SqlLimits& limits) {
    return std::make_unique<PostgresConnection>(uri, limits);
}

}  // namespace qv
