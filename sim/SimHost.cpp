#include "sim/SimHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "device/host/InterfacePath.h"

namespace qv::sim {

namespace {
// A transfer the device never answers fails after the host's timeout, as libusb's does.
constexpr std::uint64_t kHostTimeoutUs = 1'000'000;
// The simulated operator pulls a board this long after its run ended, and plugs the next one
// in after the delay.
constexpr std::uint64_t kPullAfterUs = 1'000'000;
constexpr std::uint64_t kReplugDelayUs = 1'000'000;
thread_local DeviceHost::IoFailure lastFailure = DeviceHost::IoFailure::Refused;
thread_local std::uint64_t transferTimeNs = 0;  // what this thread's last transfer cost

// The unique ID of the board-th board plugged into a port ("1-7"): "Q", the host's board series,
// the port number in two bytes and the board's number in four, so every board of a run has its
// own.
std::array<std::uint8_t, 8> UniqueIdFor(std::uint8_t series, const std::string& location,
                                        std::uint32_t board) {
    const auto port =
        static_cast<std::uint16_t>(std::stoul(location.substr(location.rfind('-') + 1)));
    return {'Q',
            series,
            static_cast<std::uint8_t>(port >> 8),
            static_cast<std::uint8_t>(port),
            static_cast<std::uint8_t>(board >> 24),
            static_cast<std::uint8_t>(board >> 16),
            static_cast<std::uint8_t>(board >> 8),
            static_cast<std::uint8_t>(board)};
}
}  // namespace

SimHost::SimHost(SimClock::Mode clockMode)
    : clock_(clockMode), tracer_(wire_, [this](const std::string& line) { trace_.Write(line); }) {
    tracer_.NameDevices(true);
    tracer_.WriteOnlyWhile([this] { return trace_.IsOn(); });
}

std::uint8_t SimHost::BoardSeries(std::string_view stationName) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : stationName) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return static_cast<std::uint8_t>(hash ^ (hash >> 8) ^ (hash >> 16) ^ (hash >> 24));
}

std::shared_ptr<SimChip> SimHost::AttachNew(const SimIdentity& identity) {
    std::lock_guard lock(mutex_);
    auto chip = std::make_shared<SimChip>(clock_, identity);
    Attach(chip);
    return chip;
}

void SimHost::Attach(std::shared_ptr<SimChip> chip) {
    std::lock_guard lock(mutex_);
    if (IsAttached(*chip)) return;
    const std::string location = "1-" + std::to_string(nextPort_++);
    if (!chip->Flash().UniqueId()) chip->Flash().SetUniqueId(UniqueIdFor(series_, location, 1));
    slots_.push_back({std::move(chip), location, std::nullopt, std::nullopt});
}

void SimHost::Detach(const SimChip& chip) {
    std::lock_guard lock(mutex_);
    std::erase_if(slots_, [&](const Slot& slot) { return slot.chip.get() == &chip; });
}

bool SimHost::IsAttached(const SimChip& chip) const {
    std::lock_guard lock(mutex_);
    return std::any_of(slots_.begin(), slots_.end(),
                       [&](const Slot& slot) { return slot.chip.get() == &chip; });
}

std::vector<std::string> SimHost::PathsOf(const Slot& slot, const Guid& interfaceClass) const {
    const SimIdentity& id = slot.chip->Identity();
    InterfacePath path{id.vendorId, id.productId, std::nullopt, slot.location, interfaceClass};
    if (interfaceClass == kUsbDeviceInterfaceClass && id.onGenericClass) return {path.Text()};
    if (interfaceClass == kAudioInterfaceClass && id.onAudioClass) {
        path.interfaceNumber = 0;
        return {path.Text()};
    }
    return {};
}

// The serial the board on a port ("1-7") reports: its identity's, else "QV" and the port
// number in six digits, the same for every board plugged into that port.
static std::string SerialOf(const SimIdentity& identity, const std::string& location) {
    if (!identity.serialNumber.empty()) return identity.serialNumber;
    std::string number = location.substr(location.rfind('-') + 1);
    if (number.size() < 6) number.insert(0, 6 - number.size(), '0');
    return "QV" + number;
}

