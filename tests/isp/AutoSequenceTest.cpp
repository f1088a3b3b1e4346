// The automatic sequence on the simulated user's device, end to end on virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "RecordingView.h"
#include "chip/FlashRequests.h"
#include "isp/IspJobs.h"
#include "sim/SimHost.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return bytes;
}

// The kind a click ended with; nothing for a click that only asked a running sequence to stop.
std::optional<qv::FailureKind> Kind(const std::optional<qv::JobResult>& result) {
    if (!result) return std::nullopt;
    return result->kind;
}

class AutoSequenceTest : public ::testing::Test {
protected:
    void SetUp() override { Plug(qv::sim::DefaultFlashChip()); }

    void Plug(const qv::sim::FlashChip& flashChip) {
        if (chip) host.Detach(*chip);
        chip = std::make_shared<qv::sim::SimChip>(host.Clock(), qv::sim::UserDeviceIdentity(),
                                                  flashChip);
        host.Attach(chip);
        device.SetKsMode(true);
        device.SetMatchText("vid_6b94&pid_f82d");
        ASSERT_TRUE(device.FindDevice());
        host.GetTrace().KeepLines(true);
        host.GetTrace().ClearLines();
    }
    // Program files go to the test's own folder.
    std::string WriteFile(const std::string& name, const Bytes& bytes) const {
        return folder.Write(name, bytes).string();
    }
    qv::AutoRequest RequestFor(const std::string& file) {
        qv::AutoRequest request;
        request.fileText = file;
        return request;
    }
    bool FlashHolds(const Bytes& image, std::uint32_t at = 0) {
        const auto contents = chip->Flash().Contents();
        return std::equal(image.begin(), image.end(), contents.begin() + at);
    }
    // The address (six hexadecimal digits) of every flash instruction sent with 0x80 whose data
    // is the instruction byte and an address: "20" sector erases, "02" page programs.
    std::vector<std::string> Addresses(const std::string& instruction) {
        std::vector<std::string> addresses;
        for (const std::string& line : host.GetTrace().Lines()) {
            const std::string data = line.substr(line.rfind(' ') + 1);
            if (line.find(" 80 ") != std::string::npos && data.size() == 8 &&
                data.rfind(instruction, 0) == 0)
                addresses.push_back(data.substr(2));
        }
        return addresses;
    }
    bool Traced(const std::string& fragment) {
        const auto& lines = host.GetTrace().Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(fragment) != std::string::npos;
        });
    }

    TempDir folder;
    qv::sim::SimHost host;
    std::shared_ptr<qv::sim::SimChip> chip;
    qv::QuorvexUsb device{host};
    RecordingView view;
    qv::ProgramFile program;
    qv::FlashContext flash;
    qv::IspJobs jobs{device, view, program, flash};
    bool autoBusy = false;
};

TEST_F(AutoSequenceTest, FullSequenceProgramsVerifiesAndProtects) {
    const Bytes image = Pattern(5000);
    const auto file = WriteFile("full.bin", image);
    EXPECT_EQ(Kind(jobs.Auto(RequestFor(file), autoBusy)), qv::FailureKind::None);
    EXPECT_TRUE(FlashHolds(image));
    EXPECT_EQ(view.LastInfo(), "Verifying Success");
    EXPECT_EQ(view.checksum.rfind("Checksum : 0x", 0), 0u);
    EXPECT_FALSE(autoBusy);
    EXPECT_FALSE(jobs.Running());
    EXPECT_EQ(chip->Flash().Status() & 0x1C, 0x1C);  // protected again
    EXPECT_FALSE(chip->InIspMode());
    EXPECT_FALSE(device.IsOpen());
}

// A part that keeps only some of its block-protect bits is not protected: every bit must read
// set after the protection step.
TEST_F(AutoSequenceTest, ProtectionWithSomeBlockProtectBitsMissingFails) {
    qv::sim::FlashChip partial = qv::sim::DefaultFlashChip();
    partial.writableStatusBits &= static_cast<std::uint8_t>(~0x10);
    Plug(partial);
    const auto file = WriteFile("partial.bin", Pattern(600));
    EXPECT_EQ(Kind(jobs.Auto(RequestFor(file), autoBusy)), qv::FailureKind::ProtectFailed);
    EXPECT_EQ(view.LastInfo(), "Protect Flash Fail");
}

