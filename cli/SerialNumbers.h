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

// Serial numbers for boards (--serial FORMAT): for each board the next number of the format,
// taken from the database, in a copy of the image's serial-number string.
class SerialNumbers {
public:
    // Refuses (BadInput) before anything is sent when there is no --db or the image has no
    // parameter table to hold the number.
    SerialNumbers(Reporting& reporting, const std::string& format, const ProgramFile& image);

    // The image for the board on `port`, with its number; the problem when none could be taken.
    BoardImage For(const std::string& port) const;

private:
    Reporting& reporting_;
    SerialFormat format_;
    const ProgramFile& image_;
    std::uint32_t tablePosition_ = 0;
};

// --serial FORMAT: checked when it is read.
CLI::Option* AddSerialOption(CLI::App* command, std::string& format);

}  // namespace qv::cli
