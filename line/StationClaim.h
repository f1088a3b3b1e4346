#pragma once

#include <chrono>

#include "line/RunDatabase.h"

namespace qv {

// A station's hold on its name in the run database for as long as it runs: taken at its start
// (refused while another live station holds the name; a holder on this machine whose process
// ended is gone at once; the numbers an earlier, killed run of it left allocated are voided
// then), renewed as the station works, given up at its end.
class StationClaim {
public:
    // Throws StationRunning, or DatabaseError when the database cannot be asked.
    StationClaim(RunDatabase& database, StationLease lease);
    ~StationClaim();
    StationClaim(const StationClaim&) = delete;
    StationClaim& operator=(const StationClaim&) = delete;

    // The numbers voided at the start.
    int Voided() const { return voided_; }
    // Renews the claim when a tenth of its life has passed; a database that cannot be reached
    // now is asked again at the next call.
    void KeepAlive();

private:
    RunDatabase& database_;
    StationLease lease_;
    int voided_ = 0;
    std::chrono::steady_clock::time_point renewed_ = std::chrono::steady_clock::now();
};

}  // namespace qv
