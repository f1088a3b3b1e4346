#include "line/StationClaim.h"

#include "line/HostName.h"

namespace qv {

namespace {

// A holder on this machine whose process ended (it was killed) holds nothing any more.
bool HolderGone(const StationLease& holder) {
    return holder.hostName == HostName() && !ProcessRunning(holder.process);
}

}  // namespace

StationClaim::StationClaim(RunDatabase& database, StationLease lease)
    : database_(database),
      lease_(std::move(lease)),
      voided_(database.StartStation(lease_, HolderGone)) {}

StationClaim::~StationClaim() {
    try {
        database_.EndStation(lease_);
    } catch (const DatabaseError&) {
        // The claim then ends by itself when its time runs out.
    }
}

void StationClaim::KeepAlive() {
    const auto now = std::chrono::steady_clock::now();
    if (now - renewed_ < std::chrono::seconds(kLeaseSeconds / 10)) return;
    try {
        database_.RenewLease(lease_);
        renewed_ = now;
    } catch (const DatabaseError&) {
        // Asked again at the next call; the claim holds for kLeaseSeconds.
    }
}

}  // namespace qv
