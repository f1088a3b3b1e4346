#include "station/StationRunner.h"

#include <ostream>

#include "cli/Reporting.h"
#include "cli/SlotLearning.h"
#include "cli/StationRun.h"
#include "line/DatabaseUrl.h"
#include "line/HostName.h"
#include "line/RunDatabase.h"
#include "sim/SimHost.h"

namespace {
// The seconds the database may take to connect and for each statement, as qvusb's default.
constexpr int kDatabaseTimeoutSeconds = 5;

// The window shows the verdicts: its runs print nothing.
qv::cli::Reporting Quiet(std::ostream& discarded, const std::string& commandLine) {
    qv::cli::Reporting reporting;
    reporting.mode = qv::cli::OutputMode::Quiet;
    reporting.out = &discarded;
    reporting.commandLine = commandLine;
    return reporting;
}

}  // namespace

StationRunner::StationRunner(qv::cli::GlobalOptions bus, std::string commandLine,
                             StationPicture& picture)
    : bus_(std::move(bus)), commandLine_(std::move(commandLine)), picture_(picture) {}

StationRunner::~StationRunner() {
    picture_.RequestStop();
    if (thread_.joinable()) thread_.join();
}

void StationRunner::StartWork(std::function<void()> work) {
    if (running_) return;
    if (thread_.joinable()) thread_.join();
    running_ = true;
    thread_ = std::thread([this, work = std::move(work)] {
        work();
        running_ = false;
    });
}

void StationRunner::Start(const qv::LoadedJob& job, unsigned units) {
    if (running_) return;
    picture_.Started();
    StartWork([this, job, units] { Run(job, units); });
}

void StationRunner::Learn(const std::string& jobFile, const qv::LoadedJob& job, unsigned count) {
    if (running_) return;
    picture_.OpenJob({});
    picture_.Started();
    StartWork([this, jobFile, job, count] { LearnSlots(jobFile, job, count); });
}

void StationRunner::Run(qv::LoadedJob job, unsigned units) {
    std::string problem;
    try {
        std::ostream discarded(nullptr);
        qv::cli::Reporting reporting = Quiet(discarded, commandLine_);
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
}

void StationRunner::LearnSlots(std::string jobFile, qv::LoadedJob job, unsigned count) {
    std::string problem;
    try {
        std::ostream discarded(nullptr);
        qv::cli::Reporting reporting = Quiet(discarded, commandLine_);
        qv::cli::GlobalOptions options = bus_;
        options.reporting = &reporting;
        std::optional<std::vector<qv::JobSlot>> learned;
        qv::cli::WithSession(options, [&](qv::cli::Session& session) {
            learned = qv::cli::LearnSlots(session.Host(), session.UserDeviceMatch(),
                                          qv::cli::SlotLabels(count), picture_);
        });
        if (!learned) {
            problem = "Stopped: the job " + jobFile + " is unchanged";
        } else if (const auto cannot = qv::cli::WriteJobSlots(jobFile, job.job, *learned)) {
            problem = *cannot;
        } else {
            picture_.JobWritten();
        }
    } catch (const std::exception& error) {
        problem = error.what();
    }
    picture_.Ended(problem);
}
