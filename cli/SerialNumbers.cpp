#include "cli/SerialNumbers.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <thread>

#include "cli/CliErrors.h"
#include "image/ParameterTable.h"

namespace qv::cli {
namespace {
constexpr std::size_t kSerialField = 2;  // the table's serial-number string
// How often a board waiting for the database looks whether it is back (the connection's own
// back-off decides when the server is asked again).
constexpr auto kWaitStep = std::chrono::milliseconds(250);

JobResult NoNumber(const DatabaseError& error) {
    return Failure(FailureKind::NoSerialNumber, std::nullopt,
                   std::string("No serial number could be taken: ") + error.what());
}
}  // namespace

SerialNumbers::SerialNumbers(Reporting& reporting, const std::string& format,
                             const ProgramFile& image, bool newSerial,
                             WhenUnreachable whenUnreachable)
    : reporting_(reporting),
      format_(SerialFormat::Parse(format)),
      newSerial_(newSerial),
      whenUnreachable_(whenUnreachable) {
    tablePosition_ = SerialPlace(reporting.database != nullptr, image);
}

std::uint32_t SerialPlace(bool database, const ProgramFile& image) {
    if (!database) throw BadInput("--serial needs --db URL, where the numbers are kept");
    const auto position = FindParameterTable(image.ProgramImage);
    if (!position)
        throw BadInput(image.ProgramFileName + " has no parameter table to hold a serial number");
    return *position;
}

void SerialNumbers::TakeNumber(BoardImage& board) const {
    const std::string uid = UniqueIdText(board.flash.UniqueId);
    if (!newSerial_ && !uid.empty())
        if (auto kept = reporting_.database->ProgrammedSerial(uid)) {
            board.serial = *kept;
            board.serialKept = true;
            return;
        }
    board.serial = reporting_.database->Allocate(format_, reporting_.station, board.port);
}

JobResult SerialNumbers::Give(BoardImage& board) const {
    for (bool shown = false; board.serial.empty();) {
        try {
            TakeNumber(board);
        } catch (const DatabaseUnreachable& error) {
            if (whenUnreachable_ == WhenUnreachable::Fail || board.stopAsked())
                return NoNumber(error);
            if (!shown) board.view.ShowProcessInfo("waiting for the database");
            shown = true;
            std::this_thread::sleep_for(kWaitStep);
        } catch (const DatabaseError& error) {
            return NoNumber(error);
        }
    }
    WriteParameterString(board.image.ProgramImage, tablePosition_, kSerialField, board.serial);
    return Succeeded();
}

CLI::Option* AddSerialOption(CLI::App* command, std::string& format, bool& newSerial) {
    auto* serial =
        command
            ->add_option("--serial", format,
                         "Give each board the next serial number of FORMAT from --db, e.g. "
                         "QVUA{yy}{mm}{seq:06} (fields {yy} {yyyy} {mm} {dd} {seq:0N}); a board "
                         "programmed with one before keeps it")
            ->type_name("FORMAT")
            ->check([](const std::string& text) {
                try {
                    SerialFormat::Parse(text);
                    return std::string();
                } catch (const RecordsRefused& error) {
                    return std::string(error.what());
                }
            });
    command
        ->add_flag("--new-serial", newSerial,
                   "With --serial: a new number also for a board that holds one already")
        ->needs(serial);
    return serial;
}

}  // namespace qv::cli
