// The I2C transactions against the simulated chip's bus, read back from the trace as register
// events: "W12 20" is a write of 0x20 to register 0x12, "R10 01" a read of 0x10 answering 0x01.
#include <gtest/gtest.h>

#include <sstream>

#include "chip/I2cMaster.h"
#include "chip/I2cTransactions.h"
#include "chip/Registers.h"
#include "sim/SimHost.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;

Events operator+(Events first, const Events& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Events Repeat(int times, const Events& events) {
    Events all;
    for (int i = 0; i < times; ++i) all = all + events;
    return all;
}

// The bus events as the master's registers see them, each byte finishing at its first poll.
const Events kStart = {"W10 C0"};
const Events kStop = {"W10 A0"};
Events Send(const std::string& byte, bool acknowledged = true) {
    const std::string status = acknowledged ? "R10 01" : "R10 09";
    return {"W14 01", "W12 " + byte, status, status};
}
Events Receive(const std::string& byte, bool last) {
    return {last ? "W10 90" : "W10 80", "W14 03", last ? "R10 09" : "R10 01", "R13 " + byte};
}

class I2cTransactionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.FindDevice());
        ASSERT_EQ(device.Open(), qv::Reply::Done);
        static_cast<void>(qv::I2CSetup(device));
        host.GetTrace().KeepLines(true);
    }

    // Every traced transfer must be a register request; it is shown as its register event.
    Events Traced() {
        Events events;
        for (const std::string& line : host.GetTrace().Lines()) {
            std::istringstream fields(line);
            std::string seq, carrier, direction, type, request, value, index, length, ok, data;
            fields >> seq >> carrier >> direction >> type >> request >> value >> index >> length >>
                ok >> data;
            const bool write = direction == "OUT" && type == "43" && request == "90";
            const bool read = direction == "IN" && type == "C3" && request == "91";
            EXPECT_TRUE((write || read) && value == "0000" && length == "1") << line;
            events.push_back((write ? "W" : "R") + index.substr(2) + " " + data);
        }
        return events;
    }
    qv::sim::SimI2cSlave& Slave(std::uint8_t address) { return chip->I2c().Slaves()[address]; }

    qv::sim::SimHost host;
    std::shared_ptr<qv::sim::SimChip> chip =
        host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x4D17));
    qv::QuorvexUsb device{host};
};

TEST_F(I2cTransactionsTest, OneByteReadCostsTheDocumentedNineteenRequests) {
    Slave(0x20).registers[0x05] = 0x5A;
    Bytes buffer(1);
    EXPECT_TRUE(qv::I2CReadRegisters(device, 0x20, 0x05, buffer).value.address);
    EXPECT_EQ(buffer, Bytes{0x5A});
    EXPECT_EQ(Traced(),
              kStart + Send("20") + Send("05") + kStart + Send("21") + Receive("5A", true) + kStop);
    EXPECT_EQ(host.GetTrace().Lines().size(), 19u);
}

TEST_F(I2cTransactionsTest, MultiByteReadAcknowledgesAllButTheLastAndWrapsTheSubAddress) {
    Slave(0x60).registers[0xFE] = 0x11;
    Slave(0x60).registers[0xFF] = 0x22;
    Slave(0x60).registers[0x00] = 0x33;
    Bytes buffer(3);
    EXPECT_TRUE(qv::I2CReadRegisters(device, 0x60, 0xFE, buffer).value.address);
    EXPECT_EQ(buffer, (Bytes{0x11, 0x22, 0x33}));
    EXPECT_EQ(Traced(), kStart + Send("60") + Send("FE") + kStart + Send("61") +
                            Receive("11", false) + Receive("22", false) + Receive("33", true) +
                            kStop);
}

TEST_F(I2cTransactionsTest, WritesSendSubAddressOrCommandsThenData) {
    EXPECT_TRUE(qv::I2CWriteRegisters(device, 0x20, 0x10, Bytes{0x01, 0x02}).value.address);
    EXPECT_TRUE(qv::I2CWriteCommand(device, 0x20, Bytes{0x40, 0x03}, Bytes{0x04}).value.address);
    EXPECT_EQ(Traced(), kStart + Send("20") + Send("10") + Send("01") + Send("02") + kStop +
                            kStart + Send("20") + Send("40") + Send("03") + Send("04") + kStop);
    const auto& registers = Slave(0x20).registers;
    EXPECT_EQ(Bytes(registers.begin() + 0x10, registers.begin() + 0x12), (Bytes{0x01, 0x02}));
    EXPECT_EQ(Bytes(registers.begin() + 0x40, registers.begin() + 0x42), (Bytes{0x03, 0x04}));
}

TEST_F(I2cTransactionsTest, ReadCommandAndCountZeroStillRunBothAddressPhases) {
    Slave(0x60).registers[0x07] = 0x77;
    Bytes buffer(1);
    EXPECT_TRUE(qv::I2CReadCommand(device, 0x60, Bytes{0x07}, buffer).value.address);
    EXPECT_EQ(buffer, Bytes{0x77});
    host.GetTrace().ClearLines();
    EXPECT_TRUE(qv::I2CReadRegisters(device, 0x60, 0x07, {}).value.address);
    EXPECT_EQ(Traced(), kStart + Send("60") + Send("07") + kStart + Send("61") + kStop);
}

