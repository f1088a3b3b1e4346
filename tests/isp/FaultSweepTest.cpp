// The flash jobs run once per fault point, on virtual time: for every transfer of a clean run
// and every fault kind that acts on that transfer, and for a stop request at every point where
// a job lets pending work run. After each run the chip's whole state is held against the
// outcome: a success must leave the flash holding what the job promised, protected when the
// protection was chosen, the chip out of ISP mode and every byte outside the job's range as it
// was; a failure must be of a kind the fault can cause (a board unplugged is a device gone, a
// silent chip is one that does not answer, ...), and the text the user reads must be the
// result's. The runs go in batches to child processes, so that a crash or a run that never ends is seen and
// counted instead of ending the sweep.
#include <gtest/gtest.h>
#include <malloc.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "chip/EepromMailbox.h"
#include "chip/FlashOperations.h"
#include "chip/I2cMaster.h"
#include "chip/I2cTransactions.h"
#include "cli/IspSession.h"
#include "image/RangeChoice.h"
#include "isp/FlashWalks.h"
#include "isp/GangFlash.h"
#include "isp/IspJobs.h"
#include "isp/LastTextView.h"
#include "sim/DemoFirmware.h"
#include "sim/FaultChoice.h"
#include "sim/SimHost.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using qv::sim::SimChip;
using qv::sim::SimHost;

constexpr const char* kUserDeviceMatch = "vid_6b94&pid_f82d";
// Small enough that a run is a few hundred transfers: four 256-byte pages, 32 of 32 bytes.
constexpr std::size_t kImageBytes = 1024;
// A run beyond either budget is a hang. The longest bounded run, a status that never arrives
// through a whole chip erase's polls and the protection's wait, takes about 35 s and 35,000
// transfers.
constexpr std::uint64_t kBudgetTransfers = 150'000;
constexpr std::uint64_t kBudgetMs = 120'000;
// A run that loops without sending anything has no budget to exceed: the child is stopped.
constexpr unsigned kWatchdogSeconds = 30;
constexpr std::size_t kBatchPoints = 40;
// The sanitized build runs some fifty times slower: it sweeps every n-th point of each kind,
// spread over the whole of every job.
#ifndef QV_SWEEP_STRIDE
#define QV_SWEEP_STRIDE 1
#endif
constexpr std::size_t kPointStride = QV_SWEEP_STRIDE;
constexpr std::uint32_t kSectorBytes = 4096;
// Where a flash that should be blank, or hold the image, has one byte that differs.
constexpr std::size_t kOddByte = kImageBytes - 3;

enum class Job { Auto, Erase, Blank, Program, Verify, ReadBack };

// What the flash holds before the run.
enum class Start {
    InUse,      // the demo firmware, an older image over the assigned range, protected
    Erased,     // all 0xFF, unprotected
    OddErased,  // erased but one byte of the image's range
    Image,      // the image over the range, the rest erased
    OddImage,   // the image but one byte
};

struct Variant {
    const char* name;
    const qv::sim::FlashChip& part;
    Job job;
    bool wholeFlash;
    Start start;
    // The assigned range in KB, as "--range START:SIZE" and the window's edits give it: the
    // image goes to its start, a sector erase covers it.
    const char* startKb = "64";
    const char* sizeKb = "4";
    bool verify = true;        // --no-verify when clear (the sequence, and program)
    bool changedOnly = false;  // qvusb flash --changed-only
    bool gang = false;         // two devices at once, the fault on the first
    bool uniqueId = false;     // the flash's unique ID read, as qvusb's flash reads it
    // Set for a job that walks the same block thousands of times: only this many transfers
    // and pumps at either end are swept (its first and last blocks, what comes before and
    // after them); the blocks between repeat the same requests.
    std::uint64_t edgeTransfers = 0;
    std::uint64_t edgePumps = 0;

    std::uint32_t RangeStart() const { return static_cast<std::uint32_t>(std::stoul(startKb)) * 1024; }
    std::uint32_t RangeSize() const { return static_cast<std::uint32_t>(std::stoul(sizeKb)) * 1024; }
    std::uint32_t ImageAt() const { return wholeFlash ? 0 : RangeStart(); }
};

const qv::sim::FlashChip& k8Mbit = qv::sim::kFlashChips[0];
const qv::sim::FlashChip& k32BytePages = qv::sim::kFlashChips[1];

