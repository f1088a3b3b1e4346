// The "Gen. Bin File" page as the user drives it: choosing an image, checking it, choosing the
// new file and saving it, and what each refusal looks like.
#include <algorithm>
#include <CLI/CLI.hpp>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <array>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "tests/app/WindowBench.h"
#include "tests/image/TableImages.h"
#include "tests/support/CapturedOutput.h"

namespace {

const QString kInvalidForModify("Load file is invalid for modify");
const std::array<const char*, 4> kPageControls{"btnCheck", "GroupBox9", "btnSaveBitBin",
                                               "btnSaveBin"};

QByteArray Bytes(const std::string& bytes) { return QByteArray::fromStdString(bytes); }

QString SumText(const QByteArray& bytes) {
    return QString::asprintf("%04X", SumOf(bytes.toStdString()));
}

// A table as the editor writes it, built field by field from the values.
std::string NewTable(std::uint16_t vid, std::uint16_t pid,
                     const std::array<std::string, 5>& strings) {
    std::string table(kMarker);
    for (const std::uint16_t id : {vid, pid}) {
        table += static_cast<char>(id >> 8);
        table += static_cast<char>(id & 0xFF);
    }
    for (std::string field : strings) {
        field.resize(32, ' ');
        table += field;
    }
    return table;
}

// Runs "qvusb image patch" with the arguments and returns what it printed.
std::string RunImagePatch(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"qvusb", "image", "patch"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    CLI::App app;
    const qv::cli::GlobalOptions options;
    qv::cli::AddImageCommands(app, options);
    CapturedOutput printed;
    app.parse(static_cast<int>(argv.size()), argv.data());
    return printed.Text();
}

struct Bench : WindowBench {
    Bench() : WindowBench(StartLayout::Engineering) {}

    QString Text(const char* name) const {
        if (auto* label = window->findChild<QLabel*>(QLatin1String(name))) return label->text();
        return Child<QLineEdit>(name).text();
    }
    void Type(const char* edit, const QString& text) const { Child<QLineEdit>(edit).setText(text); }
    void Click(const char* button) const { Child<QPushButton>(button).click(); }

    void ChooseCurrentFile(const QString& path) {
        window->OpenBinFileDialog.setNextFileName(path);
        Click("CurrentFileBitBtn");
    }
    void ChooseNewFile(const QString& path) {
        window->SaveBinFIleDialog.setNextFileName(path);
        Click("btnSaveBitBin");
    }
    QString NewPath(const char* name) const { return settingsDir.filePath(QLatin1String(name)); }

    std::vector<bool> Enabled() const {
        std::vector<bool> enabled;
        for (const char* name : kPageControls) enabled.push_back(Child(name).isEnabled());
        return enabled;
    }
};

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::string kTableImage = WithTableAt(Background(0x2000), 0x1000);
const std::array<std::string, 5> kDefaultStrings{"Morrowfieldtone", "Morrowfieldtone UAC22",
                                                 "QVUA170405", "Primary Play Interface",
                                                 "Record Interface"};

}  // namespace

class BinFilePageTest : public QObject {
    Q_OBJECT

private slots:
    void pageStartsWithItsCaptionsDefaultsAndOnlyTheFileButtonEnabled() {
        Bench bench;
        QCOMPARE(bench.Text("Label13"),
                 QString("Modify User parameter and save to new Binary File"));
        QCOMPARE(bench.Child<QGroupBox>("GroupBox9").title(),
                 QString("User information New Setting "));
        QCOMPARE(bench.Child<QPushButton>("btnSaveBin").text(), QString(" Save"));
        QCOMPARE(bench.Text("lblCurrentFilePath"), QString("..."));
        QCOMPARE(bench.Text("lblSaveBinPath"), QString("..."));
        const QStringList shown{bench.Text("labedtNewVID"), bench.Text("labedtNewPID"),
                                bench.Text("edtNewStr0"),   bench.Text("edtNewStr1"),
                                bench.Text("edtNewStr2"),   bench.Text("edtNewStr3"),
                                bench.Text("edtNewStr4")};
        QCOMPARE(shown, (QStringList{"6B94", "F82D", "Morrowfieldtone", "Morrowfieldtone UAC22",
                                     "QVUA170405", "Primary Play Interface", "Record Interface"}));
        QVERIFY(bench.Child("CurrentFileBitBtn").isEnabled());
        QCOMPARE(bench.Enabled(), (std::vector<bool>{false, false, false, false}));
    }

