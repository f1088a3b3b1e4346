// The register requests the chip receives on the audio carrier, as trace lines without their
// sequence numbers, in a list that Qt Test prints line by line when two differ.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>

#include "common/HexFormat.h"
#include "sim/SimHost.h"

inline QString RegisterWrite(std::uint8_t address, std::uint8_t value) {
    return QString::fromStdString("K OUT 20 90 0000 00" + qv::Hex2(address) + " 1 OK " +
                                  qv::Hex2(value));
}

inline QString RegisterRead(std::uint8_t address, std::uint8_t value) {
    return QString::fromStdString("K IN A0 91 0000 00" + qv::Hex2(address) + " 1 OK " +
                                  qv::Hex2(value));
}

// One EEPROM parameter write that the firmware answers at the first poll.
inline QStringList ParameterWrite(std::uint8_t selector, std::uint8_t offset,
                                  std::initializer_list<std::uint8_t> data) {
    QStringList lines{RegisterWrite(0x00, 0x00)};
    std::uint8_t address = 0x93;
    for (const std::uint8_t byte : data) lines << RegisterWrite(address++, byte);
    return lines << RegisterWrite(0x91, selector) << RegisterWrite(0x92, offset)
                 << RegisterWrite(0x90, 0x10) << RegisterRead(0x90, 0xEE)
                 << RegisterWrite(0x90, 0x00);
}

// The requests traced since the trace was last cleared.
inline QStringList Requests(qv::sim::SimHost& sim) {
    QStringList lines;
    for (const std::string& line : sim.GetTrace().Lines())
        lines << QString::fromStdString(line.substr(line.find(' ') + 1));
    return lines;
}
