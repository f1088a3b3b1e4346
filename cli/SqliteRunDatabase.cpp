#include <sqlite3.h>

#include <ctime>
#include <functional>

#include "cli/AuditLog.h"
#include "cli/CliErrors.h"
#include "cli/RunDatabase.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

constexpr int kSchemaVersion = 1;
// Several qvusb processes of one PC share the file: a writer waits this long for another.
constexpr int kBusyTimeoutMs = 10'000;
// Numbers tried when the next one's text is taken already (another format gave it).
constexpr int kAllocationTries = 100;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS serials (
    serial TEXT PRIMARY KEY,
    format TEXT NOT NULL,
    sequence INTEGER NOT NULL,
    status TEXT NOT NULL CHECK (status IN ('allocated', 'programmed', 'void')),
    station TEXT NOT NULL,
    port TEXT NOT NULL,
    allocated_at TEXT NOT NULL,
    settled_at TEXT,
    UNIQUE (format, sequence));
CREATE TABLE IF NOT EXISTS runs (
    id INTEGER PRIMARY KEY,
    time TEXT NOT NULL, host TEXT NOT NULL, station TEXT NOT NULL, command_line TEXT NOT NULL,
    command TEXT NOT NULL, device TEXT NOT NULL, device_path TEXT NOT NULL,
    ok INTEGER NOT NULL, exit_code INTEGER NOT NULL, message TEXT NOT NULL,
    failure TEXT NOT NULL, seconds REAL NOT NULL, file TEXT NOT NULL, length INTEGER,
    checksum TEXT, sha256 TEXT NOT NULL, range TEXT NOT NULL, chip_id TEXT NOT NULL,
    flash_uid TEXT NOT NULL, failing_step TEXT NOT NULL, serial TEXT NOT NULL);
)";

