// The run database's rules, on SQLite and (when the test script started one) PostgreSQL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "line/RunDatabase.h"
#include "line/SqlConnection.h"
#include "line/StationClaim.h"
#include "tests/support/TempDir.h"

namespace {

const qv::SerialFormat kFormat = qv::SerialFormat::Parse("QV{seq:04}");
const qv::StationLease kFirst{"line-1", "pc-a", "100"};
const qv::StationLease kSecond{"line-1", "pc-b", "200"};

qv::RunRecord Passed(const std::string& serial) {
    qv::RunRecord record;
    record.command = "station";
    record.serial = serial;
    record.ok = true;
    record.exitCode = 0;
    record.message = "Verifying Success";
    return record;
}

qv::RunPlace At(const std::string& station) {
    return {station, "2026-12-08T10:00:00Z", "pc-a", "qvusb"};
}

class RunDatabaseTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "postgresql") {
            const char* server = std::getenv("QV_TEST_POSTGRES");
            if (server == nullptr) GTEST_SKIP() << "no PostgreSQL server (QV_TEST_POSTGRES)";
            // A schema of its own: the command-line tests use the same database meanwhile.
            qv::OpenPostgres(server, {})->Query("CREATE SCHEMA IF NOT EXISTS line_tests");
            url_ =
                qv::ParseDatabaseUrl(std::string(server) + "&options=-csearch_path%3Dline_tests");
            qv::OpenPostgres(url_.connection, {})
                ->Query("DROP TABLE IF EXISTS runs, serials, schema_version, stations");
        } else {
            url_ = qv::ParseDatabaseUrl("sqlite:" + folder_.Path("line.db").string());
        }
        database_ = qv::OpenRunDatabase(url_, qv::DatabaseAccess::ReadWrite, 5);
    }

    std::string Status(const std::string& serial) {
        for (const qv::SerialRow& row : database_->Serials())
            if (row.serial == serial) return row.status;
        return "missing";
    }

    TempDir folder_;
    qv::DatabaseUrl url_;
    std::unique_ptr<qv::RunDatabase> database_;
};

// The run's row and its number's settlement are one: what undoes one undoes both, and a number
// a later start of its station voided is not settled. A connection the server ended is made
// again at the next transaction.
TEST_P(RunDatabaseTest, ARunAndItsNumberAreRecordedTogetherOrNotAtAll) {
    const std::string first = database_->Allocate(kFormat, "line-1", "1-1");
    EXPECT_EQ(first, "QV0001");
    EXPECT_THROW(
        database_->Record(Passed(first), At("line-1"), [] { throw qv::DatabaseError("log"); }),
        qv::DatabaseError);
    EXPECT_EQ(Status(first), "allocated");
    EXPECT_TRUE(database_->Runs({}).empty());

    database_->Record(Passed(first), At("line-1"), {});
    EXPECT_EQ(Status(first), "programmed");
    ASSERT_EQ(database_->Runs({}).size(), 1u);

    const std::string second = database_->Allocate(kFormat, "line-1", "1-2");
    EXPECT_THROW(database_->Record(Passed(second), At("line-2"), {}), qv::DatabaseError);
    {
        const qv::StationClaim restarted(*database_, kFirst);
        EXPECT_EQ(restarted.Voided(), 1);
    }
    EXPECT_THROW(database_->Record(Passed(second), At("line-1"), {}), qv::DatabaseError);
    EXPECT_EQ(Status(second), "void");
    EXPECT_EQ(database_->Runs({}).size(), 1u);

    if (GetParam() == "postgresql") {  // the server ended the connection (as a restart does)
        (void)qv::OpenPostgres(url_.connection, {})
            ->Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                    " WHERE datname = current_database() AND pid <> pg_backend_pid()");
        EXPECT_EQ(database_->Allocate(kFormat, "line-1", "1-3"), "QV0003");
    }
}

// A live station's name is refused to another; its numbers are voided only once it is gone.
TEST_P(RunDatabaseTest, AStationNameIsHeldWhileItsStationRuns) {
    std::string serial;
    {
        const qv::StationClaim claim(*database_, kFirst);
        serial = database_->Allocate(kFormat, "line-1", "1-1");
        EXPECT_THROW((qv::StationClaim{*database_, kSecond}), qv::StationRunning);
        const qv::StationClaim other(*database_, {"line-2", "pc-b", "200"});
        EXPECT_EQ(other.Voided(), 0);
    }
    const qv::StationClaim after(*database_, kSecond);
    EXPECT_EQ(after.Voided(), 1);
    EXPECT_EQ(Status(serial), "void");
}

TEST_P(RunDatabaseTest, ReadingNeverCreatesADatabaseAndRefusesAForeignLayout) {
    if (GetParam() == "sqlite") {
        const auto missing = qv::ParseDatabaseUrl("sqlite:" + folder_.Path("none.db").string());
        EXPECT_THROW(qv::OpenRunDatabase(missing, qv::DatabaseAccess::ReadOnly, 5),
                     qv::RecordsRefused);
        EXPECT_FALSE(std::filesystem::exists(folder_.Path("none.db")));
    }
    const auto reader = qv::OpenRunDatabase(url_, qv::DatabaseAccess::ReadOnly, 5);
    EXPECT_TRUE(reader->Runs({}).empty());
    EXPECT_THROW(reader->Allocate(kFormat, "line-1", "1-1"), qv::DatabaseError);

    database_.reset();
    const auto sql = GetParam() == "sqlite" ? qv::OpenSqlite(url_.path, {})
                                            : qv::OpenPostgres(url_.connection, {});
    sql->Query("DROP TABLE runs");
    sql->Query("CREATE TABLE runs (id INTEGER, time TEXT)");
    EXPECT_THROW(qv::OpenRunDatabase(url_, qv::DatabaseAccess::ReadWrite, 5), qv::RecordsRefused);
}

// A database of the first layout (no production order, operator or job) is read only after a
// command that records runs has upgraded it, and keeps its runs.
TEST_P(RunDatabaseTest, AnOlderLayoutIsUpgradedWhenOpenedForWriting) {
    database_.reset();
    {
        const auto sql = GetParam() == "sqlite" ? qv::OpenSqlite(url_.path, {})
                                                : qv::OpenPostgres(url_.connection, {});
        sql->Query("ALTER TABLE runs DROP COLUMN work_order");
        sql->Query("ALTER TABLE runs DROP COLUMN operator");
        sql->Query("ALTER TABLE runs DROP COLUMN job");
        sql->Query("ALTER TABLE runs DROP COLUMN job_sha256");
        sql->Query("ALTER TABLE runs DROP COLUMN slot");
        sql->Query("UPDATE schema_version SET version = 1");
    }
    try {
        (void)qv::OpenRunDatabase(url_, qv::DatabaseAccess::ReadOnly, 5);
        ADD_FAILURE() << "an older layout was read";
    } catch (const qv::RecordsRefused& refused) {
        EXPECT_NE(std::string(refused.what()).find("version 1"), std::string::npos);
    }
    const auto upgraded = qv::OpenRunDatabase(url_, qv::DatabaseAccess::ReadWrite, 5);
    qv::RunRecord record = Passed("");
    record.workOrder = "WO-17";
    upgraded->Record(record, At("line-1"), {});
    qv::RunFilter order;
    order.workOrder = "WO-17";
    EXPECT_EQ(qv::OpenRunDatabase(url_, qv::DatabaseAccess::ReadOnly, 5)->Runs(order).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Databases, RunDatabaseTest, ::testing::Values("sqlite", "postgresql"));

}  // namespace
