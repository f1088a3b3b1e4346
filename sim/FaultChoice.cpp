#include "sim/FaultChoice.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace qv::sim {
namespace {

using ArmFunction = void (*)(SimHost& host, SimChip& chip, std::uint64_t afterTransfers);

struct FaultKind {
    std::string_view name;
    ArmFunction arm;
};

void Raise(SimFaults& faults, bool SimFaults::*flag) { faults.*flag = true; }
void Raise(SimFaults& faults, bool FlashFaults::*flag) { faults.flash.*flag = true; }

// A fault that is one flag of the chip's faults, raised once the chip has received `after`
// transfers.
template <auto flag>
void ArmFlag(SimHost&, SimChip& chip, std::uint64_t after) {
    chip.ArmFaultsAfter(after, [](SimChip& c) { Raise(c.Faults(), flag); });
}

constexpr std::array kFaultKinds{
    // The device vanishes from the bus before transfer N.
    FaultKind{"unplug",
              [](SimHost& host, SimChip& chip, std::uint64_t after) {
                  host.DetachAfterTransfers(chip, after);
              }},
    // Transfer N alone stalls.
    FaultKind{"stall",
              [](SimHost&, SimChip& chip, std::uint64_t after) {
                  chip.Faults().stalledTransfers.insert(after + 1);
              }},
    FaultKind{"never-ready", ArmFlag<&SimFaults::flashNeverReady>},
    FaultKind{"stays-busy", ArmFlag<&FlashFaults::staysBusy>},
    FaultKind{"wel-ignored", ArmFlag<&FlashFaults::writeEnableIgnored>},
    FaultKind{"protect-stuck", ArmFlag<&FlashFaults::protectionStuck>},
    FaultKind{"flip", ArmFlag<&SimFaults::flipEveryFetch>},
    FaultKind{"slow", ArmFlag<&FlashFaults::slow>},
    FaultKind{"wp-locked", ArmFlag<&FlashFaults::writeProtectPinLow>},
    // From transfer N on the device answers nothing: each transfer takes the host's timeout.
    FaultKind{"timeout", ArmFlag<&SimFaults::silent>},
    FaultKind{"short", ArmFlag<&SimFaults::shortFetches>},
    // Reads answer at most 64 bytes: a chip that cannot serve larger read blocks.
    FaultKind{"short-read",
              [](SimHost&, SimChip& chip, std::uint64_t after) {
                  chip.ArmFaultsAfter(after, [](SimChip& c) { c.Faults().fetchLimit = 64; });
              }},
    // Transfer N alone gets no answer, or its answer's first byte has bit 0 flipped; the chip
    // answers again from the next.
    FaultKind{"timeout-once",
              [](SimHost&, SimChip& chip, std::uint64_t after) {
                  chip.Faults().silentTransfers.insert(after + 1);
              }},
    FaultKind{"flip-once",
              [](SimHost&, SimChip& chip, std::uint64_t after) {
                  chip.Faults().flippedTransfers.insert(after + 1);
              }},
    FaultKind{"erase-ignored", ArmFlag<&FlashFaults::eraseIgnored>},
    FaultKind{"protect-lost", ArmFlag<&FlashFaults::protectionLost>},
    FaultKind{"mailbox-silent",
              [](SimHost&, SimChip& chip, std::uint64_t after) {
                  chip.ArmFaultsAfter(after, [](SimChip& c) { c.Mailbox().SetNeverAnswers(true); });
              }},
};

const FaultKind* FindKind(std::string_view name) {
    const auto found = std::find_if(kFaultKinds.begin(), kFaultKinds.end(),
                                    [&](const FaultKind& kind) { return kind.name == name; });
    return found == kFaultKinds.end() ? nullptr : &*found;
}

}  // namespace

std::optional<FaultChoice> ParseFaultChoice(std::string_view text) {
    const auto at = text.find('@');
    const std::string_view name = text.substr(0, at);
    if (FindKind(name) == nullptr) return std::nullopt;
    FaultChoice choice{std::string(name), 1};
    if (at == std::string_view::npos) return choice;
    const std::string_view number = text.substr(at + 1);
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), choice.fromTransfer);
    if (error != std::errc() || end != number.data() + number.size() || choice.fromTransfer == 0)
        return std::nullopt;
    return choice;
}

std::string FaultKindList() {
    std::string list;
    for (const FaultKind& kind : kFaultKinds) {
        if (!list.empty()) list += ", ";
        list += kind.name;
    }
    return list;
}

void ArmFault(SimHost& host, SimChip& chip, const FaultChoice& fault) {
    if (const FaultKind* kind = FindKind(fault.kind)) kind->arm(host, chip, fault.fromTransfer - 1);
}

}  // namespace qv::sim
