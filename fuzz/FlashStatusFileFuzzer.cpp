// Loads a kept simulated flash whose status file (FILE.status, two hexadecimal digits) holds any
// byte sequence, and checks what loading promises: a status file that is refused leaves the
// flash as it was, and one that is taken sets the status it names, which saving and loading
// again keeps.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz/Require.h"
#include "fuzz/TempFile.h"
#include "sim/FlashChip.h"
#include "sim/FlashImageFile.h"
#include "sim/SimClock.h"
#include "sim/SimFaults.h"
#include "sim/SimFlash.h"

namespace {

using qv::fuzz::Require;

// The default part cut to one small sector, so that each run reads and writes little, with
// every status bit kept, so that any value the file names shows in the flash.
constexpr qv::sim::FlashChip SmallChip() {
    qv::sim::FlashChip chip = qv::sim::DefaultFlashChip();
    chip.sizeBytes = 4096;
    chip.writableStatusBits = 0xFF;
    return chip;
}
constexpr qv::sim::FlashChip kSmallChip = SmallChip();
constexpr std::uint8_t kBeforeStatus = 0x5A;

// The first two hexadecimal digits of the file's first word, as a value, when that word is
// exactly two such digits.
std::optional<std::uint8_t> NamedStatus(std::span<const std::uint8_t> bytes) {
    const auto isBlank = [](std::uint8_t c) { return std::isspace(c) != 0; };
    const auto start = std::find_if_not(bytes.begin(), bytes.end(), isBlank);
    const auto end = std::find_if(start, bytes.end(), isBlank);
    if (end - start != 2 || !std::isxdigit(start[0]) || !std::isxdigit(start[1]))
        return std::nullopt;
    return static_cast<std::uint8_t>(
        std::stoul(std::string(reinterpret_cast<const char*>(&*start), 2), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qv::fuzz::ProcessTempFile image("flash.bin");
    static const qv::fuzz::ProcessTempFile status("flash.bin.status");
    static const std::vector<std::uint8_t> contents = [] {
        std::vector<std::uint8_t> bytes(kSmallChip.sizeBytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
        image.Write(bytes);
        return bytes;
    }();
    const std::span<const std::uint8_t> input(data, size);
    status.Write(input);

    qv::sim::SimClock clock;
    const qv::sim::FlashFaults faults{};
    qv::sim::SimFlash flash(clock, kSmallChip, faults);
    flash.SetStoredStatus(kBeforeStatus);
    const bool loaded = qv::sim::LoadFlashImage(flash, image.Path());
    const auto named = NamedStatus(input);
    if (!loaded) {
        Require(!named, "a status file of two hexadecimal digits is taken");
        Require(flash.StoredStatus() == kBeforeStatus, "a refused status file changes nothing");
        return 0;
    }
    Require(named.has_value(), "a status file is taken only with two hexadecimal digits");
    Require(flash.StoredStatus() == *named, "the status is the one the file names");
    Require(std::ranges::equal(flash.Contents(), contents), "the image is loaded with it");

    // What is saved loads again the same.
    Require(qv::sim::SaveFlashImage(flash, image.Path()), "a loaded flash can be saved");
    qv::sim::SimFlash again(clock, kSmallChip, faults);
    Require(qv::sim::LoadFlashImage(again, image.Path()), "a saved flash loads");
    Require(again.StoredStatus() == flash.StoredStatus(), "a saved status loads the same");
    Require(std::ranges::equal(again.Contents(), contents), "a saved image loads the same");
    return 0;
}