std::string SimHost::SerialNumber(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (const Slot& slot : slots_)
        for (const Guid& cls : {kUsbDeviceInterfaceClass, kAudioInterfaceClass}) {
            const auto paths = PathsOf(slot, cls);
            if (std::find(paths.begin(), paths.end(), path) != paths.end())
                return SerialOf(slot.chip->Identity(), slot.location);
        }
    return {};
}

// As the platform's own host names a device: on Windows its interface path; elsewhere the node
// libusb opens, the root hub being device 1 of bus 1 and each port's board the next.
std::string SimHost::SystemPath(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    const auto parsed = InterfacePath::Parse(path);
    if (!parsed) return path;
    const std::string& location = parsed->location;
    const int port = std::atoi(location.substr(location.rfind('-') + 1).c_str());
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", port + 1);
    return node;
#endif
}

void SimHost::ReplugBoards(unsigned boardsPerPort, BoardPreparation prepare) {
    std::lock_guard lock(mutex_);
    boardsPerPort_ = boardsPerPort;
    prepareBoard_ = std::move(prepare);
    for (const Slot& slot : slots_) boardsSeen_[slot.location] = 1;
}

void SimHost::RunOperator() {
    if (boardsPerPort_ == 0) return;
    const std::uint64_t now = clock_.NowUs();
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        const bool judged = slot->leftIspAtUs && now >= *slot->leftIspAtUs + kPullAfterUs;
        if (!judged || boardsSeen_[slot->location] >= boardsPerPort_) {
            ++slot;
            continue;
        }
        pending_.push_back({slot->location, now + kReplugDelayUs});
        slot = slots_.erase(slot);
    }
    for (auto board = pending_.begin(); board != pending_.end();) {
        if (now < board->plugAtUs) {
            ++board;
            continue;
        }
        auto chip = std::make_shared<SimChip>(clock_, UserDeviceIdentity());
        chip->Flash().SetContents(std::vector<std::uint8_t>(chip->Flash().Contents().size(), 0xFF));
        if (prepareBoard_) prepareBoard_(*chip, board->location);
        const unsigned number = ++boardsSeen_[board->location];
        chip->Flash().SetUniqueId(UniqueIdFor(series_, board->location, number));
        slots_.push_back({std::move(chip), board->location, std::nullopt, std::nullopt});
        board = pending_.erase(board);
    }
}

std::optional<std::vector<std::string>> SimHost::ListInterfaces(const Guid& interfaceClass) {
    std::lock_guard lock(mutex_);
    RunOperator();
    if (listingFails_) return std::nullopt;
    std::vector<std::string> paths;
    for (const Slot& slot : slots_) {
        for (auto& path : PathsOf(slot, interfaceClass)) paths.push_back(std::move(path));
    }
    return paths;
}

HostHandle SimHost::OpenPath(const std::string& path) { return tracer_.OpenPath(path); }

HostHandle SimHost::Open(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (const Slot& slot : slots_) {
        for (const Guid& cls : {kUsbDeviceInterfaceClass, kAudioInterfaceClass}) {
            const auto paths = PathsOf(slot, cls);
            if (std::find(paths.begin(), paths.end(), path) == paths.end()) continue;
            const Carrier carrier =
                cls == kAudioInterfaceClass ? Carrier::KsProperty : Carrier::DirectUsb;
            handles_[nextHandle_] = {slot.chip.get(), carrier};
            return nextHandle_++;
        }
    }
    return kNoHandle;
}

void SimHost::ClosePath(HostHandle handle) {
    std::lock_guard lock(mutex_);
    handles_.erase(handle);
}

bool SimHost::IoControl(HostHandle handle, std::uint32_t controlCode,
                        std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                        std::uint32_t& bytesReturned) {
    return tracer_.IoControl(handle, controlCode, input, output, bytesReturned);
}

bool SimHost::Transfer(HostHandle handle, std::uint32_t controlCode,
                       std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                       std::uint32_t& bytesReturned) {
    const bool ok = DeliverIoControl(handle, controlCode, input, output, bytesReturned);
    // On real time a transfer takes its time too (virtual time counted it already), outside
    // the lock: other boards' transfers go on meanwhile, their share of the bus counted in it.
    if (clock_.GetMode() == SimClock::Mode::Real) clock_.SpendNs(transferTimeNs);
    return ok;
}

