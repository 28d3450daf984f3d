// The manager window's node table: rows = nodes 1-127, columns as
// manager_text (0 the node, 1-6 check boxes, 7-8 numbers, 9 date and time,
// 10-14 identity, 15 an empty filler). Cells beyond their column's count
// are grey and empty; cells whose entry the manager did not take are marked.
// Available cells of columns 7-8 (decimal) and 10-14 (hex) are editable; the
// typed text is taken as it changes (NodeCellDelegate::typed), not when the
// editor closes. UI thread.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>

#include "manager/core/manager_configuration.h"

class NodeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Whether a cell lies within its column's count (Qt::UserRole).
    static constexpr int AvailableRole = Qt::UserRole;
    // Whether the manager did not take the cell's entry at its last write (bool).
    static constexpr int UnwrittenRole = Qt::UserRole + 1;

    // unwritten[n - 1]: node n's RowEntry bits the manager did not take.
    using UnwrittenEntries = std::array<uint8_t, manager_map::kMaxNode>;

    NodeTableModel(const ManagerConfiguration& config, const UnwrittenEntries& unwritten,
                   QObject* parent = nullptr)
        : QAbstractTableModel(parent), config_(config), unwritten_(unwritten) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The configuration changed: every cell, or node n's row.
    void refresh();
    void refreshNode(uint8_t node);

private:
    bool unwritten(int row, int column) const;

    const ManagerConfiguration& config_;
    const UnwrittenEntries& unwritten_;
};

// Draws the cells: button-face background where no data can be, the 15 x 15
// check images in available cells of columns 1-6, text 2 pixels in from the
// top-left corner elsewhere; black text.
class NodeCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit NodeCellDelegate(QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The cell editor "celleditor": at most five characters in columns 7-8,
    // eight in 10-14; each change reported by typed(); closing it writes
    // nothing back.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    // The view installs the delegate on its editors: a key released there is
    // reported by keyReleased().
    bool eventFilter(QObject* watched, QEvent* event) override;

    static QPixmap CheckImage(bool ticked);  // IMAGE_CHECKON / IMAGE_CHECKOFF

Q_SIGNALS:
    void typed(const QModelIndex& index, const QString& text);
    void keyReleased();

private:
    QPixmap checkOn_, checkOff_;
};
