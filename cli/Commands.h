#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/Session.h"

namespace CLI {
class App;
}

namespace qv::cli {

// Each command is added as a subcommand whose callback runs it on a new Session made from the
// global options. Commands throw BadInput, OperationFailed or NoDevice on failure; main maps
// them to exit codes.
void AddListCommand(CLI::App& app, const GlobalOptions& options);
void AddRawCommand(CLI::App& app, const GlobalOptions& options);
void AddRegisterCommands(CLI::App& app, const GlobalOptions& options);
void AddIspCommands(CLI::App& app, const GlobalOptions& options);
void AddImageCommands(CLI::App& app, const GlobalOptions& options);
void AddFlashCommands(CLI::App& app, const GlobalOptions& options);
void AddStationCommand(CLI::App& app, GlobalOptions& options);
void AddJobCommand(CLI::App& app, const GlobalOptions& options);
void AddSlotsCommand(CLI::App& app, GlobalOptions& options);
void AddHelpCommand(CLI::App& app);
void AddUdevRuleCommand(CLI::App& app, const GlobalOptions& options);
void AddSerialsCommand(CLI::App& app, const GlobalOptions& options);
void AddReportCommand(CLI::App& app, const GlobalOptions& options);
void AddBoardCommand(CLI::App& app, const GlobalOptions& options);

void RunList(Session& session, bool withPaths, std::ostream& out);

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
