#pragma once

#include <QWidget>
#include <memory>

#include "app/BinFileDialog.h"
#include "app/WindowGlobals.h"

class QTimer;
namespace qv {
class QuorvexUsb;
}
namespace Ui {
class TForm1;
}

// How the window starts: as users know it (only the ISP page, its engineering groups hidden,
// the compact size), or with every page and group reachable for engineering work.
enum class StartLayout { User, Engineering };

// The main window: the device panel on top and the six pages below. It owns the window-level
// state; the device object belongs to the program entry and outlives the window.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    TForm1(qv::QuorvexUsb& device, StartLayout startLayout, QWidget* parent = nullptr);
    ~TForm1() override;

    // The form's file dialogs; tests answer them in advance with setNextFileName.
    BinFileDialog OpenBinFileDialog{QFileDialog::AcceptOpen, QStringLiteral("bin"),
                                    QStringLiteral("Bin File (*.bin *.h00);;Binary File (*.bin)")};
    BinFileDialog SaveBinFIleDialog{QFileDialog::AcceptSave, QStringLiteral("bin"),
                                    QStringLiteral("Binary File (*.bin)")};

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void MainPageControlChange();

    void ShowVidPid();
    void ShowIspPageOnly(int enlargement);

    std::unique_ptr<Ui::TForm1> ui;
    qv::QuorvexUsb& device_;
    const StartLayout startLayout_;
    WindowGlobals globals_;
    QTimer* Timer1;
};