TEST_F(AutoSequenceTest, AllStepsClearOnlyIdentifiesTheFlash) {
    qv::AutoRequest request = RequestFor("unused.bin");
    request.steps = {false, false, false, false, false, false, false};
    EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None);
    EXPECT_FALSE(Traced(" 84 "));
    EXPECT_TRUE(Traced(" 81 0003 0001 1 "));  // the identification, refused outside ISP mode
    EXPECT_EQ(flash.FlashPageSize, 256);
    EXPECT_EQ(view.processInfo, std::vector<std::string>{"Enter ISP Mode"});
}

// The part has no unique ID: asked for one, the sequence sends nothing for it.
TEST_F(AutoSequenceTest, C222FlashIsProgrammedIn32BytePages) {
    Plug(qv::sim::kFlashChips[1]);
    const Bytes image = Pattern(100);
    qv::AutoRequest request = RequestFor(WriteFile("c2.bin", image));
    request.readUniqueId = true;
    EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None);
    EXPECT_EQ(flash.FlashPageSize, 32);
    EXPECT_TRUE(FlashHolds(image));
    EXPECT_FALSE(Traced(" 4B000000"));
    EXPECT_FALSE(flash.UniqueId);
}

// The failure is the click's own: the next click, with the erase, starts afresh.
TEST_F(AutoSequenceTest, FailedBlankCheckSkipsTheRestButStillProtectsAndLeavesIsp) {
    const Bytes image = Pattern(256);
    qv::AutoRequest request = RequestFor(WriteFile("blank.bin", image));
    request.steps.erase = false;  // the demo firmware is still in the flash
    EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::BlankCheckFailed);
    EXPECT_EQ(view.LastInfo().rfind("Blanking Fail at 0x", 0), 0u);
    EXPECT_TRUE(Traced("2 OK 01FF"));  // write status 0xFF
    EXPECT_TRUE(Traced(" 85 2D7C 3E92 "));
    EXPECT_EQ(std::count(view.processInfo.begin(), view.processInfo.end(), "Start Programming"), 0);

    request.steps.erase = true;
    EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None);
    EXPECT_EQ(view.LastInfo(), "Verifying Success");
    EXPECT_TRUE(FlashHolds(image));
}

TEST_F(AutoSequenceTest, ReloadTakesTheComboFileAndAssignedRangeTheCurrentTexts) {
    const Bytes image = Pattern(300);
    program.ProgramFileName = WriteFile("old.bin", Bytes{9});
    qv::AutoRequest request = RequestFor(WriteFile("new.bin", image));
    request.wholeFlash = false;
    request.startText = "64";
    request.sizeText = "8";
    EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None);
    EXPECT_EQ(program.ProgramFileName, request.fileText);
    EXPECT_EQ(program.RangeStart, 0x10000u);
    EXPECT_TRUE(FlashHolds(image, 0x10000));
    EXPECT_TRUE(Traced("OK 20010000"));  // sector erase at the range start
    EXPECT_TRUE(Traced("OK 20011000"));
    EXPECT_FALSE(Traced("OK 20012000"));
}

TEST_F(AutoSequenceTest, NothingIsSentWhenTheFileIsMissingOrTheImageEmptyOrTheRangeBad) {
    EXPECT_EQ(Kind(jobs.Auto(RequestFor(WriteFile("x.txt", Pattern(4))), autoBusy)),
              qv::FailureKind::Refused);
    EXPECT_EQ(Kind(jobs.Auto(RequestFor("/nonexistent/qv.bin"), autoBusy)), qv::FailureKind::Refused);
    qv::AutoRequest noReload = RequestFor("something.bin");
    noReload.steps.reloadFile = false;
    EXPECT_EQ(Kind(jobs.Auto(noReload, autoBusy)), qv::FailureKind::Refused);
    EXPECT_EQ(view.messages, std::vector<std::string>(3, "Program File Not Ready !!    "));

    qv::AutoRequest badRange = RequestFor(WriteFile("range.bin", Pattern(4)));
    badRange.wholeFlash = false;
    badRange.startText = "1O";
    EXPECT_EQ(Kind(jobs.Auto(badRange, autoBusy)), qv::FailureKind::Refused);
    EXPECT_EQ(view.messages.back(), "'1O' is not a valid integer value");
    EXPECT_TRUE(host.GetTrace().Lines().empty());
    EXPECT_FALSE(autoBusy);
    EXPECT_FALSE(jobs.Running());
}

