#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include "tests/app/WindowBench.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include <QDir>
#include <QScopeGuard>

#include "settings/RegistryStore.h"
#endif

namespace {

const QStringList kAllSteps(std::begin(kIspStepBoxes), std::end(kIspStepBoxes));
const char* const kRangeControls[] = {"lbledISPStart", "lbledISPRange", "Label20", "Label21"};

QStringList CheckedSteps(const WindowBench& bench) {
    QStringList checked;
    for (const char* box : kIspStepBoxes)
        if (bench.Child<QCheckBox>(box).isChecked()) checked << box;
    return checked;
}

// Sets the ISP page's options the way the user would leave them before closing.
void ChooseIspOptions(const WindowBench& bench, const QStringList& steps, bool wholeFlash,
                      const QString& start, const QString& size) {
    for (const char* box : kIspStepBoxes)
        bench.Child<QCheckBox>(box).setChecked(steps.contains(QLatin1String(box)));
    bench.Child<QRadioButton>(wholeFlash ? "rbnRange0" : "rbnRange1").setChecked(true);
    bench.Child<QLineEdit>("lbledISPStart").setText(start);
    bench.Child<QLineEdit>("lbledISPRange").setText(size);
}

void VerifyRangeEditsEnabled(const WindowBench& bench, bool enabled) {
    for (const char* name : kRangeControls)
        QVERIFY2(bench.Child(name).isEnabled() == enabled, name);
}

// The options a window shows when the stored ISPSetting is missing or unreadable.
void VerifyDefaultIspOptions(const WindowBench& bench) {
    QStringList withoutProtect = kAllSteps;
    withoutProtect.removeOne("chkProtect");
    QCOMPARE(CheckedSteps(bench), withoutProtect);
    QVERIFY(bench.Child<QRadioButton>("rbnRange0").isChecked());
    QCOMPARE(bench.Child<QLineEdit>("lbledISPStart").text(), QString("64"));
    QCOMPARE(bench.Child<QLineEdit>("lbledISPRange").text(), QString("64"));
    VerifyRangeEditsEnabled(bench, false);
}

QString MakeFile(const WindowBench& bench, const char* name) {
    const QString path = bench.settingsDir.filePath(QLatin1String(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    return path;
}

QStringList ComboItems(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

#ifdef _WIN32
constexpr const char* kRegistryKey = "Software\\Quorvex\\USBTool";
const QStringList kRegistryRunSteps{"chkISPMode", "chkErase", "chkProgram"};

// A program file that outlives one run of the tests.
QString RegistryRunFile() {
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("registry-run.bin"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    return path;
}

std::optional<std::uint32_t> StoredIspSetting() {
    qv::RegistryStore registry;
    return registry.OpenForReading() ? registry.ReadNumber("ISPSetting") : std::nullopt;
}

// Gives the key the access control list in sddl; true when it took.
bool SetKeyAccess(const char* sddl) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr) &&
               RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return set;
}
#endif

}  // namespace

class WindowSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunKeepsTheDesignStatesAndLooksForTheDefaultDevice() {
        WindowBench bench;
        QCOMPARE(CheckedSteps(bench), kAllSteps);
        QVERIFY(bench.Child<QRadioButton>("rbnRange0").isChecked());
        QCOMPARE(bench.Child<QLineEdit>("lbledISPStart").text(), QString("32"));
        QCOMPARE(bench.Child<QLineEdit>("lbledISPRange").text(), QString("32"));
        QCOMPARE(bench.Child<QComboBox>("cbxReadISPFile").count(), 0);

        bench.Tick();
        QCOMPARE(bench.device.GetMatchText(), std::string("vid_6b94&pid_f82d"));
        QVERIFY(bench.device.IsPresent());
    }

    void ispOptionsAndProgramFileSurviveARestart_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("wholeFlash");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("size");
        QTest::addColumn<uint>("stored");
        QTest::addColumn<QString>("restoredStart");

        QTest::newRow("all steps, whole flash, 40 KB at 2040 KB") << kAllSteps << true << "40"
                                                                  << "2040" << 0x0005FFFFu << "40";
        // Without Flash Protect and Verify, on an assigned range; 20 KB is kept in 8 KB units.
        QTest::newRow("some steps, assigned range, 20 KB")
            << QStringList{"chkISPMode", "chkReadFile", "chkErase", "chkBlank", "chkProgram"}
            << false << "20"
            << "64" << 0x0002083Du << "16";
    }

    void ispOptionsAndProgramFileSurviveARestart() {
        QFETCH(QStringList, steps);
        QFETCH(bool, wholeFlash);
        QFETCH(QString, start);
        QFETCH(QString, size);
        QFETCH(uint, stored);
        QFETCH(QString, restoredStart);
        WindowBench bench;
        const QString programFile = MakeFile(bench, "firmware.bin");
        ChooseIspOptions(bench, steps, wholeFlash, start, size);
        bench.Child<QComboBox>("cbxReadISPFile").setCurrentText(programFile);

        bench.Reopen();
        QCOMPARE(bench.Saved("ISPSetting").toUInt(), stored);
        QCOMPARE(CheckedSteps(bench), steps);
        QCOMPARE(bench.Child<QRadioButton>("rbnRange0").isChecked(), wholeFlash);
        QCOMPARE(bench.Child<QRadioButton>("rbnRange1").isChecked(), !wholeFlash);
        QCOMPARE(bench.Child<QLineEdit>("lbledISPStart").text(), restoredStart);
        QCOMPARE(bench.Child<QLineEdit>("lbledISPRange").text(), size);
        VerifyRangeEditsEnabled(bench, !wholeFlash);
        // Stored as typed, with Qt's forward slashes, the path comes back as the system writes
        // it (with backslashes on Windows).
        const auto& history = bench.Child<QComboBox>("cbxReadISPFile");
        QCOMPARE(ComboItems(history), QStringList{QDir::toNativeSeparators(programFile)});
        QCOMPARE(history.currentText(), QDir::toNativeSeparators(programFile));
    }

