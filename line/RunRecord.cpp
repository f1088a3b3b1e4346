#include "line/RunRecord.h"

#include <cstdio>
#include <vector>

#include "common/HexFormat.h"
#include "common/Sha256.h"
#include "line/JsonLine.h"

namespace qv {
namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

void AddOutcome(JsonLine& line, const RunRecord& record) {
    line.Add("ok", record.ok)
        .Add("exit_code", record.exitCode)
        .Add("message", record.message)
        .Add("seconds", record.seconds, 2)
        .Add("device", record.device);
    if (!record.failure.empty()) line.Add("failure", record.failure);
}

void AddFile(JsonLine& line, const RunRecord& record) {
    if (record.file.empty()) return;
    line.Add("file", record.file);
    if (record.length) line.Add("length", *record.length);
    if (record.checksum) line.Add("checksum", "0x" + Hex4(*record.checksum));
    if (!record.sha256.empty()) line.Add("sha256", record.sha256);
}

}  // namespace

void DescribeFile(RunRecord& record, const std::string& file, const ProgramFileContent& content) {
    record.file = file;
    record.length = content.image.LoadedLength;
    record.checksum = content.sum;
    record.sha256 = Sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(content.bytes.data()),
                                        content.bytes.size()));
}

std::string ChipIdText(const std::array<std::uint8_t, 3>& chipId) {
    if (chipId == std::array<std::uint8_t, 3>{}) return {};
    return Hex2(chipId[0]) + " " + Hex2(chipId[1]) + " " + Hex2(chipId[2]);
}

std::string UniqueIdText(const std::optional<std::array<std::uint8_t, 8>>& uniqueId) {
    std::string text;
    if (uniqueId)
        for (const std::uint8_t byte : *uniqueId) text += Hex2(byte);
    return text;
}

std::string VerdictLine(const RunRecord& record) {
    std::string line = std::string(record.ok ? "PASS" : "FAIL") + " " + record.device;
    if (!record.slot.empty()) line += " [" + record.slot + "]";
    if (!record.file.empty()) line += " " + record.file;
    if (record.checksum) line += " 0x" + Hex4(*record.checksum);
    if (!record.serial.empty()) line += " " + record.serial + (record.serialKept ? " (kept)" : "");
    line += " " + Seconds(record.seconds);
    if (!record.message.empty()) line += " " + record.message;
    return line;
}

std::string ResultJson(const RunRecord& record) {
    JsonLine line;
    line.Add("event", "result").Add("command", record.command);
    AddOutcome(line, record);
    if (!record.flashUid.empty()) line.Add("flash_uid", record.flashUid);
    if (!record.serial.empty()) line.Add("serial", record.serial);
    if (record.serialKept) line.Add("serial_kept", true);
    if (!record.slot.empty()) line.Add("slot", record.slot);
    AddFile(line, record);
    return line.Text();
}

std::string LogJson(const RunRecord& record, const std::string& utcTime,
                    const std::string& hostName, const std::string& commandLine) {
    JsonLine line;
    line.Add("time", utcTime).Add("host", hostName).Add("command_line", commandLine);
    line.Add("command", record.command).Add("device_path", record.devicePath);
    AddOutcome(line, record);
    AddFile(line, record);
    line.Add("range", record.range).Add("chip_id", record.chipId).Add("flash_uid", record.flashUid);
    line.Add("serial", record.serial).Add("serial_kept", record.serialKept);
    line.Add("order", record.workOrder);
    line.Add("operator", record.operatorName);
    line.Add("job", record.job).Add("job_sha256", record.jobSha256).Add("slot", record.slot);
    line.Add("failing_step", record.ok ? std::string() : record.message);
    return line.Text();
}

}  // namespace qv
