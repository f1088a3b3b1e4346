#include "line/SqliteFileName.h"

namespace qv {

std::string SqliteFileName(const std::string& path) { return path; }

}  // namespace qv
