#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";

// libusb must reach umockdev's emulated sysfs, udev and usbfs, which only works with the
// preload library loaded at start-up. The decision looks at LD_PRELOAD itself: the umockdev
// library's own test for a mock environment also wants a testbed, so it would re-execute
// forever.
bool PreloadActive() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::string(preload).find("libumockdev-preload") != std::string::npos;
}

[[noreturn]] void RunAgainUnderPreload(char** argv) {
    std::string preload = kPreload;
    if (const char* old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    // AddressSanitizer insists on being first in the library list; the preload comes first.
    std::string asan = "verify_asan_link_order=0";
    if (const char* old = std::getenv("ASAN_OPTIONS"); old && *old)
        asan = std::string(old) + ":" + asan;
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("cannot run the tests again under libumockdev-preload");
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (!PreloadActive()) RunAgainUnderPreload(argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
