#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/I2cCommands.h"
#include "cli/ParamsCommands.h"
#include "cli/Session.h"
#include "cli/StatusCommands.h"
#include "sim/FaultChoice.h"

using namespace qv::cli;

static int Fail(int code, const std::exception& error) {
    std::cerr << "qvusb: " << error.what() << "\n";
    return code;
}

int main(int argc, char** argv) {
    CLI::App app{"Programs and inspects the Quorvex USB audio bridge chip", "qvusb"};
    app.require_subcommand(1);
    GlobalOptions options;
    auto* sim = app.add_flag("--sim", options.sim, "Attach the simulated chip instead of USB");
    app.add_option("--sim-flash", options.simFlashFile,
                   "Keep the simulated flash in FILE (created when missing)")
        ->needs(sim);
    app.add_option("--sim-devices", options.simDevices,
                   "Attach this many simulated chips (for flash --all)")
        ->needs(sim)
        ->check(CLI::Range(1u, 64u));
    app.add_option("--sim-fault", options.simFaults,
                   "Break the simulated chip from transfer N on (default 1): KIND[@N], "
                   "repeatable; kinds: " + qv::sim::FaultKindList())
        ->needs(sim)
        ->check([](const std::string& text) {
            return qv::sim::ParseFaultChoice(text)
                       ? std::string()
                       : "'" + text + "' is not a fault of the simulator; kinds: " +
                             qv::sim::FaultKindList() + " (KIND or KIND@N)";
        });
    app.add_option_function<std::string>(
           "--sim-speed",
           [&options](const std::string& speed) { options.simRealTime = speed == "real"; },
           "virtual (default: the examples finish at once) or real (a demo at the chip's pace)")
        ->needs(sim)
        ->check(CLI::IsMember({"virtual", "real"}));
    app.add_option("--trace", options.traceFile, "Write the simulator's trace to FILE")->needs(sim);
    app.add_option("--vid", options.vid, "VID of the user's device (hexadecimal)")
        ->capture_default_str();
    app.add_option("--pid", options.pid, "PID of the user's device (hexadecimal)")
        ->capture_default_str();

    AddListCommand(app, options);
    AddRawCommand(app, options);
    AddRegisterCommands(app, options);
    AddIspCommands(app, options);
    AddFlashCommands(app, options);
    AddImageCommands(app);
    AddI2cCommands(app, options);
    AddParamsCommands(app, options);
    AddStatusCommands(app, options);

    try {
        app.parse(argc, argv);
        return kExitSuccess;
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitSuccess : kExitBadInput;
    } catch (const BadInput& error) {
        return Fail(kExitBadInput, error);
    } catch (const NoDevice& error) {
        return Fail(kExitNoDevice, error);
    } catch (const OperationFailed& error) {
        return Fail(kExitFailed, error);
    } catch (const std::filesystem::filesystem_error& error) {
        return Fail(kExitBadInput, error);
    } catch (const std::exception& error) {
        std::cerr << "qvusb: internal error: " << error.what() << "\n";
        return kExitFailed;
    }
}
