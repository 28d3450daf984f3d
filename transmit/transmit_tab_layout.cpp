// Controls of the transmit tab: object names, captions, hints, colours,
// layout and tab order. No behaviour here.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>
#include <QWidget>
#include <string>
#include <vector>

#include "transmit/transmit_tab.h"

namespace {

const QColor kIdentifierGroupColour(0x80, 0x00, 0x00);  // maroon
const QColor kTriggerGroupColour(0x00, 0x80, 0x00);     // green
const QColor kContentsGroupColour(0x80, 0x80, 0x00);    // olive
constexpr int kHexEditWidth = 48;

// Typed and pasted letters turn upper case; nothing is refused.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

template <class T>
T* named(T* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QLatin1String(name));
    if (hint != nullptr) widget->setToolTip(QString::fromUtf8(hint));
    return widget;
}

QLabel* label(QWidget* page, const char* name, const char* caption, QWidget* buddy = nullptr) {
    auto* l = named(new QLabel(QString::fromUtf8(caption), page), name);
    if (buddy != nullptr) l->setBuddy(buddy);
    return l;
}

void colour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLineEdit* hexEdit(QWidget* page, const char* name, const char* initial, int maxLength,
                   const char* hint = nullptr) {
    auto* edit = named(new QLineEdit(page), name, hint);
    edit->setValidator(new UpperCaseValidator(edit));
    edit->setMaxLength(maxLength);
    edit->setText(QLatin1String(initial));
    edit->setMaximumWidth(kHexEditWidth);
    return edit;
}

QComboBox* list(QWidget* page, const char* name, const char* hint, const QStringList& items) {
    auto* combo = named(new QComboBox(page), name, hint);
    combo->addItems(items);
    return combo;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* line = new QHBoxLayout;
    for (QWidget* w : widgets) line->addWidget(w);
    if (stretch) line->addStretch(1);
    return line;
}

}  // namespace

