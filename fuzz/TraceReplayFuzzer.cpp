// Reads any byte sequence as a trace file and checks what the reader promises about a trace it
// accepts and about the message of one it refuses. An accepted trace is then replayed: a
// device object sends the recorded requests back through a replay host, which must answer each
// as recorded and never diverge, and stop the device cleanly after the last line. A trace whose
// first line is not the device object's own probe diverges at once, with a message that is as
// short and printable as the reader's.

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "device/Guid.h"
#include "device/QuorvexUsb.h"
#include "device/host/InterfacePath.h"
#include "device/host/ReplayHost.h"
#include "device/host/TraceFile.h"
#include "fuzz/Require.h"

namespace {

using qv::fuzz::Require;

// The recorded lines sent back per input; enough to pass every kind of line, few enough to
// keep each run short.
constexpr std::size_t kMaxReplayed = 64;
// A message is a prefix, a reason of a few words and at most two echoes of a trace's text.
constexpr std::size_t kMaxMessageLength = 160 + 2 * qv::kMaxEchoedLength;

bool Printable(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

void RequireMessage(const std::string& text, const char* start) {
    Require(text.starts_with(start), "a message says what it is about first");
    Require(Printable(text), "a message echoes no control character or escape");
    Require(text.size() <= kMaxMessageLength, "a message echoes a shortened text");
}

void RequireWellFormed(const qv::TraceFile& trace) {
    std::size_t previousLine = 0;
    for (std::size_t i = 0; i < trace.transfers.size(); ++i) {
        const qv::RecordedTransfer& line = trace.transfers[i];
        Require(line.seq == i + 1, "sequence numbers count from 1 without a gap");
        Require(line.lineNumber > previousLine, "line numbers rise");
        previousLine = line.lineNumber;
        Require(line.text.size() <= qv::kMaxTraceLineLength, "no line is longer than the limit");
        Require(line.carrier == qv::Carrier::KsProperty || !line.probe,
                "a probe is on the audio carrier");
        Require(line.setup.length <= qv::kMaxTransferLength, "a length fits a control transfer");
        Require(line.ok || line.data.empty(), "a FAIL line carries no data");
        if (!line.ok || line.probe) continue;
        if (line.setup.IsDeviceToHost())
            Require(line.data.size() <= line.setup.length, "an IN returns at most its length");
        else
            Require(line.data.size() == line.setup.length, "an OUT carries its length");
    }
    Require(Printable(qv::ReplayHost::DevicePathOf(trace)), "the device path is printable");
}

// Sends one recorded line back as the tool would have sent it and checks the answer.
void SendBack(qv::QuorvexUsb& device, const qv::RecordedTransfer& line) {
    device.SetKsMode(line.carrier == qv::Carrier::KsProperty);
    if (line.probe) {
        Require(device.ProbeDevice() == line.ok, "a probe is answered as recorded");
        return;
    }
    const qv::ControlSetup& s = line.setup;
    std::vector<std::uint8_t> buffer(s.length, 0xA5);
    if (!s.IsDeviceToHost() && line.ok) buffer = line.data;
    const qv::Reply reply = device.VendorRequest(s.requestType, s.request, s.value, s.index, buffer);
    if (!line.ok) {
        Require(reply == qv::Reply::Refused, "a FAIL line refuses the transfer");
        return;
    }
    if (!s.IsDeviceToHost()) {
        Require(reply == qv::Reply::Done, "a recorded OUT succeeds");
        return;
    }
    // A short answer is short on either carrier.
    const bool shortAnswer = line.data.size() != s.length;
    Require(reply == (shortAnswer ? qv::Reply::Short : qv::Reply::Done),
            "a short IN stays short, on either carrier");
    Require(device.LastBytesReturned() == line.data.size(), "an IN returns the recorded count");
    Require(std::equal(line.data.begin(), line.data.end(), buffer.begin()),
            "an IN returns the recorded bytes");
}

void Replay(const qv::TraceFile& trace) {
    const std::string path = qv::ReplayHost::DevicePathOf(trace);
    if (path.empty()) return;
    qv::ReplayHost host(trace);
    qv::QuorvexUsb device(host);
    const auto& lines = trace.transfers;

    // The device is listed in its path's class only, and listing it sends nothing.
    const auto parsed = qv::InterfacePath::Parse(path);
    const qv::Guid listedClass = parsed ? parsed->interfaceClass : qv::kUsbDeviceInterfaceClass;
    device.SetMatchText(path);
    for (bool ksMode : {false, true}) {
        device.SetKsMode(ksMode);
        const qv::Guid modeClass = ksMode ? qv::kAudioInterfaceClass : qv::kUsbDeviceInterfaceClass;
        Require(device.CheckPresent() == (listedClass == modeClass),
                "the device is listed in the class of its path");
    }

    // The device object's own probe: the audio driver's question when the trace starts with
    // one, else the device descriptor.
    const bool ksProbe = !lines.empty() && lines.front().probe;
    device.SetKsMode(ksProbe);
    const bool probed = device.UseFoundInterface(path);
    if (!host.Divergence().empty()) {
        RequireMessage(host.Divergence(), "replay diverged at line ");
        Require(host.Divergence().starts_with("replay diverged at line " +
                                              std::to_string(lines.front().lineNumber) + ":"),
                "a divergence names the line it stopped at");
        Require(!probed && device.Open() != qv::Reply::Done,
                "a replay that diverged has no device");
        return;
    }
    Require(!lines.empty() || !probed, "an empty trace has no device to probe");
    if (lines.empty()) return;
    Require(probed == lines.front().ok, "the probe is answered as recorded");

    const bool opened = device.Open() == qv::Reply::Done;
    Require(opened == (lines.size() > 1), "the device is there while the trace goes on");
    const std::size_t count = std::min(lines.size(), kMaxReplayed);
    for (std::size_t i = 1; i < count; ++i) {
        SendBack(device, lines[i]);
        Require(host.Divergence().empty(), "a request sent as recorded never diverges");
    }
    if (count < lines.size()) return;

    // Past the last line the board is unplugged.
    std::uint8_t byte = 0;
    device.SetKsMode(ksProbe);
    Require(device.VendorRequest(0xC0, 0x01, 0, 0, {&byte, 1}) == qv::Reply::Gone,
            "after the last line the device is gone");
    Require(host.Divergence().empty(), "a request after the end is no divergence");
    RequireMessage(host.EndedEarly(), "the trace ended at line ");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    const auto trace = qv::ReadTrace(in, "fuzz.trace", error);
    if (!trace) {
        RequireMessage(error, "fuzz.trace:");
        return 0;
    }
    Require(error.empty(), "an accepted trace leaves no error");
    RequireWellFormed(*trace);
    Replay(*trace);
    return 0;
}
