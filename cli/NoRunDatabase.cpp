#include "cli/CliErrors.h"
#include "cli/RunDatabase.h"

namespace qv::cli {

std::unique_ptr<RunDatabase> OpenRunDatabase(const std::string& url) {
    throw BadInput("--db " + url + ": this qvusb was built without a database");
}

}  // namespace qv::cli
