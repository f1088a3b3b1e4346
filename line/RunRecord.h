#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "image/ProgramFileCheck.h"

namespace qv {

// What one run of a flash command did to one device: the one record the verdict line, the
// JSON result and the audit log line are all written from.
struct RunRecord {
    std::string command;          // "flash", "erase", ...
    std::string device = "-";     // the selector (bus and port chain), "-" before one was chosen
    std::string devicePath;
    std::string file;             // as given on the command line
    std::optional<std::uint32_t> length;   // loaded bytes of the program file
    std::optional<std::uint16_t> checksum;
    std::string sha256;           // of the file as it lies on disk
    std::string range = "all";    // "all" or START_KB:SIZE_KB
    std::string chipId;           // the identification read, "EF 40 14"; empty when none
    std::string flashUid;         // the flash's unique ID, 16 hex digits; empty when none
    std::string serial;           // the USB serial number flashed with the image; empty: none
    bool serialKept = false;      // the number is the one the board was programmed with before
    std::string workOrder;        // --order: the production order the run belongs to
    std::string operatorName;     // --operator: who ran the station
    std::string job;              // station --job: the job's name
    std::string slot;             // and its label for the device's port ("Slot 4"), if any
    std::string jobSha256;        // and the SHA-256 of its file
    bool ok = false;
    int exitCode = 1;
    std::string message;          // the last step's text: the outcome, or the failing step
    std::string failure;          // the failure's kind ("program_failed", ...); empty for none
    double seconds = 0;
};

// Fills the file's fields: its name, the loaded length and checksum, and the SHA-256 of the
// bytes the image was loaded from (the file read once).
void DescribeFile(RunRecord& record, const std::string& file, const ProgramFileContent& content);
// "EF 40 14"; empty for an identification never read (all zero).
std::string ChipIdText(const std::array<std::uint8_t, 3>& chipId);
// "D26374A1B2C3D4E5"; empty for an ID never read.
std::string UniqueIdText(const std::optional<std::array<std::uint8_t, 8>>& uniqueId);

// "PASS 1-3 fw.bin 0x1A2B 4.1 s Verifying Success" or "FAIL ... Blanking Fail at 0x000000",
// the port's slot after it where a job names one ("PASS 1-3 [Slot 4] ...");
// the file and checksum only where the command has a file, then the serial flashed, if any
// ("QV0001 (kept)" for the number the board held already).
std::string VerdictLine(const RunRecord& record);
// {"event":"result","ok":...,"exit_code":...,"message":...,"seconds":...,"device":..., with
// "failure" (its kind) when it failed, "flash_uid" when it was read, "serial" when one was
// given ("serial_kept" when it is the board's own from before), and for image commands
// "file","length","checksum","sha256"}
std::string ResultJson(const RunRecord& record);
// The audit log's line: the result's fields and when, where and how it ran.
std::string LogJson(const RunRecord& record, const std::string& utcTime,
                    const std::string& hostName, const std::string& commandLine);

}  // namespace qv
