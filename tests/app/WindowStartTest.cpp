#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <tuple>

#include "app/ScreenDensity.h"
#include "tests/app/WindowBench.h"

namespace {

const QStringList kAllPageCaptions{"Register",  "I2C Access",  "ISP",
                                   "Parameter", "Information", "Gen. Bin File"};

// The bench of every window test, with the page helpers of these tests.
struct Bench : WindowBench {
    using WindowBench::WindowBench;

    QTabWidget& Pages() const { return Child<QTabWidget>("MainPageControl"); }

    // Finds the user's device the way the presence monitor does, then forgets the probe.
    void FindUserDevice() {
        device.SetKsMode(true);
        device.SetMatchText("vid_6b94&pid_f82d");
        device.FindDevice();
        host.opens = host.closes = 0;
    }

    void ClickTab(const QString& caption) {
        QTabBar& bar = *Pages().tabBar();
        for (int i = 0; i < bar.count(); ++i)
            if (bar.tabText(i) == caption)
                QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.tabRect(i).center());
    }
};

QStringList VisibleTabCaptions(const QTabWidget& pages) {
    QStringList captions;
    for (int i = 0; i < pages.count(); ++i)
        if (pages.isTabVisible(i)) captions << pages.tabText(i);
    return captions;
}

// The enlargement the window applies for the density the test runs at.
int Enlargement(const QWidget& window) { return window.logicalDpiX() >= 120 ? 140 : 0; }

// What a line edit needs beside its text: its frame and text margins, both sides.
constexpr int kEditFrameAndMargins = 8;

// For the bit boxes 7 to 0, the texts of the labels shown above each box and centred on it.
QStringList TextsOverBitBoxes(const QWidget& panel, const QString& boxPrefix) {
    const auto onPanel = [&](const QWidget* widget) {
        return QRect(widget->mapTo(&panel, QPoint(0, 0)), widget->size());
    };
    QStringList texts;
    for (int bit = 7; bit >= 0; --bit) {
        const QRect box = onPanel(panel.findChild<QCheckBox*>(boxPrefix + QString::number(bit)));
        texts << QString();
        for (const QLabel* label : panel.findChildren<QLabel*>()) {
            const QRect shown = onPanel(label);
            if (label->isVisible() && shown.bottom() < box.top() &&
                shown.center().x() >= box.left() && shown.center().x() <= box.right())
                texts.last() += label->text();
        }
    }
    return texts;
}

}  // namespace

class WindowStartTest : public QObject {
    Q_OBJECT

public:
    static void initMain() { LetWindowEnlargeItself(); }

private slots:
    void runsAtTheRequestedDensity() {
        if (!qEnvironmentVariableIsSet("QT_FONT_DPI")) QSKIP("no density requested");
        Bench bench(StartLayout::User);
        QCOMPARE(bench.window->logicalDpiX(), qEnvironmentVariableIntValue("QT_FONT_DPI"));
    }

    void userStartShowsTheCompactIspPage() {
        Bench bench(StartLayout::User);
        QVERIFY(QTest::qWaitForWindowExposed(bench.window.get()));
        const int e = Enlargement(*bench.window);
        QCOMPARE(bench.window->size(), QSize(606 + e, 360 + e));
        QCOMPARE(bench.Pages().height(), 220 + e);
        QCOMPARE(bench.window->windowTitle(), QString("Morrowfieldtone Tool V1.00.202009"));

        QCOMPARE(VisibleTabCaptions(bench.Pages()), QStringList{"ISP"});
        QCOMPARE(bench.Pages().currentWidget(), &bench.Child("PageISPCtrl"));
        QVERIFY(bench.Child("PageISPCtrl").isVisible());
        QVERIFY(!bench.Child("pnlISPFuncTest").isVisible());
        QVERIFY(!bench.Child("gbxISPRange").isVisible());
        for (const char* box : kIspStepBoxes) QVERIFY2(!bench.Child(box).isVisible(), box);
        // What the user works with fits on the compact page.
        const QWidget& page = bench.Child("PageISPCtrl");
        for (const char* name :
             {"USBLoadFileBitBtn", "cbxReadISPFile", "btnUSBISPAuto", "lblUSBChecksum",
              "lblUSBProcessInfo", "lblUSBISPProcess", "lblUSBISPStatusReg", "pgbUSBISPProgress"}) {
            const QWidget& control = bench.Child(name);
            QVERIFY2(control.isVisible(), name);
            const QRect onPage(control.mapTo(&page, QPoint(0, 0)), control.size());
            QVERIFY2(page.rect().contains(onPage), name);
        }

        QCOMPARE(bench.Child<QLineEdit>("lbledtVID").text(), QString("6b94"));
        QCOMPARE(bench.Child<QLineEdit>("lbledtPID").text(), QString("F82D"));
        QVERIFY(bench.timerStartedWithWindow);
        QCOMPARE(bench.Timer().interval(), 1000);
    }

