#include "trace/trace_view_model.h"

namespace {

const char* const kHeaders[kTraceColumnCount] = {
    "Dir",     "Cnt",        "Msg ID (Hex)", "Msg Type",          "Node ID (Hex)",
    "Details", "Data (Hex)", "Data (ASCII)", "Raw Message (Hex)",
};

// Model rows leave out the grid's header row.
int modelRowsOf(const TraceDisplay& display) {
    return display.rowCount() - 1;
}

}  // namespace

TraceViewModel::TraceViewModel(const TraceDisplay& display, TEmergencyCodes& codes, QObject* parent)
    : QAbstractTableModel(parent),
      display_(display),
      codes_(codes),
      modelRows_(modelRowsOf(display)) {}

QString TraceViewModel::HeaderText(int column) {
    return column >= 0 && column < kTextColumns ? QString::fromLatin1(kHeaders[column]) : QString();
}

void TraceViewModel::displayChanged() {
    cachedRow_ = -1;
    const int rows = modelRowsOf(display_);
    if (rows != modelRows_) {
        beginResetModel();
        modelRows_ = rows;
        endResetModel();
    } else if (rows > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rows - 1, kColumnCount - 1), {Qt::DisplayRole});
    }
}

int TraceViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : modelRows_;
}

int TraceViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

const TraceLine* TraceViewModel::lineAt(int row) const {
    if (row == cachedRow_) return &cachedLine_;
    const TraceRecord* record = display_.recordAtRow(row + 1);
    if (record == nullptr) return nullptr;
    InterpretNamedFrame(*record, codes_, display_.nameAtRow(row + 1), cachedLine_);
    cachedRow_ = row;
    return &cachedLine_;
}

QVariant TraceViewModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        index.column() >= static_cast<int>(kTextColumns)) {
        return {};
    }
    const TraceLine* line = lineAt(index.row());
    if (line == nullptr) return {};
    // Message names are UTF-8; every other text is ASCII.
    const std::string_view text = line->text(static_cast<TraceColumn>(index.column()));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant TraceViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    if (section < 0 || section >= kColumnCount) return {};
    if (section == kFillerColumn) return QString();
    return QString::fromLatin1(kHeaders[section]);
}

Qt::ItemFlags TraceViewModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}
