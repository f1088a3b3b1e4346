// Takes any byte sequence as the image editor's image, searches it for the parameter table and
// saves the table with texts taken from the same bytes. Checks what the editor promises: the
// table found is the first marker with room for it, a save changes nothing but the table's
// fields, an ID text that does not convert stops the save at its step with no file written,
// and the file written is the loaded image byte for byte with the sum reported.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/HexFormat.h"
#include "common/TypedNumber.h"
#include "fuzz/ImageChecks.h"
#include "fuzz/Require.h"
#include "fuzz/TempFile.h"
#include "image/ImageEditor.h"

namespace {

using qv::fuzz::Require;

// The marker's characters that decide a table.
constexpr std::string_view kDecidingMarker = qv::kTableMarker.substr(0, 10);

// Where the table must be found: the first place the deciding characters stand, when the
// whole table fits from there.
std::optional<std::uint32_t> ExpectedTable(std::span<const std::uint8_t> image) {
    const std::string_view text(reinterpret_cast<const char*>(image.data()), image.size());
    const std::size_t at = text.find(kDecidingMarker);
    if (at == std::string_view::npos || image.size() - at < qv::kTableLength) return std::nullopt;
    return static_cast<std::uint32_t>(at);
}

// Mostly a hexadecimal number as a user types it, sometimes any text at all.
std::string IdText(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) return qv::Hex4(input.ConsumeIntegral<std::uint16_t>());
    return input.ConsumeRandomLengthString(12);
}

qv::ParameterTexts TextsFrom(FuzzedDataProvider& input) {
    qv::ParameterTexts texts;
    texts.vid = IdText(input);
    texts.pid = IdText(input);
    // Longer than a field now and then, to see the cut.
    for (std::string& text : texts.strings) text = input.ConsumeRandomLengthString(40);
    return texts;
}

std::optional<std::uint16_t> ConvertedId(const std::string& text) {
    try {
        return static_cast<std::uint16_t>(qv::HexFieldToInt(text));
    } catch (const qv::ConversionError&) {
        return std::nullopt;
    }
}

// A string field as the editor stores a text: its first 32 bytes, filled up with blanks.
std::string StoredField(const std::string& text) {
    std::string field = text.substr(0, qv::kStringFieldLength);
    field.resize(qv::kStringFieldLength, ' ');
    return field;
}

