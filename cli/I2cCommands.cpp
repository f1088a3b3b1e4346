#include "cli/I2cCommands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <memory>

#include "chip/I2cMaster.h"
#include "chip/I2cTransactions.h"
#include "cli/CliErrors.h"
#include "cli/DryRun.h"
#include "cli/HexArguments.h"
#include "cli/JobOutcome.h"
#include "common/HexFormat.h"

namespace qv::cli {
namespace {

constexpr std::uint32_t kMaxByteCount = 0xFF;  // transaction counts are bytes

struct I2cArguments {
    std::string slave;
    std::string subAddress;
    std::string count;
    std::vector<std::string> data;
    std::vector<std::string> commands;
};

std::uint8_t ParseByte(const std::string& what, const std::string& text) {
    return static_cast<std::uint8_t>(ParseHexArgument(what, text, kMaxByteCount));
}

std::vector<std::uint8_t> ParseByteList(const std::string& what,
                                        const std::vector<std::string>& texts) {
    std::vector<std::uint8_t> bytes = ParseHexBytes(what, texts);
    if (bytes.size() > kMaxByteCount) throw BadInput("more than 255 " + what + " bytes");
    return bytes;
}

// Opens the device, sets the master up as the window does on entering its I2C page, and runs
// the transaction. A request the chip did not carry out fails the command with its cause; so
// does a slave that refused its address or, unlike on the window's pages, any byte.
template <typename Transaction>
void RunOnBus(Session& session, std::uint8_t slave, Transaction transaction) {
    session.RequireDevice();
    QuorvexUsb& device = session.Device();
    OpenedDevice opened(device);
    const std::string failed = "The I2C transaction with slave 0x" + Hex2(slave) + " failed";
    RequireDone(device, I2CSetup(device), failed);
    const ReplyWith<I2cAcknowledges> done = transaction(device);
    RequireDone(device, done.reply, failed);
    if (!done.value.address)
        ThrowFailure(Failure(FailureKind::NotAcknowledged, std::nullopt,
                             "Slave 0x" + Hex2(slave) + " did not acknowledge its address"));
    if (!done.value.everyByte)
        ThrowFailure(Failure(FailureKind::NotAcknowledged, std::nullopt,
                             "Slave 0x" + Hex2(slave) + " did not acknowledge every byte"));
}

// Sixteen bytes a line; nothing for no bytes.
void PrintBytes(const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        std::cout << Hex2(bytes[i]) << (i + 1 == bytes.size() || i % 16 == 15 ? "\n" : " ");
}

void RunRead(Session& session, const I2cArguments& args) {
    const std::uint8_t slave = ParseByte("SLAVE", args.slave);
    const std::uint8_t subAddress = ParseByte("SUB", args.subAddress);
    std::vector<std::uint8_t> buffer(ParseDecimalArgument("COUNT", args.count, kMaxByteCount));
    RunOnBus(session, slave, [&](QuorvexUsb& device) {
        return I2CReadRegisters(device, slave, subAddress, buffer);
    });
    PrintBytes(buffer);
}

std::string ByteText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) text += (text.empty() ? "" : " ") + Hex2(byte);
    return text;
}

// A write's plan: the master set up, then one write to the slave of `bytes` after its address.
Plan WritePlan(std::uint8_t slave, const std::string& text, const std::vector<std::uint8_t>& bytes) {
    Plan plan;
    plan.Step("i2c_setup", "Set up the chip's I2C master");
    plan.Step("i2c_write", "Write to slave 0x" + Hex2(slave) + text)
        .Add("slave", "0x" + Hex2(slave))
        .Add("bytes", ByteText(bytes));
    return plan;
}

