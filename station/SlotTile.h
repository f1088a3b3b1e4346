#pragma once

#include <QWidget>

#include "station/StationPicture.h"

// A fixture slot as an operator sees it from a metre away: its label, what it is doing (the
// step and its progress, PASS or FAIL with the cause), the board's serial number and seconds,
// on grey (waiting), blue (flashing), amber (recording), green (PASS) or red (FAIL).
class SlotTile : public QWidget {
    Q_OBJECT
public:
    explicit SlotTile(QWidget* parent = nullptr);

    void SetTile(const Tile& tile);
    const Tile& Shown() const { return tile_; }
    // The tile's lines as painted: label, state, the step or the cause, serial number, seconds.
    QStringList Lines() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Tile tile_;
};
