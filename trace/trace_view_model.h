// The trace grid's table: ten columns (the nine trace texts and an empty
// filler) over the rows of a TraceDisplay. Rows are formatted on demand in
// data(), so a stopped trace of 13000 rows costs nothing until it is painted;
// what a row says was fixed when the display took its frame (its message
// name included), so painting it again gives the same texts. UI thread.
#pragma once

#include <QAbstractTableModel>

#include "trace/core/canopen_interpreter.h"
#include "trace/core/trace_display.h"

class TEmergencyCodes;

class TraceViewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Columns 0-8 hold the trace texts; column 9 has no title and no text.
    static constexpr int kTextColumns = kTraceColumnCount;
    static constexpr int kFillerColumn = kTextColumns;
    static constexpr int kColumnCount = kTextColumns + 1;

    TraceViewModel(const TraceDisplay& display, TEmergencyCodes& codes, QObject* parent = nullptr);

    // Title of text column 0-8.
    static QString HeaderText(int column);

    // The display changed: one reset when the row count changed, else one
    // change notice for every cell.
    void displayChanged();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The interpreted line of model row `row`, or nullptr for a blank row.
    const TraceLine* lineAt(int row) const;

    const TraceDisplay& display_;
    TEmergencyCodes& codes_;
    int modelRows_;
    // The last interpreted row: the view asks for every column of a row in turn.
    mutable int cachedRow_ = -1;
    mutable TraceLine cachedLine_;
};