void RunWrite(const GlobalOptions& options, const I2cArguments& args) {
    const std::uint8_t slave = ParseByte("SLAVE", args.slave);
    const std::uint8_t subAddress = ParseByte("SUB", args.subAddress);
    const auto data = ParseByteList("BYTE", args.data);
    // The register, then the values (built whole: GCC 12's -Warray-bounds misreads an insert
    // after a one-byte vector at -O2).
    std::vector<std::uint8_t> sent(data.size() + 1);
    sent[0] = subAddress;
    std::copy(data.begin(), data.end(), sent.begin() + 1);
    Perform(
        options,
        [&] {
            return WritePlan(slave, " from register 0x" + Hex2(subAddress) + ": " + ByteText(data),
                             sent);
        },
        [&](Session& session) {
            RunOnBus(session, slave, [&](QuorvexUsb& device) {
                return I2CWriteRegisters(device, slave, subAddress, data);
            });
        });
}

void RunCommandWrite(const GlobalOptions& options, const I2cArguments& args) {
    const std::uint8_t slave = ParseByte("SLAVE", args.slave);
    const auto commands = ParseByteList("--cmd", args.commands);
    const auto data = ParseByteList("--data", args.data);
    std::vector<std::uint8_t> sent = commands;
    sent.insert(sent.end(), data.begin(), data.end());
    Perform(
        options,
        [&] {
            return WritePlan(slave,
                             ": command " + ByteText(commands) +
                                 (data.empty() ? "" : ", data " + ByteText(data)),
                             sent);
        },
        [&](Session& session) {
            RunOnBus(session, slave, [&](QuorvexUsb& device) {
                return I2CWriteCommand(device, slave, commands, data);
            });
        });
}

void RunCommandRead(Session& session, const I2cArguments& args) {
    const std::uint8_t slave = ParseByte("SLAVE", args.slave);
    const auto commands = ParseByteList("--cmd", args.commands);
    std::vector<std::uint8_t> buffer(ParseDecimalArgument("--count", args.count, kMaxByteCount));
    RunOnBus(session, slave,
             [&](QuorvexUsb& device) { return I2CReadCommand(device, slave, commands, buffer); });
    PrintBytes(buffer);
}

}  // namespace

void AddI2cCommands(CLI::App& app, const GlobalOptions& options) {
    auto* i2c = app.add_subcommand("i2c", "Transactions with a slave on the chip's I2C bus");
    i2c->require_subcommand(1);
    auto args = std::make_shared<I2cArguments>();
    auto addSlave = [&](CLI::App* command) {
        command->add_option("slave", args->slave, "8-bit write address (hexadecimal)")->required();
    };
    auto run = [&options, args](void (*command)(Session&, const I2cArguments&)) {
        return [&options, args, command] {
            WithSession(options, [&](Session& session) { command(session, *args); });
        };
    };

    auto* read = i2c->add_subcommand("read", "Read COUNT registers starting at SUB");
    addSlave(read);
    read->add_option("sub", args->subAddress, "First register (hexadecimal)")->required();
    read->add_option("count", args->count, "Number of registers (decimal)")->default_val("1");
    read->callback(run(RunRead));

    auto* write = i2c->add_subcommand("write", "Write registers starting at SUB");
    addSlave(write);
    write->add_option("sub", args->subAddress, "First register (hexadecimal)")->required();
    write->add_option("bytes", args->data, "Values (hexadecimal)")->required();
    write->callback([&options, args] { RunWrite(options, *args); });

    auto* commandWrite =
        i2c->add_subcommand("cmd-write", "Send command bytes, then data bytes, in one write");
    addSlave(commandWrite);
    commandWrite->add_option("--cmd", args->commands, "Command bytes (hexadecimal)")
        ->type_name("HEX")
        ->required();
    commandWrite->add_option("--data", args->data, "Data bytes (hexadecimal)")->type_name("HEX");
    commandWrite->callback([&options, args] { RunCommandWrite(options, *args); });

    auto* commandRead =
        i2c->add_subcommand("cmd-read", "Send command bytes, then read after a repeated start");
    addSlave(commandRead);
    commandRead->add_option("--cmd", args->commands, "Command bytes (hexadecimal)")
        ->type_name("HEX")
        ->required();
    commandRead->add_option("--count", args->count, "Number of bytes to read (decimal)")
        ->type_name("N")
        ->required();
    commandRead->callback(run(RunCommandRead));
}

}  // namespace qv::cli
