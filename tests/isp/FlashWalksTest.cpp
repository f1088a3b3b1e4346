// The erase, blank-check, program, verify and read-back walks on a simulated flash, on virtual
// time, through the Function Test jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "RecordingView.h"
#include "isp/IspJobs.h"
#include "sim/SimHost.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A firmware-update device: its flash answers without ISP mode and starts blank.
class FlashWalksTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.FindDevice());
        flash.FlashPageSize = 256;
    }
    void LoadImage(const Bytes& bytes, std::uint32_t rangeStart = 0) {
        std::copy(bytes.begin(), bytes.end(), program.ProgramImage.Bytes.begin());
        program.ProgramImage.LoadedLength = static_cast<std::uint32_t>(bytes.size());
        program.RangeStart = rangeStart;
        program.RangeSize = static_cast<std::uint32_t>(bytes.size());
    }
    Bytes FlashBytes(std::uint32_t from, std::uint32_t count) {
        const auto contents = chip->Flash().Contents();
        return Bytes(contents.begin() + from, contents.begin() + from + count);
    }
    std::size_t Count(const std::string& request) {
        return std::count_if(host.GetTrace().Lines().begin(), host.GetTrace().Lines().end(),
                             [&](const std::string& line) {
                                 return line.find(" " + request + " ") != std::string::npos;
                             });
    }

    qv::sim::SimHost host;
    std::shared_ptr<qv::sim::SimChip> chip =
        host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x4D17));
    qv::QuorvexUsb device{host};
    RecordingView view;
    qv::ProgramFile program;
    qv::FlashContext flash;
    qv::IspJobs jobs{device, view, program, flash};
};

// Without an image, or with one longer than its assigned range, the walks would report work
// they did not do, or write where the range's erase never reached: nothing is sent.
TEST_F(FlashWalksTest, NoImageOrAnImagePastItsRangeIsRefusedWithNothingSent) {
    host.GetTrace().KeepLines(true);
    EXPECT_EQ(jobs.BlankCheck(true).kind, qv::FailureKind::Refused);
    EXPECT_EQ(jobs.Program(true).kind, qv::FailureKind::Refused);
    EXPECT_EQ(jobs.Verify(true).kind, qv::FailureKind::Refused);
    LoadImage(Bytes(5000, 0x00), 0x8000);
    program.RangeSize = 4096;
    const qv::JobResult past = jobs.Program(false);
    EXPECT_EQ(past.kind, qv::FailureKind::Refused);
    EXPECT_EQ(past.text, "The image (5000 bytes) runs past the assigned range (4096 bytes)");
    program.RangeSize = 0;
    EXPECT_EQ(jobs.Verify(false).text, "The assigned range is empty (0 KB)");
    EXPECT_TRUE(host.GetTrace().Lines().empty());
}

