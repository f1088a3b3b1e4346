#include "cli/StationRecorder.h"

#include <chrono>
#include <iostream>

namespace qv::cli {
namespace {
// How often waiting records are tried again while the server is away, and how often the
// station's claim is looked at otherwise (it renews itself every few seconds).
constexpr auto kRetryAway = std::chrono::milliseconds(250);
constexpr auto kClaimLook = std::chrono::seconds(1);
constexpr auto kFinishLook = std::chrono::milliseconds(50);
}  // namespace

StationRecorder::StationRecorder(Reporting& reporting, StationClaim* claim,
                                 ShowVerdict showVerdict)
    : reporting_(reporting), claim_(claim), showVerdict_(std::move(showVerdict)) {
    thread_ = std::thread([this] { Work(); });
}

StationRecorder::~StationRecorder() {
    Finish([] { return true; });
}

void StationRecorder::Add(RunRecord record) {
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(record));
    }
    wake_.notify_all();
}

std::size_t StationRecorder::Waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_.size();
}

bool StationRecorder::DatabaseAway() const {
    std::lock_guard lock(mutex_);
    return away_;
}

void StationRecorder::Work() {
    std::unique_lock lock(mutex_);
    while (!ending_) {
        wake_.wait_for(lock, away_ ? kRetryAway : kClaimLook,
                       [this] { return ending_ || (!waiting_.empty() && !away_); });
        if (ending_) break;
        if (claim_ != nullptr) {
            lock.unlock();
            claim_->KeepAlive();
            lock.lock();
        }
        WriteWaiting(lock);
    }
}

void StationRecorder::WriteWaiting(std::unique_lock<std::mutex>& lock) {
    while (!waiting_.empty() && !ending_) {
        RunRecord record = waiting_.front();  // counted as waiting until it is written
        lock.unlock();
        const bool written = reporting_.KeepUnlessAway(record);
        if (written) showVerdict_(record);
        lock.lock();
        if (!written) {
            if (!away_)
                std::cerr << "qvusb: the database cannot be reached; boards are recorded and "
                             "given numbers once it is back (Ctrl-C fails those waiting)\n";
            away_ = true;
            return;
        }
        away_ = false;
        waiting_.pop_front();
        written_.notify_all();
    }
}

void StationRecorder::Finish(const std::function<bool()>& giveUp) {
    if (finished_) return;
    {
        std::unique_lock lock(mutex_);
        while (!waiting_.empty() && !giveUp()) written_.wait_for(lock, kFinishLook);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
    finished_ = true;
    for (RunRecord& record : waiting_) {
        reporting_.Keep(record);
        showVerdict_(record);
    }
    waiting_.clear();
}

}  // namespace qv::cli
