// How the trace grid's columns show their texts: default widths for the
// fonts in use, data cells painted plain (white, top-left, no selection),
// and a text cut by a narrow column ending in an ellipsis with the full text
// in its tooltip (cells and header alike). UI thread.
#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStyledItemDelegate>
#include <array>

class QHeaderView;

inline constexpr int kTraceTextColumns = 9;
using TraceColumnWidths = std::array<int, kTraceTextColumns>;

// Pixels left free before a cell's text.
inline constexpr int kTraceCellTextMargin = 2;

// The widths of a new window: each 96-DPI width scaled to the screen's dpi,
// widened to the texts every column must hold whole in this font: its title
// (as header draws it) and the longest texts of its kind, e.g. "Node
// Guarding/Heartbeat", "toggle = 1, last segment", eight hex bytes.
TraceColumnWidths DefaultTraceColumnWidths(const TraceColumnWidths& widthsAt96Dpi,
                                           const std::array<QString, kTraceTextColumns>& titles,
                                           const QHeaderView& header, const QFontMetrics& cells,
                                           double dpi);

// text as a cell of `width` pixels shows it: whole when it fits, else cut
// with a trailing ellipsis.
QString ShownCellText(const QFontMetrics& metrics, const QString& text, int width);

// Data cells: white, text at the top-left corner, no selection or focus
// marks; a cut text ends in "…" and its tooltip holds the whole text.
class TraceCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

// Shows the whole header text as the tooltip of a section too narrow for it.
void AddHeaderToolTips(QHeaderView& header);
