#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "image/ProgramFileCheck.h"
#include "line/DatabaseUrl.h"
#include "line/JobFile.h"
#include "line/RunDatabase.h"
#include "line/RunRecord.h"
#include "sim/SimChip.h"
#include "sim/SimHost.h"
#include "station/StationWindow.h"
#include "ui_StationWindow.h"

namespace {

// A job of four slots (ports 1-1 to 1-4) over the demo firmware beside it, numbering its
// boards in a database of its own.
QString WriteJob(const QTemporaryDir& folder) {
    const QString image = folder.filePath("fw.h00");
    QFile::copy(DEMO_FIRMWARE, image);
    const qv::ProgramFileRead read = qv::ReadProgramFileOnce(image.toStdString());
    qv::RunRecord described;
    qv::DescribeFile(described, image.toStdString(), read.content);
    qv::Job job;
    job.name = "four-slots";
    job.image = "fw.h00";
    job.sha256 = described.sha256;
    job.serial = "QT{seq:04}";
    job.database = "sqlite:" + folder.filePath("line.db").toStdString();
    job.station = "window-test";
    for (int slot = 1; slot <= 4; ++slot)
        job.fixtureSlots.push_back({"1-" + std::to_string(slot), "Slot " + std::to_string(slot)});
    const QString path = folder.filePath("four.qvjob");
    std::ofstream(path.toStdString()) << qv::JobText(job);
    return path;
}

qv::cli::GlobalOptions SimulatedLine(unsigned boards, qv::sim::SimClock::Mode speed) {
    qv::cli::GlobalOptions bus;
    bus.sim = true;
    bus.simulator.devices = boards;
    bus.simulator.speed = speed;
    return bus;
}

bool LineRunning(StationWindow& window) {
    window.Refresh();
    return window.Form().stopButton->isEnabled();
}

}  // namespace

class StationWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Eight boards on four slots, the first slot's boards broken: the window closes after the
    // eighth, every tile shows its slot's latest row, and the counters are the rows'. Another
    // job then opens with its own slots and counters.
    void TilesAndCountersAreTheDatabases() {
        QTemporaryDir folder;
        qv::cli::GlobalOptions bus = SimulatedLine(4, qv::sim::SimClock::Mode::Virtual);
        bus.simReplug = 2;
        bus.simulator.faults = {"flip"};
        StationWindow window(bus, "quorvex-station --units 8");
        QVERIFY(window.OpenJob(WriteJob(folder)).isEmpty());
        window.show();
        window.StartLine(8);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 60'000);

        const auto database = qv::OpenRunDatabase(
            qv::ParseDatabaseUrl("sqlite:" + folder.filePath("line.db").toStdString()),
            qv::DatabaseAccess::ReadOnly, 5);
        const std::vector<qv::RunRow> rows = database->Runs({});
        QCOMPARE(rows.size(), 8u);
        const auto passed = std::count_if(rows.begin(), rows.end(), [](auto& row) { return row.ok; });
        QVERIFY(passed > 0 && passed < 8);
        const Ui::StationWindow& form = window.Form();
        QCOMPARE(form.passedSinceStart->text(), QString::number(passed));
        QCOMPARE(form.failedSinceStart->text(), QString::number(8 - passed));
        QCOMPARE(form.passedSinceJob->text(), QString::number(passed));
        QCOMPARE(window.Tiles().size(), 4u);
        for (const SlotTile* tile : window.Tiles()) {
            const Tile& shown = tile->Shown();
            const auto last = std::find_if(rows.rbegin(), rows.rend(),
                                           [&](auto& row) { return row.port == shown.port; });
            QVERIFY(last != rows.rend());
            QCOMPARE(shown.label, last->slot);
            QCOMPARE(shown.state, last->ok ? Tile::State::Passed : Tile::State::Failed);
            QCOMPARE(shown.serial, last->serial);
        }
        QCOMPARE(form.verdictList->count(), 8);
        QCOMPARE(window.Outcome(), 1);

        qv::Job two = qv::ReadJobFile(folder.filePath("four.qvjob").toStdString()).job;
        two.fixtureSlots.resize(2);
        std::ofstream(folder.filePath("two.qvjob").toStdString()) << qv::JobText(two);
        QVERIFY(window.OpenJob(folder.filePath("two.qvjob")).isEmpty());
        window.Refresh();
        QCOMPARE(window.Tiles().size(), 2u);
        QCOMPARE(form.passedSinceJob->text(), QString("0"));
    }

    // Stop while the boards are flashed ends each cleanly: its flash protected again and out
    // of ISP mode, its verdict "stopped".
    void StopLeavesEveryBoardProtected() {
        QTemporaryDir folder;
        qv::cli::GlobalOptions bus = SimulatedLine(1, qv::sim::SimClock::Mode::Real);
        std::vector<std::shared_ptr<qv::sim::SimChip>> boards;
        bus.simulator.prepare = [&boards](qv::sim::SimHost& host, qv::sim::SimChip& first) {
            host.Detach(first);
            for (int i = 0; i < 3; ++i) boards.push_back(host.AttachNew(qv::sim::UserDeviceIdentity()));
        };
        StationWindow window(bus, "quorvex-station");
        QVERIFY(window.OpenJob(WriteJob(folder)).isEmpty());
        window.StartLine();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(window.Tiles().begin(), window.Tiles().end(),
                        [](const SlotTile* tile) { return tile->Shown().state == Tile::State::Flashing; }),
            10'000);
        window.Form().stopButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!LineRunning(window), 30'000);
        QCOMPARE(boards.size(), 3u);
        for (const auto& board : boards) {
            QCOMPARE(board->Flash().StoredStatus() & 0x1C, 0x1C);  // the bus and its clock are gone
            QVERIFY(!board->InIspMode());
        }
        QVERIFY(window.Form().failedSinceStart->text() == "0");
        QCOMPARE(window.Outcome(), 1);  // stopped boards did not pass
    }

    // A job whose image changed since it was made is refused when opened: no line can start.
    void ChangedImageIsRefused() {
        QTemporaryDir folder;
        const QString job = WriteJob(folder);
        std::ofstream(folder.filePath("fw.h00").toStdString(), std::ios::app) << "\n";
        StationWindow window(SimulatedLine(1, qv::sim::SimClock::Mode::Virtual), "quorvex-station");
        const QString problem = window.OpenJob(job);
        QVERIFY2(problem.contains("is not the job's"), qPrintable(problem));
        QVERIFY(!window.Form().startButton->isEnabled());
        QCOMPARE(window.Form().messageLabel->text(), problem);
    }
};

QTEST_MAIN(StationWindowTest)
#include "StationWindowTest.moc"
