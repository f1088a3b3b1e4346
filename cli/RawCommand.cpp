#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DryRun.h"
#include "cli/HexArguments.h"
#include "cli/JobOutcome.h"
#include "common/HexFormat.h"
#include "device/Records.h"

namespace qv::cli {
namespace {

struct RawRequest {
    std::uint8_t requestType;
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    std::vector<std::uint8_t> data;
};

constexpr std::uint32_t kMaxTransferLength = 0xFFFF;

RawRequest ParseRaw(const RawArguments& args) {
    const bool in = args.direction == "in";
    if (!in && args.direction != "out") throw BadInput("direction must be 'out' or 'in'");
    RawRequest raw{};
    raw.requestType = static_cast<std::uint8_t>(ParseHexArgument("TYPE", args.requestType, 0xFF));
    raw.request = static_cast<std::uint8_t>(ParseHexArgument("REQUEST", args.request, 0xFF));
    raw.value = static_cast<std::uint16_t>(ParseHexArgument("VALUE", args.value, 0xFFFF));
    raw.index = static_cast<std::uint16_t>(ParseHexArgument("INDEX", args.index, 0xFFFF));
    // The direction of a request is bit 7 of its type; both must say the same.
    if (IsDeviceToHost(raw.requestType) != in)
        throw BadInput(in ? "an 'in' request needs a TYPE with bit 7 set"
                          : "an 'out' request needs a TYPE with bit 7 clear");
    if (in) {
        if (args.dataOrLength.size() != 1) throw BadInput("'in' takes one LENGTH");
        const auto length =
            ParseDecimalArgument("LENGTH", args.dataOrLength[0], kMaxTransferLength);
        raw.data.assign(length, 0);
    } else {
        raw.data = ParseHexBytes("HEXBYTES", args.dataOrLength);
        if (raw.data.size() > kMaxTransferLength) throw BadInput("too much data");
    }
    return raw;
}

// The request as it would go out: its setup fields, and the bytes sent or the count asked for.
Plan RawPlan(const RawRequest& raw) {
    const bool in = IsDeviceToHost(raw.requestType);
    std::string bytes;
    for (const std::uint8_t byte : raw.data) bytes += (bytes.empty() ? "" : " ") + Hex2(byte);
    const std::string count = std::to_string(raw.data.size()) + " byte" + (raw.data.size() == 1 ? "" : "s");
    Plan plan;
    plan.Step("vendor_request",
              std::string("Send vendor request ") + (in ? "IN" : "OUT") + ": type 0x" +
                  Hex2(raw.requestType) + ", request 0x" + Hex2(raw.request) + ", value 0x" +
                  Hex4(raw.value) + ", index 0x" + Hex4(raw.index) + ", " +
                  (in ? "reading " + count : count + (bytes.empty() ? "" : ": " + bytes)))
        .Add("type", "0x" + Hex2(raw.requestType))
        .Add("request", "0x" + Hex2(raw.request))
        .Add("value", "0x" + Hex4(raw.value))
        .Add("index", "0x" + Hex4(raw.index))
        .Add("length", static_cast<std::uint64_t>(raw.data.size()))
        .Add("bytes", in ? std::string() : bytes);
    return plan;
}

}  // namespace

void RunRaw(Session& session, const RawArguments& args, std::ostream& out) {
    RawRequest raw = ParseRaw(args);
    session.RequireDevice();
    Reply reply = Reply::Gone;
    {
        OpenedDevice opened(session.Device());
        reply = session.Device().VendorRequest(raw.requestType, raw.request, raw.value, raw.index,
                                               raw.data);
    }
    RequireDone(session.Device(), reply, "The request failed");
    if (!IsDeviceToHost(raw.requestType)) return;
    for (std::size_t i = 0; i < raw.data.size(); ++i) {
        out << (i == 0 ? "" : (i % 16 == 0 ? "\n" : " ")) << Hex2(raw.data[i]);
    }
    out << "\n";
}

void AddRawCommand(CLI::App& app, const GlobalOptions& options) {
    auto args = std::make_shared<RawArguments>();
    auto* raw = app.add_subcommand("raw", "One vendor request; prints the bytes returned");
    raw->add_option("direction", args->direction, "out or in")->required();
    raw->add_option("type", args->requestType, "Request type (hexadecimal)")->required();
    raw->add_option("request", args->request, "Request (hexadecimal)")->required();
    raw->add_option("value", args->value, "Value (hexadecimal)")->required();
    raw->add_option("index", args->index, "Index (hexadecimal)")->required();
    raw->add_option("data", args->dataOrLength,
                    "Hexadecimal bytes to send (out) or the length to read (in)");
    raw->callback([&options, args] {
        Perform(options, [&] { return RawPlan(ParseRaw(*args)); },
                [&](Session& session) { RunRaw(session, *args, std::cout); });
    });
}

}  // namespace qv::cli
