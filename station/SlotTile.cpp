#include "station/SlotTile.h"

#include <QPainter>
#include <QPaintEvent>

namespace {

QColor Background(Tile::State state) {
    switch (state) {
        case Tile::State::Waiting:
            return QColor(0xE0, 0xE0, 0xE0);
        case Tile::State::Flashing:
            return QColor(0xC6, 0xDB, 0xF7);
        case Tile::State::Recording:
            return QColor(0xF5, 0xD3, 0x8A);
        case Tile::State::Passed:
            return QColor(0x1E, 0x8E, 0x3E);
        case Tile::State::Failed:
            break;
    }
    return QColor(0xC6, 0x28, 0x28);
}

QString StateLine(const Tile& tile) {
    switch (tile.state) {
        case Tile::State::Waiting:
            return QStringLiteral("waiting");
        case Tile::State::Flashing:
            return QStringLiteral("%1 %").arg(qRound(tile.progress * 100));
        case Tile::State::Recording:
            return QStringLiteral("recording");
        case Tile::State::Passed:
            return QStringLiteral("PASS");
        case Tile::State::Failed:
            break;
    }
    return QStringLiteral("FAIL");
}

}  // namespace

SlotTile::SlotTile(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SlotTile::SetTile(const Tile& tile) {
    tile_ = tile;
    setToolTip(QString::fromStdString(tile.port + (tile.text.empty() ? "" : ": " + tile.text)));
    update();
}

QStringList SlotTile::Lines() const {
    // The step running, or the failure's cause, under the state.
    QStringList lines{QString::fromStdString(tile_.label), StateLine(tile_)};
    if ((tile_.state == Tile::State::Flashing || tile_.state == Tile::State::Failed) &&
        !tile_.text.empty())
        lines << QString::fromStdString(tile_.text);
    lines << QString::fromStdString(tile_.serial);
    lines << (tile_.state == Tile::State::Waiting ? QString()
                                                  : QStringLiteral("%1 s").arg(tile_.seconds, 0, 'f', 1));
    return lines;
}

QSize SlotTile::sizeHint() const { return {240, 170}; }

void SlotTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    const QColor background = Background(tile_.state);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(area, 8, 8);
    if (tile_.state == Tile::State::Flashing) {
        // The running step's progress along the foot of the tile.
        QRectF bar = area.adjusted(8, area.height() - 18, -8, -8);
        painter.setBrush(QColor(0xFF, 0xFF, 0xFF));
        painter.drawRect(bar);
        bar.setWidth(bar.width() * std::clamp(tile_.progress, 0.0, 1.0));
        painter.setBrush(QColor(0x1F, 0x5F, 0xBF));
        painter.drawRect(bar);
    }
    const bool dark = tile_.state == Tile::State::Passed || tile_.state == Tile::State::Failed;
    painter.setPen(dark ? Qt::white : Qt::black);
    const QStringList lines = Lines();
    // The label and the state large, the rest in a smaller size; all scaled with the tile.
    const double unit = std::max(8.0, std::min(area.height() / 9.0, area.width() / 14.0));
    QRectF line = area.adjusted(12, 8, -12, -8);
    for (int i = 0; i < lines.size(); ++i) {
        QFont font = painter.font();
        font.setPointSizeF(i < 2 ? unit * 1.4 : unit * 0.8);
        font.setBold(i < 2);
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignTop,
                         metrics.elidedText(lines[i], Qt::ElideRight, line.width()));
        line.setTop(line.top() + metrics.height() * 1.1);
    }
}
