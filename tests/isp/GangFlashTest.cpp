// Several simulated chips programmed at once, one device object and thread each.
#include <gtest/gtest.h>

#include <algorithm>

#include "isp/GangFlash.h"
#include "sim/SimHost.h"
#include "tests/support/TempDir.h"

namespace {

TEST(GangFlash, EveryAttachedChipGetsTheImageAndAFailingOneIsReportedAlone) {
    std::string image(3000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 5);
    const TempDir folder;
    const auto file = folder.Write("gang.bin", image);

    qv::sim::SimHost host;
    std::vector<std::shared_ptr<qv::sim::SimChip>> chips;
    for (int i = 0; i < 4; ++i) chips.push_back(host.AttachNew(qv::sim::UserDeviceIdentity()));
    chips[2]->Faults().flash.writeEnableIgnored = true;  // programs nothing

    const auto targets = qv::FindGangTargets(host, "vid_6b94&pid_f82d");
    ASSERT_EQ(targets.size(), 4u);
    qv::AutoRequest request;
    request.fileText = file.string();
    const auto results = qv::FlashAll(host, targets, request);

    ASSERT_EQ(results.size(), 4u);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const auto contents = chips[i]->Flash().Contents();
        const bool holds =
            std::equal(image.begin(), image.end(), contents.begin(),
                       [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
        if (i == 2) {
            EXPECT_NE(results[i].outcome, qv::AutoOutcome::Succeeded);
            EXPECT_FALSE(holds);
        } else {
            EXPECT_EQ(results[i].outcome, qv::AutoOutcome::Succeeded) << results[i].text;
            EXPECT_EQ(results[i].text, "Verifying Success");
            EXPECT_TRUE(holds) << "chip " << i;
        }
    }
}

TEST(GangFlash, WithoutUserDevicesTheFirmwareUpdateDevicesAreTheTargets) {
    qv::sim::SimHost host;
    host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x4D17));
    host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x6B94));
    const auto targets = qv::FindGangTargets(host, "vid_6b94&pid_f82d");
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_FALSE(targets[0].ksMode);
    EXPECT_NE(targets[0].path.find("vid_6b94&pid_6000"), std::string::npos);
    EXPECT_NE(targets[1].path.find("vid_4d17&pid_6000"), std::string::npos);
    EXPECT_TRUE(qv::FindGangTargets(host, "").size() == 2u);
}

}  // namespace
