#include "image/ImageEditor.h"

#include <optional>

#include "common/OutputFile.h"
#include "common/HexFormat.h"
#include "common/TypedNumber.h"
#include "image/ImageFileKind.h"

namespace qv {

namespace {

// Creates or replaces the file with bytes 0 to LoadedLength - 1 of the image; their 16-bit
// sum, or nothing when the file could not be written (an old file then stays as it was).
std::optional<std::uint16_t> WriteImageFile(const ImageBuffer& image, const std::string& path) {
    if (WriteOutput(path, std::span(image.Bytes).first(image.LoadedLength))) return std::nullopt;
    return LoadedSum(image);
}

}  // namespace

ParameterTexts DefaultParameterTexts() {
    return {"6B94",
            "F82D",
            {"Morrowfieldtone", "Morrowfieldtone UAC22", "QVUA170405", "Primary Play Interface",
             "Record Interface"}};
}

EditorLoadOutcome LoadEditorImage(ImageEditor& editor, const std::string& path) {
    editor.TablePosition = 0;
    editor.TableFound = false;
    const ImageLoad load = LoadImageFile(editor.EditorImage, path);
    // Saving part of a longer image would cut off its end: such a source is emptied, so no
    // table is found and nothing is written.
    if (load.cut) {
        FillProgramImage(editor.EditorImage, 0xFF);
        editor.EditorImage.LoadedLength = 0;
    }
    return load.outcome;
}

bool SearchParameterTable(ImageEditor& editor) {
    const std::optional<std::uint32_t> position = FindParameterTable(editor.EditorImage);
    editor.TablePosition = position.value_or(0);
    editor.TableFound = position.has_value();
    return editor.TableFound;
}

const char* LoadStatusText(bool tableFound) {
    return tableFound ? kLoadFileReadyText : kLoadFileInvalidText;
}

SaveReport SaveParameterTable(ImageEditor& editor, const ParameterTexts& texts,
                              const std::string& newFilePath) {
    if (!editor.TableFound) return {SaveOutcome::NoTable, 0, kLoadFileInvalidText};
    ImageBuffer& image = editor.EditorImage;
    const std::uint32_t position = editor.TablePosition;
    for (std::size_t i = 0; i < kStringFieldCount; ++i)
        WriteParameterString(image, position, i, texts.strings[i]);
    WriteParameterId(image, position, kVidOffset,
                     static_cast<std::uint16_t>(HexFieldToInt(texts.vid)));
    WriteParameterId(image, position, kPidOffset,
                     static_cast<std::uint16_t>(HexFieldToInt(texts.pid)));
    const std::optional<std::uint16_t> sum = WriteImageFile(image, newFilePath);
    if (!sum) return {SaveOutcome::NotWritten, 0, "Cannot write " + newFilePath};
    return {SaveOutcome::Saved, *sum, Hex4(*sum)};
}

}  // namespace qv
