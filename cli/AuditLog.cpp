#include "cli/AuditLog.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "cli/CliErrors.h"

namespace qv::cli {
namespace {

// The machine's name: Windows keeps it in the environment, Linux in the kernel's table.
std::string HostName() {
    if (const char* name = std::getenv("COMPUTERNAME")) return name;
    for (const char* file : {"/proc/sys/kernel/hostname", "/etc/hostname"}) {
        std::string name;
        if (std::ifstream(file) >> name) return name;
    }
    return "unknown";
}

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    char text[32];
    // Lines are written from the command's own thread only, so gmtime's shared result is safe.
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    return text;
}

}  // namespace

AuditLog::AuditLog(const std::string& path, std::string commandLine)
    : file_(std::fopen(path.c_str(), "ab")),
      commandLine_(std::move(commandLine)),
      hostName_(HostName()) {
    if (!file_) throw BadInput("Cannot append to the log " + path);
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

void AuditLog::Append(const RunRecord& record) {
    const std::string line = LogJson(record, UtcNow(), hostName_, commandLine_) + "\n";
    std::fwrite(line.data(), 1, line.size(), file_.get());
}

}  // namespace qv::cli