// The faulted device of the gang runs the 8 Mbit part's assigned-range sequence, so that one is
// not swept again alone. On the 32-byte part the sequence is swept over a range and its whole-
// flash erase as a step of its own. Ranges that start and end inside a sector keep the bytes
// of those sectors outside the range.
const Variant kVariants[] = {
    {.name = "auto all", .part = k8Mbit, .job = Job::Auto, .wholeFlash = true, .start = Start::InUse,
     .uniqueId = true},
    {.name = "auto range 32", .part = k32BytePages, .job = Job::Auto, .wholeFlash = false,
     .start = Start::InUse},
    {.name = "auto odd range", .part = k8Mbit, .job = Job::Auto, .wholeFlash = false,
     .start = Start::InUse, .startKb = "65", .sizeKb = "6"},
    {.name = "auto odd 32", .part = k32BytePages, .job = Job::Auto, .wholeFlash = false,
     .start = Start::InUse, .startKb = "65", .sizeKb = "6"},
    {.name = "auto no-verify", .part = k8Mbit, .job = Job::Auto, .wholeFlash = true,
     .start = Start::InUse, .verify = false},
    {.name = "gang range", .part = k8Mbit, .job = Job::Auto, .wholeFlash = false,
     .start = Start::InUse, .gang = true},
    {.name = "erase all 32", .part = k32BytePages, .job = Job::Erase, .wholeFlash = true,
     .start = Start::InUse},
    {.name = "erase range", .part = k8Mbit, .job = Job::Erase, .wholeFlash = false,
     .start = Start::InUse},
    {.name = "erase odd range", .part = k8Mbit, .job = Job::Erase, .wholeFlash = false,
     .start = Start::InUse, .startKb = "65", .sizeKb = "6"},
    {.name = "blank", .part = k8Mbit, .job = Job::Blank, .wholeFlash = true, .start = Start::Erased},
    {.name = "blank dirty", .part = k8Mbit, .job = Job::Blank, .wholeFlash = true,
     .start = Start::OddErased},
    {.name = "program", .part = k8Mbit, .job = Job::Program, .wholeFlash = true,
     .start = Start::Erased},
    {.name = "program 32", .part = k32BytePages, .job = Job::Program, .wholeFlash = true,
     .start = Start::Erased},
    {.name = "program no-verify", .part = k8Mbit, .job = Job::Program, .wholeFlash = true,
     .start = Start::Erased, .verify = false},
    {.name = "verify", .part = k8Mbit, .job = Job::Verify, .wholeFlash = true, .start = Start::Image},
    {.name = "verify wrong", .part = k8Mbit, .job = Job::Verify, .wholeFlash = true,
     .start = Start::OddImage},
    {.name = "read-back", .part = k8Mbit, .job = Job::ReadBack, .wholeFlash = true,
     .start = Start::InUse, .edgeTransfers = 26, .edgePumps = 4},
    {.name = "changed one byte", .part = k8Mbit, .job = Job::Auto, .wholeFlash = true,
     .start = Start::OddImage, .changedOnly = true},
    {.name = "changed range 32", .part = k32BytePages, .job = Job::Auto, .wholeFlash = false,
     .start = Start::InUse, .changedOnly = true},
    {.name = "changed odd range", .part = k8Mbit, .job = Job::Auto, .wholeFlash = false,
     .start = Start::InUse, .startKb = "65", .sizeKb = "6", .changedOnly = true},
};

// Which transfers a fault kind acts on, read from the simulator: a fault armed from a transfer
// it does not act on gives the same run as one armed from the next transfer it does, so only
// those are swept.
enum class ActsOn { Every, ReadyPoll, Fetch, FlashInstruction, Mailbox, Pump };

using Kinds = std::set<qv::FailureKind>;
// Every kind a failing step can have of its own; not a device gone or silent, not a stop.
const Kinds kStepKinds = {
    qv::FailureKind::IdentifyFailed,   qv::FailureKind::StatusUnreadable,
    qv::FailureKind::WriteProtected,   qv::FailureKind::EraseFailed,
    qv::FailureKind::BlankCheckFailed, qv::FailureKind::ProgramFailed,
    qv::FailureKind::VerifyFailed,     qv::FailureKind::ReadFailed,
    qv::FailureKind::ProtectFailed,    qv::FailureKind::IspEntryFailed,
    qv::FailureKind::IspExitFailed,    qv::FailureKind::KeptBytesLost,
};

Kinds StepKindsAnd(qv::FailureKind kind) {
    Kinds kinds = kStepKinds;
    kinds.insert(kind);
    return kinds;
}

