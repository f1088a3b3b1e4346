#include "app/WindowHost.h"

#include <QFile>

#include "device/host/SystemHost.h"
#include "sim/SimHost.h"

std::unique_ptr<qv::DeviceHost> MakeWindowHost(const WindowOptions& options, QString& error) {
    if (!options.simulate) {
        if (!options.traceFile.isEmpty()) {
            error = QStringLiteral("--trace needs --sim: only the simulated chip keeps a trace.");
            return nullptr;
        }
        return qv::MakeSystemHost();
    }
    auto sim = std::make_unique<qv::sim::SimHost>(qv::sim::SimClock::Mode::Real);
    if (!options.traceFile.isEmpty() &&
        !sim->GetTrace().WriteTo(QFile::encodeName(options.traceFile).toStdString())) {
        error = QStringLiteral("Cannot write the trace file %1.").arg(options.traceFile);
        return nullptr;
    }
    sim->AttachNew(qv::sim::UserDeviceIdentity());
    return sim;
}