TEST_F(I2cTransactionsTest, AddressAcknowledgedAtTheTenthAttemptIsAcceptedWithoutAStop) {
    Slave(0x20).acknowledgeFromAttempt = 10;
    Bytes buffer(1);
    EXPECT_TRUE(qv::I2CReadRegisters(device, 0x20, 0x00, buffer).value.address);
    EXPECT_EQ(Traced(), Repeat(9, kStart + Send("20", false)) + kStart + Send("20") + Send("00") +
                            kStart + Send("21") + Receive("00", true) + kStop);
}

// Refused at its write address, or only at its read address after the sub-address went out:
// either way ten attempts, one stop, a failed read and nothing received.
TEST_F(I2cTransactionsTest, SilentSlaveCostsTenStartsAndOneStopAndDeliversNothing) {
    Slave(0x20).acknowledgeFromAttempt = 11;
    Bytes buffer{0x66};
    EXPECT_FALSE(qv::I2CReadRegisters(device, 0x20, 0x00, buffer).value.address);
    EXPECT_EQ(buffer, Bytes{0x66});
    EXPECT_EQ(Traced(), Repeat(10, kStart + Send("20", false)) + kStop);

    Slave(0x60).refusesReads = true;
    host.GetTrace().ClearLines();
    EXPECT_FALSE(qv::I2CReadCommand(device, 0x60, Bytes{0x07}, buffer).value.address);
    EXPECT_EQ(buffer, Bytes{0x66});
    EXPECT_EQ(Traced(),
              kStart + Send("60") + Send("07") + Repeat(10, kStart + Send("61", false)) + kStop);
}

// A slave that takes the sub-address but refuses the data: the write goes on to its stop, and
// says a byte was refused.
TEST_F(I2cTransactionsTest, RefusedDataBytesDoNotEndTheWriteButAreSaid) {
    Slave(0x60).refusesBytesFrom = 2;
    const auto written = qv::I2CWriteRegisters(device, 0x60, 0x00, Bytes{0xAA, 0xBB});
    EXPECT_TRUE(written.value.address);
    EXPECT_FALSE(written.value.everyByte);
    EXPECT_EQ(Traced(), kStart + Send("60") + Send("00") + Send("AA", false) +
                            Send("BB", false) + kStop);
    EXPECT_EQ(Slave(0x60).registers[0], 0);
}

TEST_F(I2cTransactionsTest, AddressWithBitZeroSetIsSentUnchangedInBothDirections) {
    Bytes buffer(1);
    EXPECT_TRUE(qv::I2CReadRegisters(device, 0x21, 0x00, buffer).value.address);
    // Addressed for a read, the slave takes no sub-address.
    EXPECT_EQ(Traced(), kStart + Send("21") + Send("00", false) + kStart + Send("21") +
                            Receive("00", true) + kStop);
}

TEST_F(I2cTransactionsTest, EachByteWaitsAtMostTwentyStatusReads) {
    chip->I2c().SetBusyStatusReads(19);
    static_cast<void>(qv::I2CStart(device));
    EXPECT_TRUE(qv::I2CSendByte(device, 0x20).value);
    EXPECT_EQ(Traced(), (kStart + Events{"W14 01", "W12 20"} + Repeat(19, {"R10 08"}) +
                         Events{"R10 01", "R10 01"}));

    // A transfer that never finishes reads as not acknowledged, so no address is taken.
    chip->I2c().SetBusyStatusReads(qv::sim::SimI2cBus::kForever);
    host.GetTrace().ClearLines();
    EXPECT_FALSE(qv::I2CWriteRegisters(device, 0x20, 0x00, Bytes{0x01}).value.address);
    const Events attempt = Events{"W10 C0", "W14 01", "W12 20"} + Repeat(21, {"R10 08"});
    EXPECT_EQ(Traced(), Repeat(10, attempt) + kStop);
}

// A status or receive read the chip refused ends the byte and the transaction with that
// reply: nothing is taken for an answer, and the bus is released with a stop.
TEST_F(I2cTransactionsTest, RefusedReadsEndTheTransactionAndDeliverNothing) {
    chip->Faults().stalledRequests.insert(0x91);
    std::uint8_t byte = 0x66;
    EXPECT_EQ(qv::I2CReceiveByte(device, true, byte), qv::Reply::Refused);
    EXPECT_EQ(byte, 0x66);
    EXPECT_EQ(Traced(), (Events{"W10 90", "W14 03", "R10 -"}));

    host.GetTrace().ClearLines();
    EXPECT_EQ(qv::I2CWriteRegisters(device, 0x20, 0x00, Bytes{0x01}).reply, qv::Reply::Refused);
    EXPECT_EQ(Traced(), (Events{"W10 C0", "W14 01", "W12 20", "R10 -"} + kStop));
}

// The master only moves when its registers are written in the documented order.
TEST_F(I2cTransactionsTest, SimulatedMasterStartsNothingOutOfOrder) {
    static_cast<void>(qv::I2CStart(device));
    static_cast<void>(
        qv::WriteRegister(device, 0x12, 0x20));  // no transmit command before the byte
    EXPECT_FALSE(qv::I2CTransferDone(device).value);
    static_cast<void>(qv::WriteRegister(device, 0x14, 0x03));  // receive without a preparation
    EXPECT_FALSE(qv::I2CTransferDone(device).value);
    EXPECT_TRUE(qv::I2CSendByte(device, 0x20).value);
}

}  // namespace
