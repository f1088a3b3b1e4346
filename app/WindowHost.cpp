#include "app/WindowHost.h"

#include <QFile>
#include <QtDebug>

#include "device/host/ReplayHost.h"
#include "device/host/SystemHost.h"
#include "device/host/TracingHost.h"
#include "sim/SimSetup.h"
#include "sim/Trace.h"

namespace {

constexpr const char* kProgram = "quorvex-usbtool";

// What a TracedHost owns; a base of its own so that it exists before the TracingHost.
struct TracedParts {
    std::unique_ptr<qv::DeviceHost> inner;
    std::unique_ptr<qv::sim::Trace> trace;
};

// A TracingHost that owns the host it wraps and the trace it writes.
class TracedHost : private TracedParts, public qv::TracingHost {
public:
    TracedHost(std::unique_ptr<qv::DeviceHost> host, std::unique_ptr<qv::sim::Trace> out)
        : TracedParts{std::move(host), std::move(out)},
          qv::TracingHost(*inner, [this](const std::string& line) { trace->Write(line); }) {
        NameDevices(true);
    }
};

std::unique_ptr<qv::DeviceHost> MakeReplayHost(const QString& fileName, QString& error) {
    std::string problem;
    auto trace = qv::ReadTraceFile(QFile::encodeName(fileName).toStdString(), problem);
    if (trace && qv::ReplayHost::DevicePathOf(*trace).empty())
        problem = fileName.toStdString() + ": the trace names no device (no '# device:' line)";
    if (!problem.empty()) {
        error = QString::fromStdString(problem);
        return nullptr;
    }
    // The window has no exit code: the divergence goes to standard error, and the device is
    // gone from then on, so the page that was running fails and the panel shows no device.
    return std::make_unique<qv::ReplayHost>(std::move(*trace), [](const std::string& stop) {
        qCritical().noquote() << QString::fromStdString(stop);
    });
}

// The simulator's options mean what they mean to qvusb, and are checked by the same code.
std::optional<WindowBus> MakeSimBus(const WindowOptions& options, QString& error) {
    const auto speed = qv::sim::ParseSimSpeed(options.simSpeed.toStdString());
    if (!speed) {
        error = QStringLiteral("--sim-speed is virtual or real, not '%1'.").arg(options.simSpeed);
        return std::nullopt;
    }
    qv::sim::SimOptions simulator;
    simulator.flashFile = QFile::encodeName(options.simFlashFile).toStdString();
    for (const QString& fault : options.simFaults) simulator.faults.push_back(fault.toStdString());
    simulator.speed = *speed;
    simulator.traceFile = QFile::encodeName(options.traceFile).toStdString();
    std::string problem;
    auto setup = qv::sim::MakeSimSetup(simulator, kProgram, problem);
    if (!setup) {
        error = QString::fromStdString(problem);
        return std::nullopt;
    }
    WindowBus bus{std::move(setup->host)};
    bus.keepOnExit = [device = setup->firstDevice, file = simulator.flashFile] {
        return qv::sim::KeepSimFlash(*device, file);
    };
    return bus;
}

}  // namespace

std::optional<WindowBus> MakeWindowBus(const WindowOptions& options, QString& error) {
    const std::string traceFile = QFile::encodeName(options.traceFile).toStdString();
    if (options.simulate && !options.replayFile.isEmpty()) {
        error = QStringLiteral("--replay and --sim exclude each other.");
        return std::nullopt;
    }
    if (options.simulate) return MakeSimBus(options, error);
    std::unique_ptr<qv::DeviceHost> host;
    std::string hostKind = qv::SystemHostKind();
    if (!options.replayFile.isEmpty()) {
        host = MakeReplayHost(options.replayFile, error);
        if (!host) return std::nullopt;
        hostKind = "replay";
    } else {
        host = qv::MakeSystemHost();
    }
    if (traceFile.empty()) return WindowBus{std::move(host)};
    auto trace = std::make_unique<qv::sim::Trace>();
    if (!trace->WriteTo(traceFile, kProgram, hostKind)) {
        error = QStringLiteral("Cannot write the trace file %1.").arg(options.traceFile);
        return std::nullopt;
    }
    return WindowBus{std::make_unique<TracedHost>(std::move(host), std::move(trace))};
}
