#include "hardware/hw_init_error_dialog.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "hardware/hardware_selection.h"
#include "gui/web_links.h"
#include "gui/window_placement.h"

namespace {

constexpr int kTextWidthPx = 380;

constexpr const char* kDescription =
    "Ensure the drivers for the CAN interface have been installed. If they have not been "
    "installed then click on one of the links below to go to the driver download web page.";

constexpr const char* kLinkStyle =
    "QLabel { font-weight: bold; text-decoration: underline; color: green; }";

QLabel* MakeLink(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* link = new QLabel(caption, parent);
    link->setObjectName(objectName);
    link->setStyleSheet(QString::fromLatin1(kLinkStyle));
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

}  // namespace

TWin_HWInitError::TWin_HWInitError(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Hardware Error"));

    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("error"));
    error_->setWordWrap(true);
    error_->setFixedWidth(kTextWidthPx);

    description_ = new QLabel(QString::fromLatin1(kDescription), this);
    description_->setObjectName(QStringLiteral("description"));
    description_->setWordWrap(true);
    description_->setFixedWidth(kTextWidthPx);

    trelvikDownload_ =
        MakeLink(QStringLiteral("trelvikdownload"), QStringLiteral("Trelvik Interfaces"), this);
    ostraDownload_ =
        MakeLink(QStringLiteral("ostradownload"), QStringLiteral("Ostra Interfaces"), this);
    trelvikDownload_->installEventFilter(this);
    ostraDownload_->installEventFilter(this);

    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* links = new QHBoxLayout;
    links->addWidget(trelvikDownload_);
    links->addStretch();
    links->addWidget(ostraDownload_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(error_);
    layout->addWidget(description_);
    layout->addLayout(links);
    layout->addWidget(close_, 0, Qt::AlignHCenter);
    // Not resizable: the size follows the texts.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    adjustSize();
    CentreOnScreen(this);
}

void TWin_HWInitError::setErrorText(const QString& text) {
    error_->setText(text);
    error_->setFixedWidth(description_->width());
    adjustSize();
}

void TWin_HWInitError::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    KeepOnSingleMonitor(this);
}

bool TWin_HWInitError::eventFilter(QObject* watched, QEvent* event) {
    const bool isLink = watched == trelvikDownload_ || watched == ostraDownload_;
    if (isLink && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* link = static_cast<QLabel*>(watched);
        if (mouse->button() == Qt::LeftButton &&
            link->rect().contains(mouse->position().toPoint())) {
            const char* address =
                watched == trelvikDownload_ ? weblinks::kTrelvikDrivers : weblinks::kOstraUsbModule;
            QDesktopServices::openUrl(QUrl(QString::fromLatin1(address)));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