// Every kind of --sim-fault (the one-shot kinds act on one transfer, then the chip answers
// again), then the stop request (Ctrl-C, the Stop button) at each point a job pumps. Each with
// the kinds of failure it may end in: what it breaks names the cause.
struct Kind {
    const char* name;
    ActsOn actsOn;
    Kinds causes;
};
const Kind kKinds[] = {
    // Unplugged before the job began: refused, with the window's message.
    {"unplug", ActsOn::Every, {qv::FailureKind::DeviceGone, qv::FailureKind::Refused}},
    {"stall", ActsOn::Every, kStepKinds},
    {"timeout", ActsOn::Every, {qv::FailureKind::NotAnswering}},
    // The block walks fail at the block the chip never had ready, as they always have.
    {"never-ready", ActsOn::ReadyPoll,
     {qv::FailureKind::NotAnswering, qv::FailureKind::BlankCheckFailed,
      qv::FailureKind::VerifyFailed, qv::FailureKind::ReadFailed}},
    {"flip", ActsOn::Fetch, kStepKinds},
    {"short", ActsOn::Fetch, kStepKinds},
    {"short-read", ActsOn::Fetch, kStepKinds},
    {"stays-busy", ActsOn::FlashInstruction, kStepKinds},
    {"wel-ignored", ActsOn::FlashInstruction, kStepKinds},
    {"protect-stuck", ActsOn::FlashInstruction, {qv::FailureKind::WriteProtected}},
    {"slow", ActsOn::FlashInstruction, {}},
    {"wp-locked", ActsOn::FlashInstruction, {qv::FailureKind::WriteProtected}},
    {"mailbox-silent", ActsOn::Mailbox, {}},
    {"flip-once", ActsOn::Fetch, kStepKinds},
    {"timeout-once", ActsOn::Every, StepKindsAnd(qv::FailureKind::NotAnswering)},
    // An erase the flash ignored leaves its latch set: the erase never reads done.
    {"erase-ignored", ActsOn::FlashInstruction, kStepKinds},
    {"protect-lost", ActsOn::FlashInstruction, {qv::FailureKind::ProtectFailed}},
    {"stop", ActsOn::Pump, {qv::FailureKind::Stopped}},
};
constexpr std::size_t kNamedKinds = 17;

bool Acts(ActsOn actsOn, std::uint8_t request) {
    switch (actsOn) {
        case ActsOn::Every:
            return true;
        case ActsOn::ReadyPoll:
            return request == 0x83;
        case ActsOn::Fetch:
            return request == 0x82;
        case ActsOn::FlashInstruction:  // the flash sees bytes, or chip select rises
            return request == 0x80 || request == 0x81 || request == 0x85;
        default:
            return false;  // the flash jobs never use the parameter mailbox
    }
}

// A false success is a success the chip's state does not bear out; a wrong cause, a failure of
// a kind its fault cannot cause, or whose text is not the result's; a loss, bytes outside the
// range changed while the job did not say they were lost; a bad clean-up, a stop that left the
// flash unprotected or the chip in ISP mode, or a gang whose device without the fault did not
// succeed.
enum class Verdict { Success, Failure, FalseSuccess, WrongCause, Loss, BadCleanUp, Hang, Crash };
constexpr std::size_t kVerdicts = 8;
const char* const kVerdictNames[kVerdicts] = {"successes",   "failures", "false successes",
                                              "wrong causes", "losses",   "bad clean-ups",
                                              "hangs",        "crashes"};

// Without a fault every job succeeds, except a check of the flash made to fail it
// (changed-only rewrites that flash instead).
bool FailsClean(const Variant& v) {
    return !v.changedOnly && (v.start == Start::OddErased || v.start == Start::OddImage);
}

// One point of a sweep: the fault from transfer k, or the stop request at pump k (last: one of the clean run's last pumps, after which a
// job may have nothing left to stop).
struct Point {
    std::uint64_t k = 0;
    bool last = false;
};

Bytes Pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 29 + seed);
    return bytes;
}

// A view that keeps the last texts and lets the sweep act at a pump.
class SweepView : public qv::LastTextView {
public:
    void PumpEvents() override {
        ++pumps;
        if (onPump) onPump();
    }
    std::uint64_t pumps = 0;
    std::function<void()> onPump;
};

struct RunResult {
    Verdict verdict = Verdict::Success;
    std::uint64_t transfers = 0;
    std::uint64_t ms = 0;
    std::uint64_t pumps = 0;
    std::string text;
    Bytes requests;  // of the first device, when asked for
    Bytes readBack;  // what a read-back job read
};

// How one job ended, as the user sees it: the result, and the last text the view showed.
struct Ended {
    qv::JobResult result;
    std::string shown;
};

class FaultSweep {
public:
    FaultSweep()
        : image_(Pattern(kImageBytes, 3)), file_(folder_.Write("image.bin", image_).string()) {
        for (const Variant& v : kVariants) startingFlash_.push_back(StartingFlash(v));
    }

