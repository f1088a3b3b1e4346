#include "station/StationRunner.h"

#include <ostream>

#include "cli/Reporting.h"
#include "cli/StationRun.h"
#include "line/DatabaseUrl.h"
#include "line/HostName.h"
#include "line/RunDatabase.h"
#include "sim/SimHost.h"

namespace {
// The seconds the database may take to connect and for each statement, as qvusb's default.
constexpr int kDatabaseTimeoutSeconds = 5;
}  // namespace

StationRunner::StationRunner(qv::cli::GlobalOptions bus, std::string commandLine,
                             StationPicture& picture)
    : bus_(std::move(bus)), commandLine_(std::move(commandLine)), picture_(picture) {}

StationRunner::~StationRunner() {
    picture_.RequestStop();
    if (thread_.joinable()) thread_.join();
}

void StationRunner::Start(const qv::LoadedJob& job, unsigned units) {
    if (running_) return;
    if (thread_.joinable()) thread_.join();
    running_ = true;
    picture_.Started();
    thread_ = std::thread([this, job, units] { Run(job, units); });
}

void StationRunner::Run(qv::LoadedJob job, unsigned units) {
    std::string problem;
    try {
        // The window shows the verdicts; nothing is printed.
        std::ostream discarded(nullptr);
        qv::cli::Reporting reporting;
        reporting.mode = qv::cli::OutputMode::Quiet;
        reporting.out = &discarded;
        reporting.commandLine = commandLine_;
        reporting.station = job.job.station.empty() ? qv::HostName() : job.job.station;
        if (!job.job.database.empty())
            reporting.database =
                qv::OpenRunDatabase(qv::ParseDatabaseUrl(job.job.database),
                                    qv::DatabaseAccess::ReadWrite, kDatabaseTimeoutSeconds);
        qv::cli::GlobalOptions options = bus_;
        options.reporting = &reporting;
        if (!job.job.station.empty())
            options.simulator.boardSeries = qv::sim::SimHost::BoardSeries(job.job.station);
        options.job = std::move(job);
        qv::cli::StationArguments args;
        args.units = units;
        qv::cli::WithSession(options, [&](qv::cli::Session& session) {
            qv::cli::RunStationOn(session, options, args, picture_);
        });
    } catch (const std::exception& error) {
        problem = error.what();
    }
    picture_.Ended(problem);
    running_ = false;
}