    // Load, change three fields, choose the new file and save: the new file is the source with
    // only the table rewritten, and its sum is shown. Saving again writes the same file; the
    // source is never changed.
    void savingWritesThePatchedImageAndShowsItsSum() {
        Bench bench;
        const QString source = bench.WriteFile("firmware.bin", Bytes(kTableImage));
        bench.ChooseCurrentFile(source);
        QCOMPARE(bench.Text("lblCurrentFilePath"), QDir::toNativeSeparators(source));
        QCOMPARE(bench.Text("lblStatusReport"), QString("Load file ready"));
        bench.Type("labedtNewVID", "12AB");
        bench.Type("edtNewStr0", QString::fromUtf8("Müller €"));
        bench.Type("edtNewStr2", "");
        const QString target = bench.NewPath("patched.bin");
        bench.ChooseNewFile(target);
        QCOMPARE(bench.Text("lblSaveBinPath"), QDir::toNativeSeparators(target));

        bench.Click("btnSaveBin");
        std::array<std::string, 5> strings = kDefaultStrings;
        strings[0] = "M\xFCller \x80";  // one byte each in the Windows code page
        strings[2] = "";
        const QByteArray expected =
            Bytes(WithTableAt(kTableImage, 0x1000, NewTable(0x12AB, 0xF82D, strings)));
        QCOMPARE(Contents(target), expected);
        QCOMPARE(bench.Text("lblSaveDone"), SumText(expected));

        bench.Click("btnCheck");
        QCOMPARE(bench.Text("lblSaveDone"), QString());
        bench.Click("btnSaveBin");
        QCOMPARE(Contents(target), expected);
        QCOMPARE(bench.Text("lblSaveDone"), SumText(expected));
        QCOMPARE(Contents(source), Bytes(kTableImage));
        QCOMPARE(bench.Messages(), QStringList());
    }

    // Files with no table to edit are reported, and Save then writes nothing, even with the
    // controls still enabled from an earlier file. No control is ever disabled again.
    void aFileWithoutATableIsRefusedAndSaveWritesNothing() {
        Bench bench;
        bench.ChooseCurrentFile(bench.WriteFile("plain.bin", Bytes(Background(0x400))));
        QCOMPARE(bench.Text("lblStatusReport"), kInvalidForModify);
        QCOMPARE(bench.Enabled(), (std::vector<bool>{true, false, false, false}));

        bench.ChooseCurrentFile(bench.WriteFile("firmware.bin", Bytes(kTableImage)));
        bench.ChooseNewFile(bench.NewPath("new.bin"));
        QCOMPARE(bench.Enabled(), (std::vector<bool>{true, true, true, true}));

        // The same bytes under a name that selects no loader, a whole marker whose table does
        // not fit before the end of the file, a good table in a file larger than the image
        // (whose end would be lost), and a file that is not there. A cause of the file's own is
        // named under the status, without the path shown above it.
        const std::pair<QString, const char*> refused[] = {
            {bench.WriteFile("firmware.txt", Bytes(kTableImage)), "asks for no loader"},
            {bench.WriteFile("cut.bin", Bytes(kTableImage.substr(0, 0x1000 + 100))), nullptr},
            {bench.WriteFile("large.bin", Bytes(kTableImage + Background(0xC0000))),
             "bytes, larger than the 786432-byte image"},
            {bench.NewPath("missing.bin"), "no such file"}};
        for (const auto& [file, cause] : refused) {
            bench.ChooseCurrentFile(file);
            const QStringList status = bench.Text("lblStatusReport").split('\n');
            QCOMPARE(status.first(), kInvalidForModify);
            QCOMPARE(status.size(), cause ? 2 : 1);
            QVERIFY2(!cause || (status.last().contains(cause) &&
                                !status.last().contains(QFileInfo(file).fileName())),
                     qPrintable(status.last()));
            bench.Click("btnCheck");
            bench.Click("btnSaveBin");
            QCOMPARE(bench.Text("lblSaveDone"), kInvalidForModify);
            QVERIFY(!QFile::exists(bench.NewPath("new.bin")));
            QCOMPARE(bench.Enabled(), (std::vector<bool>{true, true, true, true}));
        }

        bench.ChooseCurrentFile(QString());  // cancelled: the last file stays
        QCOMPARE(bench.Text("lblCurrentFilePath"),
                 QDir::toNativeSeparators(bench.NewPath("missing.bin")));
        QCOMPARE(bench.Messages(), QStringList());
    }

