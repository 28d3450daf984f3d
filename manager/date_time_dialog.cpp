#include "manager/date_time_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/notifier.h"
#include "manager/core/manager_operations.h"
#include "manager/core/manager_texts.h"
#include "manager/core/utilities.h"
#include "manager/ui_mailbox.h"

namespace {

constexpr int kClientWidth = 338;
constexpr int kClientHeight = 87;

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const char* hint) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    return b;
}

}  // namespace

TWin_EnterDateAndTime::TWin_EnterDateAndTime(TUtilities& utilities, Notifier& notifier,
                                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      utilities_(utilities),
      notifier_(notifier) {
    setObjectName(QStringLiteral("TWin_EnterDateAndTime"));
    mailbox_ = new UiMailbox(this);
    setWindowTitle(QStringLiteral("Enter Date and Time"));
    dateandtime_ = new QLineEdit(QStringLiteral("23-Mar-2005 22:22:22:222"), this);
    dateandtime_->setObjectName(QStringLiteral("dateandtime"));
    dateandtime_->setToolTip(
        QStringLiteral("Enter the data and time using the format indicated below"));
    auto* label = new QLabel(QStringLiteral("Date and Time:"), this);
    label->setBuddy(dateandtime_);
    auto* format = new QLabel(QStringLiteral("(format: dd-mmm-yyyy hh:mm:ss:iii)"), this);
    read_ = button(this, "read", QStringLiteral("Read from node"),
                   "Click to read the date and time from the node");
    auto* cancel =
        button(this, "cancel", QStringLiteral("Cancel"), "Click to ignore changes and close");
    auto* ok = button(this, "ok", QStringLiteral("OK"), "Click to accept changes and close");
    ok->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(dateandtime_, 0, 1);
    grid->addWidget(format, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(read_);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    const QSize hint = sizeHint();
    setFixedSize(std::max(kClientWidth, hint.width()), std::max(kClientHeight, hint.height()));

    connect(ok, &QPushButton::clicked, this, &TWin_EnterDateAndTime::okClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(read_, &QPushButton::clicked, this, &TWin_EnterDateAndTime::readClick);
}

TWin_EnterDateAndTime::~TWin_EnterDateAndTime() {
    if (reader_.joinable()) {
        utilities_.CancelTransfer();
        reader_.join();
    }
}

bool TWin_EnterDateAndTime::EnterDateAndTime(uint8_t nodeId, uint32_t& date, uint32_t& time, int x,
                                             int y) {
    cancelled_ = true;
    dateandtime_->setText(QString::fromStdString(FormatConfigDateTime(date, time)));
    if (x != 0 && y != 0) move(x - width() / 2, y - height() / 2);
    const QString title = QString::fromStdString(manager_text::NodeTitle(nodeId));
    read_->setText(QStringLiteral("Read from node ") + title);
    nodeId_ = nodeId;
    exec();
    if (cancelled_) return false;
    const std::optional<ConfigDateTime> entered =
        ParseConfigDateTime(dateandtime_->text().toLatin1().toStdString());
    if (!entered) return false;
    date = entered->date;
    time = entered->time;
    return true;
}

void TWin_EnterDateAndTime::okClick() {
    // The close is allowed only with a valid text; a refused one stays as typed.
    const std::optional<std::string> error =
        DateTimeTextError(dateandtime_->text().toLatin1().toStdString());
    if (error) {
        notifier_.warning(QString::fromStdString(*error));
        return;
    }
    cancelled_ = false;
    accept();
}

void TWin_EnterDateAndTime::readClick() {
    if (reading_) return;
    if (reader_.joinable()) reader_.join();
    reading_ = true;
    const uint8_t node = nodeId_;
    reader_ = std::thread([this, node] {
        const NodeDateTimeRead read = ReadNodeDateTime(utilities_, node);
        mailbox_->post([this, read] {
            reading_ = false;
            if (read.value) {
                dateTimeRead(*read.value);
            } else {
                notifier_.warning(QString::fromStdString(read.message));
            }
        });
    });
}

void TWin_EnterDateAndTime::dateTimeRead(ConfigDateTime value) {
    lastRead_ = value;
    dateandtime_->setText(QString::fromStdString(FormatConfigDateTime(value.date, value.time)));
}
