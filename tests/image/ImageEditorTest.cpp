// The image editor: loading a file into its own image, finding the table, writing the new
// values and saving the new file with its sum.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "TableImages.h"
#include "common/HexFormat.h"
#include "common/TypedNumber.h"
#include "image/ImageEditor.h"
#include "tests/support/TempDir.h"

namespace {

using qv::SaveOutcome;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One hexadecimal record of data at a 16-bit address; type and checksum are not examined.
std::string HexRecord(std::uint16_t address, std::string_view data) {
    std::string record =
        ":" + qv::Hex2(static_cast<std::uint8_t>(data.size())) + qv::Hex4(address) + "00";
    for (const char c : data) record += qv::Hex2(static_cast<std::uint8_t>(c));
    return record + "00\r\n";
}

class ImageEditorTest : public ::testing::Test {
protected:
    // What "Current File" does after its dialog: load, then search.
    bool Open(const std::filesystem::path& path) {
        qv::LoadEditorImage(editor, path.string());
        return qv::SearchParameterTable(editor);
    }
    qv::SaveReport Save() { return qv::SaveParameterTable(editor, texts, newFile.string()); }
    std::string Table(std::uint32_t position) const {
        return {editor.EditorImage.Bytes.begin() + position,
                editor.EditorImage.Bytes.begin() + position + qv::kTableLength};
    }