    // A VID or PID that is no hexadecimal number stops the save with the conversion error: no
    // file is written and the last sum stays.
    void aBadIdTextShowsTheConversionErrorAndWritesNoFile() {
        Bench bench;
        bench.ChooseCurrentFile(bench.WriteFile("firmware.bin", Bytes(kTableImage)));
        bench.ChooseNewFile(bench.NewPath("first.bin"));
        bench.Click("btnSaveBin");
        const QString firstSum = bench.Text("lblSaveDone");
        QCOMPARE(firstSum.size(), 4);
        bench.ChooseNewFile(bench.NewPath("second.bin"));

        bench.Type("labedtNewVID", "12G4");
        bench.Click("btnSaveBin");
        bench.Type("labedtNewVID", "12AB");
        bench.Type("labedtNewPID", "");
        bench.Click("btnSaveBin");
        QCOMPARE(bench.Messages(), (QStringList{"'0x12G4' is not a valid integer value",
                                                "'0x' is not a valid integer value"}));
        QVERIFY(!QFile::exists(bench.NewPath("second.bin")));
        QCOMPARE(bench.Text("lblSaveDone"), firstSum);
    }

    void anUnwritableNewFileShowsCannotWriteAndNoSum() {
        Bench bench;
        bench.ChooseCurrentFile(bench.WriteFile("firmware.bin", Bytes(kTableImage)));
        const QString target = bench.NewPath("no such folder/new.bin");
        bench.ChooseNewFile(target);
        bench.Click("btnSaveBin");
        QCOMPARE(bench.Text("lblSaveDone"), "Cannot write " + QDir::toNativeSeparators(target));
        QVERIFY(!QFile::exists(target));
    }

    // The editor keeps its own copy: loading a file here leaves what the ISP page programs
    // alone, so a hidden page cannot change what "Auto" writes.
    void loadingAFileLeavesTheIspImageAlone() {
        Bench bench;
        bench.Tick();
        bench.ChooseCurrentFile(bench.WriteFile("firmware.bin", Bytes(kTableImage)));
        bench.Click("btnEnterISP");
        bench.Click("btnUSBErase");
        bench.Click("btnUSBProgram");
        const auto flash = bench.userDevice->Flash().Contents();
        QVERIFY(std::all_of(flash.begin(), flash.begin() + 0x4000,
                            [](std::uint8_t byte) { return byte == 0xFF; }));
        QCOMPARE(bench.Text("lblUSBChecksum"), QString("Checksum : 0x0000"));
    }

    // For the same source and values the page writes what "qvusb image patch" writes, and shows
    // the sum it prints.
    void pageWritesWhatTheCommandLineWrites() {
        Bench bench;
        const QString source = bench.WriteFile("firmware.bin", Bytes(kTableImage));
        bench.ChooseCurrentFile(source);
        bench.Type("labedtNewPID", "a1b2");
        bench.Type("edtNewStr1", "Line Out");
        bench.Type("edtNewStr4", QString(40, 'r'));  // the page cuts what the command refuses
        bench.ChooseNewFile(bench.NewPath("page.bin"));
        bench.Click("btnSaveBin");

        const std::string commandFile = bench.NewPath("cli.bin").toStdString();
        const std::string printed =
            RunImagePatch({source.toStdString(), commandFile, "--pid", "a1b2", "--product",
                           "Line Out", "--record", std::string(32, 'r'),
                           // the page writes its own values where the command keeps the image's
                           "--vid", "6b94", "--manufacturer", "Morrowfieldtone", "--serial",
                           "QVUA170405", "--play", "Primary Play Interface"});

        QCOMPARE(Contents(bench.NewPath("page.bin")),
                 Contents(QString::fromStdString(commandFile)));
        QCOMPARE("Sum: " + bench.Text("lblSaveDone") + "\n", QString::fromStdString(printed));
    }
};

QTEST_MAIN(BinFilePageTest)
#include "BinFilePageTest.moc"