// The assigned range as the window's start and size edits give it, on the 1 MiB flash.
TEST_F(AutoSequenceTest, ARangeIsCheckedBeforeAnythingIsErasedOrWritten) {
    struct Case {
        const char* start;
        const char* size;
        std::size_t imageBytes;
        qv::FailureKind outcome;
        const char* text;  // the refusal, shown as a message or as the step text
    };
    const Case cases[] = {
        {"1016", "8", 8192, qv::FailureKind::None, ""},  // touching the end
        {"1016", "8", 8193, qv::FailureKind::Refused,
         "The image (8193 bytes) runs past the assigned range (8192 bytes)"},
        {"1016", "0", 100, qv::FailureKind::Refused, "The assigned range is empty (0 KB)"},
        {"1016", "12", 100, qv::FailureKind::RangeBeyondFlash, "Range beyond the flash (1024 KB)"},
        {"2048", "8", 100, qv::FailureKind::RangeBeyondFlash, "Range beyond the flash (1024 KB)"},
        {"-1", "4", 100, qv::FailureKind::Refused, "Range beyond the 24-bit address space"},
        {"4194303", "4", 100, qv::FailureKind::Refused, "Range beyond the 24-bit address space"},
        {"4194304", "4", 100, qv::FailureKind::Refused, "Range beyond the 24-bit address space"},
        {"0", "16385", 100, qv::FailureKind::Refused, "Range beyond the 24-bit address space"},
    };
    for (const Case& c : cases) {
        Plug(qv::sim::DefaultFlashChip());
        qv::AutoRequest request = RequestFor(WriteFile("range.bin", Pattern(c.imageBytes)));
        request.wholeFlash = false;
        request.startText = c.start;
        request.sizeText = c.size;
        const std::string what = std::string(c.start) + ":" + c.size;
        EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), c.outcome) << what;
        if (c.outcome == qv::FailureKind::None) continue;
        const std::string shown = c.outcome == qv::FailureKind::Refused ? view.messages.back()
                                                                         : view.LastInfo();
        EXPECT_EQ(shown, c.text) << what;
        EXPECT_FALSE(Traced(" OK 20") || Traced(" OK C7") || Traced(" OK 02")) << what;
        EXPECT_EQ(Traced(" 85 2D7C 3E92 "), c.outcome == qv::FailureKind::RangeBeyondFlash) << what;
    }
}

// Every busy time at its datasheet maximum, verify off: the last page must be waited for, or
// the protection write meets a busy flash. The 16 Mbit part's chip erase takes 25 s.
TEST_F(AutoSequenceTest, SlowPartsAreWaitedForTheirDatasheetMaximum) {
    const Bytes image = Pattern(5000);
    const auto file = WriteFile("slow.bin", image);
    for (const auto& part : {qv::sim::kFlashChips[0], qv::sim::kFlashChips[2]}) {
        Plug(part);
        chip->Faults().flash.slow = true;
        qv::AutoRequest request = RequestFor(file);
        request.steps.verify = false;
        const std::uint64_t before = host.Clock().NowMs();
        EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None) << view.LastInfo();
        EXPECT_TRUE(FlashHolds(image));
        EXPECT_EQ(chip->Flash().Status() & 0x1C, 0x1C);
        const std::uint64_t seconds = (host.Clock().NowMs() - before) / 1000;
        EXPECT_GE(seconds, part.chipEraseMaxUs / 1'000'000) << part.name;
        EXPECT_LE(seconds, part.chipEraseMaxUs / 1'000'000 + 2) << part.name;
    }
}