    // One run of the variant with a fault armed (or a stop asked) at the point.
    RunResult Run(const Variant& v, const Kind* kind, Point point, bool keepLog = false) const {
        SimHost host;
        std::vector<std::shared_ptr<SimChip>> chips;
        for (int i = 0; i < (v.gang ? 2 : 1); ++i) {
            chips.push_back(
                std::make_shared<SimChip>(host.Clock(), qv::sim::UserDeviceIdentity(), v.part));
            Prepare(v, *chips.back());
            host.Attach(chips.back());
        }
        SimChip& chip = *chips.front();
        chip.KeepRequestLog(keepLog);
        // Armed before anything is sent, as qvusb arms --sim-fault.
        const bool stop = kind && kind->actsOn == ActsOn::Pump;
        if (kind && !stop) Arm(host, chip, *kind, point);
        const std::uint64_t stopAt = stop ? point.k : 0;

        RunResult result;
        Ended ended;
        bool cleanedUp = true;
        if (v.gang) {
            ended = RunGang(v, host, chips, stopAt, cleanedUp, result.pumps);
        } else {
            ended = RunOne(v, host, stopAt, result);
        }
        // A stopped job still protects (when chosen) and leaves ISP mode.
        if (stop && !ended.result.Ok())
            for (const auto& c : chips) cleanedUp = cleanedUp && Protected(v, *c) && !c->InIspMode();
        result.text = ended.result.text;
        result.transfers = host.TransferCount();
        result.ms = host.Clock().NowMs();
        result.requests = chip.RequestLog();
        const bool outsideKept = OutsideTheRangeKept(v, chip);
        if (result.transfers > kBudgetTransfers || result.ms > kBudgetMs)
            result.verdict = Verdict::Hang;
        else if (!cleanedUp)
            result.verdict = Verdict::BadCleanUp;
        else if (ended.result.Ok())
            // A stop that had something left to stop ends the job as stopped.
            result.verdict = Holds(v, chip, result.readBack) && outsideKept && (!stop || point.last)
                                 ? Verdict::Success
                                 : Verdict::FalseSuccess;
        else if (!outsideKept && ended.result.kind != qv::FailureKind::KeptBytesLost)
            result.verdict = Verdict::Loss;
        else
            result.verdict = RightCause(v, kind, ended) ? Verdict::Failure : Verdict::WrongCause;
        return result;
    }

private:
    // The failure is of a kind the fault can cause, or the one a check of a flash made to
    // fail it ends in, and the user reads its text. Bytes kept across an erase that could not
    // be written back are reported as lost, whatever the cause (the text names it too).
    static bool RightCause(const Variant& v, const Kind* kind, const Ended& ended) {
        const qv::FailureKind failure = ended.result.kind;
        if (ended.shown != ended.result.text) return false;
        if (failure == qv::FailureKind::KeptBytesLost) return true;
        if (FailsClean(v) && (failure == qv::FailureKind::BlankCheckFailed ||
                              failure == qv::FailureKind::VerifyFailed))
            return true;
        return kind && kind->causes.contains(failure);
    }

    // The flash each variant starts from, worked out once: a run only copies it in.
    Bytes StartingFlash(const Variant& v) const {
        Bytes contents(v.part.sizeBytes, 0xFF);
        const std::uint32_t at = v.ImageAt();
        switch (v.start) {
            case Start::InUse: {
                contents = qv::sim::DemoFlashImage(v.part.sizeBytes);
                // Data in every sector the range touches, so that bytes kept around a range that
                // covers a sector in part are never the erased flash's 0xFF.
                const std::uint32_t first = v.RangeStart() - v.RangeStart() % kSectorBytes;
                const std::uint32_t last = v.RangeStart() + v.RangeSize() + kSectorBytes - 1;
                const Bytes around = Pattern(last - last % kSectorBytes - first, 57);
                std::copy(around.begin(), around.end(), contents.begin() + first);
                const Bytes older = Pattern(v.RangeSize(), 101);
                std::copy(older.begin(), older.end(), contents.begin() + v.RangeStart());
                break;
            }
            case Start::OddErased:
                contents[at + kOddByte] = 0x00;
                break;
            case Start::Image:
            case Start::OddImage:
                std::copy(image_.begin(), image_.end(), contents.begin() + at);
                if (v.start == Start::OddImage) contents[at + kOddByte] ^= 0x80;
                break;
            case Start::Erased:
                break;
        }
        return contents;
    }

    const Bytes& Starting(const Variant& v) const {
        return startingFlash_[static_cast<std::size_t>(&v - kVariants)];
    }

    void Prepare(const Variant& v, SimChip& chip) const {
        chip.Flash().SetContents(Starting(v));
        // A device in use was protected by the run that programmed it.
        if (v.start == Start::InUse) chip.Flash().SetStoredStatus(0xFC);
    }

    static void Arm(SimHost& host, SimChip& chip, const Kind& kind, Point point) {
        qv::sim::ArmFault(host, chip, {kind.name, point.k});
    }

    static void Find(qv::QuorvexUsb& device) {
        device.SetKsMode(true);
        device.SetMatchText(kUserDeviceMatch);
        device.FindDevice();
    }

