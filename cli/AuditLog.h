#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "cli/RunRecord.h"

namespace qv::cli {

// The production audit log (--log FILE): one JSON line per device and run, success or not.
// The file is opened for appending and each line goes out in one unbuffered write, so several
// qvusb processes of one station can share it.
class AuditLog {
public:
    // Opens the file; throws BadInput when it cannot be appended to (before anything is sent).
    AuditLog(const std::string& path, std::string commandLine);

    void Append(const RunRecord& record);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::string commandLine_;
    std::string hostName_;
};

}  // namespace qv::cli
