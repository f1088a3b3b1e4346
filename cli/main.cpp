#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/Session.h"

using namespace qv::cli;

int main(int argc, char** argv) {
    CLI::App app{"Programs and inspects the Quorvex USB audio bridge chip", "qvusb"};
    app.require_subcommand(1);
    GlobalOptions options;
    auto* sim = app.add_flag("--sim", options.sim, "Attach the simulated chip instead of USB");
    app.add_option("--trace", options.traceFile, "Write the simulator's trace to FILE")->needs(sim);
    app.add_option("--vid", options.vid, "VID of the user's device (hexadecimal)")->capture_default_str();
    app.add_option("--pid", options.pid, "PID of the user's device (hexadecimal)")->capture_default_str();

    auto* list = app.add_subcommand("list", "Present interfaces of both classes, and the one chosen");

    RawArguments raw;
    auto* rawCommand = app.add_subcommand("raw", "One vendor request; prints the bytes returned");
    rawCommand->add_option("direction", raw.direction, "out or in")->required();
    rawCommand->add_option("type", raw.requestType, "Request type (hexadecimal)")->required();
    rawCommand->add_option("request", raw.request, "Request (hexadecimal)")->required();
    rawCommand->add_option("value", raw.value, "Value (hexadecimal)")->required();
    rawCommand->add_option("index", raw.index, "Index (hexadecimal)")->required();
    rawCommand->add_option("data", raw.dataOrLength,
                           "Hexadecimal bytes to send (out) or the length to read (in)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitSuccess : kExitBadInput;
    }

    try {
        Session session(options);
        if (list->parsed()) RunList(session, std::cout);
        if (rawCommand->parsed()) RunRaw(session, raw, std::cout);
        return kExitSuccess;
    } catch (const BadInput& error) {
        std::cerr << "qvusb: " << error.what() << "\n";
        return kExitBadInput;
    } catch (const NoDevice& error) {
        std::cerr << "qvusb: " << error.what() << "\n";
        return kExitNoDevice;
    } catch (const OperationFailed& error) {
        std::cerr << "qvusb: " << error.what() << "\n";
        return kExitFailed;
    }
}
