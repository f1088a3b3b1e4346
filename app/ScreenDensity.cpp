#include "app/ScreenDensity.h"

#include <QGuiApplication>

void LetWindowEnlargeItself() {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::RoundPreferFloor);
}
