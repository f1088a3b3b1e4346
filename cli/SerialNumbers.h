#pragma once

#include <string>

#include "cli/Reporting.h"
#include "image/ProgramFile.h"
#include "isp/Station.h"
#include "line/SerialFormat.h"

namespace CLI {
class App;
class Option;
}

namespace qv::cli {

// What --serial does when the database cannot be reached: a station's boards wait for it (a
// stop ends the wait); a single flash fails at once.
enum class WhenUnreachable { Wait, Fail };

// Serial numbers for boards (--serial FORMAT): a board that was programmed with a number from
// the database before keeps it (a board reworked), unless a new one is asked for; any other
// gets the next number of the format. The number goes into the image's serial-number string.
class SerialNumbers {
public:
    // Refuses (BadInput) before anything is sent when there is no --db or the image has no
    // parameter table to hold the number.
    SerialNumbers(Reporting& reporting, const std::string& format, const ProgramFile& image,
                  bool newSerial, WhenUnreachable whenUnreachable);

    // Gives the board its number, in its image; the failure when none could be taken.
    JobResult Give(BoardImage& board) const;

private:
    // The board's number: the one it kept, or the next one.
    void TakeNumber(BoardImage& board) const;

    Reporting& reporting_;
    SerialFormat format_;
    std::uint32_t tablePosition_ = 0;
    bool newSerial_;
    WhenUnreachable whenUnreachable_;
};

// Where a board's number goes in the image: its parameter table. Refuses (BadInput) before
// anything is sent when there is no --db or the image has no parameter table to hold it.
[[nodiscard]] std::uint32_t SerialPlace(bool database, const ProgramFile& image);

// --serial FORMAT: checked when it is read; and --new-serial beside it.
CLI::Option* AddSerialOption(CLI::App* command, std::string& format, bool& newSerial);

}  // namespace qv::cli
