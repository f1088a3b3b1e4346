// Drives the device object and the chip operations over a host whose every answer comes from
// the fuzz input, as a broken, hostile or unplugged device might answer: no crash, no leak,
// no operation past its budget of work, every handle closed.

#include <cstdint>

#include "device/QuorvexUsb.h"
#include "fuzz/DeviceOperations.h"
#include "fuzz/FuzzedHost.h"
#include "fuzz/Require.h"

namespace {

constexpr int kMaxOperations = 16;

void Run(qv::fuzz::FuzzedHost& host, qv::QuorvexUsb& device,
         const qv::fuzz::DeviceOperation& operation) {
    host.BeginOperation(operation.name);
    operation.run(host, device);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qv::fuzz::FuzzedHost host(data, size);
    {
        qv::QuorvexUsb device(host);
        for (const auto& operation : qv::fuzz::StartOperations()) Run(host, device, operation);
        const auto operations = qv::fuzz::AnyOperations();
        const int count = host.Input().ConsumeIntegralInRange(1, kMaxOperations);
        for (int i = 0; i < count; ++i) {
            const auto pick =
                host.Input().ConsumeIntegralInRange<std::size_t>(0, operations.size() - 1);
            Run(host, device, operations[pick]);
        }
        host.BeginOperation("closing the device object");
    }
    qv::fuzz::Require(host.OpenHandles() == 0, "no handle outlives the device object");
    return 0;
}
