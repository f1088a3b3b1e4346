#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "line/RunRecord.h"

namespace qv {

// The production audit log (--log FILE): one JSON line per device and run, success or not.
// The file is opened for appending and each line goes out in one unbuffered write, so several
// qvusb processes of one station can share it.
class AuditLog {
public:
    // Opens the file; throws RecordsRefused when it cannot be appended to (before anything is sent).
    // commandLine is the arguments as given, each quoted as a POSIX shell would read it back.
    AuditLog(const std::string& path, std::string commandLine);

    // Appends the record's line; why it could not be written whole, nothing when it was.
    [[nodiscard]] std::optional<std::string> Append(const RunRecord& record);
    // Appends {"event":"on_result",...}: the command run for the board of `record` failed.
    [[nodiscard]] std::optional<std::string> AppendResultHookFailure(const RunRecord& record,
                                                                     const std::string& problem);

private:
    [[nodiscard]] std::optional<std::string> Write(const std::string& line);

    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    std::string commandLine_;
    std::string hostName_;
};

// Now, in UTC, as the log and the database write times: "2026-12-07T22:31:45.123Z" (the
// milliseconds let rates be told from runs closer than a second).
std::string UtcNow();

// The arguments as one line a POSIX shell reads back into the same arguments: each quoted
// with single quotes where it holds anything but letters, digits and "-_./:=@%+,". A password
// an argument carries (a database URL's) is masked: the line is stored and printed.
std::string QuotedCommandLine(int argc, const char* const* argv);

}  // namespace qv