bool SimHost::DeliverIoControl(HostHandle handle, std::uint32_t controlCode,
                               std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                               std::uint32_t& bytesReturned) {
    std::lock_guard lock(mutex_);
    bytesReturned = 0;
    transferTimeNs = 0;
    lastFailure = IoFailure::Gone;
    const auto open = handles_.find(handle);
    if (open == handles_.end()) return false;
    // A handle outlives its device when the device is unplugged; the driver then fails.
    const auto slot = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) {
        return s.chip.get() == open->second.chip;
    });
    if (slot == slots_.end()) return false;
    lastFailure = IoFailure::Refused;
    const DriverCall call = DecodeDriverCall(controlCode, input, output);
    if (call.kind == DriverCall::Kind::Rejected || call.carrier != open->second.carrier)
        return false;
    std::uint64_t& lastTransferNs = slot->chip->LastTransferNs();
    if (clock_.NowNs() < lastTransferNs) clock_.AdvanceNs(lastTransferNs - clock_.NowNs());
    const bool wasInIspMode = slot->chip->InIspMode();
    const bool ok = Perform(*slot->chip, call, output, bytesReturned);
    lastTransferNs = clock_.NowNs();
    if (wasInIspMode && !slot->chip->InIspMode()) slot->leftIspAtUs = clock_.NowUs();
    if (slot->transfersLeft && --*slot->transfersLeft == 0) slots_.erase(slot);
    return ok;
}

void SimHost::DetachAfterTransfers(const SimChip& chip, std::uint64_t transfers) {
    std::lock_guard lock(mutex_);
    if (transfers == 0) return Detach(chip);
    for (Slot& slot : slots_) {
        if (slot.chip.get() == &chip) slot.transfersLeft = transfers;
    }
}

bool SimHost::Perform(SimChip& chip, const DriverCall& call, std::span<std::uint8_t> output,
                      std::uint32_t& bytesReturned) {
    if (call.kind == DriverCall::Kind::SupportQuery) {
        return chip.SupportQuery();
    }
    // The transfer's packets have crossed the bus before the chip acts on them.
    const std::uint64_t costNs = TransferTimeNs(chip, call.setup, true);
    clock_.AdvanceNs(costNs);
    ++transfers_;
    const TransferResult result = chip.Control(call.setup, call.outData);
    transferTimeNs = costNs;
    if (result.noAnswer) {
        lastFailure = IoFailure::NoAnswer;
        clock_.AdvanceUs(kHostTimeoutUs);
        transferTimeNs = TransferTimeNs(chip, call.setup, false);
    }
    if (call.setup.IsDeviceToHost()) {
        const std::size_t count = std::min(result.data.size(), output.size());
        if (result.ok) std::copy_n(result.data.begin(), count, output.begin());
        bytesReturned = result.ok ? static_cast<std::uint32_t>(count) : 0;
    } else {
        bytesReturned = result.ok ? call.setup.length : 0;
    }
    return result.ok;
}

unsigned SimHost::BoardsOnBus(const SimChip& chip) const {
    if (controllerPerBoard_) return 1;
    std::set<const SimChip*> busy{&chip};
    for (const auto& [handle, open] : handles_) busy.insert(open.chip);
    return static_cast<unsigned>(busy.size());
}

// A transfer the device never answers costs the host's timeout instead of its packets.
std::uint64_t SimHost::TransferTimeNs(const SimChip& chip, const ControlSetup& setup,
                                      bool answered) const {
    if (!answered) return kHostTimeoutUs * 1000;
    return TransferCostNs(model_, setup.length, BoardsOnBus(chip));
}

DeviceHost::IoFailure SimHost::LastIoControlFailure() const { return lastFailure; }

void SimHost::Sleep(std::uint32_t milliseconds) { clock_.Sleep(milliseconds); }
std::uint64_t SimHost::NowMs() { return clock_.NowMs(); }

}  // namespace qv::sim