// The write-protect pin held low: after one protected run the status register is locked.
TEST_F(AutoSequenceTest, ALockedStatusRegisterFailsEveryEraseAndProgram) {
    const auto file = WriteFile("locked.bin", Pattern(700));
    chip->Faults().flash.writeProtectPinLow = true;
    ASSERT_EQ(Kind(jobs.Auto(RequestFor(file), autoBusy)), qv::FailureKind::None);
    const std::vector<std::uint8_t> before(chip->Flash().Contents().begin(),
                                           chip->Flash().Contents().end());
    const std::string locked = "Flash is write-protected (status 0xFC)";
    ASSERT_EQ(device.Open(), qv::Reply::Done);  // the single jobs expect ISP mode, as the command line holds it for them
    static_cast<void>(qv::SetIspMode(device, qv::IspMode::Enter));
    device.Close();
    struct Case {
        const char* what;
        std::function<qv::JobResult()> job;
        std::string text;
    };
    const Case cases[] = {
        {"erase", [&] { return jobs.ClearProtectionAndErase(true); }, locked},
        {"program", [&] { return jobs.ProgramAndVerify(true, true); }, locked},
        {"Erase button", [&] { return jobs.Erase(true); }, "Erase Flash Fail"},
        {"sequence", [&] { return *jobs.Auto(RequestFor(file), autoBusy); }, locked},
    };
    for (const Case& c : cases) {
        host.GetTrace().ClearLines();
        EXPECT_EQ(c.job().kind, qv::FailureKind::WriteProtected) << c.what;
        EXPECT_EQ(view.LastInfo(), c.text) << c.what;
        EXPECT_FALSE(Traced(" OK C7") || Traced(" OK 20") || Traced(" OK 02")) << c.what;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), chip->Flash().Contents().begin()));
    }
}

// Fetches that bring half the bytes, from a point inside each walk on: a short answer is a
// failed read, never data (a blank previous block or zero bytes of the image would pass).
TEST_F(AutoSequenceTest, ShortAnswersNeverPassForTheFlashContent) {
    const Bytes image(3000, 0x00);
    const auto file = WriteFile("short.bin", image);
    ASSERT_EQ(Kind(jobs.Auto(RequestFor(file), autoBusy)), qv::FailureKind::None);
    const std::uint64_t transfers = host.GetTrace().Lines().size();
    int failures = 0;
    for (std::uint64_t k = 20; k < transfers; k += 37) {
        Plug(qv::sim::DefaultFlashChip());
        chip->ArmFaultsAfter(k, [](qv::sim::SimChip& c) { c.Faults().shortFetches = true; });
        const auto outcome = Kind(jobs.Auto(RequestFor(file), autoBusy));
        EXPECT_TRUE(outcome != qv::FailureKind::None || FlashHolds(image)) << "k=" << k;
        failures += outcome != qv::FailureKind::None;
    }
    EXPECT_GT(failures, 0);
}

// A chip that stops answering: each transfer costs the host's one-second timeout, so the job
// must give up after a few, wherever it was; in the sequence and with --changed-only.
TEST_F(AutoSequenceTest, ASilentChipEndsTheJobWithinSecondsNotHours) {
    qv::AutoRequest request = RequestFor(WriteFile("qv-auto-silent.bin", Pattern(9000)));
    for (const bool changedOnly : {false, true}) {
        request.changedOnly = changedOnly;
        Plug(qv::sim::DefaultFlashChip());
        ASSERT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None);
        const std::uint64_t transfers = host.GetTrace().Lines().size();
        for (std::uint64_t k = 3; k < transfers - 2; k += transfers / 7) {
            Plug(qv::sim::DefaultFlashChip());
            chip->ArmFaultsAfter(k, [](qv::sim::SimChip& c) { c.Faults().silent = true; });
            const std::uint64_t before = host.Clock().NowMs();
            const std::string what = "k=" + std::to_string(k) + (changedOnly ? " changed" : "");
            EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::NotAnswering) << what;
            EXPECT_EQ(view.LastInfo(), "The chip does not answer") << what;
            EXPECT_LT(host.Clock().NowMs() - before, 30'000u) << what;
        }
    }
}

std::vector<std::string> SectorAddresses(std::uint32_t first, std::uint32_t count) {
    std::vector<std::string> addresses;
    char text[8];
    for (std::uint32_t i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, "%06X", first + i * 0x1000);
        addresses.push_back(text);
    }
    return addresses;
}

