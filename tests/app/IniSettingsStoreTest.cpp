#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "app/IniSettingsStore.h"

namespace {

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Reads through a fresh copy of the file, so the values come from the bytes on disk and not
// from what Qt still holds of the file in this process.
IniSettingsStore FreshCopy(const QTemporaryDir& dir, const QString& path,
                           const QString& machineWide = {}) {
    const QString copy = dir.filePath(QStringLiteral("copy.ini"));
    QFile::copy(path, copy);
    return IniSettingsStore(copy, machineWide);
}

// While it lives, this thread cannot bypass file permissions, so a read-only folder stops
// root as it stops any other user. The capabilities are the thread's own; the ones dropped
// stay permitted and are taken back at the end.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &header_, reduced);
    }
    ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

}  // namespace

class IniSettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void nothingStoredUntilTheFirstSave() {
        QTemporaryDir dir;
        IniSettingsStore store(dir.filePath("Quorvex/USBTool.ini"));
        QVERIFY(!store.OpenForReading());
        QVERIFY(!QFile::exists(store.FilePath()));

        QVERIFY(store.OpenForWriting());
        store.WriteText("UsbVIDSet", "6b94");
        store.Close();
        QVERIFY(store.OpenForReading());
        QCOMPARE(store.ReadText("UsbVIDSet"), std::optional<std::string>("6b94"));
        store.Close();
    }

    void valuesComeBackWholeFromTheFile_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("number");
        QTest::newRow("long path") << "/srv/" + QString(300, 'x') + ".bin" << 0u;
        QTest::newRow("non-ASCII") << QString::fromUtf8("/home/jürgen/ファーム.bin") << 0x0005FFFFu;
        QTest::newRow("INI syntax inside") << "a, b; c = d #e [f]" << 0xFFFFFFFFu;
        QTest::newRow("looks like a Qt type") << "@ByteArray(6b94)" << 1u;
        QTest::newRow("quotes and backslashes") << R"("C:\fw\new.bin")" << 2u;
        QTest::newRow("empty") << "" << 3u;
    }

    void valuesComeBackWholeFromTheFile() {
        QFETCH(QString, text);
        QFETCH(uint, number);
        QTemporaryDir dir;
        IniSettingsStore store(dir.filePath("USBTool.ini"));
        QVERIFY(store.OpenForWriting());
        store.WriteNumber("ISPSetting", number);
        store.WriteText("ISPFileName", text.toStdString());
        store.Close();

        IniSettingsStore copy = FreshCopy(dir, store.FilePath());
        QVERIFY(copy.OpenForReading());
        QCOMPARE(copy.ReadNumber("ISPSetting"), std::optional<std::uint32_t>(number));
        QCOMPARE(copy.ReadText("ISPFileName"), std::optional<std::string>(text.toStdString()));
        copy.Close();
    }

    // A hand-edited value that is not what the tool writes counts as missing.
    void handWrittenValues_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QVariant>("number");  // invalid: missing
        QTest::addColumn<QVariant>("text");
        QTest::newRow("decimal number")
            << QByteArray("ISPSetting=393215") << QVariant(393215u) << QVariant();
        QTest::newRow("number with a sign")
            << QByteArray("ISPSetting=-1") << QVariant() << QVariant();
        QTest::newRow("number too large")
            << QByteArray("ISPSetting=4294967296") << QVariant() << QVariant();
        QTest::newRow("hexadecimal number")
            << QByteArray("ISPSetting=0x5FFFF") << QVariant() << QVariant();
        QTest::newRow("plain text")
            << QByteArray("ISPFileName=/data/fw.bin") << QVariant() << QVariant("/data/fw.bin");
        QTest::newRow("quoted text with a comma") << QByteArray(R"(ISPFileName="/data/fw, v2.bin")")
                                                  << QVariant() << QVariant("/data/fw, v2.bin");
        QTest::newRow("unquoted comma: a list")
            << QByteArray("ISPFileName=a, b") << QVariant() << QVariant();
        QTest::newRow("bytes") << QByteArray("ISPFileName=@ByteArray(fw.bin)") << QVariant()
                               << QVariant();
    }

    void handWrittenValues() {
        QFETCH(QByteArray, line);
        QFETCH(QVariant, number);
        QFETCH(QVariant, text);
        QTemporaryDir dir;
        IniSettingsStore store(dir.filePath("USBTool.ini"));
        WriteFile(store.FilePath(), "[General]\n" + line + "\n");
        QVERIFY(store.OpenForReading());
        const auto readNumber = store.ReadNumber("ISPSetting");
        const auto readText = store.ReadText("ISPFileName");
        store.Close();
        QCOMPARE(readNumber.has_value(), number.isValid());
        if (readNumber) QCOMPARE(*readNumber, number.toUInt());
        QCOMPARE(readText.has_value(), text.isValid());
        if (readText) QCOMPARE(QString::fromStdString(*readText), text.toString());
    }

    void aPlaceThatCannotBeCreatedSavesNothing() {
        QTemporaryDir dir;
        WriteFile(dir.filePath("Quorvex"), "not a folder");
        IniSettingsStore store(dir.filePath("Quorvex/USBTool.ini"));
        QVERIFY(!store.OpenForWriting());
        store.Close();
        QVERIFY(!store.OpenForReading());
    }

    // The file stays writable but its folder does not: the new values cannot be written through
    // a temporary file, and the old file must stay whole rather than be overwritten in place.
    void aFailedWriteLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        const QString folder = dir.filePath("Quorvex");
        QDir().mkpath(folder);
        IniSettingsStore store(folder + "/USBTool.ini");
        QVERIFY(store.OpenForWriting());
        store.WriteText("ISPFileName", "/data/old.bin");
        store.Close();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        {
            const WithoutPermissionOverride asAnyUser;
            QFile probe(folder + "/probe");
            QVERIFY(!probe.open(QIODevice::WriteOnly));
            if (store.OpenForWriting()) {
                store.WriteText("ISPFileName", "/data/" + std::string(5000, 'n') + ".bin");
                store.Close();
            }
        }
        IniSettingsStore copy = FreshCopy(dir, store.FilePath());
        QVERIFY(copy.OpenForReading());
        QCOMPARE(copy.ReadText("ISPFileName"), std::optional<std::string>("/data/old.bin"));
        copy.Close();
    }

    // Saved to the user's own file under a config home of the user's; a value the user's file
    // does not hold comes from the machine-wide file, which an administrator keeps read-only
    // and which is never written.
    void theUsersFileIsSavedOverReadOnlyMachineWideDefaults() {
        QTemporaryDir dir;
        const QString home = dir.filePath("home");
        const QString machineWide = dir.filePath("xdg");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home);
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, machineWide);
        const QByteArray presets("[General]\nISPSetting=393215\nUsbVIDSet=1234\nUsbPIDSet=5678\n");
        QDir().mkpath(machineWide + "/Quorvex");
        WriteFile(machineWide + "/Quorvex/USBTool.ini", presets);
        QFile::setPermissions(machineWide + "/Quorvex/USBTool.ini", QFile::ReadOwner);
        QFile::setPermissions(machineWide + "/Quorvex", QFile::ReadOwner | QFile::ExeOwner);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(machineWide + "/Quorvex",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });

        IniSettingsStore store;
        QCOMPARE(store.FilePath(), home + "/Quorvex/USBTool.ini");
        QCOMPARE(store.MachineWideFilePath(), machineWide + "/Quorvex/USBTool.ini");
        QVERIFY(store.OpenForReading());
        QCOMPARE(store.ReadNumber("ISPSetting"), std::optional<std::uint32_t>(393215));
        QCOMPARE(store.ReadText("UsbVIDSet"), std::optional<std::string>("1234"));
        store.Close();

        QVERIFY(store.OpenForWriting());
        store.WriteText("UsbVIDSet", "abcd");
        store.Close();
        QFile written(store.MachineWideFilePath());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), presets);

        IniSettingsStore copy = FreshCopy(dir, store.FilePath(), store.MachineWideFilePath());
        QVERIFY(copy.OpenForReading());
        QCOMPARE(copy.ReadText("UsbVIDSet"), std::optional<std::string>("abcd"));
        QCOMPARE(copy.ReadText("UsbPIDSet"), std::optional<std::string>("5678"));
        QCOMPARE(copy.ReadNumber("ISPSetting"), std::optional<std::uint32_t>(393215));
        copy.Close();
    }
};

QTEST_GUILESS_MAIN(IniSettingsStoreTest)
#include "IniSettingsStoreTest.moc"
