#include "line/AuditLog.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "line/DatabaseUrl.h"
#include "line/HostName.h"
#include "line/JsonLine.h"
#include "line/RecordErrors.h"

namespace qv {
namespace {

std::string ShellQuoted(const std::string& argument) {
    const bool plain =
        !argument.empty() && argument.find_first_not_of(
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnop"
                                 "qrstuvwxyz0123456789-_./:=@%+,") == std::string::npos;
    if (plain) return argument;
    std::string quoted = "'";
    for (const char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string UtcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(milliseconds));
    return text;
}

// The log opened for appending; refused with the system's reason when it cannot be.
static std::FILE* OpenedForAppending(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr)
        throw RecordsRefused("Cannot append to the log " + path + ": " + std::strerror(errno));
    return file;
}

std::string QuotedCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) line += (i ? " " : "") + ShellQuoted(MaskedSecrets(argv[i]));
    return line;
}

AuditLog::AuditLog(const std::string& path, std::string commandLine)
    : file_(OpenedForAppending(path)),
      path_(path),
      commandLine_(std::move(commandLine)),
      hostName_(HostName()) {
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

std::optional<std::string> AuditLog::Append(const RunRecord& record) {
    return Write(LogJson(record, UtcNow(), hostName_, commandLine_) + "\n");
}

std::optional<std::string> AuditLog::AppendResultHookFailure(const RunRecord& record,
                                                             const std::string& problem) {
    return Write(JsonLine()
                     .Add("event", "on_result")
                     .Add("time", UtcNow())
                     .Add("device", record.device)
                     .Add("result", record.ok ? "PASS" : "FAIL")
                     .Add("serial", record.serial)
                     .Add("flash_uid", record.flashUid)
                     .Add("problem", problem)
                     .Text() +
                 "\n");
}

std::optional<std::string> AuditLog::Write(const std::string& line) {
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), file_.get()) == line.size()) return std::nullopt;
    return "the log line was not written to " + path_ + " (" + std::strerror(errno) + ")";
}

}  // namespace qv
