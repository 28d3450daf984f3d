#include "manager/node_table_model.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include "manager/core/manager_texts.h"

namespace {
constexpr int kCheckSize = 15;
constexpr int kTextInset = 2;
}  // namespace

int NodeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : manager_map::kMaxNode;
}

int NodeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : manager_text::kColumns;
}

QVariant NodeTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row() + 1;
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(manager_text::CellText(config_, row, index.column()));
        case AvailableRole:
            return manager_text::CellAvailable(config_, row, index.column());
        default:
            return {};
    }
}

QVariant NodeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return QString::fromLatin1(manager_text::ColumnTitle(section));
    return section + 1;
}

void NodeTableModel::refresh() {
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void NodeTableModel::refreshNode(uint8_t node) {
    Q_EMIT dataChanged(index(node - 1, 0), index(node - 1, columnCount() - 1));
}

NodeCellDelegate::NodeCellDelegate(QObject* parent)
    : QStyledItemDelegate(parent), checkOn_(CheckImage(true)), checkOff_(CheckImage(false)) {}

QPixmap NodeCellDelegate::CheckImage(bool ticked) {
    QPixmap image(kCheckSize, kCheckSize);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(0, 0, kCheckSize - 1, kCheckSize - 1);
    if (ticked) {
        QPen tick(Qt::black, 2);
        p.setPen(tick);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPolyline(QPolygonF({QPointF(3.5, 7.5), QPointF(6, 10.5), QPointF(11.5, 4)}));
    }
    return image;
}

void NodeCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const int column = index.column();
    const bool available = index.data(NodeTableModel::AvailableRole).toBool();
    const QRect r = option.rect;
    painter->save();
    painter->fillRect(
        r, available ? QColor(Qt::white) : QApplication::palette().color(QPalette::Button));
    const QString text = index.data(Qt::DisplayRole).toString();
    if (column >= 1 && column <= 6 && available) {
        if (!text.isEmpty()) {
            const QPixmap& image = text == QLatin1String("0") ? checkOff_ : checkOn_;
            painter->drawPixmap(r.left() + (r.width() - kCheckSize) / 2, r.top() + 1, image);
        }
    } else if (available || column == 0) {
        painter->setClipRect(r);
        painter->setPen(Qt::black);
        painter->drawText(r.adjusted(kTextInset, kTextInset, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }
    if (option.state & QStyle::State_HasFocus) {
        painter->setClipping(false);
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(r.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}
