#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <utility>

#include "app/BinFileDialog.h"
#include "app/WindowGlobals.h"
#include "device/PresenceMonitor.h"
#include "settings/IspSetting.h"

class QCheckBox;
class QTimer;
namespace qv {
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
// state and the presence monitor; the device object and the settings store belong to the
// program entry and outlive the window.
class TForm1 : public QWidget {
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

    // The ISP page (IspPage.cpp).
    using IspStepBox = std::pair<bool qv::IspOptions::*, QCheckBox*>;
    std::array<IspStepBox, 7> IspStepBoxes() const;
    void rbnRangeClick();
    void RememberProgramFile();

    std::unique_ptr<Ui::TForm1> ui;
    qv::QuorvexUsb& device_;
    qv::SettingsStore& settingsStore_;
    const StartLayout startLayout_;
    WindowGlobals globals_;
    qv::PresenceMonitor presence_;
    QTimer* Timer1;
};
