#include "cli/SerialNumbers.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliErrors.h"
#include "image/ParameterTable.h"

namespace qv::cli {
namespace {
constexpr std::size_t kSerialField = 2;  // the table's serial-number string
}  // namespace

SerialNumbers::SerialNumbers(Reporting& reporting, const std::string& format,
                             const ProgramFile& image)
    : reporting_(reporting), format_(SerialFormat::Parse(format)), image_(image) {
    if (!reporting.database) throw BadInput("--serial needs --db URL, where the numbers are kept");
    const auto position = FindParameterTable(image.ProgramImage);
    if (!position)
        throw BadInput(image.ProgramFileName + " has no parameter table to hold a serial number");
    tablePosition_ = *position;
}

BoardImage SerialNumbers::For(const std::string& port) const {
    BoardImage board{image_, {}, {}};
    try {
        board.serial = reporting_.database->Allocate(format_, reporting_.station, port);
    } catch (const DatabaseError& error) {
        board.problem = std::string("No serial number could be taken: ") + error.what();
        return board;
    }
    WriteParameterString(board.image.ProgramImage, tablePosition_, kSerialField, board.serial);
    return board;
}

CLI::Option* AddSerialOption(CLI::App* command, std::string& format) {
    return command
        ->add_option("--serial", format,
                     "Give each board the next serial number of FORMAT from --db, e.g. "
                     "QVUA{yy}{mm}{seq:06} (fields {yy} {yyyy} {mm} {dd} {seq:0N})")
        ->check([](const std::string& text) {
            try {
                SerialFormat::Parse(text);
                return std::string();
            } catch (const RecordsRefused& error) {
                return std::string(error.what());
            }
        });
}

}  // namespace qv::cli
