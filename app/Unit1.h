#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/BinFileDialog.h"
#include "app/ChipAccessState.h"
#include "app/MessageDialog.h"
#include "app/RegisterTable.h"
#include "app/WindowGlobals.h"
#include "chip/FlashOperations.h"
#include "chip/ParameterBlocks.h"
#include "chip/PlaybackStatus.h"
#include "device/PresenceMonitor.h"
#include "image/ImageEditor.h"
#include "image/ProgramFile.h"
#include "isp/IspJobs.h"
#include "isp/IspView.h"
#include "settings/IspSetting.h"

class QAbstractButton;
class QCheckBox;
class QRadioButton;
class QTimer;
namespace qv {
class ConversionError;
class QuorvexUsb;
class SettingsStore;
}  // namespace qv
namespace Ui {
class TForm1;
}

// How the window starts: as users know it (only the ISP page, its engineering groups and step
// options hidden, the compact size), or with every page and group reachable for engineering.
enum class StartLayout { User, Engineering };

// The main window: the device panel on top and the six pages below. It owns the window-level
// state, the presence monitor, the program file and the flash jobs, whose reports it shows on
// the ISP page; the device object and the settings store belong to the program entry and
// outlive the window.
class TForm1 : public QWidget, private qv::IspView {
    Q_OBJECT

public:
    TForm1(qv::QuorvexUsb& device, qv::SettingsStore& settingsStore, StartLayout startLayout,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The form's file dialogs; tests answer them in advance with setNextFileName.
    BinFileDialog OpenBinFileDialog{QFileDialog::AcceptOpen, QStringLiteral("bin"),
                                    QStringLiteral("Bin File (*.bin *.h00);;Binary File (*.bin)")};
    BinFileDialog SaveBinFIleDialog{QFileDialog::AcceptSave, QStringLiteral("bin"),
                                    QStringLiteral("Binary File (*.bin)")};
    // The form's message boxes; tests have them record the texts instead.
    MessageDialog Messages;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Start-up, shut-down and the page switch (Unit1.cpp).
    void FormCreate();
    void FormClose();
    void CloseIfPutOff();
    void MainPageControlChange();
    void ShowVidPid();
    void ShowIspPageOnly(int enlargement);

    // The values kept between runs (WindowSettings.cpp).
    void LoadSettings();
    void SaveSettings();
    void ShowIspOptions(const qv::IspOptions& options);
    qv::IspOptions IspOptionsShown() const;

    // The top panel and its timer (PresencePanel.cpp).
    void Timer1Timer();
    void chkDetectUSBClick();
    void lbledtVIDPIDKeyDown(QObject* sender, int key);
    void ShowIndicator(const qv::Indicator& indicator);
    bool ResultBoardChanged(qv::IndicatorColour colour) const;

    // The ISP page: program file, automatic sequence and range (IspPage.cpp).
    void ConnectIspPage();
    // The step boxes, in the order of qv::kAutoStepNames.
    std::array<QCheckBox*, qv::kAutoStepNames.size()> IspStepBoxes() const;
    void USBLoadFileBitBtnClick();
    void btnUSBISPAutoClick();
    void rbnRangeClick();
    void ShowFileHistory();
    void ShowProgramFile();
    void ShowAutoCaption();
    // The end of a job on the ISP page: its reports brought up to date, the process text in
    // green for a success and red for a failure, the bar full after a success. A refusal (the
    // job never started) leaves the page cleared.
    void ShowJobEnd(const qv::JobResult& result);
    // No result on the ISP page: a result's process text cleared, the label in its neutral
    // colour and the bar at 0, for a new job, a new program file, or a device that went away.
    void ShowResultCleared();
    void ShowConversionError(const qv::ConversionError& error);

    // The ISP page's Function Test group (FunctionTest.cpp).
    void ConnectFunctionTest();
    void btnEnterISPClick();
    void btnUSBChipIDClick();
    void btnUSBWriteEnableClick();
    void btnUSBWriteDisableClick();
    void btnUSBReadStatusClick();
    void lbledtUSBWriteStatusKeyDown(int key);
    void btnUSBEraseClick();
    void btnUSBBlankClick();
    void btnUSBProgramClick();
    void btnUSBVerifyClick();
    void btnReadBackClick();
    void RunOnDevice(const std::function<void()>& action);
    void RunFlashJob(qv::JobResult (qv::IspJobs::*job)(bool wholeFlash));

    // The Register page (RegisterPage.cpp), with the read loop both register tables share.
    void ConnectRegisterPage();
    RegisterTable RegisterPageTable() const;
    void btnReadAllClick();
    void ReadTable(const RegisterTable& table, bool letEventsThrough,
                   const std::function<void(std::uint8_t address)>& readOne);
    void RegStringGridSelectCell(int row, int column);
    void RegStringGridKeyDown(int key);
    void chkBit0MouseUp();

    // The I2C Access page (I2cAccessPage.cpp).
    void ConnectI2cAccessPage();
    RegisterTable I2cPageTable() const;
    void ReadSlaveRegister(std::uint8_t address);
    void WriteSlaveRegister(std::uint8_t address, std::uint32_t settleMs);
    void btnReadMI2CClick();
    void StringGridMIICSelectCell(int row, int column);
    void StringGridMIICKeyDown(int key);
    void chkMI2CBitMouseUp();
    void edtMI2CAddrKeyDown();
    bool TakeSlaveAddress(const QString& text);

    // The Information page's Special I2C group (SpecialI2cGroup.cpp).
    void ConnectSpecialI2cGroup();
    void srblen0Change();
    void srblen1Change();
    void btnWriteSpecI2CClick();
    void btnReadSpecI2CClick();
    void edtMI2CAddr1KeyDown();

    // The "Gen. Bin File" page: the firmware image editor (BinFilePage.cpp).
    void ConnectBinFilePage();
    void CurrentFileBitBtnClick();
    void ReadModifyFile();
    QString LoadStatusShown(bool tableFound) const;
    void btnCheckClick();
    void btnSaveBitBinClick();
    void btnSaveBinClick();
    qv::ParameterTexts ParameterTextsShown() const;

    // The Parameter page: the options, identity and strings the firmware keeps in its EEPROM
    // (ParameterPage.cpp).
    void ConnectParameterPage();
    // The buttons of one option flag: the one whose check sets the flag and, for a pair of
    // radio buttons, the one whose check clears it (a check box clears it unchecked); and the
    // handler a change of the first one runs.
    struct OptionButtons {
        qv::OptionFlag flag;
        QAbstractButton* set;
        QAbstractButton* clear;
        void (TForm1::*click)();
    };
    std::array<OptionButtons, 9> OptionButtonsShown() const;
    QRadioButton* MclkFrequencyButton(int n) const;
    void RefreshParameterPage();
    void rbnI2SlenClick();
    void rbnSPDIFlenClick();
    void chkI2SLRSwapClick();
    void chkDSDLRSwapClick();
    void rbnMCLKOutFreqClick(QObject* sender);
    void rbnI2SFormatClick();
    void rbnDSDOutClick();
    void chkMCLKOutOffClick();
    void chkI2SOutOffClick();
    void chkSPDIFOutOffClick();
    void btnReadParaClick();
    void btnSetParaClick();
    void lbledSysVIDPIDKeyDown(QObject* sender);
    void lbledSysStrKeyDown(QObject* sender);

    // The Information page: the playback status and the media keys (InformationPage.cpp).
    void ConnectInformationPage();
    void btnUpdateStatusClick();
    void btnHIDClick(QObject* sender);

    // The flash jobs' reports on the ISP page (IspPageView.cpp).
    void ShowProcessInfo(const std::string& text) override;
    void ShowProcessAddress(const std::string& text) override;
    void ShowStatusRegister(const std::string& text) override;
    void ShowProgress(double fraction) override;
    void ShowChecksum(const std::string& text) override;
    void PumpEvents() override;
    void ShowMessage(const std::string& text, const std::string& detail) override;
    // Puts the reports held back since the last paint on the labels and the bar.
    void ShowPendingReports();

    std::unique_ptr<Ui::TForm1> ui;
    qv::QuorvexUsb& device_;
    qv::SettingsStore& settingsStore_;
    const StartLayout startLayout_;
    WindowGlobals globals_;
    qv::PresenceMonitor presence_;
    qv::ProgramFile programFile_;
    qv::FlashContext flashContext_;
    qv::IspJobs jobs_;
    ChipAccessState chipAccess_;
    // The options as last read, set or clicked; sent whole by "Set".
    qv::OptionBlock OptionBlock;
    // The playback status as the last "Update" read it.
    qv::DeviceStatus DeviceStatus;
    qv::ImageEditor editor_;
    QTimer* Timer1;
    // A close came while a flash job ran; it waits for the job to end.
    bool closePutOff_ = false;
    // A walk reports every block; its address, status and progress reach the screen at most
    // five times a second (and at once with a new step and at the job's end), so a job costs
    // what the chip costs, not what painting each block would.
    struct PendingReports {
        std::optional<std::string> address;
        std::optional<QString> status;
        std::optional<double> progress;
    } pendingReports_;
    QElapsedTimer sinceReportsShown_;
    // The window's events between a walk's blocks: handled once 20 ms of the host's clock have
    // passed, and at once after a new step.
    bool pumpFollowsBlock_ = false;
    bool stepBegun_ = false;
    std::uint64_t eventsHandledMs_ = 0;
    // The result the ISP page shows, while it shows one, and the board it was got from: the
    // carrier and match text that board was found by, and its interface path.
    struct ShownResult {
        qv::FailureKind kind;
        bool ksMode;
        std::string matchText;
        std::string devicePath;
    };
    std::optional<ShownResult> resultShown_;
};
