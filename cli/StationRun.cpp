#include "cli/StationRun.h"

#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include "cli/CliErrors.h"
#include "cli/JobOutcome.h"
#include "cli/Reporting.h"
#include "cli/SerialNumbers.h"
#include "cli/Session.h"
#include "cli/StationRecorder.h"
#include "image/ProgramFileCheck.h"
#include "line/HostName.h"
#include "line/StationClaim.h"

namespace qv::cli {
namespace {

// Between the station's runner and its front: turns each judged board into its record (with
// the port's slot), hands it to the recorder, and shows ports and written verdicts with the
// station's summary.
class StationLine : public StationFront {
public:
    StationLine(Reporting& reporting, RunRecord fileRecord, DeviceHost& host,
                std::vector<JobSlot> fixtureSlots, StationDisplay& display)
        : reporting_(reporting),
          fileRecord_(std::move(fileRecord)),
          host_(host),
          fixtureSlots_(std::move(fixtureSlots)),
          display_(display) {}

    void BoardJudged(const StationBoard& board) override {
        RunRecord record = fileRecord_;
        record.device = board.selector;
        record.slot = SlotOf(board.selector);
        record.devicePath = board.run.target.path;
        record.chipId = ChipIdText(board.run.chipId);
        record.flashUid = UniqueIdText(board.run.uniqueId);
        record.serial = board.serial;
        record.serialKept = board.serialKept;
        record.checksum = board.checksum;
        RecordResult(record, board.run.result);
        record.seconds = board.run.seconds;
        reporting_.Complete(record);
        recorder_->Add(std::move(record));
    }

    // Where judged boards are recorded; set before the station starts.
    void RecordWith(StationRecorder& recorder) { recorder_ = &recorder; }

    // A written record's verdict, from the recorder's thread.
    void ShowVerdict(RunRecord& record) {
        std::lock_guard lock(mutex_);
        summary_.Count(record);
        display_.ShowVerdict(record, StateLocked());
        reporting_.Announce(record);
    }

    void Show(const std::vector<SlotSnapshot>& slots) override {
        std::vector<PortView> ports;
        ports.reserve(slots.size());
        for (const SlotSnapshot& slot : slots) ports.push_back({slot, SlotOf(slot.selector)});
        std::lock_guard lock(mutex_);
        display_.ShowPorts(ports, StateLocked());
    }

    bool StopRequested() override { return display_.StopRequested(); }

    BatchSummary Summary() const {
        std::lock_guard lock(mutex_);
        return StateLocked().summary;
    }

private:
    std::string SlotOf(const std::string& port) const {
        for (const JobSlot& slot : fixtureSlots_)
            if (slot.port == port) return slot.label;
        return {};
    }

    LineState StateLocked() const {
        LineState state;
        state.summary = summary_;
        state.summary.workedMs = host_.NowMs() - startedMs_;
        if (recorder_ != nullptr && recorder_->DatabaseAway()) {
            state.databaseAway = true;
            state.waitingForDatabase = recorder_->Waiting();
        }
        return state;
    }

    Reporting& reporting_;
    RunRecord fileRecord_;
    DeviceHost& host_;
    const std::vector<JobSlot> fixtureSlots_;
    StationDisplay& display_;
    BatchSummary summary_;
    std::uint64_t startedMs_ = host_.NowMs();
    StationRecorder* recorder_ = nullptr;
    // The verdicts (the recorder's thread) and the ports (the station's) share the front.
    mutable std::mutex mutex_;
};

// With a database, the station holds its name there while it runs; the numbers an earlier,
// killed run of it left allocated become void, which it says on standard error.
std::unique_ptr<StationClaim> ClaimStation(const Reporting& reporting) {
    if (!reporting.database) return nullptr;
    std::unique_ptr<StationClaim> claim;
    try {
        claim = std::make_unique<StationClaim>(
            *reporting.database, StationLease{reporting.station, HostName(), ProcessId()});
    } catch (const DatabaseError& error) {
        throw BadInput(std::string("Cannot use the database: ") + error.what());
    }
    if (const int voided = claim->Voided(); voided > 0)
        std::cerr << "qvusb: " << voided << " serial number" << (voided == 1 ? "" : "s")
                  << " station " << reporting.station
                  << " took in an earlier run and never settled " << (voided == 1 ? "is" : "are")
                  << " void now\n";
    return claim;
}

void RequireJobImage(const LoadedJob& job, const std::string& imageFile, const std::string& sha256) {
    if (sha256 != job.job.sha256)
        throw BadInput("The image " + imageFile + " is not the job's (SHA-256 " +
                       sha256.substr(0, 12) + "..., the job names " +
                       job.job.sha256.substr(0, 12) + "...)");
}

}  // namespace

void CheckJobImage(const LoadedJob& job) {
    const ProgramFileRead read = ReadProgramFileOnce(job.imagePath);
    if (read.problem) throw BadInput(*read.problem);
    RunRecord described;
    DescribeFile(described, job.imagePath, read.content);
    RequireJobImage(job, job.imagePath, described.sha256);
}

BatchSummary RunStationOn(Session& session, const GlobalOptions& options, StationArguments args,
                          StationDisplay& display) {
    if (options.job) args.flash = FlashArgumentsOf(*options.job);
    const RangeArgument range = ParseRange(args.flash.range);
    const ProgramFileRead read = ReadProgramFileOnce(args.flash.file);
    if (read.problem) throw BadInput(*read.problem);
    ProgramFile image;
    UseImage(image, args.flash.file, read.content);
    CheckRangeFits(image, range, true, args.flash.steps.erase);

    Reporting& reporting = *options.reporting;
    RunRecord fileRecord;
    fileRecord.command = "station";
    fileRecord.range = args.flash.range;
    DescribeFile(fileRecord, args.flash.file, read.content);
    if (options.job) {
        RequireJobImage(*options.job, args.flash.file, fileRecord.sha256);
        fileRecord.job = options.job->job.name;
        fileRecord.jobSha256 = options.job->fileSha256;
    }
    StationLine line(reporting, fileRecord, session.Host(),
                     options.job ? options.job->job.fixtureSlots : std::vector<JobSlot>{}, display);
    StationSettings settings{RequestFrom(args.flash, range), args.slots, args.units, {}};
    std::optional<SerialNumbers> serials;
    if (!args.flash.serial.empty())
        serials.emplace(reporting, args.flash.serial, image, args.flash.newSerial,
                        WhenUnreachable::Wait);
    const std::unique_ptr<StationClaim> claim = ClaimStation(reporting);
    StationRecorder recorder(reporting, claim.get(),
                             [&line](RunRecord& record) { line.ShowVerdict(record); });
    line.RecordWith(recorder);
    if (serials) settings.imageFor = [&serials](BoardImage& board) { return serials->Give(board); };
    RunStation(session.Host(), session.UserDeviceMatch(), image, settings, line,
               [&session](const GangTarget& target) { return session.Selects(target); });
    // The boards judged while the database was away are recorded once it is back.
    recorder.Finish([&display] { return display.StopRequested(); });
    return line.Summary();
}

}  // namespace qv::cli
