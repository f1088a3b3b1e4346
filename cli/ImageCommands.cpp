#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "image/ProgramFile.h"

namespace qv::cli {
namespace {

// Loads the file as the ISP page does and prints what the page shows.
void RunImageInfo(const std::string& fileName, std::ostream& out) {
    ProgramFile file;
    file.ProgramFileName = fileName;
    const ProgramFileReport report = ReadProgramFile(file);
    switch (report.outcome) {
        case ProgramFileOutcome::NoName:
            throw BadInput("no file named");
        case ProgramFileOutcome::NotOpened:
            throw OperationFailed("Cannot open " + fileName);
        case ProgramFileOutcome::UnknownType:
            throw BadInput(fileName + ": the name asks for no loader (.bin or .h00 expected)");
        case ProgramFileOutcome::Loaded:
            break;
    }
    out << "Loaded length: " << file.ProgramImage.LoadedLength << "\n"
        << report.checksumText << "\n";
}

}  // namespace

void AddImageCommands(CLI::App& app) {
    auto* image = app.add_subcommand("image", "Program and firmware image files");
    image->require_subcommand(1);
    auto fileName = std::make_shared<std::string>();
    auto* info = image->add_subcommand("info", "Loaded length and checksum of a program file");
    info->add_option("file", *fileName, "A .bin or .h00 file")->required();
    info->callback([fileName] { RunImageInfo(*fileName, std::cout); });
}

}  // namespace qv::cli