    qv::AutoRequest Request(const Variant& v) const {
        qv::AutoRequest request;
        request.wholeFlash = v.wholeFlash;
        request.startText = v.startKb;
        request.sizeText = v.sizeKb;
        request.fileText = file_;
        request.changedOnly = v.changedOnly;
        request.readUniqueId = v.uniqueId;
        request.steps.verify = v.verify;
        return request;
    }

    // The automatic sequence as the Auto button runs it, or a single step as qvusb's step
    // commands run it: range and file first, then ISP mode held around the job.
    Ended RunOne(const Variant& v, SimHost& host, std::uint64_t stopAt, RunResult& result) const {
        qv::QuorvexUsb device(host);
        Find(device);
        SweepView view;
        qv::ProgramFile program;
        qv::FlashContext flash;
        qv::IspJobs jobs(device, view, program, flash);
        bool autoBusy = false;
        const qv::AutoRequest request = Request(v);
        view.onPump = [&] {
            if (view.pumps != stopAt) return;
            if (v.job == Job::Auto)
                jobs.Auto(request, autoBusy);  // the Stop click
            else
                jobs.StopRequested = true;  // Ctrl-C
        };
        Ended ended;
        if (v.job == Job::Auto) {
            ended.result = *jobs.Auto(request, autoBusy);
            ended.shown = ended.result.kind == qv::FailureKind::Refused ? view.lastMessage
                                                                       : view.lastProcessInfo;
            // A success shows its own text last.
            if (ended.result.Ok() && ended.shown != ended.result.text) ended.result.kind = qv::FailureKind::Refused;
        } else {
            qv::ApplyRangeChoice(program, v.wholeFlash, v.startKb, v.sizeKb);
            program.ProgramFileName = file_;
            qv::ReadProgramFile(program);
            qv::cli::IspSession isp(device, false);
            const qv::Reply entered = isp.Enter();
            ended.result = entered == qv::Reply::Done
                               ? Step(v, jobs)
                               : qv::FailureOf(entered, qv::FailureKind::IspEntryFailed);
            ended.shown = entered == qv::Reply::Done ? view.lastProcessInfo : ended.result.text;
            const qv::Reply left = isp.Leave();
            if (ended.result.Ok() && left != qv::Reply::Done) {
                ended.result = qv::FailureOf(left, qv::FailureKind::IspExitFailed);
                ended.shown = ended.result.text;
            }
            if (v.job == Job::ReadBack) result.readBack = jobs.ReadBackBuffer;
        }
        result.pumps = view.pumps;
        return ended;
    }

    static qv::JobResult Step(const Variant& v, qv::IspJobs& jobs) {
        switch (v.job) {
            case Job::Erase:
                return jobs.ClearProtectionAndErase(v.wholeFlash);
            case Job::Blank:
                return jobs.BlankCheck(v.wholeFlash);
            case Job::Program:
                return jobs.ProgramAndVerify(v.wholeFlash, v.verify);
            case Job::Verify:
                return jobs.Verify(v.wholeFlash);
            case Job::ReadBack:
                return jobs.ReadBack();
            case Job::Auto:
                break;
        }
        return {};
    }

    // Both devices at once, the fault on the first; a stop (Ctrl-C) asked at the stopAt-th
    // time either device's job looks for one stops both. The one without the fault must
    // succeed whatever the other does, unless it was stopped.
    Ended RunGang(const Variant& v, SimHost& host,
                  const std::vector<std::shared_ptr<SimChip>>& chips, std::uint64_t stopAt,
                  bool& otherFine, std::uint64_t& pumps) const {
        std::atomic<std::uint64_t> asked = 0;
        const qv::StopAsked stopAsked = [&] { return ++asked >= stopAt && stopAt != 0; };
        const auto targets = qv::FindGangTargets(host, kUserDeviceMatch);
        const auto results = qv::FlashAll(host, targets, {}, Request(v), stopAsked);
        pumps = asked;
        const bool otherStopped =
            !results.empty() && results.back().result.kind == qv::FailureKind::Stopped;
        otherFine = !results.empty() &&
                    (otherStopped || (results.back().result.Ok() && Holds(v, *chips.back(), {})));
        if (results.size() < 2) {
            const qv::JobResult gone = qv::Failure(qv::FailureKind::DeviceGone);
            return {gone, gone.text};
        }
        return {results.front().result, results.front().result.text};
    }

    static bool Protected(const Variant& v, SimChip& chip) {
        const std::uint8_t mask = v.part.blockProtectMask;
        return v.job != Job::Auto || (chip.Flash().Status() & mask) == mask;
    }

    // Outside the range a job was given, every byte is as it was; a chip erase clears it all.
    bool OutsideTheRangeKept(const Variant& v, SimChip& chip) const {
        if (v.wholeFlash) return true;
        const auto flash = chip.Flash().Contents();
        const Bytes& before = Starting(v);
        const std::uint32_t from = v.RangeStart();
        const std::uint32_t to = from + std::max<std::uint32_t>(v.RangeSize(), kImageBytes);
        return std::equal(flash.begin(), flash.begin() + from, before.begin()) &&
               std::equal(flash.begin() + to, flash.end(), before.begin() + to);
    }

