#include "app/Unit1.h"
#include "app/IgnoredReply.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTabBar>
#include <QTimer>

#include "app/LabelHolder.h"
#include "app/StringGrid.h"
#include "chip/I2cMaster.h"
#include "device/DeviceMatch.h"
#include "device/QuorvexUsb.h"
#include "ui_Unit1.h"

namespace {

constexpr int kWindowWidth = 606;
constexpr int kFullWindowHeight = 618;     // room for every page
constexpr int kCompactWindowHeight = 360;  // the ISP page alone
constexpr int kCompactPageControlHeight = 220;
constexpr int kTimerIntervalMs = 1000;

// Screens of 120 pixels per inch or more get a window 140 pixels larger each way.
int Enlargement(int logicalDpi) { return logicalDpi >= 120 ? 140 : 0; }

QString HexByte(int value) { return QString::asprintf("%02X", value); }

// Column headers "00" to "0F", row headers "00" to "F0"; the corner cell stays empty.
void FillGridHeaders(QTableWidget& grid) {
    for (int i = 0; i < 16; ++i) {
        SetCellText(grid, i + 1, 0, HexByte(i));
        SetCellText(grid, 0, i + 1, HexByte(i * 16));
    }
}

}  // namespace

TForm1::TForm1(qv::QuorvexUsb& device, qv::SettingsStore& settingsStore, StartLayout startLayout,
               QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TForm1>()),
      device_(device),
      settingsStore_(settingsStore),
      startLayout_(startLayout),
      presence_(device),
      jobs_(device, *this, programFile_, flashContext_),
      Timer1(new QTimer(this)) {
    ui->setupUi(this);
    MakeFixedHeaderCells(*ui->RegStringGrid1);
    MakeFixedHeaderCells(*ui->StringGridMIIC);
    // The labels a running job writes to many times a second.
    for (QLabel* label : {ui->lblUSBProcessInfo, ui->lblUSBISPProcess, ui->lblUSBISPStatusReg})
        HoldOutsideTheLayout(*label);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    // Connected before start-up: checking the box while starting switches detection on.
    connect(ui->chkDetectUSB, &QCheckBox::toggled, this, &TForm1::chkDetectUSBClick);
    ui->lbledtVID->installEventFilter(this);
    ui->lbledtPID->installEventFilter(this);
    ConnectIspPage();
    ConnectFunctionTest();
    ConnectRegisterPage();
    ConnectI2cAccessPage();
    ConnectSpecialI2cGroup();
    ConnectParameterPage();
    ConnectInformationPage();
    ConnectBinFilePage();

    FormCreate();

    // Connected only now: the page moves and the range choice made while starting up are not
    // the user's. A change of the range choice always toggles "All".
    connect(ui->MainPageControl, &QTabWidget::currentChanged, this, &TForm1::MainPageControlChange);
    connect(ui->rbnRange0, &QRadioButton::toggled, this, &TForm1::rbnRangeClick);
    Timer1->start();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    const int enlargement = Enlargement(logicalDpiX());
    resize(kWindowWidth + enlargement, kFullWindowHeight + enlargement);
    setWindowTitle(WindowGlobals::TitleText);
    LoadSettings();
    FillGridHeaders(*ui->RegStringGrid1);
    FillGridHeaders(*ui->StringGridMIIC);
    ui->MainPageControl->setCurrentWidget(ui->TabSheet1);
    presence_.DetectOn = false;
    presence_.AutoBusy = false;
    ShowVidPid();
    presence_.DeviceMatch = qv::MakeDeviceMatch(presence_.VidText, presence_.PidText);
    ui->chkDetectUSB->setChecked(true);
    OptionBlock = qv::OptionBlock{};  // the options before any read: A1 00 00 00
    RefreshParameterPage();
    if (startLayout_ == StartLayout::User) ShowIspPageOnly(enlargement);
    // The edits show the default device; detection keeps the texts it was started with.
    ui->lbledtVID->setText(QStringLiteral("6b94"));
    ui->lbledtPID->setText(QStringLiteral("F82D"));
}

void TForm1::ShowVidPid() {
    ui->lbledtVID->setText(QString::fromStdString(presence_.VidText));
    ui->lbledtPID->setText(QString::fromStdString(presence_.PidText));
}

// The view users get: the engineering pages' tabs, the ISP page's step-by-step and range
// groups and its step options hidden, and the window shrunk to the ISP page. The hidden step
// options still drive the automatic sequence.
void TForm1::ShowIspPageOnly(int enlargement) {
    QTabWidget& pages = *ui->MainPageControl;
    for (QWidget* page :
         {ui->TabSheet1, ui->PageMI2CCtrl, ui->Parameter, ui->Information, ui->BinFile}) {
        const int index = pages.indexOf(page);
        pages.setTabVisible(index, false);
        // The tab bar's wheel and arrow keys and the page control's Ctrl+Tab pass over disabled
        // tabs only, not over hidden ones. Disabled on the bar alone, the page's controls stay
        // enabled.
        pages.tabBar()->setTabEnabled(index, false);
    }
    pages.setCurrentWidget(ui->PageISPCtrl);
    pages.setFixedHeight(kCompactPageControlHeight + enlargement);
    resize(kWindowWidth + enlargement, kCompactWindowHeight + enlargement);
    ui->pnlISPFuncTest->hide();
    ui->gbxISPRange->hide();
    for (QCheckBox* box : IspStepBoxes()) box->hide();
}

// A close that arrives while a flash job lets events through is put off: the job is asked to
// stop at its next block or step and still protects the flash and leaves ISP mode on the
// device it holds open. The handler that ran the job closes the window once it has returned.
void TForm1::closeEvent(QCloseEvent* event) {
    if (jobs_.Busy()) {
        ShowProcessInfo("Stopping...");
        closePutOff_ = true;
        jobs_.StopRequested = true;
        event->ignore();
        return;
    }
    closePutOff_ = false;
    FormClose();
    event->accept();
}

// Called where a flash job has returned: a close put off meanwhile is carried out now.
void TForm1::CloseIfPutOff() {
    if (closePutOff_ && !jobs_.Busy()) close();
}

void TForm1::FormClose() {
    if (device_.IsPresent()) device_.Close();
    SaveSettings();
}

// The user picked another page: selecting the I2C page sets the chip's I2C master up on the
// device opened for it, unless a flash job holds the device. A page whose tab is hidden is
// never the user's choice: the ISP page, the one visible tab then, comes back at once.
void TForm1::MainPageControlChange() {
    QTabWidget& pages = *ui->MainPageControl;
    if (!pages.isTabVisible(pages.currentIndex())) {
        pages.setCurrentWidget(ui->PageISPCtrl);
        return;
    }
    if (pages.currentWidget() != ui->PageMI2CCtrl || jobs_.Busy()) return;
    qv::app::IgnoredByThePage(device_.Open());
    qv::app::IgnoredByThePage(qv::I2CSetup(device_));
    device_.Close();
}

// Key presses in the edits that take their text on Enter.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == ui->lbledtUSBWriteStatus)
            lbledtUSBWriteStatusKeyDown(key);
        else
            lbledtVIDPIDKeyDown(watched, key);
    }
    return QWidget::eventFilter(watched, event);
}
