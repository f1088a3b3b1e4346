// The flash part on its own: what its cells, status register and busy times do.
#include <gtest/gtest.h>

#include "sim/SimFlash.h"

namespace {

using namespace qv::sim;
using Bytes = std::vector<std::uint8_t>;

class SimFlashTest : public ::testing::Test {
protected:
    explicit SimFlashTest(const FlashChip& chip = DefaultFlashChip())
        : flash(clock, chip, faults) {}

    // One instruction: chip select, the bytes out, `responseCount` bytes in, chip select up.
    Bytes Run(const Bytes& out, std::size_t responseCount = 0) {
        flash.Select();
        for (const auto byte : out) flash.Exchange(byte);
        Bytes in;
        for (std::size_t i = 0; i < responseCount; ++i) in.push_back(flash.Exchange(0xFF));
        flash.Deselect();
        return in;
    }
    static Bytes WithAddress(std::uint8_t instruction, std::uint32_t address, Bytes tail = {}) {
        Bytes bytes{instruction, static_cast<std::uint8_t>(address >> 16),
                    static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    }
    std::uint8_t Status() { return Run({spi::kReadStatus}, 1)[0]; }
    Bytes Read(std::uint32_t address, std::size_t count) {
        return Run(WithAddress(spi::kReadData, address), count);
    }
    // Write enable, the instruction, then virtual time until the part is idle again.
    void Write(const Bytes& instruction) {
        Run({spi::kWriteEnable});
        Run(instruction);
        clock.AdvanceUs(flash.Chip().chipEraseUs);
    }
    void Program(std::uint32_t address, Bytes data) {
        Write(WithAddress(spi::kPageProgram, address, std::move(data)));
    }

    SimClock clock;
    FlashFaults faults;
    SimFlash flash;
};

class SecondFlashChipTest : public SimFlashTest {
protected:
    SecondFlashChipTest() : SimFlashTest(kFlashChips[1]) {}
};

TEST_F(SimFlashTest, ProgramOnlyClearsBitsAndWrapsInsideItsPage) {
    Program(0x1FE, {0x12, 0x34, 0x56});
    EXPECT_EQ(Read(0x1FE, 2), (Bytes{0x12, 0x34}));
    EXPECT_EQ(Read(0x100, 2), (Bytes{0x56, 0xFF}));  // the third byte wrapped to the page start
    EXPECT_EQ(Read(0x200, 1), (Bytes{0xFF}));        // the next page is untouched

    Program(0x1FE, {0xF0, 0xFF});
    EXPECT_EQ(Read(0x1FE, 2), (Bytes{0x10, 0x34}));  // old AND new: no bit comes back to 1
}

TEST_F(SimFlashTest, SectorEraseClearsExactlyTheSectorHoldingTheAddress) {
    for (const std::uint32_t address : {0x0FFFu, 0x1000u, 0x1FFFu, 0x2000u}) Program(address, {0});
    Write(WithAddress(spi::kSectorErase, 0x1234));
    EXPECT_EQ(Read(0x0FFF, 2), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(Read(0x1FFF, 2), (Bytes{0xFF, 0x00}));

    Write({spi::kChipErase});
    EXPECT_EQ(Read(0x0FFF, 1), (Bytes{0xFF}));
    EXPECT_EQ(Read(0x2000, 1), (Bytes{0xFF}));
}

TEST_F(SimFlashTest, WritesNeedTheLatchAndEachWriteClearsIt) {
    Run(WithAddress(spi::kPageProgram, 0, {0x00}));
    Run(WithAddress(spi::kSectorErase, 0));
    EXPECT_EQ(Read(0, 1), (Bytes{0xFF}));
    EXPECT_EQ(Status(), 0x00);  // nothing was started

    Run({spi::kWriteEnable});
    EXPECT_EQ(Status(), SimFlash::kWriteEnableLatch);
    Run({spi::kWriteDisable});
    EXPECT_EQ(Status(), 0x00);

    for (const Bytes& write :
         {WithAddress(spi::kPageProgram, 0, {0x00}), WithAddress(spi::kSectorErase, 0),
          Bytes{spi::kChipErase}, Bytes{spi::kChipEraseAlt}, Bytes{spi::kWriteStatus, 0x00}}) {
        Write(write);
        EXPECT_EQ(Status() & SimFlash::kWriteEnableLatch, 0) << int{write[0]};
    }
}

TEST_F(SimFlashTest, InstructionsCutShortOrOverlongAreNotExecuted) {
    Program(0, {0x00});
    Write({spi::kSectorErase, 0x00, 0x00});  // chip select up after two address bytes
    EXPECT_EQ(Read(0, 1), (Bytes{0x00}));
    EXPECT_EQ(Status(), SimFlash::kWriteEnableLatch);  // not executed, so not consumed either
    Run({spi::kWriteDisable});
    Run({spi::kWriteEnable, 0x00});
    EXPECT_EQ(Status(), 0x00);
}

TEST_F(SimFlashTest, AnyBlockProtectBitStopsProgramAndErase) {
    Program(0, {0x00});
    Write({spi::kWriteStatus, 0x08});
    EXPECT_EQ(Status(), 0x08);
    Program(1, {0x00});
    Write(WithAddress(spi::kSectorErase, 0));
    Write({spi::kChipErase});
    EXPECT_EQ(Read(0, 2), (Bytes{0x00, 0xFF}));

    Write({spi::kWriteStatus, 0x00});
    Program(1, {0x00});
    EXPECT_EQ(Read(0, 2), (Bytes{0x00, 0x00}));
}

TEST_F(SimFlashTest, BusyForTheDatasheetTimeOfEachOperation) {
    const FlashChip& chip = flash.Chip();
    const std::pair<Bytes, std::uint32_t> operations[] = {
        {WithAddress(spi::kPageProgram, 0, {0x00}), chip.pageProgramUs},
        {WithAddress(spi::kSectorErase, 0), chip.sectorEraseUs},
        {Bytes{spi::kChipErase}, chip.chipEraseUs},
        {Bytes{spi::kWriteStatus, 0x00}, chip.statusWriteUs},
    };
    for (const auto& [instruction, busyUs] : operations) {
        Run({spi::kWriteEnable});
        Run(instruction);
        clock.AdvanceUs(busyUs - 1);
        EXPECT_EQ(Status() & SimFlash::kBusyBit, SimFlash::kBusyBit) << int{instruction[0]};
        clock.AdvanceUs(1);
        EXPECT_EQ(Status() & SimFlash::kBusyBit, 0) << int{instruction[0]};
    }
}

TEST_F(SimFlashTest, ABusyFlashIgnoresEverythingButReadStatus) {
    Program(0x2000, {0x5A});
    Run({spi::kWriteEnable});
    Run(WithAddress(spi::kSectorErase, 0));
    EXPECT_EQ(Run({spi::kJedecId}, 3), (Bytes{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Read(0x2000, 1), (Bytes{0xFF}));
    Run({spi::kWriteEnable});
    Run(WithAddress(spi::kSectorErase, 0x2000));
    EXPECT_EQ(Run({spi::kReadStatus}, 2), (Bytes{0x03, 0x03}));  // the first erase's latch only

    clock.AdvanceUs(flash.Chip().sectorEraseUs);
    EXPECT_EQ(Run({spi::kJedecId}, 3), (Bytes{0xEF, 0x40, 0x14}));
    EXPECT_EQ(Read(0x2000, 1), (Bytes{0x5A}));  // the second erase never happened
}

TEST_F(SecondFlashChipTest, ASecondChipIsOnlyAnotherTableEntry) {
    EXPECT_EQ(Run({spi::kJedecId}, 3), (Bytes{0xC2, 0x22, 0x11}));
    EXPECT_EQ(flash.Contents().size(), 128u * 1024);
    Program(0x1F, {0x11, 0x22});  // 32-byte pages
    EXPECT_EQ(Read(0x1F, 2), (Bytes{0x11, 0xFF}));
    EXPECT_EQ(Read(0x00, 1), (Bytes{0x22}));
}

TEST_F(SimFlashTest, InjectedFaults) {
    faults.writeEnableIgnored = true;
    Program(0, {0x00});
    EXPECT_EQ(Status(), 0x00);
    EXPECT_EQ(Read(0, 1), (Bytes{0xFF}));
    faults.writeEnableIgnored = false;

    faults.protectionStuck = true;
    Write({spi::kWriteStatus, 0x00});
    EXPECT_EQ(Status(), qv::sim::DefaultFlashChip().blockProtectMask);
    Program(0, {0x00});
    EXPECT_EQ(Read(0, 1), (Bytes{0xFF}));
    faults.protectionStuck = false;

    faults.staysBusy = true;
    clock.AdvanceUs(60'000'000);
    EXPECT_EQ(Status() & SimFlash::kBusyBit, SimFlash::kBusyBit);
    EXPECT_EQ(Run({spi::kJedecId}, 3), (Bytes{0xFF, 0xFF, 0xFF}));
}

}  // namespace