    // What a success promises, read from the chip itself.
    bool Holds(const Variant& v, SimChip& chip, const Bytes& readBack) const {
        const auto flash = chip.Flash().Contents();
        const std::uint32_t at = v.ImageAt();
        const auto imageHeld = [&] {
            return std::equal(image_.begin(), image_.end(), flash.begin() + at);
        };
        const auto blank = [&](std::size_t from, std::size_t to) {
            return std::all_of(flash.begin() + from, flash.begin() + to,
                               [](std::uint8_t b) { return b == 0xFF; });
        };
        bool holds = false;
        switch (v.job) {
            case Job::Auto:
                holds = imageHeld() && Protected(v, chip);
                break;
            case Job::Program:
            case Job::Verify:
                holds = imageHeld();
                break;
            case Job::Erase:
                holds = v.wholeFlash ? blank(0, flash.size())
                                     : blank(v.RangeStart(), v.RangeStart() + v.RangeSize());
                break;
            case Job::Blank:
                holds = blank(at, at + kImageBytes);
                break;
            case Job::ReadBack:
                holds =
                    readBack.size() >= qv::kReadBackEnd &&
                    std::equal(flash.begin(), flash.begin() + qv::kReadBackEnd, readBack.begin());
                break;
        }
        return holds && !chip.InIspMode();
    }

    TempDir folder_;
    Bytes image_;
    std::string file_;
    std::vector<Bytes> startingFlash_;
};

struct Counts {
    std::array<std::uint64_t, kVerdicts> of{};
    std::uint64_t runs = 0;
    std::uint64_t maxTransfers = 0;
    std::uint64_t maxMs = 0;
    std::vector<std::string> examples;  // of runs that went wrong, for the failure message

    void Add(Verdict verdict, std::uint64_t transfers, std::uint64_t ms, const std::string& what) {
        ++runs;
        ++of[static_cast<std::size_t>(verdict)];
        maxTransfers = std::max(maxTransfers, transfers);
        maxMs = std::max(maxMs, ms);
        const bool wrong = verdict != Verdict::Success && verdict != Verdict::Failure;
        if (wrong && examples.size() < 3) examples.push_back(what);
    }
    std::uint64_t operator[](Verdict verdict) const {
        return of[static_cast<std::size_t>(verdict)];
    }
};

struct Batch {
    std::size_t variant;
    std::size_t kind;
    std::vector<Point> points;
    std::size_t first = 0;  // where a child resumes after an earlier one died
};

// Runs batches in child processes, one per core; each child reports a line per run, so when
// one dies the run it died in is known, counted, and the batch goes on after it.
class ChildRunner {
public:
    ChildRunner(const FaultSweep& sweep,
                std::map<std::pair<std::size_t, std::size_t>, Counts>& counts)
        : sweep_(sweep), counts_(counts) {}

    void RunAll(std::deque<Batch> batches) {
        std::vector<Child> running;
        while (!batches.empty() || !running.empty()) {
            while (running.size() < children_ && !batches.empty()) {
                running.push_back(Start(std::move(batches.front())));
                batches.pop_front();
            }
            std::vector<pollfd> fds;
            for (const Child& child : running) fds.push_back({child.fd, POLLIN, 0});
            ::poll(fds.data(), fds.size(), -1);
            for (std::size_t i = 0; i < running.size(); ++i) {
                if (fds[i].revents == 0) continue;
                if (Read(running[i])) continue;
                if (auto rest = Finish(running[i])) batches.push_front(std::move(*rest));
                running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
                break;  // fds no longer match
            }
        }
    }

private:
    struct Child {
        pid_t pid;
        int fd;
        Batch batch;
        std::size_t next;  // the first point not yet reported
        std::string pending;
    };

