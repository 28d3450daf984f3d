#include "manager/node_table_model.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>

#include "manager/core/manager_texts.h"
#include "manager/core/manager_writes.h"

namespace {
constexpr int kCheckSize = 15;
constexpr int kTextInset = 2;
constexpr int kTypedDigits = 5;  // retry factor and guard time, decimal
constexpr int kHexDigits = 8;    // identity values
const QColor kUnwrittenColour(0xFF, 0xC8, 0xC8);
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
        case Qt::EditRole:
            return QString::fromStdString(manager_text::CellText(config_, row, index.column()));
        case AvailableRole:
            return manager_text::CellAvailable(config_, row, index.column());
        case UnwrittenRole:
            return unwritten(row, index.column());
        case Qt::ToolTipRole:
            if (unwritten(row, index.column()))
                return QStringLiteral("Not written: the CANopen Manager did not take this value");
            return {};
        default:
            return {};
    }
}

bool NodeTableModel::unwritten(int row, int column) const {
    if (!manager_text::CellAvailable(config_, row, column)) return false;
    const uint8_t entries = unwritten_[row - 1];
    if (column >= 1 && column <= manager_text::kGuardTimeColumn)
        return (entries & kRowAssignment) != 0;
    if (column == manager_text::kDateTimeColumn) return (entries & (kRowDate | kRowTime)) != 0;
    return (entries & IdentityEntryOfColumn(column)) != 0;
}

Qt::ItemFlags NodeTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const int column = index.column();
    if (IsTypedColumn(column) && manager_text::CellAvailable(config_, index.row() + 1, column))
        flags |= Qt::ItemIsEditable;
    return flags;
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

QWidget* NodeCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("celleditor"));
    editor->setMaxLength(IdentityEntryOfColumn(index.column()) != 0 ? kHexDigits : kTypedDigits);
    editor->setFrame(false);
    // createEditor is const; the signal belongs to the delegate all the same.
    auto* self = const_cast<NodeCellDelegate*>(this);
    connect(editor, &QLineEdit::textEdited, self,
            [self, index = QPersistentModelIndex(index)](const QString& text) {
                if (index.isValid()) Q_EMIT self->typed(index, text);
            });
    return editor;
}

bool NodeCellDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
        Q_EMIT keyReleased();
    return QStyledItemDelegate::eventFilter(watched, event);
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
    const QColor background = !available ? QApplication::palette().color(QPalette::Button)
                              : index.data(NodeTableModel::UnwrittenRole).toBool()
                                  ? kUnwrittenColour
                                  : QColor(Qt::white);
    painter->fillRect(r, background);
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
