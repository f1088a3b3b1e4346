#include "station/StationWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>

#include "cli/StationRun.h"
#include "ui_StationWindow.h"

namespace {

QString CountText(unsigned count) { return QString::number(count); }

QString ShareText(std::optional<double> share) {
    return share ? QStringLiteral("%1 %").arg(*share * 100, 0, 'f', 1) : QStringLiteral("-");
}

QString RateText(std::optional<double> rate) {
    return rate ? QString::number(qRound(*rate)) : QStringLiteral("-");
}

}  // namespace

StationWindow::StationWindow(qv::cli::GlobalOptions bus, std::string commandLine, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::StationWindow>()),
      runner_(std::move(bus), std::move(commandLine), picture_) {
    ui_->setupUi(this);
    connect(ui_->openJobButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open job"), QString(),
                                                          tr("Jobs (*.qvjob);;All files (*)"));
        if (!path.isEmpty()) OpenJob(path);
    });
    connect(ui_->learnSlotsButton, &QPushButton::clicked, this, [this] {
        if (!job_) return;
        const int slots = static_cast<int>(job_->job.fixtureSlots.size());
        bool ok = false;
        const int count = QInputDialog::getInt(this, tr("Learn slots"), tr("Slots of the fixture:"),
                                               slots > 0 ? slots : 8, 1, 64, 1, &ok);
        if (ok) LearnSlots(static_cast<unsigned>(count));
    });
    connect(ui_->startButton, &QPushButton::clicked, this, [this] { StartLine(); });
    connect(ui_->stopButton, &QPushButton::clicked, this, [this] { StopLine(); });
    connect(&paintTimer_, &QTimer::timeout, this, &StationWindow::Refresh);
    paintTimer_.start(kPaintEveryMs);
    EnableButtons();
}

StationWindow::~StationWindow() = default;

QString StationWindow::OpenJob(const QString& path) {
    if (runner_.Running()) return tr("Stop the line before opening another job.");
    try {
        // The file's name as the system's file functions take it (the ANSI code page on Windows).
        qv::LoadedJob job = qv::ReadJobFile(QFile::encodeName(path).toStdString());
        qv::cli::CheckJobImage(job);
        job_ = std::move(job);
        jobFile_ = path;
    } catch (const std::exception& error) {
        const QString problem = QString::fromStdString(error.what());
        ShowProblem(problem);
        return problem;
    }
    picture_.OpenJob(job_->job.fixtureSlots);
    ui_->jobLabel->setText(tr("Job %1 (%2)").arg(QString::fromStdString(job_->job.name), path));
    ui_->databaseLabel->setText(JobDatabaseText());
    ShowProblem({});
    Refresh();
    return {};
}

void StationWindow::StartLine(unsigned closeAfter) {
    if (!job_ || runner_.Running()) return;
    closeAfter_ = closeAfter;
    lineStarted_ = true;
    runner_.Start(*job_, closeAfter);
    Refresh();
}

void StationWindow::LearnSlots(unsigned count) {
    if (!job_ || runner_.Running()) return;
    lineStarted_ = false;
    runner_.Learn(QFile::encodeName(jobFile_).toStdString(), *job_, count);
    Refresh();
}

void StationWindow::StopLine() {
    runner_.Stop();
    Refresh();
}

void StationWindow::Refresh() {
    if (auto picture = picture_.TakeIfChanged(seen_)) {
        const bool jobWritten = last_ && picture->jobsWritten != last_->jobsWritten;
        ShowPicture(*picture);
        last_ = std::move(picture);
        if (jobWritten) reopenJob_ = true;
    }
    // The slots learned are the job's now: it is read again as any station would.
    if (reopenJob_ && !runner_.Running()) {
        reopenJob_ = false;
        OpenJob(jobFile_);
    }
    EnableButtons();
    if (closeAfter_ > 0 && lineStarted_ && last_ && !last_->running) {
        closeAfter_ = 0;
        close();
    }
}

int StationWindow::Outcome() const {
    if (!last_) return 0;
    const qv::cli::BatchSummary& summary = last_->sinceStart.summary;
    return !last_->problem.empty() || summary.failed + summary.stopped > 0 ? 1 : 0;
}

void StationWindow::closeEvent(QCloseEvent* event) {
    // The boards end cleanly before the window goes: the runner waits for them.
    runner_.Stop();
    event->accept();
}

void StationWindow::ShowPicture(const Picture& picture) {
    const bool newTiles = tiles_.size() != picture.tiles.size();
    if (newTiles) {
        for (SlotTile* tile : tiles_) delete tile;
        tiles_.clear();
        for (std::size_t i = 0; i < picture.tiles.size(); ++i) {
            auto* tile = new SlotTile(ui_->tileArea);
            ui_->tileGrid->addWidget(tile, static_cast<int>(i) / kTileColumns,
                                     static_cast<int>(i) % kTileColumns);
            tiles_.push_back(tile);
        }
    }
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        if (newTiles || !last_ || !(last_->tiles[i] == picture.tiles[i]))
            tiles_[i]->SetTile(picture.tiles[i]);
    ShowCounters(picture);
    if (picture.sinceStart.databaseAway)
        ui_->databaseLabel->setText(tr("waiting for the database (%1 judged boards)")
                                        .arg(picture.sinceStart.waitingForDatabase));
    else if (job_)
        ui_->databaseLabel->setText(JobDatabaseText());
    ui_->verdictList->clear();
    for (const std::string& verdict : picture.lastVerdicts)
        ui_->verdictList->addItem(QString::fromStdString(verdict));
    if (!picture.prompt.empty())
        ShowPrompt(QString::fromStdString(picture.prompt));
    else
        ShowProblem(QString::fromStdString(picture.problem));
}

QString StationWindow::JobDatabaseText() const {
    return job_->job.database.empty()
               ? tr("No database")
               : tr("Database: %1").arg(QString::fromStdString(job_->job.database));
}

void StationWindow::ShowCounters(const Picture& picture) {
    const qv::cli::BatchSummary& start = picture.sinceStart.summary;
    const qv::cli::BatchSummary& job = picture.sinceJobOpened;
    ui_->passedSinceStart->setText(CountText(start.passed));
    ui_->passedSinceJob->setText(CountText(job.passed));
    ui_->failedSinceStart->setText(CountText(start.failed));
    ui_->failedSinceJob->setText(CountText(job.failed));
    ui_->yieldSinceStart->setText(ShareText(start.FirstPassYield()));
    ui_->yieldSinceJob->setText(ShareText(job.FirstPassYield()));
    ui_->rateSinceStart->setText(RateText(start.BoardsPerHour()));
    ui_->rateSinceJob->setText(RateText(job.BoardsPerHour()));
}

void StationWindow::ShowProblem(const QString& problem) {
    ui_->messageLabel->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("color: #C62828"));
    ui_->messageLabel->setText(problem);
}

void StationWindow::ShowPrompt(const QString& prompt) {
    ui_->messageLabel->setStyleSheet(QStringLiteral("font-weight: bold"));
    ui_->messageLabel->setText(prompt);
}

void StationWindow::EnableButtons() {
    const bool running = runner_.Running();
    ui_->openJobButton->setEnabled(!running);
    ui_->learnSlotsButton->setEnabled(!running && job_.has_value());
    ui_->startButton->setEnabled(!running && job_.has_value());
    ui_->stopButton->setEnabled(running);
}