    Child Start(Batch batch) {
        int fds[2];
        if (::pipe(fds) != 0) std::abort();
        std::cout.flush();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            // Each run allocates a few megabytes (the flash, the image, the read-back buffer):
            // kept on the heap instead of mapped afresh, they cost no page faults run after run.
            ::mallopt(M_MMAP_THRESHOLD, 256 << 20);
            ::mallopt(M_TRIM_THRESHOLD, 512 << 20);
            RunChild(batch, fds[1]);
            ::_exit(0);
        }
        ::close(fds[1]);
        const std::size_t first = batch.first;
        return {pid, fds[0], std::move(batch), first, ""};
    }

    void RunChild(const Batch& batch, int fd) const {
        const Variant& v = kVariants[batch.variant];
        const Kind& kind = kKinds[batch.kind];
        for (std::size_t i = batch.first; i < batch.points.size(); ++i) {
            ::alarm(kWatchdogSeconds);
            const RunResult r = sweep_.Run(v, &kind, batch.points[i]);
            std::ostringstream line;
            line << i << ' ' << static_cast<int>(r.verdict) << ' ' << r.transfers << ' ' << r.ms
                 << ' ' << r.text << '\n';
            const std::string text = line.str();
            for (std::size_t done = 0; done < text.size();) {
                const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
                if (n <= 0) ::_exit(3);
                done += static_cast<std::size_t>(n);
            }
        }
        ::alarm(0);
    }

    // False at the end of the child's output.
    bool Read(Child& child) {
        char buffer[4096];
        const ssize_t n = ::read(child.fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        child.pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = child.pending.find('\n')) != std::string::npos;) {
            std::istringstream fields(child.pending.substr(0, end));
            child.pending.erase(0, end + 1);
            std::size_t index = 0;
            int verdict = 0;
            std::uint64_t transfers = 0, ms = 0;
            fields >> index >> verdict >> transfers >> ms;
            std::string text;
            std::getline(fields >> std::ws, text);
            Record(child.batch, index, static_cast<Verdict>(verdict), transfers, ms, text);
            child.next = index + 1;
        }
        return true;
    }

    // Reaps the child; a child that died before the end of its points costs the run it was in
    // (a crash, or a hang when the watchdog stopped it) and leaves the rest to a new child.
    std::optional<Batch> Finish(Child& child) {
        ::close(child.fd);
        int status = 0;
        ::waitpid(child.pid, &status, 0);
        if (child.next >= child.batch.points.size()) return std::nullopt;
        const bool watchdog = WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM;
        Record(child.batch, child.next, watchdog ? Verdict::Hang : Verdict::Crash, 0, 0,
               "child ended with status " + std::to_string(status));
        Batch rest = std::move(child.batch);
        rest.first = child.next + 1;
        if (rest.first >= rest.points.size()) return std::nullopt;
        return rest;
    }

    void Record(const Batch& batch, std::size_t index, Verdict verdict, std::uint64_t transfers,
                std::uint64_t ms, const std::string& text) {
        const std::string what = std::string(kKinds[batch.kind].name) + "@" +
                                 std::to_string(batch.points[index].k) + ": " + text;
        counts_[{batch.variant, batch.kind}].Add(verdict, transfers, ms, what);
    }

    const FaultSweep& sweep_;
    std::map<std::pair<std::size_t, std::size_t>, Counts>& counts_;
    const std::size_t children_ = std::max(2u, std::thread::hardware_concurrency());
};

bool AtAnEdge(std::uint64_t k, std::uint64_t count, std::uint64_t edge) {
    return edge == 0 || k <= edge || k + edge > count;
}

// The points of a kind in a clean run: the transfers it acts on, or every pump.
std::vector<Point> PointsOf(const Variant& v, const Kind& kind, const RunResult& clean) {
    std::vector<Point> points;
    if (kind.actsOn == ActsOn::Pump) {
        // A gang's devices each look for the stop; one may have finished before it came. The
        // last two pumps, the last walk's and the job's end, come when nothing is left to stop.
        for (std::uint64_t p = 1; p <= clean.pumps; ++p)
            if (AtAnEdge(p, clean.pumps, v.edgePumps))
                points.push_back({p, v.gang || p + 1 >= clean.pumps});
        return points;
    }
    for (std::size_t i = 0; i < clean.requests.size(); ++i) {
        if (Acts(kind.actsOn, clean.requests[i]) &&
            AtAnEdge(i + 1, clean.requests.size(), v.edgeTransfers))
            points.push_back({i + 1, false});
    }
    return points;
}

// Every fetch arriving with the same bit flipped: both reads of a read-back's block agree, and
// with no image to hold them against no read-back can tell. One flipped fetch is swept there.
bool Undetectable(const Variant& v, const Kind& kind) {
    return v.job == Job::ReadBack && std::string(kind.name) == "flip";
}

std::set<std::string> SplitList(const std::string& list) {
    std::set<std::string> items;
    std::istringstream fields(list);
    for (std::string item; std::getline(fields >> std::ws, item, ',');) items.insert(item);
    return items;
}

