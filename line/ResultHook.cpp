#include "line/ResultHook.h"

namespace qv {

std::vector<std::pair<std::string, std::string>> ResultHookEnvironment(const RunRecord& record,
                                                                       const std::string& station) {
    return {{"QV_RESULT", record.ok ? "PASS" : "FAIL"},
            {"QV_SERIAL", record.serial},
            {"QV_FLASH_UID", record.flashUid},
            {"QV_STATION", station},
            {"QV_PORT", record.device},
            {"QV_FAILURE", record.ok ? "" : record.failure},
            {"QV_MESSAGE", record.message},
            {"QV_FILE", record.file}};
}

}  // namespace qv
