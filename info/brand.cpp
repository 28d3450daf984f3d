#include "info/brand.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "gui/web_links.h"

namespace brand {

namespace {

const std::array<Maker, 4> kMakers = {{
    {"Trelvik-System", weblinks::kTrelvikHome, "trelviklink", LogoShape::Bars,
     QColor(0x1f, 0x4e, 0x8c), QColor(0xf2, 0x9f, 0x05)},
    {"Ostra Electronic", weblinks::kOstraHome, "ostralink", LogoShape::Ring,
     QColor(0xd9, 0x66, 0x1f), QColor(0x3a, 0x3a, 0x3a)},
    {"Quorvane", weblinks::kQuorvaneHome, "quorvanelink", LogoShape::Vane, QColor(0x13, 0x8a, 0x8a),
     QColor(0x0b, 0x3d, 0x4a)},
    {"Morvell", weblinks::kMorvellHome, "morvelllink", LogoShape::Hexagon, QColor(0x2e, 0x7d, 0x32),
     QColor(0xff, 0xff, 0xff)},
}};

// The logos are drawn in a 100 x 100 box.
constexpr double kBox = 100.0;

// A rounded square with a "T" and three rising bars.
void paintBars(QPainter& p, const Maker& m) {
    p.setPen(Qt::NoPen);
    p.setBrush(m.primary);
    p.drawRoundedRect(QRectF(4, 4, 92, 92), 16, 16);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(18, 18, 46, 12));
    p.drawRect(QRectF(35, 18, 12, 64));
    p.setBrush(m.accent);
    for (int i = 0; i < 3; ++i) {
        const double height = 16.0 + 12.0 * i;
        p.drawRect(QRectF(56 + 10 * i, 82 - height, 7, height));
    }
}

// A ring crossed by one period of a wave.
void paintRing(QPainter& p, const Maker& m) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(m.primary, 12));
    p.drawEllipse(QPointF(50, 50), 40, 40);
    QPainterPath wave(QPointF(14, 50));
    wave.cubicTo(QPointF(32, 14), QPointF(50, 14), QPointF(50, 50));
    wave.cubicTo(QPointF(50, 86), QPointF(68, 86), QPointF(86, 50));
    p.setPen(QPen(m.accent, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(wave);
}

// Four curved blades around a hub.
void paintVane(QPainter& p, const Maker& m) {
    p.setPen(Qt::NoPen);
    p.setBrush(m.primary);
    QPainterPath blade(QPointF(0, 0));
    blade.cubicTo(QPointF(10, -30), QPointF(34, -44), QPointF(46, -30));
    blade.cubicTo(QPointF(30, -26), QPointF(16, -14), QPointF(0, 0));
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(50, 50);
        p.rotate(90.0 * i);
        p.drawPath(blade);
        p.restore();
    }
    p.setBrush(m.accent);
    p.drawEllipse(QPointF(50, 50), 11, 11);
}

// A hexagon with an "M".
void paintHexagon(QPainter& p, const Maker& m) {
    QPolygonF hexagon;
    for (int i = 0; i < 6; ++i) {
        const double angle = std::numbers::pi / 3.0 * i + std::numbers::pi / 6.0;
        hexagon << QPointF(50 + 46 * std::cos(angle), 50 + 46 * std::sin(angle));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(m.primary);
    p.drawPolygon(hexagon);
    const QPolygonF letter_m{QPointF(28, 70), QPointF(28, 30), QPointF(50, 54), QPointF(72, 30),
                             QPointF(72, 70)};
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(m.accent, 10, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(letter_m);
}

}  // namespace

QString versionText() {
    return QStringLiteral("Version " QUORVANE_VERSION);
}

QString tagLine() {
    return QStringLiteral("CANopen configuration and monitoring for Linux");
}

std::span<const Maker> makers() {
    return kMakers;
}

void paintLogo(QPainter& painter, const Maker& maker, const QRectF& area) {
    const double side = std::min(area.width(), area.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.center().x() - side / 2.0, area.center().y() - side / 2.0);
    painter.scale(side / kBox, side / kBox);
    switch (maker.shape) {
        case LogoShape::Bars:
            paintBars(painter, maker);
            break;
        case LogoShape::Ring:
            paintRing(painter, maker);
            break;
        case LogoShape::Vane:
            paintVane(painter, maker);
            break;
        case LogoShape::Hexagon:
            paintHexagon(painter, maker);
            break;
    }
    painter.restore();
}

LogoWidget::LogoWidget(const Maker& maker, int side_px, QWidget* parent)
    : QWidget(parent), maker_(maker) {
    setFixedSize(side_px, side_px);
    setToolTip(QString::fromUtf8(maker.name));
    setAccessibleName(QString::fromUtf8(maker.name) + QStringLiteral(" logo"));
}

void LogoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintLogo(painter, maker_, QRectF(rect()));
}

QWidget* createMakersPanel(int logo_side_px, QWidget* parent) {
    auto* panel = new QWidget(parent);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(24);
    int column = 0;
    for (const Maker& maker : makers()) {
        auto* logo = new LogoWidget(maker, logo_side_px, panel);
        grid->addWidget(logo, 0, column, Qt::AlignHCenter);
        auto* link = new QLabel(
            QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(QString::fromUtf8(maker.url), QString::fromUtf8(maker.name).toHtmlEscaped()),
            panel);
        link->setObjectName(QString::fromUtf8(maker.linkObject));
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link->setOpenExternalLinks(false);
        link->setToolTip(QString::fromUtf8(maker.url));
        QObject::connect(link, &QLabel::linkActivated, link,
                         [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
        grid->addWidget(link, 1, column, Qt::AlignHCenter);
        ++column;
    }
    return panel;
}

}  // namespace brand
