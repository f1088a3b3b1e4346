#include "cli/ParamsCommands.h"

#include <CLI/CLI.hpp>
#include <array>
#include <iostream>
#include <memory>
#include <string_view>

#include "chip/CodePageText.h"
#include "chip/ParameterRequests.h"
#include "cli/CliErrors.h"
#include "cli/DryRun.h"
#include "cli/HexArguments.h"
#include "cli/JobOutcome.h"
#include "cli/OptionChecks.h"
#include "common/HexFormat.h"
#include "line/Printable.h"

namespace qv::cli {
namespace {

struct ParamsArguments {
    std::vector<std::string> optionBytes;
    std::string text;
    int stringNumber = 1;
};

constexpr std::array<StringSelector, 3> kStringSelectors{
    StringSelector::Manufacturer, StringSelector::ModelName, StringSelector::SerialNumber};
constexpr std::array<const char*, 3> kStringNames{"manufacturer", "model name", "serial number"};
constexpr std::array<std::string_view, 4> kMclkTexts{"128 Fs", "256 Fs", "512 Fs", "1024 Fs"};

// The firmware answers each mailbox request when it is done; without that answer (or with a
// request that did not go through) the EEPROM cannot be trusted to hold what was sent.
void Require(QuorvexUsb& device, Reply reply, const std::string& operation) {
    RequireDone(device, reply, "The chip did not complete the EEPROM " + operation);
}

std::string_view YesNo(bool on) { return on ? "yes" : "no"; }

void PrintOptions(const OptionBlock& block, std::ostream& out) {
    out << "Options: " << Hex2(block.bytes[0]) << " " << Hex2(block.bytes[1]) << " "
        << Hex2(block.bytes[2]) << " " << Hex2(block.bytes[3]) << "\n"
        << (block.Get(OptionFlag::EepromPresent) ? "EEPROM Exist" : "EEPROM not Available") << "\n"
        << "Output when DSD in: " << (block.Get(OptionFlag::DsdOutput) ? "DSD" : "DoP") << "\n"
        << "I2S Output length: " << (block.Get(OptionFlag::I2s32Bit) ? "32 bit" : "24 bit") << "\n"
        << "SPDIF Output length: " << (block.Get(OptionFlag::Spdif32Bit) ? "32 bit" : "24 bit")
        << "\n"
        << "I2S MCLK Output Frequency: " << kMclkTexts[block.MclkFrequency()] << "\n"
        << "I2S Format: " << (block.Get(OptionFlag::I2sLeftJustified) ? "Left Justify" : "Standard")
        << "\n"
        << "I2S Output Channel Swap: " << YesNo(block.Get(OptionFlag::I2sChannelSwap)) << "\n"
        << "DSD Output Channel Swap: " << YesNo(block.Get(OptionFlag::DsdChannelSwap)) << "\n"
        << "MCLK Output Off: " << YesNo(block.Get(OptionFlag::MclkOutputOff)) << "\n"
        << "I2S Output Off: " << YesNo(block.Get(OptionFlag::I2sOutputOff)) << "\n"
        << "SPDIF Output Off: " << YesNo(block.Get(OptionFlag::SpdifOutputOff)) << "\n";
}

// An EEPROM write's plan: one mailbox request with what it stores.
Plan EepromPlan(const std::string& text, const std::string& field, const std::string& value) {
    Plan plan;
    plan.Step("eeprom_write", "EEPROM: " + text).Add("field", field).Add("value", value);
    return plan;
}

void RunWriteOptions(const GlobalOptions& options, const std::vector<std::string>& texts) {
    OptionBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i)
        block.bytes[i] =
            static_cast<std::uint8_t>(ParseHexArgument("B" + std::to_string(i), texts.at(i), 0xFF));
    std::string bytes;
    for (const std::uint8_t byte : block.bytes) bytes += (bytes.empty() ? "" : " ") + Hex2(byte);
    Perform(
        options, [&] { return EepromPlan("write the option bytes " + bytes, "options", bytes); },
        [&](Session& session) {
            session.RequireDevice();
            Require(session.Device(), WriteOptionBlock(session.Device(), block), "write");
        });
}

// The firmware takes the identity as hexadecimal characters; what a longer or other text would
// become in the EEPROM is refused here instead.
void RunSetIdentity(const GlobalOptions& options, IdentitySelector selector,
                    const std::string& text) {
    const bool hexDigits = text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
    if (text.empty() || text.size() > kIdentityLength || !hexDigits)
        throw BadInput("'" + text + "' is not 1 to 4 hexadecimal digits");
    const std::string field = selector == IdentitySelector::VendorId ? "vid" : "pid";
    const std::string name = selector == IdentitySelector::VendorId ? "vendor" : "product";
    Perform(
        options, [&] { return EepromPlan("set the USB " + name + " ID to " + text, field, text); },
        [&](Session& session) {
            session.RequireDevice();
            Require(session.Device(), WriteIdentity(session.Device(), selector, text), "write");
        });
}

// The core would cut a longer text; on the command line it is refused instead.
void RunSetString(const GlobalOptions& options, int number, const std::string& text) {
    const std::size_t characters = ToCodePage(text).size();
    if (characters > kMaxStringCharacters)
        throw BadInput("The string has " + std::to_string(characters) +
                       " characters; at most 31 fit");
    const auto index = static_cast<std::size_t>(number - 1);
    Perform(
        options,
        [&] {
            return EepromPlan("set string " + std::to_string(number) + " (" + kStringNames.at(index) +
                                  ") to \"" + Printable(text) + "\"",
                              "string" + std::to_string(number), text);
        },
        [&](Session& session) {
            session.RequireDevice();
            Require(session.Device(),
                    WriteString(session.Device(), kStringSelectors.at(index), text), "write");
        });
}

}  // namespace

