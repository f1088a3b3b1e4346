#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

// The machine-wide place where the tool keeps its four values between runs: the Windows
// registry key, or elsewhere a machine-wide INI file. Values keep their names and types
// (a 32-bit number, texts).
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // False when there is nothing stored to read from.
    virtual bool OpenForReading() = 0;
    // False when the place cannot be created or written; nothing is then saved.
    virtual bool OpenForWriting() = 0;
    virtual std::optional<std::uint32_t> ReadNumber(const std::string& name) = 0;
    virtual std::optional<std::string> ReadText(const std::string& name) = 0;
    virtual void WriteNumber(const std::string& name, std::uint32_t value) = 0;
    virtual void WriteText(const std::string& name, const std::string& value) = 0;
    // Makes what was written lasting and closes the place.
    virtual void Close() = 0;
};

}  // namespace qv
