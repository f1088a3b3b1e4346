#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include "tests/app/RegisterTrace.h"
#include "tests/app/WindowBench.h"

// The register tables and the Special I2C group as the user drives them, with every page
// reachable and the user's device found; and what the chip received, read from the trace
// (RegisterTrace.h).
struct RegisterTableBench : WindowBench {
    explicit RegisterTableBench(bool findDevice = true) : WindowBench(StartLayout::Engineering) {
        if (findDevice) Tick();
        // Keys on a grid count only while it has the focus, which needs an active window.
        window->activateWindow();
        static_cast<void>(QTest::qWaitForWindowActive(window.get()));
    }

    QTableWidget& Grid(const char* name) const { return Child<QTableWidget>(name); }
    QString Text(const char* name) const {
        if (auto* edit = window->findChild<QLineEdit*>(QLatin1String(name))) return edit->text();
        return Child<QLabel>(name).text();
    }
    void Click(const char* button) const { Child<QPushButton>(button).click(); }

    void ShowPage(const char* caption) const {
        QTabBar& bar = *Child<QTabWidget>("MainPageControl").tabBar();
        for (int i = 0; i < bar.count(); ++i)
            if (bar.tabText(i) == QLatin1String(caption))
                QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.tabRect(i).center());
    }

    static QRect CellRect(const QTableWidget& grid, int column, int row) {
        return grid.visualRect(grid.model()->index(row, column));
    }
    static QString Cell(const QTableWidget& grid, int column, int row) {
        const QTableWidgetItem* cell = grid.item(row, column);
        return cell ? cell->text() : QString();
    }
    void ClickCell(QTableWidget& grid, int column, int row) const {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          CellRect(grid, column, row).center());
    }
    // Keys pressed on the grid itself, not in a cell editor.
    void PressKey(QTableWidget& grid, Qt::Key key) const {
        grid.setFocus();
        QTest::keyClick(&grid, key);
    }
    // Opens the current cell's editor, types the text over what it shows and presses the key.
    void TypeInCell(QTableWidget& grid, const QString& text, Qt::Key key = Qt::Key_Return) const {
        grid.edit(grid.currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, key);
    }

    void ClickBit(const char* prefix, int bit) const {
        QTest::mouseClick(
            window->findChild<QCheckBox*>(QLatin1String(prefix) + QString::number(bit)),
            Qt::LeftButton);
    }
    int Bits(const char* prefix) const {
        int value = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (window->findChild<QCheckBox*>(QLatin1String(prefix) + QString::number(bit))
                    ->isChecked())
                value |= 1 << bit;
        return value;
    }

    std::size_t Mark() { return sim.GetTrace().Lines().size(); }

    QStringList Registers(std::size_t from = 0) { return RegisterRequests(sim, from); }

    // The I2C bus as the master's registers carried it: "S" a start condition, "P" a stop, the
    // bytes sent, and each byte received in parentheses.
    QString Bus(std::size_t from = 0) {
        QStringList bus;
        for (const QString& event : Registers(from)) {
            if (event == "W10 C0") bus << "S";
            if (event == "W10 A0") bus << "P";
            if (event.startsWith("W12 ")) bus << event.mid(4);
            if (event.startsWith("R13 ")) bus << "(" + event.mid(4) + ")";
        }
        return bus.join(' ');
    }

    // Time spent waiting since the given clock reading and transfer count, apart from the bus
    // time of the transfers themselves.
    std::uint64_t WaitedMs(std::uint64_t sinceUs, std::uint64_t transfersBefore) {
        const std::uint64_t busUs = (sim.TransferCount() - transfersBefore) * 125;
        return (sim.Clock().NowUs() - sinceUs - busUs) / 1000;
    }
};
