#include "station/StationPicture.h"

#include <algorithm>

#include "cli/JobOutcome.h"

using qv::cli::LineState;
using qv::cli::PortView;
using qv::SlotSnapshot;

namespace {

// A slot with no board on it yet.
Tile EmptyTile(const std::string& label, const std::string& port) {
    Tile tile;
    tile.label = label;
    tile.port = port;
    return tile;
}

}  // namespace

void StationPicture::OpenJob(const std::vector<qv::JobSlot>& fixtureSlots) {
    std::lock_guard lock(mutex_);
    picture_.tiles.clear();
    for (const qv::JobSlot& slot : fixtureSlots) picture_.tiles.push_back(EmptyTile(slot.label, slot.port));
    picture_.sinceJobOpened = {};
    picture_.lastVerdicts.clear();
    picture_.problem.clear();
    endedLinesMs_ = 0;
    Changed();
}

void StationPicture::Started() {
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
    picture_.running = true;
    picture_.sinceStart = {};
    picture_.problem.clear();
    for (Tile& tile : picture_.tiles) tile = EmptyTile(tile.label, tile.port);
    Changed();
}

void StationPicture::Ended(const std::string& problem) {
    std::lock_guard lock(mutex_);
    picture_.running = false;
    picture_.problem = problem;
    picture_.prompt.clear();
    endedLinesMs_ += picture_.sinceStart.summary.workedMs;
    Changed();
}

Tile& StationPicture::TileOf(const std::string& port, const std::string& label) {
    const auto found = std::find_if(picture_.tiles.begin(), picture_.tiles.end(),
                                    [&port](const Tile& tile) { return tile.port == port; });
    if (found != picture_.tiles.end()) return *found;
    return picture_.tiles.emplace_back(EmptyTile(label.empty() ? port : label, port));
}

void StationPicture::ShowPorts(const std::vector<PortView>& ports, const LineState& state) {
    std::lock_guard lock(mutex_);
    for (const PortView& view : ports) {
        const SlotSnapshot& port = view.port;
        Tile& tile = TileOf(port.selector, view.label);
        switch (port.state) {
            case SlotSnapshot::State::Waiting:
                // A verdict stays on its tile until the slot's next board starts.
                if (tile.state == Tile::State::Flashing) tile = EmptyTile(tile.label, tile.port);
                break;
            case SlotSnapshot::State::Queued:
            case SlotSnapshot::State::Flashing:
                tile.state = Tile::State::Flashing;
                tile.text = port.state == SlotSnapshot::State::Queued ? "queued"
                                                                      : qv::cli::TrimmedText(port.text);
                tile.progress = port.progress;
                tile.serial.clear();
                tile.seconds = port.seconds;
                break;
            case SlotSnapshot::State::Passed:
            case SlotSnapshot::State::Failed:
                // Judged: the verdict is the written record's, which may still differ.
                if (tile.state == Tile::State::Flashing) {
                    tile.state = Tile::State::Recording;
                    tile.text = "recording";
                    tile.seconds = port.seconds;
                }
                break;
        }
    }
    picture_.sinceStart = state;
    picture_.sinceJobOpened.workedMs = endedLinesMs_ + state.summary.workedMs;
    Changed();
}

void StationPicture::ShowVerdict(const qv::RunRecord& record, const LineState& state) {
    std::lock_guard lock(mutex_);
    Tile& tile = TileOf(record.device, record.slot);
    tile.state = record.ok ? Tile::State::Passed : Tile::State::Failed;
    tile.text = record.ok ? "" : record.message;
    tile.progress = 1;
    tile.serial = record.serial;
    tile.seconds = record.seconds;
    picture_.sinceStart = state;
    picture_.sinceJobOpened.Count(record);
    picture_.sinceJobOpened.workedMs = endedLinesMs_ + state.summary.workedMs;
    picture_.lastVerdicts.push_front(qv::VerdictLine(record));
    if (picture_.lastVerdicts.size() > kVerdictsKept) picture_.lastVerdicts.pop_back();
    Changed();
}

void StationPicture::Ask(const std::string& label) {
    std::lock_guard lock(mutex_);
    picture_.prompt = "Plug a board into " + label + " (Stop ends)";
    Changed();
}

void StationPicture::Learned(const qv::JobSlot& slot) {
    std::lock_guard lock(mutex_);
    TileOf(slot.port, slot.label);
    Changed();
}

void StationPicture::SeveralBoards(const std::string& label) {
    std::lock_guard lock(mutex_);
    picture_.prompt = "Several boards are plugged in that are not learned yet: leave only the "
                      "one in " + label;
    Changed();
}

void StationPicture::JobWritten() {
    std::lock_guard lock(mutex_);
    ++picture_.jobsWritten;
    Changed();
}

std::optional<Picture> StationPicture::TakeIfChanged(std::uint64_t& seen) const {
    std::lock_guard lock(mutex_);
    if (seen == version_) return std::nullopt;
    seen = version_;
    return picture_;
}
