#include <chrono>
#include <cstdio>
#include <mutex>

#include "common/HexFormat.h"
#include "line/AuditLog.h"
#include "line/RecordErrors.h"
#include "line/RunDatabase.h"
#include "line/SqlConnection.h"

namespace qv {
namespace {

// Version 2 added the runs' production order and operator, version 3 the station's job (its
// name, the SHA-256 of its file, the slot of the port); an older database is upgraded when it
// is opened for writing.
constexpr int kSchemaVersion = 3;
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
        " failing_step TEXT NOT NULL, serial TEXT NOT NULL,"
        " work_order TEXT NOT NULL DEFAULT '', operator TEXT NOT NULL DEFAULT '',"
        " job TEXT NOT NULL DEFAULT '', job_sha256 TEXT NOT NULL DEFAULT '',"
        " slot TEXT NOT NULL DEFAULT '')",
        "CREATE TABLE IF NOT EXISTS stations (name TEXT PRIMARY KEY, host TEXT NOT NULL,"
        " process TEXT NOT NULL, heartbeat TEXT NOT NULL)",
    };
}

// Every column this tool reads or writes, so that a table of another layout is found when the
// database is opened, before a board is flashed.
constexpr const char* kLayoutChecks[] = {
    "SELECT serial, format, sequence, status, station, port, allocated_at, settled_at"
    " FROM serials WHERE 1 = 0",
    "SELECT id, time, host, station, command_line, command, device, device_path, ok, exit_code,"
    " message, failure, seconds, file, length, checksum, sha256, range, chip_id, flash_uid,"
    " failing_step, serial, work_order, operator, job, job_sha256, slot FROM runs WHERE 1 = 0",
    "SELECT name, host, process, heartbeat FROM stations WHERE 1 = 0",
};

// The UTC date and time of day of a moment, to the second, from <chrono>'s calendar: the C
// library's thread-safe gmtime is gmtime_r on POSIX and gmtime_s on Windows.
struct UtcTime {
    std::chrono::year_month_day date;
    std::chrono::hh_mm_ss<std::chrono::seconds> time;
};

UtcTime UtcAt(std::chrono::system_clock::time_point moment) {
    const auto second = std::chrono::floor<std::chrono::seconds>(moment);
    const auto day = std::chrono::floor<std::chrono::days>(second);
    return {std::chrono::year_month_day(day), std::chrono::hh_mm_ss(second - day)};
}

