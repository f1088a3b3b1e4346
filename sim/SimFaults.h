#pragma once

#include <cstdint>
#include <set>

namespace qv::sim {

// Faults of the simulated flash part itself.
struct FlashFaults {
    bool staysBusy = false;           // the write-in-progress bit never clears
    bool writeEnableIgnored = false;  // write enable (0x06) leaves the latch clear
    bool protectionStuck = false;     // the block-protect bits read as set and cannot be cleared
    bool slow = false;                // every busy time takes its datasheet maximum
    // The write-protect pin is held low: once the status register protect bit (7) is set, the
    // status register ignores every write.
    bool writeProtectPinLow = false;
    bool eraseIgnored = false;    // sector and chip erases do nothing; the latch stays set
    bool protectionLost = false;  // a status write leaves the block-protect bits clear
    // These page programs (counted from 1) leave bit 0 of the page's first byte as it was: a
    // cell that did not take the write.
    std::set<unsigned> weakPagePrograms;
};

// Faults a test or demo can set on a simulated device.
struct SimFaults {
    std::set<std::uint8_t> stalledRequests;  // these request numbers stall
    std::set<std::uint64_t> stalledTransfers;  // these transfers (counted from 1) stall
    std::set<std::uint64_t> silentTransfers;   // these transfers alone get no answer
    // These transfers' answers arrive with bit 0 of their first byte flipped.
    std::set<std::uint64_t> flippedTransfers;
    bool refuseSupportQuery = false;         // the audio driver denies the property set
    bool flashNeverReady = false;            // the flash ready poll (0x83) always answers 0
    // The first N ready polls after each flash request (0x80 or 0x81) answer 0.
    unsigned flashReadyAfterPolls = 0;
    // 0x82 answers (counted from 1) whose first byte arrives with bit 0 flipped.
    std::set<unsigned> corruptedFetches;
    bool flipEveryFetch = false;  // every 0x82 answer's first byte arrives with bit 0 flipped
    bool shortFetches = false;    // 0x82 answers carry half the asked bytes, as a success
    // 0x82 answers carry at most this many bytes, as a success (a chip whose response buffer
    // holds no more); 0 for no limit.
    unsigned fetchLimit = 0;
    bool silent = false;          // no transfer gets any answer: each one times out
    FlashFaults flash;
};

}  // namespace qv::sim
