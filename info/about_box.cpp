#include "info/about_box.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "info/brand.h"

namespace {

constexpr int kLogoSidePx = 48;
constexpr int kProductNamePointSize = 18;

}  // namespace

TWin_About::TWin_About(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutbox"));
    setWindowTitle(QStringLiteral("About Quorvane"));
    setModal(true);

    auto* name = new QLabel(QString::fromUtf8(brand::kProductName), this);
    name->setObjectName(QStringLiteral("productname"));
    QFont name_font = name->font();
    name_font.setPointSize(kProductNamePointSize);
    name_font.setBold(true);
    name->setFont(name_font);
    name->setAlignment(Qt::AlignCenter);

    auto* tag_line = new QLabel(brand::tagLine(), this);
    tag_line->setAlignment(Qt::AlignCenter);

    auto* version = new QLabel(brand::versionText(), this);
    version->setObjectName(QStringLiteral("versionlabel"));
    version->setAlignment(Qt::AlignCenter);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* credits = new QLabel(
        QStringLiteral("Copyright \u00a9 Trelvik-System. Built with Qt %1 (LGPL v3) and the "
                       "morvellcanopen library.")
            .arg(QString::fromLatin1(qVersion())),
        this);
    credits->setObjectName(QStringLiteral("creditslabel"));
    credits->setAlignment(Qt::AlignCenter);
    credits->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    auto* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closebutton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(8);
    layout->addWidget(name);
    layout->addWidget(tag_line);
    layout->addWidget(version);
    layout->addSpacing(12);
    layout->addWidget(brand::createMakersPanel(kLogoSidePx, this), 0, Qt::AlignHCenter);
    layout->addSpacing(12);
    layout->addWidget(credits);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
