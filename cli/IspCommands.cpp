#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "chip/FlashOperations.h"
#include "chip/FlashRequests.h"
#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DryRun.h"
#include "cli/HexArguments.h"
#include "cli/IspSession.h"
#include "cli/JobOutcome.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

// A request that did not go through ends the command with what became of it.
void Require(Reply reply, FailureKind kind) {
    if (reply != Reply::Done) ThrowFailure(FailureOf(reply, kind));
}

void RunIspSwitch(const GlobalOptions& options, IspMode mode) {
    const auto planned = [mode] {
        Plan plan;
        if (mode == IspMode::Enter)
            plan.Step("isp_enter", "Enter ISP mode");
        else
            plan.Step("isp_exit", "Leave ISP mode");
        return plan;
    };
    Perform(options, planned, [mode](Session& session) {
        session.RequireDevice();
        OpenedDevice opened(session.Device());
        Require(opened.Opened() == Reply::Done ? SetIspMode(session.Device(), mode) : Reply::Gone,
                mode == IspMode::Enter ? FailureKind::IspEntryFailed : FailureKind::IspExitFailed);
    });
}

void RunFlashId(Session& session, bool noIsp, std::ostream& out) {
    session.RequireDevice();
    IspSession isp(session.Device(), noIsp);
    Require(isp.Enter(), FailureKind::IspEntryFailed);
    FlashContext flash;
    {
        OpenedDevice opened(session.Device());
        Require(ReadChipId(session.Device(), flash), FailureKind::IdentifyFailed);
    }
    out << Hex2(flash.ChipId[0]) << " " << Hex2(flash.ChipId[1]) << " " << Hex2(flash.ChipId[2])
        << "\n";
    Require(isp.Leave(), FailureKind::IspExitFailed);
}

// The status once the flash is idle (a status write keeps it busy for a while), at most about
// a second later; a status that cannot be read is never printed as one.
ReplyWith<std::uint8_t> IdleStatus(QuorvexUsb& device) {
    constexpr int kPolls = 100;
    ReplyWith<std::uint8_t> status;
    for (int i = 0; i < kPolls; ++i) {
        status = ReadFlashStatus(device);
        if (!status.Ok() || (status.value & kBusyBit) == 0) break;
        device.Host().Sleep(10);
    }
    return status;
}

// With a value: write enable, write status, then the status read back shows what took.
void ShowFlashStatus(Session& session, bool write, std::uint32_t value, bool noIsp,
                     std::ostream& out) {
    session.RequireDevice();
    IspSession isp(session.Device(), noIsp);
    Require(isp.Enter(), FailureKind::IspEntryFailed);
    ReplyWith<std::uint8_t> status;
    {
        OpenedDevice opened(session.Device());
        if (write) {
            Require(WriteEnable(session.Device()), FailureKind::StatusWriteFailed);
            Require(WriteFlashStatus(session.Device(), static_cast<std::uint8_t>(value)),
                    FailureKind::StatusWriteFailed);
        }
        status = IdleStatus(session.Device());
    }
    Require(status.reply == Reply::NotReady ? Reply::NoAnswer : status.reply,
            FailureKind::StatusUnreadable);
    out << "0x" << Hex2(status.value) << "\n";
    Require(isp.Leave(), FailureKind::IspExitFailed);
    // The write-in-progress and write-enable bits are the flash's own; the rest must read back
    // as written (a locked status register ignores the write).
    constexpr std::uint8_t kWritableBits = 0xFC;
    if (write && (status.value & kWritableBits) != (value & kWritableBits))
        ThrowFailure(Failure(FailureKind::StatusWriteFailed, std::nullopt,
                             "Write Flash Status Fail: 0x" +
                                 Hex2(static_cast<std::uint8_t>(value)) + " written, 0x" +
                                 Hex2(status.value) + " read back"));
}

// A status write's plan: the write and the read that shows what took, in ISP mode.
Plan StatusWritePlan(std::uint8_t value, bool noIsp) {
    Plan plan;
    if (!noIsp) plan.Step("isp_enter", "Enter ISP mode");
    plan.Step("write_enable", "Write enable");
    plan.Step("write_status", "Write 0x" + Hex2(value) + " to the flash status register")
        .Add("value", "0x" + Hex2(value));
    plan.Step("read_status", "Read the status back once the flash is idle");
    if (!noIsp) plan.Step("isp_exit", "Leave ISP mode");
    return plan;
}

void RunFlashStatus(const GlobalOptions& options, const std::string& writeText, bool noIsp) {
    const bool write = !writeText.empty();
    const auto value = write ? ParseHexArgument("--write", writeText, 0xFF) : 0;
    // Without a value the command only reads: a dry run refused it already.
    Perform(
        options, [&] { return StatusWritePlan(static_cast<std::uint8_t>(value), noIsp); },
        [&](Session& session) { ShowFlashStatus(session, write, value, noIsp, std::cout); });
}

}  // namespace

void AddIspCommands(CLI::App& app, const GlobalOptions& options) {
    auto* isp = app.add_subcommand("isp", "Enter or leave in-system-programming mode");
    isp->require_subcommand(1);
    isp->add_subcommand("enter", "Enter ISP mode")->callback([&options] {
        RunIspSwitch(options, IspMode::Enter);
    });
    isp->add_subcommand("exit", "Leave ISP mode")->callback([&options] {
        RunIspSwitch(options, IspMode::Leave);
    });

    auto noIsp = std::make_shared<bool>(false);
    auto* id = app.add_subcommand("flash-id", "The flash identification, three bytes");
    id->add_flag("--no-isp", *noIsp, "Do not enter and leave ISP mode around the command");
    id->callback([&options, noIsp] {
        WithSession(options, [&](Session& session) { RunFlashId(session, *noIsp, std::cout); });
    });

    auto writeText = std::make_shared<std::string>();
    auto* status = app.add_subcommand("flash-status", "The flash status register");
    status->add_option("--write", *writeText, "Write this status first (hexadecimal)")
        ->type_name("HEX");
    status->add_flag("--no-isp", *noIsp, "Do not enter and leave ISP mode around the command");
    status->callback(
        [&options, writeText, noIsp] { RunFlashStatus(options, *writeText, *noIsp); });
}

}  // namespace qv::cli
