#include <ctime>

#include "cli/AuditLog.h"
#include "cli/CliErrors.h"
#include "cli/RunDatabase.h"
#include "cli/SqlConnection.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

constexpr int kSchemaVersion = 1;
// Numbers tried when the next one's text is taken already (another format gave it).
constexpr int kAllocationTries = 100;

std::vector<std::string> Schema(const char* identityKey) {
    return {
        "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS serials ("
        " serial TEXT PRIMARY KEY, format TEXT NOT NULL, sequence BIGINT NOT NULL,"
        " status TEXT NOT NULL CHECK (status IN ('allocated', 'programmed', 'void')),"
        " station TEXT NOT NULL, port TEXT NOT NULL, allocated_at TEXT NOT NULL,"
        " settled_at TEXT, UNIQUE (format, sequence))",
        std::string("CREATE TABLE IF NOT EXISTS runs (id ") + identityKey + ","
        " time TEXT NOT NULL, host TEXT NOT NULL, station TEXT NOT NULL,"
        " command_line TEXT NOT NULL, command TEXT NOT NULL, device TEXT NOT NULL,"
        " device_path TEXT NOT NULL, ok INTEGER NOT NULL, exit_code INTEGER NOT NULL,"
        " message TEXT NOT NULL, failure TEXT NOT NULL, seconds DOUBLE PRECISION NOT NULL,"
        " file TEXT NOT NULL, length BIGINT, checksum TEXT, sha256 TEXT NOT NULL,"
        " range TEXT NOT NULL, chip_id TEXT NOT NULL, flash_uid TEXT NOT NULL,"
        " failing_step TEXT NOT NULL, serial TEXT NOT NULL)",
    };
}

SerialFormat::Date Today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
}

// The run database over one SQL connection: the same statements on SQLite and PostgreSQL.
class SqlRunDatabase : public RunDatabase {
public:
    explicit SqlRunDatabase(std::unique_ptr<SqlConnection> connection)
        : sql_(std::move(connection)) {
        sql_->Exclusive([&] {
            for (const std::string& statement : Schema(sql_->IdentityKey())) sql_->Query(statement);
            const auto version = sql_->Query("SELECT version FROM schema_version");
            if (version.empty())
                sql_->Query("INSERT INTO schema_version VALUES ($1)", {std::to_string(kSchemaVersion)});
            else if (version[0][0] != std::to_string(kSchemaVersion))
                throw DatabaseError("its schema is version " + version[0][0].value_or("?") +
                                    "; this qvusb knows version " +
                                    std::to_string(kSchemaVersion));
        });
    }

    int VoidUnsettled(const std::string& station) override {
        return static_cast<int>(
            sql_->Query("UPDATE serials SET status = 'void', settled_at = $1"
                        " WHERE station = $2 AND status = 'allocated' RETURNING serial",
                        {UtcNow(), station})
                .size());
    }

    std::string Allocate(const SerialFormat& format, const std::string& station,
                         const std::string& port) override {
        std::string serial;
        sql_->Exclusive([&] {
            const auto last = sql_->Query(
                "SELECT COALESCE(MAX(sequence), 0) FROM serials WHERE format = $1", {format.Text()});
            std::uint64_t sequence = std::stoull(last.at(0).at(0).value_or("0"));
            for (int tries = 0; serial.empty(); ++tries) {
                if (++sequence > format.LastSequence() || tries == kAllocationTries)
                    throw DatabaseError("the format " + format.Text() + " has no numbers left");
                const std::string candidate = format.Expand(Today(), sequence);
                if (!sql_->Query("SELECT 1 FROM serials WHERE serial = $1", {candidate}).empty())
                    continue;
                sql_->Query("INSERT INTO serials (serial, format, sequence, status, station, port,"
                            " allocated_at) VALUES ($1, $2, $3, 'allocated', $4, $5, $6)",
                            {candidate, format.Text(), std::to_string(sequence), station, port,
                             UtcNow()});
                serial = candidate;
            }
        });
        return serial;
    }

    void Settle(const std::string& serial, bool programmed) override {
        const auto settled = sql_->Query(
            "UPDATE serials SET status = $1, settled_at = $2 WHERE serial = $3 RETURNING serial",
            {programmed ? "programmed" : "void", UtcNow(), serial});
        if (settled.size() != 1) throw DatabaseError("the number " + serial + " is not there");
    }

    void AddRun(const RunRecord& record, const std::string& station, const std::string& utcTime,
                const std::string& hostName, const std::string& commandLine) override {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", record.seconds);
        sql_->Query(
            "INSERT INTO runs (time, host, station, command_line, command, device, device_path,"
            " ok, exit_code, message, failure, seconds, file, length, checksum, sha256, range,"
            " chip_id, flash_uid, failing_step, serial) VALUES ($1, $2, $3, $4, $5, $6, $7, $8,"
            " $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21)",
            {utcTime, hostName, station, commandLine, record.command, record.device,
             record.devicePath, record.ok ? "1" : "0", std::to_string(record.exitCode),
             record.message, record.failure, seconds, record.file,
             record.length ? Value(std::to_string(*record.length)) : std::nullopt,
             record.checksum ? Value("0x" + Hex4(*record.checksum)) : std::nullopt, record.sha256,
             record.range, record.chipId, record.flashUid, record.ok ? "" : record.message,
             record.serial});
    }

    std::vector<SerialRow> Serials() override {
        std::vector<SerialRow> rows;
        for (const auto& row : sql_->Query("SELECT serial, status, station, port, allocated_at"
                                           " FROM serials ORDER BY allocated_at, serial"))
            rows.push_back({*row[0], *row[1], *row[2], *row[3], *row[4]});
        return rows;
    }

    std::vector<RunRow> Runs(const RunFilter& filter) override {
        std::vector<RunRow> rows;
        for (const auto& row : sql_->Query(
                 "SELECT time, station, device, sha256, file, ok, failing_step, serial, flash_uid"
                 " FROM runs WHERE command IN ('flash', 'station') AND time >= $1"
                 " AND ($2 = '' OR station = $2) ORDER BY time, id",
                 {filter.since, filter.station}))
            rows.push_back({*row[0], *row[1], *row[2], *row[3], *row[4], row[5] == "1", *row[6],
                            *row[7], *row[8]});
        return rows;
    }

private:
    using Value = SqlConnection::Value;
    std::unique_ptr<SqlConnection> sql_;
};

}  // namespace

std::unique_ptr<RunDatabase> OpenRunDatabase(const std::string& url) {
    constexpr std::string_view kSqlite = "sqlite:";
    const bool sqlite = url.starts_with(kSqlite) && url.size() > kSqlite.size();
    const bool postgres = url.starts_with("postgresql://") || url.starts_with("postgres://");
    if (!sqlite && !postgres)
        throw BadInput("--db " + url + ": not a database this qvusb knows (sqlite:PATH or "
                       "postgresql://...)");
    try {
        return std::make_unique<SqlRunDatabase>(sqlite ? OpenSqlite(url.substr(kSqlite.size()))
                                                       : OpenPostgres(url));
    } catch (const DatabaseError& error) {
        throw BadInput("Cannot use the database " + url + ": " + error.what());
    }
}

}  // namespace qv::cli