    void engineeringStartReachesEveryPageAndGroup() {
        Bench bench(StartLayout::Engineering);
        QVERIFY(QTest::qWaitForWindowExposed(bench.window.get()));
        const int e = Enlargement(*bench.window);
        QCOMPARE(bench.window->size(), QSize(606 + e, 618 + e));
        QCOMPARE(VisibleTabCaptions(bench.Pages()), kAllPageCaptions);
        QCOMPARE(bench.Pages().currentWidget(), &bench.Child("TabSheet1"));

        bench.ClickTab("ISP");
        QVERIFY(bench.Child("pnlISPFuncTest").isVisible());
        QVERIFY(bench.Child("gbxISPRange").isVisible());
        for (const char* box : kIspStepBoxes) QVERIFY2(bench.Child(box).isVisible(), box);
        // Each grid shows all its cells on its page: the grids have no scroll bars. Each bit
        // box has its bit's number over it.
        for (const auto& [caption, gridName, bitPanel, boxPrefix] :
             {std::tuple{"Register", "RegStringGrid1", "Panel2", "chkBit"},
              std::tuple{"I2C Access", "StringGridMIIC", "Panel3", "chkMI2CBit"}}) {
            bench.ClickTab(caption);
            QCOMPARE(TextsOverBitBoxes(bench.Child(bitPanel), boxPrefix),
                     QString("7 6 5 4 3 2 1 0").split(' '));
            const auto& grid = bench.Child<QTableWidget>(gridName);
            QVERIFY(grid.isVisible());
            QVERIFY(grid.viewport()->height() >= grid.rowViewportPosition(16) + grid.rowHeight(16));
            QVERIFY(grid.viewport()->width() >=
                    grid.columnViewportPosition(16) + grid.columnWidth(16));
            QVERIFY(grid.parentWidget()->rect().contains(grid.geometry()));
        }
    }

    // The window cannot be made smaller than its layout needs, which is no more than the size
    // it starts at, also beside the longest status text (the window keeps its width for it);
    // at that size the top panel's controls show their texts whole.
    void minimumSizeShowsTheTopPanelWhole() {
        for (const StartLayout layout : {StartLayout::User, StartLayout::Engineering}) {
            Bench bench(layout);
            QWidget& window = *bench.window;
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const QWidget& panel = bench.Child("pnlUSB");
            const auto takeStatusIn = [&] {  // the panel's layout, then the window's, now
                panel.layout()->activate();
                window.layout()->activate();
            };
            bench.Tick();
            takeStatusIn();
            QCOMPARE(window.minimumSize().boundedTo(window.size()), window.minimumSize());

            const int startWidth = window.width();
            bench.Child<QLabel>("lblDetectDevice").setText("Firmware update device 6B94 is exist");
            takeStatusIn();
            QCOMPARE(window.width(), startWidth);
            window.resize(1, 1);
            for (const QWidget* control : panel.findChildren<QWidget*>()) {
                const auto* edit = qobject_cast<const QLineEdit*>(control);
                const int needed =
                    edit ? edit->fontMetrics().horizontalAdvance(edit->text()) + kEditFrameAndMargins
                         : qMin(control->sizeHint().width(), control->maximumWidth());
                QVERIFY2(control->width() >= needed, qPrintable(control->objectName()));
                QVERIFY2(panel.rect().contains(control->geometry()),
                         qPrintable(control->objectName()));
            }
        }
    }

    void gridHeadersAreFixedHexLabels_data() {
        QTest::addColumn<QString>("gridName");
        QTest::newRow("Register") << "RegStringGrid1";
        QTest::newRow("I2C Access") << "StringGridMIIC";
    }

    void gridHeadersAreFixedHexLabels() {
        QFETCH(QString, gridName);
        Bench bench(StartLayout::User);
        const auto& grid = *bench.window->findChild<QTableWidget*>(gridName);
        QCOMPARE(grid.rowCount(), 17);
        QCOMPARE(grid.columnCount(), 17);
        QVERIFY(grid.horizontalHeader()->isHidden());
        QVERIFY(grid.verticalHeader()->isHidden());

        QCOMPARE(grid.item(0, 0)->text(), QString());
        QStringList across, down;
        for (int i = 1; i <= 16; ++i) {
            across << grid.item(0, i)->text();
            down << grid.item(i, 0)->text();
            for (const QTableWidgetItem* header : {grid.item(0, i), grid.item(i, 0)})
                QCOMPARE(header->flags(), Qt::NoItemFlags);
        }
        QCOMPARE(across, QString("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F").split(' '));
        QCOMPARE(down, QString("00 10 20 30 40 50 60 70 80 90 A0 B0 C0 D0 E0 F0").split(' '));
        QCOMPARE(grid.currentRow(), 1);
        QCOMPARE(grid.currentColumn(), 1);
    }