// One prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
            throw DatabaseError(std::string("cannot prepare a statement: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, const std::string& text) {
        Check(sqlite3_bind_text(statement_, index, text.c_str(), -1, SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Bind(int index, std::int64_t value) {
        Check(sqlite3_bind_int64(statement_, index, value));
        return *this;
    }
    Statement& Bind(int index, double value) {
        Check(sqlite3_bind_double(statement_, index, value));
        return *this;
    }
    Statement& BindNull(int index) {
        Check(sqlite3_bind_null(statement_, index));
        return *this;
    }
    // True while a row is there; false at the end.
    bool Step() {
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW) return true;
        if (result == SQLITE_DONE) return false;
        throw DatabaseError(sqlite3_errmsg(db_));
    }
    std::int64_t Integer(int column) { return sqlite3_column_int64(statement_, column); }
    std::string Text(int column) {
        const auto* text = sqlite3_column_text(statement_, column);
        return text ? reinterpret_cast<const char*>(text) : "";
    }

private:
    void Check(int result) {
        if (result != SQLITE_OK) throw DatabaseError(sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

SerialFormat::Date Today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
}

class SqliteRunDatabase : public RunDatabase {
public:
    explicit SqliteRunDatabase(const std::string& path) : path_(path) {
        if (sqlite3_open_v2(path.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw BadInput("Cannot open the database sqlite:" + path + ": " + why);
        }
        try {
            sqlite3_busy_timeout(db_, kBusyTimeoutMs);
            Execute("PRAGMA journal_mode=WAL");
            Transaction([&] {
                Execute(kSchema);
                Statement version(db_, "SELECT version FROM schema_version");
                if (!version.Step()) {
                    Statement(db_, "INSERT INTO schema_version VALUES (?)").Bind(1, std::int64_t{kSchemaVersion}).Step();
                } else if (version.Integer(0) != kSchemaVersion) {
                    throw DatabaseError("its schema is version " + std::to_string(version.Integer(0)) +
                                        ", this qvusb knows version " + std::to_string(kSchemaVersion));
                }
            });
        } catch (const DatabaseError& error) {
            sqlite3_close(db_);
            throw BadInput("Cannot use the database sqlite:" + path + ": " + error.what());
        }
    }
    ~SqliteRunDatabase() override { sqlite3_close(db_); }

    int VoidUnsettled(const std::string& station) override {
        int voided = 0;
        Transaction([&] {
            Statement(db_, "UPDATE serials SET status = 'void', settled_at = ? "
                           "WHERE station = ? AND status = 'allocated'")
                .Bind(1, UtcNow())
                .Bind(2, station)
                .Step();
            voided = sqlite3_changes(db_);
        });
        return voided;
    }

    std::string Allocate(const SerialFormat& format, const std::string& station,
                         const std::string& port) override {
        std::string serial;
        Transaction([&] {
            Statement last(db_, "SELECT COALESCE(MAX(sequence), 0) FROM serials WHERE format = ?");
            last.Bind(1, format.Text()).Step();
            std::uint64_t sequence = static_cast<std::uint64_t>(last.Integer(0));
            for (int tries = 0; serial.empty(); ++tries) {
                if (++sequence > format.LastSequence() || tries == kAllocationTries)
                    throw DatabaseError("the format " + format.Text() + " has no numbers left");
                const std::string candidate = format.Expand(Today(), sequence);
                Statement taken(db_, "SELECT 1 FROM serials WHERE serial = ?");
                if (taken.Bind(1, candidate).Step()) continue;
                Statement(db_, "INSERT INTO serials (serial, format, sequence, status, station, "
                               "port, allocated_at) VALUES (?, ?, ?, 'allocated', ?, ?, ?)")
                    .Bind(1, candidate)
                    .Bind(2, format.Text())
                    .Bind(3, static_cast<std::int64_t>(sequence))
                    .Bind(4, station)
                    .Bind(5, port)
                    .Bind(6, UtcNow())
                    .Step();
                serial = candidate;
            }
        });
        return serial;
    }

    void Settle(const std::string& serial, bool programmed) override {
        Statement(db_, "UPDATE serials SET status = ?, settled_at = ? WHERE serial = ?")
            .Bind(1, std::string(programmed ? "programmed" : "void"))
            .Bind(2, UtcNow())
            .Bind(3, serial)
            .Step();
        if (sqlite3_changes(db_) != 1) throw DatabaseError("the number " + serial + " is not there");
    }

    void AddRun(const RunRecord& record, const std::string& station, const std::string& utcTime,
                const std::string& hostName, const std::string& commandLine) override {
        Statement insert(db_,
                         "INSERT INTO runs (time, host, station, command_line, command, device, "
                         "device_path, ok, exit_code, message, failure, seconds, file, length, "
                         "checksum, sha256, range, chip_id, flash_uid, failing_step, serial) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, utcTime).Bind(2, hostName).Bind(3, station).Bind(4, commandLine);
        insert.Bind(5, record.command).Bind(6, record.device).Bind(7, record.devicePath);
        insert.Bind(8, std::int64_t{record.ok}).Bind(9, std::int64_t{record.exitCode});
        insert.Bind(10, record.message).Bind(11, record.failure).Bind(12, record.seconds);
        insert.Bind(13, record.file);
        if (record.length) insert.Bind(14, std::int64_t{*record.length});
        else insert.BindNull(14);
        if (record.checksum) insert.Bind(15, "0x" + Hex4(*record.checksum));
        else insert.BindNull(15);
        insert.Bind(16, record.sha256).Bind(17, record.range).Bind(18, record.chipId);
        insert.Bind(19, record.flashUid).Bind(20, record.ok ? std::string() : record.message);
        insert.Bind(21, record.serial);
        insert.Step();
    }

    std::vector<SerialRow> Serials() override {
        std::vector<SerialRow> rows;
        Statement select(db_, "SELECT serial, status, station, port, allocated_at FROM serials "
                              "ORDER BY allocated_at, serial");
        while (select.Step())
            rows.push_back({select.Text(0), select.Text(1), select.Text(2), select.Text(3),
                            select.Text(4)});
        return rows;
    }

private:
    void Execute(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string why = error ? error : sqlite3_errmsg(db_);
            sqlite3_free(error);
            throw DatabaseError(why);
        }
    }
    // BEGIN IMMEDIATE takes the write lock at once, so two stations never read the same last
    // number; anything thrown inside rolls the transaction back.
    void Transaction(const std::function<void()>& work) {
        Execute("BEGIN IMMEDIATE");
        try {
            work();
            Execute("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::string path_;
    sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<RunDatabase> OpenRunDatabase(const std::string& url) {
    constexpr std::string_view kSqlite = "sqlite:";
    if (url.starts_with(kSqlite) && url.size() > kSqlite.size())
        return std::make_unique<SqliteRunDatabase>(url.substr(kSqlite.size()));
    throw BadInput("--db " + url + ": not a database this qvusb knows (sqlite:PATH)");
}

}  // namespace qv::cli