TEST_F(FlashWalksTest, ProgramThenVerifyPutsTheImageAtTheRangeStart) {
    Bytes image(1000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    LoadImage(image, 0x8000);
    EXPECT_TRUE(jobs.BlankCheck(false).Ok());
    EXPECT_TRUE(jobs.Program(false).Ok());
    EXPECT_EQ(view.processInfo,
              (std::vector<std::string>{"Start Blanking Check", "Blanking Success",
                                        "Start Programming...", "Programming Success"}));
    EXPECT_EQ(FlashBytes(0x8000, 1000), image);
    EXPECT_EQ(FlashBytes(0x8000 + 1000, 24), Bytes(24, 0xFF));
    EXPECT_TRUE(jobs.Verify(false).Ok());
    EXPECT_EQ(view.processAddress.back(), "Verifying Addr: 0x0083C0");
    EXPECT_DOUBLE_EQ(view.lastProgress, 1.0);
}

TEST_F(FlashWalksTest, AllErasedPagesSendNoProgramRequests) {
    LoadImage(Bytes(600, 0xFF));
    host.GetTrace().KeepLines(true);
    EXPECT_TRUE(jobs.Program(true).Ok());
    EXPECT_EQ(view.LastInfo(), "Programming Success");
    EXPECT_EQ(Count("80"), 0u);
}

TEST_F(FlashWalksTest, RangeEndingInsideABlockComparesOnlyUpToTheEnd) {
    LoadImage(Bytes(70, 0x00));
    ASSERT_TRUE(jobs.Program(true).Ok());
    // The flash beyond the image still reads 0xFF; only 6 bytes of the second block count.
    program.ProgramImage.Bytes[100] = 0x12;
    EXPECT_TRUE(jobs.Verify(true).Ok());
}

// 255-byte reads: 2000 bytes from 0x2000 take eight reads per walk, and the byte right after the
// end, inside the eighth block, does not count.
TEST_F(FlashWalksTest, LargerReadBlocksAskForTheirCountAndCountOnlyBytesBeforeTheEnd) {
    LoadImage(Bytes(2000, 0xFF), 0x2000);
    Bytes contents(chip->Flash().Contents().size(), 0xFF);
    contents[0x2000 + 2000] = 0x00;
    ASSERT_TRUE(chip->Flash().SetContents(contents));
    flash.ReadBlockSize = 255;
    host.GetTrace().KeepLines(true);
    EXPECT_TRUE(jobs.BlankCheck(false).Ok());
    EXPECT_TRUE(jobs.Verify(false).Ok());
    EXPECT_EQ(Count("81 00FF 0001 4"), 2 * 8u);
    EXPECT_EQ(Count("81 0040 0001 4"), 0u);
    EXPECT_EQ(view.processAddress.back(), "Verifying Addr: 0x0026F9");
}

// A chip that answers at most 64 bytes per read, from the third 255-byte block of each walk on:
// the walk fails at that block's own address, never passes; 64-byte reads are unaffected.
TEST_F(FlashWalksTest, ReadsLargerThanTheChipAnswersFailAtTheBlockWhereTheyBegin) {
    LoadImage(Bytes(2000, 0xFF), 0x2000);
    struct Case {
        const char* what;
        std::function<qv::JobResult()> job;
        std::uint64_t identification;  // transfers before the first block
        std::uint64_t readsPerBlock;
        std::string failure;
    };
    const Case cases[] = {
        {"blank", [&] { return jobs.BlankCheck(false); }, 3, 1, "Blanking Fail at 0x0021FE"},
        {"verify", [&] { return jobs.Verify(false); }, 3, 1, "Verifying Fail at 0x0021FE"},
        {"read-back", [&] { return jobs.ReadBack(); }, 0, 2, "Verifying Fail at 0x0001FE"},
    };
    for (const Case& c : cases) {
        for (const std::uint8_t size : {64, 255}) {
            chip->Faults().fetchLimit = 0;
            flash.ReadBlockSize = size;
            // A read is 3 transfers; a 255-byte one needs a second ready poll, the chip still
            // clocking it out at the first.
            const std::uint64_t perRead = size == 255 ? 4 : 3;
            chip->ArmFaultsAfter(host.TransferCount() + c.identification + 2 * c.readsPerBlock * perRead,
                                 [](qv::sim::SimChip& armed) { armed.Faults().fetchLimit = 64; });
            EXPECT_EQ(c.job().Ok(), size == 64) << c.what << " " << int(size);
            if (size == 255) {
                EXPECT_EQ(view.LastInfo(), c.failure) << c.what;
            }
        }
    }
}

// The last byte of every block counts: a flash dirty only there is no blank flash, and one
// that holds the image but there does not verify.
TEST_F(FlashWalksTest, TheLastByteOfABlockIsCheckedByBlankAndVerify) {
    LoadImage(Bytes(128, 0xFF));
    Bytes contents(chip->Flash().Contents().size(), 0xFF);
    contents[63] = 0x00;
    ASSERT_TRUE(chip->Flash().SetContents(contents));
    EXPECT_FALSE(jobs.BlankCheck(true).Ok());
    EXPECT_EQ(view.LastInfo(), "Blanking Fail at 0x00003F");
    EXPECT_FALSE(jobs.Verify(true).Ok());
    EXPECT_EQ(view.LastInfo(), "Verifying Fail at 0x00003F");
}

TEST_F(FlashWalksTest, ABlockThatDiffersOnceIsReadAgainThreeTimesFails) {
    LoadImage(Bytes(128, 0x00));
    ASSERT_TRUE(jobs.Program(true).Ok());
    chip->Faults().corruptedFetches = {2};  // the second block's first read
    EXPECT_TRUE(jobs.Verify(true).Ok());

    program.ProgramImage.Bytes[64 + 5] = 0x55;  // differs at every attempt
    EXPECT_FALSE(jobs.Verify(true).Ok());
    EXPECT_EQ(view.LastInfo(), "Verifying Fail at 0x000045");
}

TEST_F(FlashWalksTest, FlashThatNeverAnswersFailsTheFirstBlockAtItsOwnAddress) {
    LoadImage(Bytes(10, 0x00), 0x1234);
    host.GetTrace().KeepLines(true);
    // From the first read on: the identification (three transfers) still arrives.
    chip->ArmFaultsAfter(host.TransferCount() + 3,
                         [](qv::sim::SimChip& c) { c.Faults().flashNeverReady = true; });
    EXPECT_EQ(jobs.BlankCheck(false).kind, qv::FailureKind::BlankCheckFailed);
    EXPECT_EQ(view.LastInfo(), "Blanking Fail at 0x001234");
    EXPECT_EQ(Count("81"), 1u + 3u);  // the identification, then three attempts

    // A flash whose identification never gets ready fails there: its size is not known.
    chip->Faults().flashNeverReady = true;
    EXPECT_EQ(jobs.BlankCheck(false).kind, qv::FailureKind::NotAnswering);
    EXPECT_EQ(view.LastInfo(), "The chip does not answer");
}

TEST_F(FlashWalksTest, SectorEraseCoversEachFourKilobyteStepOfTheRange) {
    program.RangeStart = 0x8000;
    program.RangeSize = 0x8000;
    host.GetTrace().KeepLines(true);
    EXPECT_TRUE(jobs.Erase(false).Ok());
    std::vector<std::string> erased;
    for (const std::string& line : host.GetTrace().Lines()) {
        const auto data = line.substr(line.rfind(' ') + 1);
        if (data.size() == 8 && data.rfind("20", 0) == 0) erased.push_back(data.substr(2));
    }
    EXPECT_EQ(erased, (std::vector<std::string>{"008000", "009000", "00A000", "00B000", "00C000",
                                                "00D000", "00E000", "00F000"}));
    EXPECT_EQ(view.processInfo.front(), "Flash Sector Erase");
    EXPECT_EQ(view.processInfo.back().rfind("Flash Sector Erase: 0x 00F000", 0), 0u);
}

// The bytes a range leaves in its sectors come back after the erase, and are read again to
// prove it: a cell that did not take the first write-back is written a second time.
TEST_F(FlashWalksTest, KeptBytesAroundARangeAreWrittenBackUntilTheyVerify) {
    Bytes contents(chip->Flash().Contents().size(), 0xFF);
    std::fill(contents.begin() + 0x1000, contents.begin() + 0x2000, 0x40);
    ASSERT_TRUE(chip->Flash().SetContents(contents));
    chip->Faults().flash.weakPagePrograms = {1};
    program.RangeStart = 0x1400;
    program.RangeSize = 0x400;
    EXPECT_TRUE(jobs.Erase(false).Ok()) << view.LastInfo();
    EXPECT_EQ(FlashBytes(0x1000, 0x400), Bytes(0x400, 0x40));
    EXPECT_EQ(FlashBytes(0x1400, 0x400), Bytes(0x400, 0xFF));
    EXPECT_EQ(FlashBytes(0x1800, 0x800), Bytes(0x800, 0x40));
}

TEST_F(FlashWalksTest, ChipEraseGrowsADotEveryTwentyPollsAndFailsWhenItStaysBusy) {
    view.onPump = [&] { chip->Faults().flash.staysBusy = true; };  // once the erase runs
    EXPECT_FALSE(jobs.Erase(true).Ok());
    EXPECT_TRUE(jobs.StepFailed);
    EXPECT_EQ(view.LastInfo(), "Erase Flash Fail");
    // The first caption, then one per poll: 20 without dots, 20 with one, ... nine at most.
    EXPECT_EQ(view.processInfo[1], "Flash Erase All ");
    EXPECT_EQ(view.processInfo[21], "Flash Erase All .");
    EXPECT_EQ(view.processInfo[1 + 180], "Flash Erase All .........");
    EXPECT_EQ(view.processInfo[1 + 200], "Flash Erase All ");
    EXPECT_EQ(view.statusRegister.back(), "Status Register: 0x01");
}

TEST_F(FlashWalksTest, ReadBackWritesTheFirst128KilobytesAndSaysWhenItCannot) {
    LoadImage(Bytes{1, 2, 3});
    ASSERT_TRUE(jobs.Program(true).Ok());
    EXPECT_TRUE(jobs.ReadBack().Ok());
    const TempDir folder;
    const auto path = folder.Path("flash.bin");
    ASSERT_TRUE(jobs.SaveReadBack(path.string()).Ok());
    EXPECT_EQ(view.LastInfo(), "Read Flash content Success");
    EXPECT_EQ(std::filesystem::file_size(path), 0x20000u);
    char first[4] = {};
    std::ifstream(path, std::ios::binary).read(first, 4);
    EXPECT_EQ(Bytes(first, first + 4), (Bytes{1, 2, 3, 0xFF}));

    const std::string unwritable = (folder.Path("no-such-dir") / "x.bin").string();
    EXPECT_FALSE(jobs.SaveReadBack(unwritable).Ok());
    EXPECT_TRUE(view.LastInfo().starts_with("Cannot write " + unwritable + " (")) << view.LastInfo();
}

TEST_F(FlashWalksTest, ProgramButtonIdentifiesTheFlashWhenNoPageSizeIsKnown) {
    flash.FlashPageSize = 0;
    LoadImage(Bytes(300, 0x11));
    EXPECT_TRUE(jobs.Program(true).Ok());
    EXPECT_EQ(flash.FlashPageSize, 256);
    EXPECT_EQ(FlashBytes(0, 300), Bytes(300, 0x11));
}

// A page program that outlasts the 101 status reads before the next page: the walk ends there,
// without sending that page to a flash that would ignore it, and fails at that page.
TEST_F(FlashWalksTest, AFlashStillBusyBeforeAPageEndsTheProgramWalk) {
    static const qv::sim::FlashChip slowPages = [] {
        qv::sim::FlashChip part = qv::sim::kFlashChips[0];
        part.pageProgramUs = 200'000;
        return part;
    }();
    host.Detach(*chip);
    chip = std::make_shared<qv::sim::SimChip>(host.Clock(), qv::sim::FirmwareUpdateIdentity(0x4D17),
                                              slowPages);
    host.Attach(chip);
    ASSERT_TRUE(device.FindDevice());
    LoadImage(Bytes(512, 0x00));
    host.GetTrace().KeepLines(true);
    EXPECT_EQ(jobs.Program(true).kind, qv::FailureKind::ProgramFailed);
    EXPECT_EQ(view.LastInfo(), "Programming Fail at 0x000100");
    // The first page's address and data; of the second, only the write enables.
    EXPECT_EQ(Count("80 0000 0000 4"), 1u);
    EXPECT_EQ(Count("80 0000 0001 256"), 1u);
}

// The stop is asked for from where the job lets pending work run (Ctrl-C, a station ending):
// the walk ends at its next block or page.
// Any of the part's block-protect bits protects the flash: the Erase button and programming
// refuse it before sending anything; the status register's lock bit alone protects nothing.
TEST_F(FlashWalksTest, TheBlockProtectBitsOfThePartDecideWhatIsProtected) {
    LoadImage(Bytes(256, 0x00));
    host.GetTrace().KeepLines(true);
    struct Case {
        std::uint8_t status;
        bool erase;  // the Erase button, else programming
        qv::FailureKind kind;
    };
    const Case cases[] = {
        {0x10, true, qv::FailureKind::WriteProtected},
        {0x04, false, qv::FailureKind::WriteProtected},
        {0x10, false, qv::FailureKind::WriteProtected},
        {0x80, true, qv::FailureKind::None},
        {0x80, false, qv::FailureKind::None},
    };
    for (const Case& c : cases) {
        chip->Flash().SetContents(Bytes(chip->Flash().Contents().size(), 0xFF));
        chip->Flash().SetStoredStatus(c.status);
        host.GetTrace().ClearLines();
        const qv::JobResult result =
            c.erase ? jobs.Erase(true) : jobs.ProgramAndVerify(true, true);
        EXPECT_EQ(result.kind, c.kind) << int(c.status) << " " << c.erase;
        if (!result.Ok()) {
            EXPECT_EQ(Count("80 0000 0001 1") + Count("80 0000 0000 4"), 0u);  // no erase, no page
        }
    }
}

TEST_F(FlashWalksTest, StopEndsAWalkAtTheNextBlockOrPage) {
    LoadImage(Bytes(1024, 0x00));
    const std::pair<std::function<qv::JobResult()>, std::string> cases[] = {
        {[&] { return jobs.BlankCheck(true); }, "Stopped at 0x000080"},
        {[&] { return jobs.Program(true); }, "Stopped at 0x000200"},
    };
    for (const auto& [job, text] : cases) {
        int pumps = 0;
        view.onPump = [&] {
            if (++pumps == 2) jobs.StopRequested = true;
        };
        EXPECT_EQ(job().kind, qv::FailureKind::Stopped) << text;
        EXPECT_EQ(view.LastInfo(), text);
    }
}

}  // namespace