std::uint16_t IdAt(std::span<const std::uint8_t> bytes, std::uint32_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// Bytes 0 to LoadedLength - 1 equal `original` everywhere except in [from, to).
bool SameOutside(const qv::ImageBuffer& image, std::span<const std::uint8_t> original,
                 std::uint32_t from, std::uint32_t to) {
    const auto bytes = image.Bytes.begin();
    return std::equal(original.begin(), original.begin() + from, bytes) &&
           std::equal(original.begin() + to, original.end(), bytes + to);
}

void CheckSearch(const qv::ImageEditor& editor, std::span<const std::uint8_t> original) {
    const std::optional<std::uint32_t> expected = ExpectedTable(original);
    Require(editor.TableFound == expected.has_value(), "the table is found exactly when it fits");
    if (!editor.TableFound) return;
    Require(editor.TablePosition == *expected, "the table found is the first marker");
    const qv::ParameterFields fields =
        qv::ReadParameterFields(editor.EditorImage, editor.TablePosition);
    Require(fields.vid == IdAt(original, editor.TablePosition + qv::kVidOffset) &&
                fields.pid == IdAt(original, editor.TablePosition + qv::kPidOffset),
            "the IDs read are the table's, high byte first");
}

void CheckSaveWithoutTable(const qv::ImageEditor& editor, const qv::SaveReport& report,
                           std::span<const std::uint8_t> original,
                           const qv::fuzz::ProcessTempFile& file) {
    Require(report.outcome == qv::SaveOutcome::NoTable && report.text == qv::kLoadFileInvalidText,
            "a save without a table reports the invalid file");
    Require(SameOutside(editor.EditorImage, original, 0, 0),
            "a save without a table edits nothing");
    Require(!file.Read().has_value(), "a save without a table writes no file");
}

// The table after a save that stopped at a step or went through: strings always written, the
// VID when it converted, the PID when both did; nothing else in the image changed.
void CheckTableAfterSave(const qv::ImageEditor& editor, const qv::ParameterTexts& texts,
                         std::span<const std::uint8_t> original) {
    const std::uint32_t at = editor.TablePosition;
    const std::optional<std::uint16_t> vid = ConvertedId(texts.vid);
    const std::optional<std::uint16_t> pid = vid ? ConvertedId(texts.pid) : std::nullopt;
    const qv::ParameterFields fields = qv::ReadParameterFields(editor.EditorImage, at);
    for (std::size_t i = 0; i < qv::kStringFieldCount; ++i)
        Require(fields.strings[i] == StoredField(texts.strings[i]), "each string is stored cut");
    Require(fields.vid == vid.value_or(IdAt(original, at + qv::kVidOffset)),
            "the VID is stored when it converts, else left");
    Require(fields.pid == pid.value_or(IdAt(original, at + qv::kPidOffset)),
            "the PID is stored when both IDs convert, else left");
    Require(SameOutside(editor.EditorImage, original, at + qv::kVidOffset, at + qv::kTableLength),
            "a save changes nothing but the table's fields");
}

void CheckWrittenFile(const qv::ImageEditor& editor, const qv::SaveReport& report,
                      const qv::fuzz::ProcessTempFile& file) {
    Require(report.outcome == qv::SaveOutcome::Saved, "a save with a table and IDs is written");
    const auto written = file.Read();
    const qv::ImageBuffer& image = editor.EditorImage;
    Require(written.has_value() && written->size() == image.LoadedLength &&
                std::equal(written->begin(), written->end(), image.Bytes.begin()),
            "the file is the loaded image with its new table");
    Require(report.sum == qv::fuzz::SumOf(*written), "the sum reported is the file's");
    Require(report.text == qv::Hex4(report.sum), "the save reports its sum in four digits");
}

// The editor as a load of `bytes` leaves it, before the search. One editor serves every run,
// which spares the fuzzer a fresh 768 KB allocation, with its page faults, each time.
qv::ImageEditor& EditorWith(std::span<const std::uint8_t> bytes) {
    static qv::ImageEditor editor;
    std::vector<std::uint8_t>& image = editor.EditorImage.Bytes;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    std::memset(image.data() + bytes.size(), 0xFF, image.size() - bytes.size());
    editor.EditorImage.LoadedLength = static_cast<std::uint32_t>(bytes.size());
    editor.TablePosition = 0;
    editor.TableFound = false;
    return editor;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qv::fuzz::ProcessTempFile file("patched.bin");
    const std::span<const std::uint8_t> original(
        data, std::min<std::size_t>(size, qv::kProgramImageSize));
    qv::ImageEditor& editor = EditorWith(original);
    qv::SearchParameterTable(editor);
    CheckSearch(editor, original);

    FuzzedDataProvider input(data, size);
    const qv::ParameterTexts texts = TextsFrom(input);
    file.Remove();
    std::optional<qv::SaveReport> report;
    try {
        report = qv::SaveParameterTable(editor, texts, file.Path().string());
    } catch (const qv::ConversionError&) {
        Require(editor.TableFound, "only a save with a table converts IDs");
        Require(!file.Read().has_value(), "a save stopped by an ID text writes no file");
    }
    if (!editor.TableFound) {
        CheckSaveWithoutTable(editor, *report, original, file);
        return 0;
    }
    CheckTableAfterSave(editor, texts, original);
    Require(report.has_value() == (ConvertedId(texts.vid) && ConvertedId(texts.pid)),
            "a save stops exactly when an ID text does not convert");
    if (report) CheckWrittenFile(editor, *report, file);
    return 0;
}