SerialFormat::Date Today() {
    const auto date = UtcAt(std::chrono::system_clock::now()).date;
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

// The UTC time `seconds` before now, to compare with the times the database keeps (those of the
// same second, with their milliseconds, come after it).
std::string UtcSecondsAgo(int seconds) {
    const UtcTime utc = UtcAt(std::chrono::system_clock::now() - std::chrono::seconds(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d",
                  static_cast<int>(utc.date.year()), static_cast<unsigned>(utc.date.month()),
                  static_cast<unsigned>(utc.date.day()), static_cast<int>(utc.time.hours().count()),
                  static_cast<int>(utc.time.minutes().count()),
                  static_cast<int>(utc.time.seconds().count()));
    return text;
}

// The run database over one SQL connection: the same statements on SQLite and PostgreSQL. The
// boards of a station ask for their numbers from threads of their own: one request at a time.
class SqlRunDatabase : public RunDatabase {
public:
    SqlRunDatabase(std::unique_ptr<SqlConnection> connection, DatabaseAccess access)
        : sql_(std::move(connection)) {
        // A database already of this version is not changed: a station's role needs no right
        // to create tables.
        if (access == DatabaseAccess::ReadWrite && StoredVersion() != std::to_string(kSchemaVersion))
            sql_->Exclusive([&] {
                for (const std::string& statement : Schema(sql_->IdentityKey()))
                    sql_->Query(statement);
                const auto version = sql_->Query("SELECT version FROM schema_version");
                if (version.empty())
                    sql_->Query("INSERT INTO schema_version VALUES ($1)",
                                {std::to_string(kSchemaVersion)});
                else if (version[0][0] == "1" || version[0][0] == "2")
                    UpgradeFromVersion(version[0][0] == "1" ? 1 : 2);
            });
        CheckLayout();
    }

    int StartStation(const StationLease& lease,
                     const std::function<bool(const StationLease& holder)>& gone) override {
        const std::lock_guard lock(mutex_);
        int voided = 0;
        sql_->Exclusive([&] {
            const auto holder = sql_->Query(
                "SELECT host, process, heartbeat FROM stations WHERE name = $1 AND heartbeat > $2",
                {lease.station, UtcSecondsAgo(kLeaseSeconds)});
            if (!holder.empty() &&
                !gone({lease.station, holder[0][0].value_or(""), holder[0][1].value_or("")}))
                throw StationRunning("A station named " + lease.station + " is running on " +
                                     holder[0][0].value_or("?") + " (process " +
                                     holder[0][1].value_or("?") + ", seen " +
                                     holder[0][2].value_or("?") +
                                     "); give this one another --station");
            sql_->Query("DELETE FROM stations WHERE name = $1", {lease.station});
            sql_->Query("INSERT INTO stations (name, host, process, heartbeat)"
                        " VALUES ($1, $2, $3, $4)",
                        {lease.station, lease.hostName, lease.process, UtcNow()});
            voided = static_cast<int>(
                sql_->Query("UPDATE serials SET status = 'void', settled_at = $1"
                            " WHERE station = $2 AND status = 'allocated' RETURNING serial",
                            {UtcNow(), lease.station})
                    .size());
        });
        return voided;
    }

    void RenewLease(const StationLease& lease) override {
        const std::lock_guard lock(mutex_);
        sql_->Query("UPDATE stations SET heartbeat = $1 WHERE name = $2 AND host = $3"
                    " AND process = $4",
                    {UtcNow(), lease.station, lease.hostName, lease.process});
    }

    void EndStation(const StationLease& lease) override {
        const std::lock_guard lock(mutex_);
        sql_->Query("DELETE FROM stations WHERE name = $1 AND host = $2 AND process = $3",
                    {lease.station, lease.hostName, lease.process});
    }

    std::string Allocate(const SerialFormat& format, const std::string& station,
                         const std::string& port) override {
        const std::lock_guard lock(mutex_);
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

    void Record(const RunRecord& record, const RunPlace& place,
                const std::function<void()>& beforeCommit) override {
        const std::lock_guard lock(mutex_);
        sql_->Exclusive([&] {
            if (!record.serial.empty() && !record.serialKept) Settle(record.serial, record.ok, place);
            AddRun(record, place);
            if (beforeCommit) beforeCommit();
        });
    }

    std::optional<std::string> ProgrammedSerial(const std::string& flashUid) override {
        const std::lock_guard lock(mutex_);
        const auto kept = sql_->Query(
            "SELECT runs.serial FROM runs JOIN serials ON serials.serial = runs.serial"
            " WHERE runs.flash_uid = $1 AND runs.ok = 1 AND serials.status = 'programmed'"
            " ORDER BY runs.time DESC, runs.id DESC LIMIT 1",
            {flashUid});
        if (kept.empty()) return std::nullopt;
        return kept[0][0];
    }

    std::vector<SerialRow> Serials() override {
        const std::lock_guard lock(mutex_);
        std::vector<SerialRow> rows;
        for (const auto& row : sql_->Query("SELECT serial, status, station, port, allocated_at"
                                           " FROM serials ORDER BY allocated_at, serial"))
            rows.push_back({*row[0], *row[1], *row[2], *row[3], *row[4]});
        return rows;
    }

    std::vector<RunRow> Runs(const RunFilter& filter) override {
        const std::lock_guard lock(mutex_);
        return RunRows("time >= $1 AND ($2 = '' OR time < $2) AND ($3 = '' OR station = $3)"
                       " AND ($4 = '' OR work_order = $4) AND ($5 = '' OR operator = $5)",
                       {filter.since, filter.until, filter.station, filter.workOrder,
                        filter.operatorName});
    }

    std::vector<RunRow> BoardRuns(const std::string& board) override {
        const std::lock_guard lock(mutex_);
        return RunRows("(flash_uid = $1 OR serial = $1) AND $1 <> ''", {board});
    }

private:
    using Value = SqlConnection::Value;

    std::vector<RunRow> RunRows(const std::string& condition, const std::vector<Value>& params) {
        std::vector<RunRow> rows;
        for (const auto& row : sql_->Query(
                 "SELECT time, station, device, sha256, file, ok, failure, failing_step, serial,"
                 " flash_uid, slot FROM runs WHERE command IN ('flash', 'station') AND " +
                     condition + " ORDER BY time, id",
                 params))
            rows.push_back({*row[0], *row[1], *row[2], *row[3], *row[4], row[5] == "1", *row[6],
                            *row[7], *row[8], *row[9], *row[10]});
        return rows;
    }

    // The version the database says it is of; nothing when it has no schema yet. Asked outside a
    // transaction: a failed statement does not end one.
    std::optional<std::string> StoredVersion() {
        try {
            const auto version = sql_->Query("SELECT version FROM schema_version");
            if (!version.empty()) return version[0][0];
        } catch (const DatabaseError&) {
        }
        return std::nullopt;
    }

    // The columns each later version added, the runs before them left empty.
    void UpgradeFromVersion(int version) {
        if (version < 2) {
            sql_->Query("ALTER TABLE runs ADD COLUMN work_order TEXT NOT NULL DEFAULT ''");
            sql_->Query("ALTER TABLE runs ADD COLUMN operator TEXT NOT NULL DEFAULT ''");
        }
        sql_->Query("ALTER TABLE runs ADD COLUMN job TEXT NOT NULL DEFAULT ''");
        sql_->Query("ALTER TABLE runs ADD COLUMN job_sha256 TEXT NOT NULL DEFAULT ''");
        sql_->Query("ALTER TABLE runs ADD COLUMN slot TEXT NOT NULL DEFAULT ''");
        sql_->Query("UPDATE schema_version SET version = $1", {std::to_string(kSchemaVersion)});
    }

    // The schema's version first (an older one is named as such), then every column.
    void CheckLayout() {
        try {
            const auto version = sql_->Query("SELECT version FROM schema_version");
            const std::string found = version.empty() ? "?" : version[0][0].value_or("?");
            if (found == "1" || found == "2")
                throw DatabaseError("its schema is version " + found +
                                    "; a command that records runs upgrades it to version " +
                                    std::to_string(kSchemaVersion));
            if (found != std::to_string(kSchemaVersion))
                throw DatabaseError("its schema is version " + found +
                                    "; this qvusb knows version " +
                                    std::to_string(kSchemaVersion));
            for (const char* check : kLayoutChecks) sql_->Query(check);
        } catch (const DatabaseError& error) {
            throw DatabaseError(std::string("not a run database of this qvusb (") + error.what() +
                                ")");
        }
    }

    // Only a number still allocated to the run's station is settled: one a later start of the
    // station voided stays void.
    void Settle(const std::string& serial, bool programmed, const RunPlace& place) {
        const auto settled = sql_->Query(
            "UPDATE serials SET status = $1, settled_at = $2 WHERE serial = $3"
            " AND status = 'allocated' AND station = $4 RETURNING serial",
            {programmed ? "programmed" : "void", place.utcTime, serial, place.station});
        if (settled.size() != 1)
            throw DatabaseError("the number " + serial + " is no longer allocated to station " +
                                place.station);
    }

    void AddRun(const RunRecord& record, const RunPlace& place) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", record.seconds);
        sql_->Query(
            "INSERT INTO runs (time, host, station, command_line, command, device, device_path,"
            " ok, exit_code, message, failure, seconds, file, length, checksum, sha256, range,"
            " chip_id, flash_uid, failing_step, serial, work_order, operator, job, job_sha256,"
            " slot) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16,"
            " $17, $18, $19, $20, $21, $22, $23, $24, $25, $26)",
            {place.utcTime, place.hostName, place.station, place.commandLine, record.command,
             record.device, record.devicePath, record.ok ? "1" : "0",
             std::to_string(record.exitCode), record.message, record.failure, seconds,
             record.file, record.length ? Value(std::to_string(*record.length)) : std::nullopt,
             record.checksum ? Value("0x" + Hex4(*record.checksum)) : std::nullopt,
             record.sha256, record.range, record.chipId, record.flashUid,
             record.ok ? "" : record.message, record.serial, record.workOrder,
             record.operatorName, record.job, record.jobSha256, record.slot});
    }

    std::mutex mutex_;
    std::unique_ptr<SqlConnection> sql_;
};

}  // namespace

std::unique_ptr<RunDatabase> OpenRunDatabase(const DatabaseUrl& url, DatabaseAccess access,
                                             int timeoutSeconds) {
    const SqlLimits limits{timeoutSeconds, access == DatabaseAccess::ReadOnly};
    try {
        return std::make_unique<SqlRunDatabase>(url.kind == DatabaseUrl::Kind::Sqlite
                                                    ? OpenSqlite(url.path, limits)
                                                    : OpenPostgres(url.connection, limits),
                                                access);
    } catch (const DatabaseError& error) {
        throw RecordsRefused("Cannot use the database " + url.shown + ": " + error.what());
    }
}

}  // namespace qv
