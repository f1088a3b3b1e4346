#include <CLI/CLI.hpp>
#include <array>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "chip/CodePageText.h"
#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DryRun.h"
#include "cli/HexArguments.h"
#include "common/HexFormat.h"
#include "common/OutputFile.h"
#include "image/ImageEditor.h"
#include "image/ParameterTable.h"
#include "image/ProgramFile.h"
#include "image/ProgramFileCheck.h"

namespace qv::cli {
namespace {

// The string fields in table order: the option that sets each, the label info prints and what
// the help says it is.
struct StringFieldName {
    const char* option;
    const char* label;
    const char* meaning;
};
constexpr std::array<StringFieldName, kStringFieldCount> kStringFieldNames{{
    {"--manufacturer", "Manufacturer", "Manufacturer"},
    {"--product", "Product", "Product name"},
    {"--serial", "Serial", "Serial number"},
    {"--play", "Play", "Name of the play interface"},
    {"--record", "Record", "Name of the record interface"},
}};

// A stored string as info prints it: the blank fill dropped, and every byte that is not
// printable ASCII (or is a quote or backslash) as \xNN, so the quoted text stays unambiguous.
std::string ShownString(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\')
            shown += "\\x" + Hex2(byte);
        else
            shown += c;
    }
    return shown;
}

void PrintParameterTable(const ImageBuffer& image, std::ostream& out) {
    const std::optional<std::uint32_t> position = FindParameterTable(image);
    if (!position) {
        out << "Parameter table: not found\n";
        return;
    }
    const ParameterFields fields = ReadParameterFields(image, *position);
    out << "Parameter table: 0x" << Hex6(*position) << "\n"
        << "VID: " << Hex4(fields.vid) << "\n"
        << "PID: " << Hex4(fields.pid) << "\n";
    for (std::size_t i = 0; i < kStringFieldCount; ++i)
        out << kStringFieldNames[i].label << ": \"" << ShownString(fields.strings[i]) << "\"\n";
}

void RequireProgramFile(const std::string& fileName) {
    if (const auto problem = ProgramFileProblem(fileName)) throw BadInput(*problem);
}

// Loads the file as the ISP page does, prints what the page shows, then the parameter table.
void RunImageInfo(const std::string& fileName, std::ostream& out) {
    RequireProgramFile(fileName);
    ProgramFile file;
    file.ProgramFileName = fileName;
    const ProgramFileReport report = ReadProgramFile(file);
    out << "Loaded length: " << file.ProgramImage.LoadedLength << "\n"
        << report.checksumText << "\n";
    PrintParameterTable(file.ProgramImage, out);
}

// Only the fields given change; the others keep what the image holds.
struct PatchArguments {
    std::string in;
    std::string out;
    std::optional<std::string> vid;
    std::optional<std::string> pid;
    std::array<std::optional<std::string>, kStringFieldCount> strings;
};

// The ID as the editor's own text, four hexadecimal digits without prefix; a text that does not
// convert, or a value that does not fit in 16 bits, is refused rather than cut.
std::optional<std::string> CheckedIdText(const char* what, const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return Hex4(static_cast<std::uint16_t>(ParseHexArgument(what, *text, 0xFFFF)));
}

// Refuses what the editor would cut, so a script never loses characters silently.
// The strings go into the table in the 8-bit code page, as the editor page writes them; the
// limit applies to what is stored.
PatchArguments CheckedFields(const PatchArguments& args) {
    PatchArguments checked = args;
    for (std::size_t i = 0; i < kStringFieldCount; ++i) {
        if (!args.strings[i]) continue;
        checked.strings[i] = ToCodePage(*args.strings[i]);
        if (checked.strings[i]->size() > kStringFieldLength)
            throw BadInput(std::string(kStringFieldNames[i].option) + " '" + *args.strings[i] +
                           "' is longer than the field's " + std::to_string(kStringFieldLength) +
                           " bytes");
    }
    checked.vid = CheckedIdText("VID", args.vid);
    checked.pid = CheckedIdText("PID", args.pid);
    return checked;
}

// The table's new values: the fields given, and the table's own for the others.
ParameterTexts PatchedTexts(const PatchArguments& given, const ParameterFields& current) {
    ParameterTexts texts;
    texts.vid = given.vid.value_or(Hex4(current.vid));
    texts.pid = given.pid.value_or(Hex4(current.pid));
    for (std::size_t i = 0; i < kStringFieldCount; ++i)
        texts.strings[i] = given.strings[i].value_or(current.strings[i]);
    return texts;
}

// What a patch would write: the new file, and the table values it would hold.
Plan PatchPlan(const PatchArguments& args, const ParameterTexts& texts, const ImageEditor& editor) {
    Plan plan;
    JsonLine& step = plan.Step(
        "write_file", "Write " + args.out + ": " + args.in + " (" +
                          std::to_string(editor.EditorImage.LoadedLength) +
                          " bytes) with its parameter table at 0x" + Hex6(editor.TablePosition) +
                          " holding VID " + texts.vid + ", PID " + texts.pid);
    step.Add("file", args.out)
        .Add("source", args.in)
        .Add("length", editor.EditorImage.LoadedLength)
        .Add("vid", texts.vid)
        .Add("pid", texts.pid);
    for (std::size_t i = 0; i < kStringFieldCount; ++i)
        plan.Step("table_string", std::string(kStringFieldNames[i].label) + ": \"" +
                                      ShownString(texts.strings[i]) + "\"")
            .Add("field", kStringFieldNames[i].option + 2)
            .Add("value", texts.strings[i]);
    return plan;
}

// Does what the editor does with "Current File", "New File" and " Save", and prints the sum it
// shows.
void RunImagePatch(const GlobalOptions& options, const PatchArguments& args, std::ostream& out) {
    const PatchArguments given = CheckedFields(args);
    RequireProgramFile(args.in);
    std::error_code error;
    if (std::filesystem::equivalent(args.in, args.out, error))
        throw BadInput(args.out + ": is the source itself; the new image needs a file of its own");
    if (const auto problem = OutputProblem(args.out))
        throw BadInput("Cannot write " + args.out + ": " + *problem);
    ImageEditor editor;
    LoadEditorImage(editor, args.in);
    if (!SearchParameterTable(editor))
        throw BadInput(args.in + ": no parameter table (\"" + std::string(kTableMarker) + "\", " +
                       std::to_string(kTableLength) + " bytes) inside the loaded length");
    const ParameterTexts texts =
        PatchedTexts(given, ReadParameterFields(editor.EditorImage, editor.TablePosition));
    PerformOnFiles(options, [&] { return PatchPlan(args, texts, editor); }, [&] {
        const SaveReport report = SaveParameterTable(editor, texts, args.out);
        if (report.outcome != SaveOutcome::Saved) throw OperationFailed(report.text);
        out << "Sum: " << report.text << "\n";
    });
}

void AddInfoCommand(CLI::App& image) {
    auto fileName = std::make_shared<std::string>();
    auto* info = image.add_subcommand(
        "info", "Loaded length, checksum and parameter table of a program file");
    info->add_option("file", *fileName, "A .bin or .h00 file")->required();
    info->callback([fileName] { RunImageInfo(*fileName, std::cout); });
}

void AddPatchCommand(CLI::App& image, const GlobalOptions& options) {
    auto args = std::make_shared<PatchArguments>();
    auto* patch = image.add_subcommand(
        "patch", "Write new parameter table values into an image and save it as a new file");
    patch->add_option("in", args->in, "The source image, .bin or .h00")->required();
    patch->add_option("out", args->out, "The new image file (raw binary)")->required();
    patch->add_option("--vid", args->vid, "Vendor ID (hexadecimal; default: the image's)")
        ->type_name("HEX");
    patch->add_option("--pid", args->pid, "Product ID (hexadecimal; default: the image's)")
        ->type_name("HEX");
    for (std::size_t i = 0; i < kStringFieldCount; ++i)
        patch->add_option(
            kStringFieldNames[i].option, args->strings[i],
            std::string(kStringFieldNames[i].meaning) + ", up to 32 bytes (default: the image's)");
    patch->callback([&options, args] { RunImagePatch(options, *args, std::cout); });
}

}  // namespace

void AddImageCommands(CLI::App& app, const GlobalOptions& options) {
    auto* image = app.add_subcommand("image", "Program and firmware image files");
    image->require_subcommand(1);
    AddInfoCommand(*image);
    AddPatchCommand(*image, options);
}

}  // namespace qv::cli
