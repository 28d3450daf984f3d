#include "node/display_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "node/data_display.h"

namespace {
constexpr int kWindowExtraHeight = 83;  // the window is this much taller than the text
constexpr int kCloseGap = 26;           // from the text's bottom edge to the Close button
}  // namespace

TWin_Display::TWin_Display(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TWin_Display"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    auto* headers = new QHBoxLayout;
    for (const char* caption : {"Offset", "Hexadecimal", "ASCII"}) {
        auto* header = new QLabel(QString::fromLatin1(caption), this);
        header->setFrameShape(QFrame::Panel);
        header->setFrameShadow(QFrame::Raised);
        headers->addWidget(header, caption[0] == 'H' ? 4 : caption[0] == 'A' ? 2 : 1);
    }
    display_ = new QPlainTextEdit(this);
    display_->setObjectName(QStringLiteral("display"));
    display_->setAccessibleName(QStringLiteral("Data dump"));
    display_->setReadOnly(true);
    display_->setFont(fixed);
    display_->setLineWrapMode(QPlainTextEdit::NoWrap);
    display_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    display_->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(58, QLatin1Char('0'))) +
                              display_->verticalScrollBar()->sizeHint().width());

    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("closebutton"));
    close_->setToolTip(QStringLiteral("Click to close this window"));
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addLayout(headers);
    layout->addWidget(display_);
    layout->addSpacing(kCloseGap);
    layout->addWidget(close_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void TWin_Display::setEntry(uint8_t nodeId, uint32_t index, uint8_t subindex) {
    nodeId_ = nodeId;
    index_ = index;
    subindex_ = subindex;
}

void TWin_Display::setData(const uint8_t* data, uint32_t length) {
    data_ = data;
    length_ = length;
}

void TWin_Display::showEvent(QShowEvent* event) {
    fill();
    QDialog::showEvent(event);
    if (parentWidget() != nullptr) move(parentWidget()->geometry().center() - rect().center());
}

void TWin_Display::fill() {
    setWindowTitle(DumpCaption(nodeId_, index_, subindex_));
    const QStringList lines = data_ != nullptr ? DumpLines(data_, length_) : QStringList();
    display_->setPlainText(lines.join(QLatin1Char('\n')));
    const int textHeight = DumpTextHeight(static_cast<int>(lines.size()));
    display_->setFixedHeight(textHeight);
    setFixedHeight(textHeight + kWindowExtraHeight);
}
