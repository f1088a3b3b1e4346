#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "image/ImageBuffer.h"
#include "image/ImageFileKind.h"
#include "image/ParameterTable.h"

namespace qv {

// Status texts of the image editor.
inline constexpr const char* kLoadFileReadyText = "Load file ready";
inline constexpr const char* kLoadFileInvalidText = "Load file is invalid for modify";

// The new table values as the user typed them: VID and PID as hexadecimal texts without
// prefix, and the five strings in table order (manufacturer, product name, serial number, play
// interface, record interface) as the 8-bit codes they are stored with.
struct ParameterTexts {
    std::string vid;
    std::string pid;
    std::array<std::string, kStringFieldCount> strings;
};

// The values the editor offers before the user types anything.
ParameterTexts DefaultParameterTexts();

// The image editor's state for the whole run. Its image is its own: loading a file here leaves
// the program file of the ISP page alone.
struct ImageEditor {
    // Room for anything the loaders accept, so a large image is edited and saved whole.
    ImageBuffer EditorImage;
    // Where the last search found the table; 0 when it found none.
    std::uint32_t TablePosition = 0;
    // Kept apart from TablePosition, since a table may stand at offset 0.
    bool TableFound = false;
};

using EditorLoadOutcome = ImageLoadOutcome;

// Loads the file into EditorImage with the loader its name asks for, and forgets the table of
// the file before. A file that does not load, or holds more than the image takes, leaves an
// empty image (LoadedLength 0, all 0xFF), in which no table is found, so nothing stale or cut
// short is ever edited or saved.
EditorLoadOutcome LoadEditorImage(ImageEditor& editor, const std::string& path);

// Searches EditorImage for the table (see FindParameterTable) and records the result in
// TablePosition and TableFound; returns TableFound.
bool SearchParameterTable(ImageEditor& editor);

// The status text after a file was chosen and searched.
const char* LoadStatusText(bool tableFound);

enum class SaveOutcome {
    Saved,
    NoTable,     // no table was found in the current image: nothing was changed or written
    NotWritten,  // the new file could not be created or written
};

struct SaveReport {
    SaveOutcome outcome = SaveOutcome::NoTable;
    std::uint16_t sum = 0;  // the 16-bit sum of the bytes written; only when Saved
    // The text that reports the save: the sum as four upper-case hexadecimal digits,
    // kLoadFileInvalidText, or "Cannot write " and the path.
    std::string text;
};

// Writes the new values into the table and saves the whole image to `newFilePath`. Without a
// table nothing is written anywhere. Otherwise, in this order: the five strings go into the
// table (each cut to 32 bytes and filled up with blanks); the VID text is converted with
// HexFieldToInt and its low 16 bits stored; the PID the same; then bytes 0 to LoadedLength - 1
// of EditorImage are written to a new or overwritten file and summed. A VID or PID text that
// does not convert throws ConversionError at its step: what went into the table before stays
// there, and no file is written. The changes stay in EditorImage, so saving again writes the
// same file.
SaveReport SaveParameterTable(ImageEditor& editor, const ParameterTexts& texts,
                              const std::string& newFilePath);

}  // namespace qv
