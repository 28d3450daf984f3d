// The manager window's node table: rows = nodes 1-127, columns as
// manager_text (0 the node, 1-6 check boxes, 7-8 numbers, 9 date and time,
// 10-14 identity, 15 an empty filler). Cells beyond their column's count
// are grey and empty. UI thread.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QStyledItemDelegate>

#include "manager/core/manager_configuration.h"

class NodeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Whether a cell lies within its column's count (Qt::UserRole).
    static constexpr int AvailableRole = Qt::UserRole;

    explicit NodeTableModel(const ManagerConfiguration& config, QObject* parent = nullptr)
        : QAbstractTableModel(parent), config_(config) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The configuration changed: every cell, or node n's row.
    void refresh();
    void refreshNode(uint8_t node);

private:
    const ManagerConfiguration& config_;
};

// Draws the cells: button-face background where no data can be, the 15 x 15
// check images in available cells of columns 1-6, text 2 pixels in from the
// top-left corner elsewhere; black text.
class NodeCellDelegate : public QStyledItemDelegate {
public:
    explicit NodeCellDelegate(QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    static QPixmap CheckImage(bool ticked);  // IMAGE_CHECKON / IMAGE_CHECKOFF

private:
    QPixmap checkOn_, checkOff_;
};
