#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/BinFileDialog.h"
#include "app/MessageDialog.h"
#include "app/WindowGlobals.h"
#include "chip/FlashOperations.h"
#include "device/PresenceMonitor.h"
#include "image/ProgramFile.h"
#include "isp/IspJobs.h"
#include "isp/IspView.h"
#include "settings/IspSetting.h"

class QCheckBox;
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

    // The ISP page: program file, automatic sequence and range (IspPage.cpp).
    void ConnectIspPage();
    using IspStepBox = std::pair<bool qv::IspOptions::*, QCheckBox*>;
    std::array<IspStepBox, 7> IspStepBoxes() const;
    void USBLoadFileBitBtnClick();
    void btnUSBISPAutoClick();
    void rbnRangeClick();
    void ShowFileHistory();
    void ShowProgramFile();
    void ShowAutoCaption();
    void ShowJobEnd(bool succeeded);
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
    void RunFlashJob(bool (qv::IspJobs::*job)(bool wholeFlash));

    // The flash jobs' reports on the ISP page (IspPageView.cpp).
    void ShowProcessInfo(const std::string& text) override;
    void ShowProcessAddress(const std::string& text) override;
    void ShowStatusRegister(const std::string& text) override;
    void ShowProgress(double fraction) override;
    void ShowChecksum(const std::string& text) override;
    void PumpEvents() override;
    void ShowMessage(const std::string& text) override;

    std::unique_ptr<Ui::TForm1> ui;
    qv::QuorvexUsb& device_;
    qv::SettingsStore& settingsStore_;
    const StartLayout startLayout_;
    WindowGlobals globals_;
    qv::PresenceMonitor presence_;
    qv::ProgramFile programFile_;
    qv::FlashContext flashContext_;
    qv::IspJobs jobs_;
    QTimer* Timer1;
};