    // Step 14 of start-up: the edit shows the default while detection keeps the saved VID, and
    // that VID is saved again at close.
    void savedVidDrivesDetectionWhileTheEditShowsTheDefault() {
        WindowBench bench;
        bench.Child<QCheckBox>("chkDetectUSB").click();
        auto& vid = bench.Child<QLineEdit>("lbledtVID");
        vid.setText("1234");
        QTest::keyClick(&vid, Qt::Key_Return);

        bench.Reopen();
        QCOMPARE(bench.Child<QLineEdit>("lbledtVID").text(), QString("6b94"));
        bench.Tick();
        QCOMPARE(bench.device.GetMatchText(), std::string("vid_1234&pid_f82d"));
        QCOMPARE(bench.Child<QLabel>("lblDetectDevice").text(), QString("No device is available"));
        bench.window->close();
        QCOMPARE(bench.Saved("UsbVIDSet").toString(), QString("1234"));
    }

    // Values edited by hand into something unreadable count as missing (the store's own tests
    // go through the forms of it): the documented defaults apply.
    void handEditedValuesThatDoNotReadFallBackToDefaults() {
        WindowBench bench(StartLayout::User, false);
        bench.WriteSettingsFile("[General]\nISPSetting=0x5FFFF\nUsbVIDSet=\nUsbPIDSet=a, b\n");
        bench.OpenWindow();
        VerifyDefaultIspOptions(bench);
        bench.Tick();
        QCOMPARE(bench.device.GetMatchText(), std::string("vid_6b94&pid_f82d"));
    }

    void aProgramFileDeletedSinceIsNotRestored() {
        WindowBench bench;
        const QString programFile = MakeFile(bench, "firmware.bin");
        bench.Child<QComboBox>("cbxReadISPFile").setCurrentText(programFile);
        bench.window->close();
        QFile::remove(programFile);

        bench.OpenWindow();
        const auto& history = bench.Child<QComboBox>("cbxReadISPFile");
        QCOMPARE(history.count(), 0);
        QCOMPARE(history.currentText(), QString());
    }

    void aRangeTextThatIsNoNumberKeepsTheStoredSetting() {
        WindowBench bench;
        ChooseIspOptions(bench, kAllSteps, true, "40", "2040");
        bench.Reopen();

        bench.Child<QLineEdit>("lbledISPStart").setText("4O");  // a letter O
        bench.Child<QCheckBox>("chkVerify").setChecked(false);
        bench.Child<QComboBox>("cbxReadISPFile").setCurrentText("/elsewhere/new.bin");
        bench.window->close();
        QCOMPARE(bench.Saved("ISPSetting").toUInt(), 0x0005FFFFu);
        QCOMPARE(bench.Saved("ISPFileName").toString(), QString("/elsewhere/new.bin"));

        bench.OpenWindow();
        QCOMPARE(CheckedSteps(bench), kAllSteps);
        QCOMPARE(bench.Child<QLineEdit>("lbledISPStart").text(), QString("40"));
    }

#ifdef _WIN32
    // The Windows program keeps its settings under HKEY_LOCAL_MACHINE: what one run saves at
    // close, the next run opens with (the tests run these two as separate runs too).
    void registryWrittenByOneRun() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRegistryKey);
        qv::RegistryStore registry;
        WindowBench bench(registry);
        ChooseIspOptions(bench, kRegistryRunSteps, false, "20", "64");
        bench.Child<QComboBox>("cbxReadISPFile").setCurrentText(RegistryRunFile());
        bench.window->close();
        QVERIFY(bench.Messages().isEmpty());
    }

    void registryReadByTheNextRun() {
        qv::RegistryStore registry;
        WindowBench bench(registry);
        QCOMPARE(CheckedSteps(bench), kRegistryRunSteps);
        QVERIFY(bench.Child<QRadioButton>("rbnRange1").isChecked());
        QCOMPARE(bench.Child<QLineEdit>("lbledISPStart").text(), QString("16"));
        QCOMPARE(bench.Child<QLineEdit>("lbledISPRange").text(), QString("64"));
        QCOMPARE(bench.Child<QComboBox>("cbxReadISPFile").currentText(),
                 QDir::toNativeSeparators(RegistryRunFile()));
    }

    // A standard user may read the key but not write it: closing saves nothing and says nothing.
    void aKeyWithoutWriteAccessSavesNothingAndSaysNothing() {
        const auto before = StoredIspSetting();
        QVERIFY(before);
        QVERIFY(SetKeyAccess("D:(D;;0x6;;;WD)(A;;KA;;;WD)"));  // no values, no subkeys
        const auto restore = qScopeGuard([] { SetKeyAccess("D:(A;;KA;;;WD)"); });
        qv::RegistryStore registry;
        WindowBench bench(registry);
        ChooseIspOptions(bench, kAllSteps, true, "40", "2040");
        bench.window->close();
        QVERIFY(bench.Messages().isEmpty());
        QCOMPARE(StoredIspSetting(), before);
    }
#endif
};

QTEST_MAIN(WindowSettingsTest)
#include "WindowSettingsTest.moc"
