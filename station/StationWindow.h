#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "station/SlotTile.h"
#include "station/StationPicture.h"
#include "station/StationRunner.h"

namespace Ui {
class StationWindow;
}

// The operators' window: a job, a tile per fixture slot, counters, the last verdicts, Start and
// Stop. The boards run on the runner's threads; the window takes the picture they leave at
// most every 30 ms and paints only what changed.
class StationWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kPaintEveryMs = 30;
    static constexpr int kTileColumns = 4;

    StationWindow(qv::cli::GlobalOptions bus, std::string commandLine, QWidget* parent = nullptr);
    ~StationWindow() override;

    // Opens a job file; the reason, shown in the window too, when it cannot run: unreadable,
    // cut short, hand-edited, or its image is not the one it was made with. Nothing is sent.
    QString OpenJob(const QString& path);
    // Starts the open job's line; with `closeAfter`, the window closes once that many boards
    // were judged and recorded.
    void StartLine(unsigned closeAfter = 0);
    // Learns which port each of the fixture's `count` slots is, asking the operator for a board
    // in each in turn, and writes the slots into the job's file, which is then opened again.
    void LearnSlots(unsigned count);
    // Ends every board cleanly (its flash protected, out of ISP mode), then the line.
    void StopLine();
    // Takes the latest picture now instead of at the next paint.
    void Refresh();

    Ui::StationWindow& Form() { return *ui_; }
    const std::vector<SlotTile*>& Tiles() const { return tiles_; }
    // Whether any board failed or was stopped since the line started, or the line could not
    // run: the program's exit code.
    int Outcome() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowPicture(const Picture& picture);
    void ShowCounters(const Picture& picture);
    void ShowProblem(const QString& problem);
    void ShowPrompt(const QString& prompt);
    // The open job's database, as the window names it while its server answers.
    QString JobDatabaseText() const;
    void EnableButtons();

    std::unique_ptr<Ui::StationWindow> ui_;
    StationPicture picture_;
    StationRunner runner_;
    std::optional<qv::LoadedJob> job_;
    QString jobFile_;
    unsigned closeAfter_ = 0;
    bool lineStarted_ = false;
    bool reopenJob_ = false;
    std::optional<Picture> last_;
    std::uint64_t seen_ = 0;
    QTimer paintTimer_;
    std::vector<SlotTile*> tiles_;
};
