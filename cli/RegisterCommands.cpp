#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "chip/Registers.h"
#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DryRun.h"
#include "cli/HexArguments.h"
#include "cli/JobOutcome.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

struct RegisterArguments {
    std::string address;
    std::string value;
    std::string bank;
};

std::optional<std::uint8_t> ParseBank(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return static_cast<std::uint8_t>(ParseHexArgument("--bank", text, 0xFF));
}

std::uint8_t ParseByte(const std::string& what, const std::string& text) {
    return static_cast<std::uint8_t>(ParseHexArgument(what, text, 0xFF));
}

void SelectBankIfGiven(QuorvexUsb& device, std::optional<std::uint8_t> bank) {
    if (bank) RequireDone(device, SelectBank(device, *bank), "Bank select failed");
}

void RunRead(Session& session, const RegisterArguments& args, std::ostream& out) {
    const std::uint8_t address = ParseByte("ADDR", args.address);
    const auto bank = ParseBank(args.bank);
    session.RequireDevice();
    OpenedDevice opened(session.Device());
    SelectBankIfGiven(session.Device(), bank);
    std::uint8_t value = 0;
    RequireDone(session.Device(), ReadRegister(session.Device(), address, value),
                "Register read of 0x" + Hex2(address) + " failed");
    out << Hex2(value) << "\n";
}

void RunWrite(const GlobalOptions& options, const RegisterArguments& args) {
    const std::uint8_t address = ParseByte("ADDR", args.address);
    const std::uint8_t value = ParseByte("VALUE", args.value);
    const auto bank = ParseBank(args.bank);
    const auto planned = [&] {
        Plan plan;
        if (bank)
            plan.Step("select_bank", "Select bank 0x" + Hex2(*bank) + " (register 0x00)")
                .Add("bank", "0x" + Hex2(*bank));
        plan.Step("write_register", "Write 0x" + Hex2(value) + " to register 0x" + Hex2(address))
            .Add("address", "0x" + Hex2(address))
            .Add("value", "0x" + Hex2(value));
        return plan;
    };
    Perform(options, planned, [&](Session& session) {
        session.RequireDevice();
        OpenedDevice opened(session.Device());
        SelectBankIfGiven(session.Device(), bank);
        RequireDone(session.Device(), WriteRegister(session.Device(), address, value),
                    "Register write of 0x" + Hex2(address) + " failed");
    });
}

// 16 x 16 like the Register page's grid; a register that could not be read shows "--". A chip
// that is gone or silent ends the dump at once: nothing more reaches it.
void RunDump(Session& session, const RegisterArguments& args, std::ostream& out) {
    const auto bank = ParseBank(args.bank);
    session.RequireDevice();
    OpenedDevice opened(session.Device());
    SelectBankIfGiven(session.Device(), bank);
    out << "  ";
    for (int column = 0; column < 16; ++column) out << " " << Hex2(column);
    int failed = 0;
    Reply firstFailure = Reply::Done;
    for (int address = 0; address < 256; ++address) {
        if (address % 16 == 0) out << "\n" << Hex2(address);
        std::uint8_t value = 0;
        const Reply read =
            ReadRegister(session.Device(), static_cast<std::uint8_t>(address), value);
        if (session.Device().Unreachable())
            RequireDone(session.Device(), read, "Register read of 0x" + Hex2(address) + " failed");
        const bool ok = read == Reply::Done;
        failed += ok ? 0 : 1;
        firstFailure = FirstFailure(firstFailure, read);
        out << " " << (ok ? Hex2(value) : "--");
    }
    out << "\n";
    RequireDone(session.Device(), firstFailure, std::to_string(failed) + " register reads failed");
}

}  // namespace

void AddRegisterCommands(CLI::App& app, const GlobalOptions& options) {
    auto* reg = app.add_subcommand("reg", "Chip registers of the selected bank");
    reg->require_subcommand(1);
    auto args = std::make_shared<RegisterArguments>();
    auto addBank = [&](CLI::App* command) {
        command->add_option("--bank", args->bank, "Select this bank first (hexadecimal)")
            ->type_name("HEX");
    };

    auto* read = reg->add_subcommand("read", "One register");
    read->add_option("address", args->address, "Register (hexadecimal)")->required();
    addBank(read);
    read->callback([&options, args] {
        WithSession(options, [&](Session& session) { RunRead(session, *args, std::cout); });
    });

    auto* write = reg->add_subcommand("write", "Write one register");
    write->add_option("address", args->address, "Register (hexadecimal)")->required();
    write->add_option("value", args->value, "Value (hexadecimal)")->required();
    addBank(write);
    write->callback([&options, args] { RunWrite(options, *args); });

    auto* dump = reg->add_subcommand("dump", "256 registers as a 16 x 16 table");
    addBank(dump);
    dump->callback([&options, args] {
        WithSession(options, [&](Session& session) { RunDump(session, *args, std::cout); });
    });
}

}  // namespace qv::cli
