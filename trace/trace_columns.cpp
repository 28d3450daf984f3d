#include "trace/trace_columns.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kReferenceDpi = 96.0;

// Per column, the texts that must fit whole: the longest of their kind. In
// hex texts 'H' stands for the font's widest hex digit.
const std::array<std::initializer_list<const char*>, kTraceTextColumns> kColumnTexts = {{
    {"Tx", "Rx"},
    {"999999"},
    {"HHHHHHHH"},
    {"SDO Download Response", "SDO Upload Response", "Node Guarding/Heartbeat",
     "SDO Abort by Server", "NMT Master Request"},
    {"7H (125d)"},
    {"toggle = 1, last segment", "Reset Communication"},
    {"HH HH HH HH HH HH HH HH "},
    {"WWWWWWWW", "MMMMMMMM"},
    {"HH HH HH HH HH HH HH HH "},
}};

QChar widestHexDigit(const QFontMetrics& metrics) {
    QChar widest = u'0';
    for (const QChar digit : QStringLiteral("0123456789ABCDEF")) {
        if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widest)) widest = digit;
    }
    return widest;
}

// Width of a header section holding text, by the header's style; like the
// header's own size hint, in bold (a highlighted section's font).
int headerWidth(const QHeaderView& header, const QString& text) {
    QStyleOptionHeader option;
    option.initFrom(&header);
    QFont bold = header.font();
    bold.setBold(true);
    option.fontMetrics = QFontMetrics(bold);
    option.text = text;
    option.orientation = Qt::Horizontal;
    return header.style()
        ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), &header)
        .width();
}

bool isCut(const QFontMetrics& metrics, const QString& text, int width) {
    return metrics.horizontalAdvance(text) > width;
}

int cellTextWidth(const QRect& cell) {
    return cell.width() - kTraceCellTextMargin;
}

// Tooltips of the header's sections, from its viewport's events.
class HeaderToolTipFilter : public QObject {
public:
    explicit HeaderToolTipFilter(QHeaderView& header)
        : QObject(&header), header_(header), viewport_(header.viewport()) {}

    // Also called while the header is being destroyed: nothing of it is
    // touched before a tooltip event is known.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || watched != viewport_) return false;
        auto* help = static_cast<QHelpEvent*>(event);
        const int section = header_.logicalIndexAt(help->pos());
        const QString text = section < 0
                                 ? QString()
                                 : header_.model()->headerData(section, Qt::Horizontal).toString();
        if (!text.isEmpty() && headerWidth(header_, text) > header_.sectionSize(section)) {
            QToolTip::showText(help->globalPos(), text, header_.viewport());
        } else {
            QToolTip::hideText();
        }
        return true;
    }

private:
    QHeaderView& header_;
    QObject* viewport_;
};

}  // namespace

TraceColumnWidths DefaultTraceColumnWidths(const TraceColumnWidths& widthsAt96Dpi,
                                           const std::array<QString, kTraceTextColumns>& titles,
                                           const QHeaderView& header, const QFontMetrics& cells,
                                           double dpi) {
    TraceColumnWidths widths{};
    const QChar hexDigit = widestHexDigit(cells);
    for (int column = 0; column < kTraceTextColumns; ++column) {
        int width = static_cast<int>(std::lround(widthsAt96Dpi[column] * dpi / kReferenceDpi));
        width = std::max(width, headerWidth(header, titles[column]));
        for (const char* text : kColumnTexts[column]) {
            const QString sample = QString::fromLatin1(text).replace(u'H', hexDigit);
            width = std::max(width, cells.horizontalAdvance(sample) + 2 * kTraceCellTextMargin);
        }
        widths[column] = width;
    }
    return widths;
}

QString ShownCellText(const QFontMetrics& metrics, const QString& text, int width) {
    return metrics.elidedText(text, Qt::ElideRight, std::max(width, 0));
}

void TraceCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    painter->fillRect(option.rect, Qt::white);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return;
    painter->save();
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->setClipRect(option.rect);
    painter->drawText(option.rect.adjusted(kTraceCellTextMargin, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      ShownCellText(option.fontMetrics, text, cellTextWidth(option.rect)));
    painter->restore();
}

bool TraceCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty() && isCut(option.fontMetrics, text, cellTextWidth(option.rect))) {
        QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

void AddHeaderToolTips(QHeaderView& header) {
    header.viewport()->installEventFilter(new HeaderToolTipFilter(header));
}
