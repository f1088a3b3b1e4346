// The register requests the chip received, read from the simulator's trace in a short form
// that Qt Test prints line by line when two lists differ: "W12 20" writes 0x20 to register
// 0x12, "R10 01" reads register 0x10 and gets 0x01 ("-" for a request that failed).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>

#include "common/HexFormat.h"
#include "sim/SimHost.h"

inline QString RegisterWrite(std::uint8_t address, std::uint8_t value) {
    return QString::fromStdString("W" + qv::Hex2(address) + " " + qv::Hex2(value));
}

inline QString RegisterRead(std::uint8_t address, std::uint8_t value) {
    return QString::fromStdString("R" + qv::Hex2(address) + " " + qv::Hex2(value));
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

// The register requests from trace line `from` on. Other lines, the presence probes, are left
// out.
inline QStringList RegisterRequests(qv::sim::SimHost& sim, std::size_t from = 0) {
    QStringList requests;
    const auto& lines = sim.GetTrace().Lines();
    for (auto line = lines.begin() + static_cast<long>(from); line != lines.end(); ++line) {
        std::istringstream fields(*line);
        std::string seq, carrier, direction, type, request, value, index, length, ok, data;
        fields >> seq >> carrier >> direction >> type >> request >> value >> index >> length >>
            ok >> data;
        if (request != "90" && request != "91") continue;
        requests << QString::fromStdString((request == "90" ? "W" : "R") + index.substr(2) + " " +
                                           data);
    }
    return requests;
}