    // Hiding the Register tab at start-up moves the selection through the I2C page; that is
    // not the user's choice and must not touch the device. Closing saves the settings only.
    void startUpAndClosingWithoutDeviceTouchNothing() {
        Bench bench(StartLayout::User);
        QVERIFY(QTest::qWaitForWindowExposed(bench.window.get()));
        QVERIFY(!bench.device.IsPresent());
        bench.window->close();
        QCOMPARE(bench.host.opens, 0);
        QCOMPARE(bench.sim.GetTrace().Lines(), std::vector<std::string>{});
        QVERIFY(QFile::exists(bench.settings.FilePath()));
    }

    void userSelectingTheI2cPageOpensAndClosesTheDevice() {
        Bench bench(StartLayout::Engineering);
        QVERIFY(QTest::qWaitForWindowExposed(bench.window.get()));
        bench.FindUserDevice();

        bench.ClickTab("Parameter");
        QCOMPARE(bench.host.opens, 0);
        bench.ClickTab("I2C Access");
        QCOMPARE(bench.Pages().currentWidget(), &bench.Child("PageMI2CCtrl"));
        QCOMPARE(bench.host.opens, 1);
        QCOMPARE(bench.host.closes, 1);
        QVERIFY(!bench.device.IsOpen());
    }

    // The hidden pages stay out of reach of every way the tab bar and the page control move
    // between tabs, and the I2C page's set-up is never sent for them. The user's gestures do
    // not even move the page; a tab bar told to show a hidden page directly is turned back.
    void onlyTheIspPageCanBecomeCurrentWithoutEngineering_data() {
        using Gesture = std::function<void(QTabWidget&)>;
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<bool>("pageStaysPut");
        const auto wheel = [](int delta) -> Gesture {
            return [delta](QTabWidget& pages) {
                QTabBar& bar = *pages.tabBar();
                const QPointF at = bar.tabRect(bar.currentIndex()).center();
                QWheelEvent event(at, bar.mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(&bar, &event);
            };
        };
        // A click on the "ISP" tab, then the key.
        const auto key = [](Qt::Key pressed, Qt::KeyboardModifiers modifiers = {}) -> Gesture {
            return [pressed, modifiers](QTabWidget& pages) {
                QTabBar& bar = *pages.tabBar();
                QTest::mouseClick(&bar, Qt::LeftButton, {},
                                  bar.tabRect(bar.currentIndex()).center());
                QTest::keyClick(&bar, pressed, modifiers);
            };
        };
        QTest::newRow("wheel up") << wheel(120) << true;
        QTest::newRow("wheel down") << wheel(-120) << true;
        QTest::newRow("left") << key(Qt::Key_Left) << true;
        QTest::newRow("right") << key(Qt::Key_Right) << true;
        QTest::newRow("ctrl+tab") << key(Qt::Key_Tab, Qt::ControlModifier) << true;
        QTest::newRow("ctrl+shift+tab")
            << key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier) << true;
        QTest::newRow("tab bar told directly")
            << Gesture([](QTabWidget& pages) { pages.tabBar()->setCurrentIndex(1); }) << false;
    }

    void onlyTheIspPageCanBecomeCurrentWithoutEngineering() {
        QFETCH(std::function<void(QTabWidget&)>, gesture);
        QFETCH(bool, pageStaysPut);
        Bench bench(StartLayout::User);
        bench.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(bench.window.get()));
        bench.Tick();
        bench.sim.GetTrace().ClearLines();
        QTabWidget& pages = bench.Pages();
        QSignalSpy pageChanges(&pages, &QTabWidget::currentChanged);
        for (int i = 0; i < 3; ++i) {
            gesture(pages);
            QCOMPARE(pages.currentWidget(), &bench.Child("PageISPCtrl"));
        }
        if (pageStaysPut) QCOMPARE(pageChanges.count(), 0);
        QCOMPARE(bench.sim.GetTrace().Lines(), std::vector<std::string>{});
    }

    void closingReleasesAHeldDevice() {
        Bench bench(StartLayout::User);
        bench.FindUserDevice();
        QCOMPARE(bench.device.Open(), qv::Reply::Done);
        bench.window->close();
        QVERIFY(!bench.device.IsOpen());
        QCOMPARE(bench.sim.OpenHandleCount(), std::size_t{0});
    }

    // The answer comes back as the system writes paths, as a chosen file does.
    void fileDialogsTakeAnAnswerGivenInAdvance() {
        Bench bench(StartLayout::User);
        bench.window->OpenBinFileDialog.setNextFileName("/data/firmware.h00");
        QCOMPARE(bench.window->OpenBinFileDialog.Execute(bench.window.get()),
                 QDir::toNativeSeparators("/data/firmware.h00"));
        bench.window->SaveBinFIleDialog.setNextFileName(QString());
        QCOMPARE(bench.window->SaveBinFIleDialog.Execute(bench.window.get()), QString());
    }
};

QTEST_MAIN(WindowStartTest)
#include "WindowStartTest.moc"
