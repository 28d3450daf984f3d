#include "transmit/transmit_messages_window.h"

#include <QHeaderView>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "gui/key_preview.h"
#include "gui/settings_store.h"
#include "gui/window_placement.h"
#include "transmit/core/transmit_table.h"
#include "transmit/transmit_grid.h"

namespace {

using namespace transmitgrid;

constexpr double kDesignDpi = 96.0;
constexpr int kNumberColumnWidth = 20;
constexpr int kRowHeight = 18;
// Widths of columns 1-6 at 96 pixels per inch.
constexpr std::array<int, kTextColumns> kTextColumnWidths = {140, 40, 50, 170, 60, 60};

// Data cells: white, the text at the top-left corner, never highlighted.
// Column 0 keeps the standard drawing.
class DataCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() == 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        painter->save();
        painter->setClipRect(option.rect);
        painter->fillRect(option.rect, Qt::white);
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect textRect = option.fontMetrics.boundingRect(
            option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->fillRect(textRect, option.palette.base());
        painter->setPen(option.palette.color(QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->restore();
    }
};

int scaled(double factor, int pixels) {
    return static_cast<int>(std::lround(factor * pixels));
}

}  // namespace

TWin_TransmitMessages::TWin_TransmitMessages(TTransmit& table, TransmitEngine& engine,
                                             QWidget* centreOver)
    : QWidget(nullptr, Qt::Window), table_(table), centreOver_(centreOver) {
    setObjectName(QStringLiteral("TWin_TransmitMessages"));
    setWindowTitle(QStringLiteral("Transmit Messages"));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    const QScreen* screen = this->screen();
    const double factor = screen != nullptr ? screen->logicalDotsPerInch() / kDesignDpi : 1.0;
    const int rowHeight = scaled(factor, kRowHeight);
    const int rows = table_.Count();

    txlist = new QTableWidget(rows, kColumns, this);
    txlist->setObjectName(QStringLiteral("txlist"));
    txlist->setAccessibleName(QStringLiteral("Transmit messages"));
    txlist->setFrameShape(QFrame::NoFrame);
    txlist->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txlist->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    txlist->setSelectionMode(QAbstractItemView::NoSelection);
    txlist->setFocusPolicy(Qt::NoFocus);
    txlist->setShowGrid(true);
    txlist->setWordWrap(false);
    // Narrow cells show as much of their text as fits, never an ellipsis
    // (the message numbers 10-19 in the 20-pixel first column).
    txlist->setTextElideMode(Qt::ElideNone);
    txlist->setItemDelegate(new DataCellDelegate(txlist));
    txlist->verticalHeader()->hide();
    txlist->verticalHeader()->setMinimumSectionSize(1);
    txlist->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    txlist->verticalHeader()->setDefaultSectionSize(rowHeight);
    QHeaderView* header = txlist->horizontalHeader();
    header->setFixedHeight(rowHeight);
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const auto headers = TransmitGridHeaders();
    txlist->setHorizontalHeaderLabels(QStringList(headers.begin(), headers.end()));

    int width = scaled(factor, kNumberColumnWidth);
    txlist->setColumnWidth(0, width);
    for (int column = 1; column <= kTextColumns; ++column) {
        txlist->setColumnWidth(column, scaled(factor, kTextColumnWidths[column - 1]));
        width += txlist->columnWidth(column);
    }
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem(column == 0 ? QString::number(row) : QString());
            item->setFlags(Qt::ItemIsEnabled);
            if (column == 0) item->setBackground(palette().button());
            txlist->setItem(row, column, item);
        }
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txlist);
    resize(width, rowHeight * (rows + 1));
    txlist->installEventFilter(this);

    new TransmitKeyPreview(this, engine);
    LoadTransmitLayout();
    RefreshTransmitGrid();
    table_.SetChangeListener([this](int) { RefreshTransmitGrid(); });
}

TWin_TransmitMessages::~TWin_TransmitMessages() {
    table_.SetChangeListener({});
    SaveTransmitLayout();
}

void TWin_TransmitMessages::RefreshTransmitGrid() {
    for (int row = 0; row < txlist->rowCount(); ++row) {
        const auto texts = TransmitGridRow(table_, row);
        for (int column = 1; column <= kTextColumns; ++column) {
            txlist->item(row, column)->setText(texts[column - 1]);
        }
    }
}

QString TWin_TransmitMessages::cellText(int row, int column) const {
    if (row == 0) return txlist->horizontalHeaderItem(column)->text();
    const QTableWidgetItem* item = txlist->item(row - 1, column);
    return item != nullptr ? item->text() : QString();
}

void TWin_TransmitMessages::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_) return;
    placed_ = true;
    if (centreOver_ != nullptr) {
        move(CentredTopLeft(centreOver_->frameGeometry(), frameGeometry().size()));
    }
}

bool TWin_TransmitMessages::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txlist && event->type() == QEvent::Resize) {
        txlist->setColumnWidth(kFillerColumn, txlist->width());
    }
    return QWidget::eventFilter(watched, event);
}

void TWin_TransmitMessages::LoadTransmitLayout() {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    const TransmitGridLayout layout = LoadTransmitGridLayout(*settings);
    for (int column = 0; column < kStoredColumns; ++column) {
        if (layout.columnWidths[column])
            txlist->setColumnWidth(column, *layout.columnWidths[column]);
    }
    resize(layout.windowWidth.value_or(width()), layout.windowHeight.value_or(height()));
}

void TWin_TransmitMessages::SaveTransmitLayout() const {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    TransmitGridLayout layout;
    for (int column = 0; column < kStoredColumns; ++column) {
        layout.columnWidths[column] = txlist->columnWidth(column);
    }
    layout.windowWidth = width();
    layout.windowHeight = height();
    SaveTransmitGridLayout(*settings, layout);
}
