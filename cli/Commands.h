#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/Session.h"

namespace qv::cli {

// Each command throws BadInput, OperationFailed or NoDevice on failure; main maps them to the
// exit code.

void RunList(Session& session, std::ostream& out);

struct RawArguments {
    std::string direction;  // "out" or "in"
    std::string requestType;
    std::string request;
    std::string value;
    std::string index;
    std::vector<std::string> dataOrLength;  // hexadecimal bytes for "out", a length for "in"
};
void RunRaw(Session& session, const RawArguments& args, std::ostream& out);

}  // namespace qv::cli