void TransmitTab::buildControls(QWidget* page) {
    txlist = list(page, "txlist", "Select the message to configure for transmission", {});
    txlist->setMinimumContentsLength(16);
    Label1 = label(page, "Label1", "Message:", txlist);
    txenable = named(new QCheckBox(QStringLiteral("Enable"), page), "txenable",
                     "Check to enable this message and configure it");
    txname = named(new QLineEdit(page), "txname", "Enter a name for the message");
    txname->setMaxLength(transmitwire::kMaxNameLength);
    txnamelabel = label(page, "txnamelabel", "Message name:", txname);

    txmsgidlabel = label(page, "txmsgidlabel", "Message ID:");
    txid =
        named(new QRadioButton(page), "txid", "Select to transmit the message using a specific ID");
    // Controls without a caption or label of their own are named for
    // assistive tools.
    txid->setAccessibleName(QStringLiteral("Use message ID"));
    txidnum = hexEdit(page, "txidnum", "7FF", 3, "Enter the message ID to use");
    txidlabel = label(page, "txidlabel", "ID: 0x", txidnum);
    txpdo = named(new QRadioButton(page), "txpdo",
                  "Select to transmit a PDO using the pre-defined connection set ID");
    txpdo->setAccessibleName(QStringLiteral("Use PDO of node"));
    idChoice = new QButtonGroup(page);
    idChoice->addButton(txid);
    idChoice->addButton(txpdo);
    txnodeid = hexEdit(page, "txnodeid", "FF", 2, "Enter the Node ID that defines the PDO");
    txpdolabel = label(page, "txpdolabel", "Node ID: 0x", txnodeid);
    txpdoselector = list(page, "txpdoselector", "Select the PDO to transmit for the node",
                         {"Tx PDO 1", "Rx PDO 1", "Tx PDO 2", "Rx PDO 2", "Tx PDO 3", "Rx PDO 3",
                          "Tx PDO 4", "Rx PDO 4"});
    txpdolabel2 = label(page, "txpdolabel2", "PDO:", txpdoselector);

    txtriglabel = label(page, "txtriglabel", "Triggering:");
    txkeytrig =
        named(new QCheckBox(page), "txkeytrig", "Check to transmit the message on a keypress");
    txkeytrig->setAccessibleName(QStringLiteral("Send on key"));
    QStringList keys;
    for (int digit = 0; digit <= 9; ++digit) keys << QString::number(digit);
    for (int f = 1; f <= 12; ++f) keys << QStringLiteral("F%1").arg(f);
    txkeyselector =
        list(page, "txkeyselector", "Select the key to trigger transmission when pressed", keys);
    txkeytriglabel = label(page, "txkeytriglabel", "Send on key:", txkeyselector);
    txrxtrig = named(new QCheckBox(page), "txrxtrig",
                     "Check to transmit the message when a message with the given ID is received");
    txrxtrig->setAccessibleName(QStringLiteral("Send on Rx of ID"));
    txrxid = hexEdit(page, "txrxid", "7FF", 3, "Enter the ID whose reception triggers the message");
    txrxtriglabel = label(page, "txrxtriglabel", "Send on Rx of ID: 0x", txrxid);

    txcontentslabel = label(page, "txcontentslabel", "Contents:");
    txdlcselector = list(page, "txdlcselector", "Select the number of bytes of data in the message",
                         {"0", "1", "2", "3", "4", "5", "6", "7", "8"});
    txdlclabel = label(page, "txdlclabel", "Length:", txdlcselector);
    for (int byte = 0; byte < transmitwire::kDataBytes; ++byte) {
        const std::string name = "txd" + std::to_string(byte);
        const std::string hint = "Enter the contents of byte " + std::to_string(byte);
        txd[byte] = hexEdit(page, name.c_str(), "FF", 2, hint.c_str());
        txd[byte]->setAccessibleName(QStringLiteral("Data byte %1").arg(byte));
    }
    txdatalabel = label(page, "txdatalabel", "Data:", txd[0]);
    txtimestamp = named(new QCheckBox(QStringLiteral("Timestamp"), page), "txtimestamp",
                        "Check to transmit a timestamp in the message");
    txnow = named(new QPushButton(QStringLiteral("Transmit Now"), page), "txnow",
                  "Click to transmit the message immediately");

    colour(txmsgidlabel, kIdentifierGroupColour);
    colour(txtriglabel, kTriggerGroupColour);
    colour(txcontentslabel, kContentsGroupColour);
    colour(txtimestamp, kContentsGroupColour);

    auto* column = new QVBoxLayout(page);
    column->addLayout(row({Label1, txlist, txenable, txnamelabel, txname}));
    column->addWidget(txmsgidlabel);
    column->addLayout(row({txid, txidlabel, txidnum}));
    column->addLayout(row({txpdo, txpdolabel, txnodeid, txpdolabel2, txpdoselector}));
    column->addWidget(txtriglabel);
    column->addLayout(row({txkeytrig, txkeytriglabel, txkeyselector}));
    column->addLayout(row({txrxtrig, txrxtriglabel, txrxid}));
    column->addWidget(txcontentslabel);
    QHBoxLayout* data = row({txdlclabel, txdlcselector, txdatalabel}, false);
    for (QLineEdit* byte : txd) data->addWidget(byte);
    data->addWidget(txtimestamp);
    data->addStretch(1);
    column->addLayout(data);
    column->addLayout(row({txnow}));
    column->addStretch(1);
}

void TransmitTab::setTabOrder() {
    std::vector<QWidget*> order = {txlist,        txenable, txid,          txidnum,
                                   txpdo,         txnodeid, txpdoselector, txkeytrig,
                                   txkeyselector, txrxtrig, txrxid,        txdlcselector};
    order.insert(order.end(), txd.begin(), txd.end());
    order.insert(order.end(), {txnow, txname, txtimestamp});
    for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}
