#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/BatchSummary.h"
#include "cli/FlashOptions.h"
#include "isp/Station.h"
#include "line/RunRecord.h"

namespace qv::cli {

class Session;
struct GlobalOptions;

struct StationArguments {
    FlashArguments flash;
    unsigned units = 0;  // boards to judge before ending; 0: until stopped
    unsigned slots = 0;  // boards flashed at once; 0: every board at once
};

// A port as a station's front shows it: what it is doing and, when the job's slot map names
// the port, its slot's label.
struct PortView {
    SlotSnapshot port;
    std::string label;
};

// What a station has come to besides its ports: its verdicts since it started, and the judged
// boards whose records wait for the database server.
struct LineState {
    BatchSummary summary;
    bool databaseAway = false;
    std::size_t waitingForDatabase = 0;
};

// A station's front: the terminal's live block and verdict lines, or the station window's
// tiles. The ports are shown from the station's thread after every poll, a verdict from the
// records' thread once the board's records are written; the two calls never overlap.
class StationDisplay {
public:
    virtual ~StationDisplay() = default;
    virtual void ShowPorts(const std::vector<PortView>& ports, const LineState& state) = 0;
    virtual void ShowVerdict(const RunRecord& record, const LineState& state) = 0;
    // Polled from the station's threads: true ends every board cleanly, then the station.
    virtual bool StopRequested() = 0;
};

// Refuses (BadInput) a job whose image cannot be read or is not the one it was made with;
// nothing is sent. The station checks again when it starts.
void CheckJobImage(const LoadedJob& job);

// Runs a station on the session's bus, the one runner behind `qvusb station` and the station
// window: loads the image once (a job's is checked against the job), takes the station's name
// and the serial numbers in the database, flashes and judges every board until a stop or
// `units` boards, and writes each board's log line and database row. Throws BadInput with
// nothing sent when the image, the range or the database cannot be used. Returns what the
// boards came to.
BatchSummary RunStationOn(Session& session, const GlobalOptions& options, StationArguments args,
                          StationDisplay& display);

}  // namespace qv::cli
