#include "gui/led_images.h"

#include <QPainter>
#include <QRadialGradient>

namespace {

QPixmap drawLed(int diameter, QColor colour, bool on) {
    QPixmap pixmap(diameter, diameter);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor body = on ? colour : colour.darker(320);
    QRadialGradient shine(diameter * 0.35, diameter * 0.35, diameter * 0.7);
    shine.setColorAt(0, on ? body.lighter(170) : body.lighter(130));
    shine.setColorAt(1, body);
    painter.setBrush(shine);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.drawEllipse(QRectF(0.5, 0.5, diameter - 1.0, diameter - 1.0));
    return pixmap;
}

}  // namespace

std::array<QPixmap, 8> MakeLedImages(int diameter) {
    const QColor green(40, 200, 60), red(230, 40, 30), yellow(240, 200, 20);
    return {drawLed(diameter, green, false),  drawLed(diameter, green, true),
            drawLed(diameter, green, false),  drawLed(diameter, green, true),
            drawLed(diameter, red, false),    drawLed(diameter, red, true),
            drawLed(diameter, yellow, false), drawLed(diameter, yellow, true)};
}
