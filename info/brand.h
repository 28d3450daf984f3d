// What the splash window and the about box share: product texts, the makers
// with their web pages, their logos (painted, no image files) and the row of
// logos with clickable links. UI thread only.
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <span>

class QPainter;

namespace brand {

inline constexpr const char* kProductName = "Quorvane";

// "Version " followed by the version of this build, e.g. "Version 0.1.0".
QString versionText();
// One line under the product name.
QString tagLine();

enum class LogoShape { Bars, Ring, Vane, Hexagon };

struct Maker {
    const char* name;        // shown under the logo as the link text
    const char* url;         // its home page
    const char* linkObject;  // object name of the link label
    LogoShape shape;
    QColor primary;
    QColor accent;
};

// Trelvik-System, Ostra Electronic, Quorvane, Morvell, in display order.
std::span<const Maker> makers();

// Paints the maker's logo scaled into `area` (kept square, centred); leaves the
// painter's state as it found it.
void paintLogo(QPainter& painter, const Maker& maker, const QRectF& area);

// A square widget showing one maker's logo; its tool tip is the maker's name.
class LogoWidget : public QWidget {
public:
    LogoWidget(const Maker& maker, int side_px, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Maker& maker_;
};

// A widget with one column per maker: its logo above a link to its home page.
// A click on a link opens the address with QDesktopServices::openUrl.
QWidget* createMakersPanel(int logo_side_px, QWidget* parent);

}  // namespace brand