void RunParamsRead(Session& session, std::ostream& out) {
    session.RequireDevice();
    OptionBlock block;
    Require(session.Device(), ReadOptionBlock(session.Device(), block), "read");
    PrintOptions(block, out);
}

void AddParamsCommands(CLI::App& app, const GlobalOptions& options) {
    auto* params = app.add_subcommand("params", "Parameters the firmware keeps in its EEPROM");
    params->require_subcommand(1);
    auto args = std::make_shared<ParamsArguments>();

    params->add_subcommand("read", "Read the audio output options")->callback([&options] {
        WithSession(options, [&](Session& session) { RunParamsRead(session, std::cout); });
    });

    auto* writeOptions = params->add_subcommand("write-options", "Write the four option bytes");
    writeOptions->add_option("bytes", args->optionBytes, "B0 B1 B2 B3 (hexadecimal)")
        ->required()
        ->expected(4);
    writeOptions->callback([&options, args] { RunWriteOptions(options, args->optionBytes); });

    auto addIdentity = [&](const char* name, const char* help, IdentitySelector selector) {
        auto* command = params->add_subcommand(name, help);
        command->add_option("text", args->text, "1 to 4 hexadecimal digits, sent as typed")
            ->required();
        command->callback(
            [&options, args, selector] { RunSetIdentity(options, selector, args->text); });
    };
    addIdentity("set-vid", "Set the USB vendor ID", IdentitySelector::VendorId);
    addIdentity("set-pid", "Set the USB product ID", IdentitySelector::ProductId);

    auto* setString = params->add_subcommand(
        "set-string", "Set string 1 (manufacturer), 2 (model name) or 3 (serial number)");
    setString->add_option("number", args->stringNumber, "1, 2 or 3")
        ->required()
        ->check(Unlabelled(CLI::Range(1, 3)));
    setString->add_option("text", args->text, "At most 31 characters")->required();
    setString->callback(
        [&options, args] { RunSetString(options, args->stringNumber, args->text); });
}

}  // namespace qv::cli