// --changed-only judged from the trace: what it erases (sector by sector, or the whole chip),
// which pages it programs, and what it leaves of the flash around the image.
TEST_F(AutoSequenceTest, ChangedOnlyErasesAndProgramsOnlyWhatDiffers) {
    Bytes small = Pattern(3 * 0x1000);
    std::fill(small.begin() + 0x1200, small.begin() + 0x1300, 0xFF);  // a blank page in sector 1
    const Bytes large = Pattern(48 * 0x1000);
    const Bytes huge = Pattern(112 * 0x1000);
    const auto holdingSmall = [&](Bytes& memory) {
        std::copy(small.begin(), small.end(), memory.begin());
    };
    const auto otherData = [](Bytes& memory) { std::fill(memory.begin(), memory.end(), 0xA5); };
    constexpr std::uint32_t kWhole = UINT32_MAX;
    struct Case {
        const char* what;
        const Bytes& image;
        std::uint32_t start;  // a multiple of 1 KB, or kWhole for the whole flash
        std::function<void(Bytes&)> before;
        std::vector<std::string> erased;  // sector erase addresses; {"chip"} for a chip erase
        std::size_t pages;                // page programs
        std::string verdict;
    };
    const Case cases[] = {
        {"unchanged", small, kWhole, holdingSmall, {}, 0, "0 of 3 sectors changed"},
        {"one byte", small, kWhole,
         [&](Bytes& memory) {
             holdingSmall(memory);
             memory[0x1456] ^= 0x0F;
         },
         {"001000"}, 15, "1 of 3 sectors changed"},
        {"erased", small, kWhole, [](Bytes&) {}, {}, 47, "3 of 3 sectors changed"},
        // 47 pages of the image, and 16 of the other data put back around it.
        {"range from 5 KB", small, 0x1400, otherData, SectorAddresses(0x1000, 4), 47 + 16,
         "4 of 4 sectors changed"},
        {"48 sectors of other data", large, kWhole, otherData, {"chip"}, 768,
         "48 of 48 sectors changed"},
        {"the same in a range", large, 0, otherData, SectorAddresses(0, 48), 768,
         "48 of 48 sectors changed"},
        // A chip erase still pays off; the 12 sectors that held the image are written again.
        {"mostly other firmware", huge, kWhole,
         [&](Bytes& memory) {
             otherData(memory);
             std::copy(huge.begin(), huge.begin() + 12 * 0x1000, memory.begin());
         },
         {"chip"}, 112 * 16, "100 of 112 sectors changed"},
    };
    for (const Case& c : cases) {
        Plug(qv::sim::DefaultFlashChip());
        Bytes before(chip->Flash().Contents().size(), 0xFF);
        c.before(before);
        ASSERT_TRUE(chip->Flash().SetContents(before));
        host.GetTrace().ClearLines();
        qv::AutoRequest request = RequestFor(WriteFile("qv-auto-changed.bin", c.image));
        request.changedOnly = true;
        request.wholeFlash = c.start == kWhole;
        request.startText = std::to_string(c.start / 1024);
        request.sizeText = std::to_string((c.image.size() + 1023) / 1024);
        program.RangeStart = 0;  // as the window's "All" sets it
        EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::None) << c.what;
        EXPECT_EQ(view.LastInfo(), c.verdict) << c.what;
        const bool chipErased = std::any_of(
            host.GetTrace().Lines().begin(), host.GetTrace().Lines().end(),
            [](const std::string& line) { return line.ends_with(" 80 0000 0001 1 OK C7"); });
        const std::vector<std::string> erased =
            chipErased ? std::vector<std::string>{"chip"} : Addresses("20");
        EXPECT_EQ(erased, c.erased) << c.what;
        EXPECT_EQ(Addresses("02").size(), c.pages) << c.what;
        const std::uint32_t at = c.start == kWhole ? 0 : c.start;
        EXPECT_TRUE(FlashHolds(c.image, at)) << c.what;
        // What lies around the image keeps its content, but for a chip erase.
        const auto after = chip->Flash().Contents();
        const std::uint32_t end = at + static_cast<std::uint32_t>(c.image.size());
        if (c.erased != std::vector<std::string>{"chip"}) {
            EXPECT_TRUE(std::equal(after.begin(), after.begin() + at, before.begin())) << c.what;
            EXPECT_TRUE(std::equal(after.begin() + end, after.end(), before.begin() + end))
                << c.what;
        }
        EXPECT_EQ(chip->Flash().Status() & 0x1C, 0x1C) << c.what;
        EXPECT_FALSE(chip->InIspMode()) << c.what;
    }
}