TEST(FaultSweep, EveryFaultAtEveryTransferEndsInATrueReport) {
    // The table above names every kind qvusb's --sim-fault knows, and no other.
    std::set<std::string> named;
    for (std::size_t i = 0; i < kNamedKinds; ++i) named.insert(kKinds[i].name);
    ASSERT_EQ(named, SplitList(qv::sim::FaultKindList()));

    const FaultSweep sweep;
    std::deque<Batch> batches;
    std::vector<RunResult> clean;
    for (std::size_t v = 0; v < std::size(kVariants); ++v) {
        const Variant& variant = kVariants[v];
        clean.push_back(sweep.Run(variant, nullptr, {}, true));
        ASSERT_EQ(clean.back().verdict, FailsClean(variant) ? Verdict::Failure : Verdict::Success)
            << variant.name << ": " << clean.back().text;
        for (std::size_t k = 0; k < std::size(kKinds); ++k) {
            if (Undetectable(variant, kKinds[k])) continue;
            const auto all = PointsOf(variant, kKinds[k], clean.back());
            std::vector<Point> points;
            for (std::size_t i = 0; i < all.size(); i += kPointStride) points.push_back(all[i]);
            // In batches small enough that both cores stay busy to the end.
            for (std::size_t from = 0; from < points.size(); from += kBatchPoints) {
                const auto to = points.begin() + std::min(from + kBatchPoints, points.size());
                batches.push_back({v, k, std::vector<Point>(points.begin() + from, to)});
            }
        }
    }

    std::map<std::pair<std::size_t, std::size_t>, Counts> counts;
    ChildRunner(sweep, counts).RunAll(std::move(batches));

    // A table of runs per variant and kind, each as successes + failures; any other outcome is
    // named after the table with where it happened.
    Counts total;
    if (kPointStride > 1) std::cout << "fault sweep: every " << kPointStride << "th point\n";
    std::cout << "fault sweep over a " << kImageBytes << "-byte image: runs = successes + failures"
              << " per variant (with its clean run's transfers) and kind\n"
              << std::left << std::setw(20) << "variant";
    for (const Kind& kind : kKinds) std::cout << std::setw(15) << kind.name;
    std::cout << "\n";
    for (std::size_t v = 0; v < std::size(kVariants); ++v) {
        std::cout << std::setw(20)
                  << (kVariants[v].name + std::string(" ") +
                      std::to_string(clean[v].requests.size()));
        for (std::size_t k = 0; k < std::size(kKinds); ++k) {
            const Counts& c = counts[{v, k}];
            const bool swept = c.runs > 0 || !Undetectable(kVariants[v], kKinds[k]);
            std::cout << std::setw(15)
                      << (!swept
                              ? std::string("-")
                              : std::to_string(c.runs) + "=" + std::to_string(c[Verdict::Success]) +
                                    "+" + std::to_string(c[Verdict::Failure]));
            for (std::size_t i = 0; i < kVerdicts; ++i) total.of[i] += c.of[i];
            total.runs += c.runs;
            total.maxTransfers = std::max(total.maxTransfers, c.maxTransfers);
            total.maxMs = std::max(total.maxMs, c.maxMs);
            for (const std::string& example : c.examples)
                ADD_FAILURE() << kVariants[v].name << ", " << example;
        }
        std::cout << "\n";
    }
    std::cout << std::right << "not swept: mailbox-silent (no flash job uses the parameter "
              << "mailbox), flip on read-back (-: every answer altered alike, with no image to "
              << "compare; flip-once is swept)\nfault sweep: runs " << total.runs;
    for (std::size_t i = 0; i < kVerdicts; ++i) std::cout << ", " << kVerdictNames[i] << " " << total.of[i];
    std::cout << "; longest run " << total.maxTransfers << " transfers, " << total.maxMs / 1000
              << " s virtual\n";
    for (std::size_t i = static_cast<std::size_t>(Verdict::FalseSuccess); i < kVerdicts; ++i)
        EXPECT_EQ(total.of[i], 0u) << kVerdictNames[i];
}

// The EEPROM mailbox and the I2C transactions under the faults that reach them: bounded work,
// no crash.
TEST(FaultSweep, MailboxAndI2cTransactionsStayBounded) {
    for (std::uint64_t k = 1; k <= 120; ++k) {
        for (const char* kind : {"unplug", "stall", "timeout", "mailbox-silent"}) {
            qv::sim::SimHost host;
            auto chip = host.AttachNew(qv::sim::UserDeviceIdentity());
            qv::sim::ArmFault(host, *chip, {kind, k});
            qv::QuorvexUsb device(host);
            device.SetKsMode(true);
            device.SetMatchText("vid_6b94&pid_f82d");
            device.FindDevice();
            std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            static_cast<void>(qv::EepromMailbox(device, 0x10, 0x00, 0x00, data));
            // The fault may have taken the device already; then nothing below reaches it.
            static_cast<void>(device.Open());
            static_cast<void>(qv::I2CSetup(device));
            std::uint8_t received[4] = {};
            const bool goneBefore = !host.IsAttached(*chip);
            const bool read = qv::I2CReadRegisters(device, 0x20, 0x00, received).Ok();
            if (goneBefore) {
                EXPECT_FALSE(read) << "k=" << k;  // a gone slave cannot acknowledge
            }
            device.Close();
            EXPECT_LT(host.TransferCount(), 2000u) << kind << "@" << k;
        }
    }
}

}  // namespace
