#pragma once

#include <string>

#include "image/ProgramFileCheck.h"
#include "isp/IspJobs.h"
#include "line/JobFile.h"

namespace CLI {
class App;
class Option;
}

namespace qv::cli {

// The options of the automatic sequence, shared by `flash` and `station`.
struct FlashArguments {
    std::string file;
    std::string range = "all";
    AutoSteps steps;  // each switched off by its --no-* option
    bool all = false;
    bool allFlash = false;     // read-back: the whole flash
    bool changedOnly = false;  // only the sectors that differ
    std::string serial;        // --serial FORMAT; empty: the image as it is
    bool newSerial = false;    // --new-serial: no board keeps the number it holds
    unsigned readBlock = kDefaultReadBlock;
};

struct RangeArgument {
    bool wholeFlash = true;
    std::string startText;  // KB
    std::string sizeText;   // KB
};

// "all", or START_KB:SIZE_KB in decimal; throws BadInput otherwise.
RangeArgument ParseRange(const std::string& text);
AutoRequest RequestFrom(const FlashArguments& args, const RangeArgument& range);
// The same, for a program file the command line has read and loaded already: the sequence
// takes that image instead of reading the file again.
AutoRequest LoadedRequest(const FlashArguments& args, const RangeArgument& range);
// Puts an image read once into the program file the jobs use.
void UseImage(ProgramFile& program, const std::string& file, const ProgramFileContent& content);

// Applies the range to the program's image and refuses (BadInput) a range beyond the 24-bit
// address space, before anything is sent: the image's range for the walks and, for a sector
// erase, the erased range (JobRangeRefusal).
void CheckRangeFits(ProgramFile& program, const RangeArgument& range, bool walks,
                    bool sectorErase);

void AddRangeOption(CLI::App* command, FlashArguments& args);
// --no-NAME for the step, as kAutoStepNames names it.
void AddStepSwitch(CLI::App* command, FlashArguments& args, bool AutoSteps::*step);
// --range, the step switches but --no-reload, and --changed-only.
void AddSequenceOptions(CLI::App* command, FlashArguments& args);
// --read-block N, 1 to 255 bytes per read request.
CLI::Option* AddReadBlock(CLI::App* command, FlashArguments& args);

// The flash options a job fixes, both ways: into a job being made, and out of a job a station
// runs (its image as the station opens it).
void FixInJob(const FlashArguments& flash, Job& job);
FlashArguments FlashArgumentsOf(const LoadedJob& loaded);

}  // namespace qv::cli