TEST_F(AutoSequenceTest, NoDeviceIsAMessageAndNothingElse) {
    host.Detach(*chip);
    device.CheckPresent();
    EXPECT_EQ(Kind(jobs.Auto(RequestFor("a.bin"), autoBusy)), qv::FailureKind::Refused);
    EXPECT_EQ(view.messages, std::vector<std::string>{"USB device is NOT available !!    "});
}

// The Stop click arrives while the blank check runs, or while --changed-only compares or
// rewrites a sector.
TEST_F(AutoSequenceTest, StopEndsAtTheNextBlockAndStillProtectsAndLeavesIsp) {
    const auto file = WriteFile("qv-auto-stop.bin", Pattern(4096));
    for (const int stopAtPump : {5, -1, -30}) {
        Plug(qv::sim::DefaultFlashChip());
        int pumps = 0;
        view.onPump = [&] {
            if (++pumps == std::abs(stopAtPump)) {
                EXPECT_EQ(Kind(jobs.Auto(RequestFor(file), autoBusy)), std::nullopt);
            }
        };
        qv::AutoRequest request = RequestFor(file);
        request.changedOnly = stopAtPump < 0;
        EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::Stopped) << stopAtPump;
        // The fifth pump falls in the chip erase, which is at no address.
        const char* stopped = stopAtPump > 0 ? "Stopped during the erase" : "Stopped at 0x";
        EXPECT_EQ(view.LastInfo().rfind(stopped, 0), 0u) << view.LastInfo();
        EXPECT_TRUE(Traced(" 85 2D7C 3E92 "));
        EXPECT_TRUE(Traced("2 OK 01FF"));
        EXPECT_FALSE(jobs.Running());
        EXPECT_FALSE(autoBusy);
    }
    view.onPump = nullptr;
}

TEST_F(AutoSequenceTest, ASectorThatStaysBusyFailsTheEraseEvenIfTheLastOneFinishes) {
    qv::AutoRequest request = RequestFor(WriteFile("sector.bin", Pattern(64)));
    request.wholeFlash = false;
    request.startText = "0";
    request.sizeText = "8";
    int polls = 0;
    // Once the first sector's erase went out, its polls all read busy; the second's do not.
    view.onPump = [&] {
        if (Traced(" OK 20000000")) chip->Faults().flash.staysBusy = ++polls <= 1000;
    };
    EXPECT_EQ(Kind(jobs.Auto(request, autoBusy)), qv::FailureKind::EraseFailed);
    EXPECT_TRUE(jobs.StepFailed);
    EXPECT_EQ(view.LastInfo(), "Erase Flash Fail");
}

// Unplugging the chip after every k-th transfer of one sequence: the outcome is a success only
// when the flash holds the image.
TEST_F(AutoSequenceTest, UnpluggedAtAnyPointNeverEndsInAFalseSuccess) {
    const Bytes image = Pattern(2048);
    const auto file = WriteFile("sweep.bin", image);
    int runs = 0, falseSuccesses = 0;
    for (std::uint64_t k = 1; k < 1200; k += 13) {
        Plug(qv::sim::DefaultFlashChip());
        host.DetachAfterTransfers(*chip, k);
        const auto outcome = Kind(jobs.Auto(RequestFor(file), autoBusy));
        ++runs;
        if (outcome == qv::FailureKind::None && !FlashHolds(image)) ++falseSuccesses;
        if (outcome != qv::FailureKind::None) {
            EXPECT_NE(view.LastInfo(), "Verifying Success") << "k=" << k;
        }
    }
    EXPECT_EQ(falseSuccesses, 0) << "over " << runs << " runs";
}

}  // namespace
