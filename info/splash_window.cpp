#include "info/splash_window.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "info/brand.h"

namespace {

constexpr int kLogoSidePx = 56;
constexpr int kProductNamePointSize = 28;

}  // namespace

TWin_Splash::TWin_Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("splashwindow"));
    setWindowTitle(QStringLiteral("Quorvane Splash"));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto* name = new QLabel(QString::fromUtf8(brand::kProductName), frame);
    name->setObjectName(QStringLiteral("productname"));
    QFont name_font = name->font();
    name_font.setPointSize(kProductNamePointSize);
    name_font.setBold(true);
    name->setFont(name_font);
    name->setAlignment(Qt::AlignCenter);

    auto* tag_line = new QLabel(brand::tagLine(), frame);
    tag_line->setObjectName(QStringLiteral("tagline"));
    tag_line->setAlignment(Qt::AlignCenter);

    auto* version = new QLabel(brand::versionText(), frame);
    version->setObjectName(QStringLiteral("versionlabel"));
    version->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->setSpacing(8);
    layout->addWidget(name);
    layout->addWidget(tag_line);
    layout->addWidget(version);
    layout->addSpacing(16);
    layout->addWidget(brand::createMakersPanel(kLogoSidePx, frame), 0, Qt::AlignHCenter);

    close_timer_.setSingleShot(true);
    close_timer_.setInterval(kShownMs);
    connect(&close_timer_, &QTimer::timeout, this, &QWidget::close);
    adjustSize();
}

void TWin_Splash::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (const QScreen* shown_on = screen()) {
        QRect area = geometry();
        area.moveCenter(shown_on->availableGeometry().center());
        move(area.topLeft());
    }
    close_timer_.start();
}
