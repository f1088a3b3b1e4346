#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "chip/FlashOperations.h"
#include "chip/FlashRequests.h"
#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/HexArguments.h"
#include "cli/IspSession.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

void RunIspSwitch(Session& session, IspMode mode) {
    session.RequireDevice();
    OpenedDevice opened(session.Device());
    if (!SetIspMode(session.Device(), mode))
        throw OperationFailed(mode == IspMode::Enter ? "The chip refused to enter ISP mode"
                                                     : "The chip refused to leave ISP mode");
}

void RunFlashId(Session& session, bool noIsp, std::ostream& out) {
    session.RequireDevice();
    IspSession isp(session.Device(), noIsp);
    FlashContext flash;
    {
        OpenedDevice opened(session.Device());
        if (!ReadChipId(session.Device(), flash))
            throw OperationFailed("The flash identification did not arrive");
    }
    out << Hex2(flash.ChipId[0]) << " " << Hex2(flash.ChipId[1]) << " " << Hex2(flash.ChipId[2])
        << "\n";
    if (!isp.Leave()) throw OperationFailed(kExitIspFailText);
}

// With a value: write enable, write status, then the status read back shows what took.
void RunFlashStatus(Session& session, const std::string& writeText, bool noIsp, std::ostream& out) {
    const bool write = !writeText.empty();
    const auto value = write ? ParseHexArgument("--write", writeText, 0xFF) : 0;
    session.RequireDevice();
    IspSession isp(session.Device(), noIsp);
    std::uint8_t status = 0;
    {
        OpenedDevice opened(session.Device());
        if (write) {
            WriteEnable(session.Device());
            if (!WriteFlashStatus(session.Device(), static_cast<std::uint8_t>(value)))
                throw OperationFailed("The status write failed");
        }
        status = ReadFlashStatus(session.Device());
    }
    out << "0x" << Hex2(status) << "\n";
    if (!isp.Leave()) throw OperationFailed(kExitIspFailText);
}

}  // namespace

void AddIspCommands(CLI::App& app, const GlobalOptions& options) {
    auto* isp = app.add_subcommand("isp", "Enter or leave in-system-programming mode");
    isp->require_subcommand(1);
    isp->add_subcommand("enter", "Enter ISP mode")->callback([&options] {
        WithSession(options, [&](Session& session) { RunIspSwitch(session, IspMode::Enter); });
    });
    isp->add_subcommand("exit", "Leave ISP mode")->callback([&options] {
        WithSession(options, [&](Session& session) { RunIspSwitch(session, IspMode::Leave); });
    });

    auto noIsp = std::make_shared<bool>(false);
    auto* id = app.add_subcommand("flash-id", "The flash identification, three bytes");
    id->add_flag("--no-isp", *noIsp, "Do not enter and leave ISP mode around the command");
    id->callback([&options, noIsp] {
        WithSession(options, [&](Session& session) { RunFlashId(session, *noIsp, std::cout); });
    });

    auto writeText = std::make_shared<std::string>();
    auto* status = app.add_subcommand("flash-status", "The flash status register");
    status->add_option("--write", *writeText, "Write this status first (hexadecimal)");
    status->add_flag("--no-isp", *noIsp, "Do not enter and leave ISP mode around the command");
    status->callback([&options, writeText, noIsp] {
        WithSession(options, [&](Session& session) {
            RunFlashStatus(session, *writeText, *noIsp, std::cout);
        });
    });
}

}  // namespace qv::cli