    TempDir dir;
    qv::ImageEditor editor;
    qv::ParameterTexts texts = qv::DefaultParameterTexts();
    std::filesystem::path newFile = dir.Path("new.bin");
};

TEST_F(ImageEditorTest, SaveWritesTheNewFieldsAndCopiesEverythingElse) {
    const std::string source = WithTableAt(Background(0x2000), 0x1000);
    ASSERT_TRUE(Open(dir.Write("firmware.bin", source)));
    EXPECT_EQ(editor.TablePosition, 0x1000u);
    texts.strings[0] = "ABC";
    texts.strings[1] = std::string(32, 'p') + "cut";
    texts.strings[2] = "";
    texts.vid = "12AB";

    const qv::SaveReport report = Save();
    ASSERT_EQ(report.outcome, SaveOutcome::Saved);
    const std::string written = ReadFile(newFile);
    ASSERT_EQ(written.size(), source.size());
    EXPECT_EQ(written.substr(0x1000, 13), kMarker);
    EXPECT_EQ(written.substr(0x100D, 4), "\x12\xAB\xF8\x2D");
    EXPECT_EQ(written.substr(0x1011, 32), "ABC" + std::string(29, ' '));
    EXPECT_EQ(written.substr(0x1031, 32), std::string(32, 'p'));
    EXPECT_EQ(written.substr(0x1051, 32), std::string(32, ' '));
    EXPECT_EQ(written.substr(0x1091, 32), "Record Interface" + std::string(16, ' '));
    EXPECT_EQ(written.substr(0, 0x1000), source.substr(0, 0x1000));
    EXPECT_EQ(written.substr(0x10B1), source.substr(0x10B1));
    EXPECT_EQ(report.sum, SumOf(written));
    EXPECT_EQ(report.text, qv::Hex4(SumOf(written)));
}

TEST_F(ImageEditorTest, SavingTwiceWritesTheSameFileAndSum) {
    ASSERT_TRUE(Open(dir.Write("firmware.bin", WithTableAt(Background(0x800), 0x300))));
    const qv::SaveReport first = Save();
    const std::string firstFile = ReadFile(newFile);
    const qv::SaveReport second = Save();
    EXPECT_EQ(second.outcome, SaveOutcome::Saved);
    EXPECT_EQ(second.text, first.text);
    EXPECT_EQ(ReadFile(newFile), firstFile);
}

TEST_F(ImageEditorTest, OfTwoTablesTheFirstIsEdited) {
    const std::string source = WithTableAt(WithTableAt(Background(0x800), 0x500), 0x100);
    ASSERT_TRUE(Open(dir.Write("firmware.bin", source)));
    Save();
    const std::string written = ReadFile(newFile);
    EXPECT_EQ(written.substr(0x111, 15), "Morrowfieldtone");
    EXPECT_EQ(written.substr(0x500), source.substr(0x500));
}

TEST_F(ImageEditorTest, ATableAtOffsetZeroIsFoundAndEdited) {
    ASSERT_TRUE(Open(dir.Write("firmware.bin", WithTableAt(Background(0x200), 0))));
    EXPECT_EQ(editor.TablePosition, 0u);
    ASSERT_EQ(Save().outcome, SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(newFile).substr(13, 4), "\x6B\x94\xF8\x2D");
}

TEST_F(ImageEditorTest, AHexSourceIsSavedAsItsFlatBinaryImageWithErasedGaps) {
    ASSERT_TRUE(
        Open(dir.Write("firmware.h00", HexRecord(0x0020, OldTable()) +
                                           HexRecord(0x0100, "\xAA\xBB") + ":00000001FF\r\n")));
    EXPECT_EQ(editor.TablePosition, 0x20u);
    ASSERT_EQ(Save().outcome, SaveOutcome::Saved);
    const std::string written = ReadFile(newFile);
    ASSERT_EQ(written.size(), 0x102u);
    EXPECT_EQ(written.substr(0, 0x20), std::string(0x20, '\xFF'));
    EXPECT_EQ(written.substr(0x20, qv::kTableLength), Table(0x20));
    EXPECT_EQ(written.substr(0xD1, 0x2F), std::string(0x2F, '\xFF'));
    EXPECT_EQ(written.substr(0x100), "\xAA\xBB");
}

TEST_F(ImageEditorTest, AnImageLargerThan256KiBIsEditedAndSavedWhole) {
    const std::string source = WithTableAt(Background(0x60000), 0x50000);
    ASSERT_TRUE(Open(dir.Write("large.bin", source)));
    EXPECT_EQ(editor.TablePosition, 0x50000u);
    ASSERT_EQ(Save().outcome, SaveOutcome::Saved);
    const std::string written = ReadFile(newFile);
    ASSERT_EQ(written.size(), source.size());
    EXPECT_EQ(written.substr(0x50011, 15), "Morrowfieldtone");
    EXPECT_EQ(written.substr(0x500B1), source.substr(0x500B1));
}

// A file that does not load, one without a marker, or one that ends inside its table, each after
// a good one: the editor refuses it and " Save" changes and writes nothing, though the earlier
// table was found.
TEST_F(ImageEditorTest, SaveWritesNothingWhileTheCurrentFileHasNoTable) {
    const std::string table = WithTableAt(Background(0x400), 0x100);
    const std::filesystem::path refused[] = {dir.Write("firmware.txt", table), "ab",
                                             dir.Path("missing.bin"),
                                             dir.Write("plain.bin", Background(0x400)),
                                             dir.Write("short.bin", table.substr(0, 0x100 + 176))};
    for (const auto& path : refused) {
        ASSERT_TRUE(Open(dir.Write("good.bin", table)));
        EXPECT_FALSE(Open(path)) << path;
        EXPECT_FALSE(editor.TableFound);
        EXPECT_STREQ(qv::LoadStatusText(editor.TableFound), "Load file is invalid for modify");

        const qv::SaveReport report = Save();
        EXPECT_EQ(report.outcome, SaveOutcome::NoTable);
        EXPECT_EQ(report.text, "Load file is invalid for modify");
        EXPECT_FALSE(std::filesystem::exists(newFile));
    }
    EXPECT_STREQ(qv::LoadStatusText(true), "Load file ready");
}

TEST_F(ImageEditorTest, ANewFileThatCannotBeWrittenIsReportedWithoutASum) {
    ASSERT_TRUE(Open(dir.Write("firmware.bin", WithTableAt(Background(0x400), 0x100))));
    newFile = dir.Path("no-such-folder") / "new.bin";
    const qv::SaveReport report = Save();
    EXPECT_EQ(report.outcome, SaveOutcome::NotWritten);
    EXPECT_EQ(report.text, "Cannot write " + newFile.string());
}

// The strings go in first, then the VID, then the PID: a text that does not convert stops the
// save there, with what came before it already in the image and no file written.
TEST_F(ImageEditorTest, AnIdTextThatDoesNotConvertStopsTheSaveAtItsStep) {
    ASSERT_TRUE(Open(dir.Write("firmware.bin", WithTableAt(Background(0x400), 0x100))));
    texts.strings[0] = "ABC";
    texts.vid = "12G4";
    try {
        Save();
        ADD_FAILURE() << "no conversion error";
    } catch (const qv::ConversionError& error) {
        EXPECT_STREQ(error.what(), "'0x12G4' is not a valid integer value");
    }
    EXPECT_EQ(Table(0x100).substr(17, 3), "ABC");
    EXPECT_EQ(Table(0x100).substr(13, 4), "\x01\x02\x03\x04");

    texts.vid = "12AB";
    texts.pid = "";
    EXPECT_THROW(Save(), qv::ConversionError);
    EXPECT_EQ(Table(0x100).substr(13, 4), "\x12\xAB\x03\x04");
    EXPECT_FALSE(std::filesystem::exists(newFile));

    // A value wider than 16 bits converts; its low 16 bits are stored.
    texts.pid = "FFFFF82D";
    ASSERT_EQ(Save().outcome, SaveOutcome::Saved);
    EXPECT_EQ(Table(0x100).substr(13, 4), "\x12\xAB\xF8\x2D");
}

}  // namespace
