#include "transmit/transmit_tab.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QWidget>

#include "gui/key_codes.h"
#include "gui/notifier.h"
#include "transmit/core/transmit_engine.h"
#include "transmit/core/transmit_table.h"

TransmitTab::TransmitTab(QWidget* page, TTransmit& table, TransmitEngine& engine,
                         Notifier& notifier, QTimer& inputCheckTimer)
    : QObject(page),
      table_(table),
      engine_(engine),
      notifier_(notifier),
      inputCheckTimer_(inputCheckTimer) {
    setObjectName(QStringLiteral("transmitTab"));
    buildControls(page);
    setTabOrder();
    loading_ = false;
    FillTransmitList();
    UpdateTransmitControls();
    connectControls();
}

void TransmitTab::connectControls() {
    connect(txlist, &QComboBox::currentIndexChanged, this, [this] { ShowTransmitMessage(); });
    auto updateThenStore = [this] {
        UpdateTransmitControls();
        StoreTransmitEdits();
    };
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{txenable, txid, txpdo, txkeytrig, txrxtrig}) {
        connect(button, &QAbstractButton::toggled, this, updateThenStore);
    }
    connect(txdlcselector, &QComboBox::currentIndexChanged, this, updateThenStore);

    std::vector<QLineEdit*> hexEdits = {txidnum, txnodeid, txrxid};
    hexEdits.insert(hexEdits.end(), txd.begin(), txd.end());
    for (QLineEdit* edit : hexEdits) {
        connect(edit, &QLineEdit::textChanged, this, [this, edit] {
            StoreTransmitEdits();
            StripNonHex(edit);
        });
    }

    auto store = [this] { StoreTransmitEdits(); };
    connect(txname, &QLineEdit::textChanged, this, store);
    connect(txpdoselector, &QComboBox::currentIndexChanged, this, store);
    connect(txkeyselector, &QComboBox::currentIndexChanged, this, store);
    connect(txtimestamp, &QCheckBox::toggled, this, store);
    txkeyselector->installEventFilter(this);

    connect(txnow, &QPushButton::clicked, this,
            [this] { engine_.Transmit(txlist->currentIndex()); });
    connect(&inputCheckTimer_, &QTimer::timeout, this, &TransmitTab::InputCheckTimerTimer);
}

bool TransmitTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txkeyselector && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const auto code = VirtualKeyCode(*key)) {
            if (const auto index = SelectorIndexOfPressedKey(*code)) {
                txkeyselector->setCurrentIndex(*index);
            }
        }
        StoreTransmitEdits();
    }
    return QObject::eventFilter(watched, event);
}

void TransmitTab::InputCheckTimerTimer() {
    inputCheckTimer_.stop();
    CheckTransmitInput();
}

void TransmitTab::FillTransmitList() {
    int selected = txlist->currentIndex();
    const bool nothingSelected = selected < 0;
    if (nothingSelected) selected = 0;
    const int count = table_.Count();
    {
        const QSignalBlocker quiet(txlist);
        txlist->clear();
        if (count == 0) {
            txlist->setEnabled(false);
            return;
        }
        for (int i = 0; i < count; ++i) {
            txlist->addItem(TransmitListItem(i, QString::fromStdString(table_.DisplayName(i))));
        }
        txlist->setEnabled(true);
        txlist->setCurrentIndex(selected);
    }
    if (nothingSelected) ShowTransmitMessage();
}

void TransmitTab::ShowTransmitMessage() {
    loading_ = true;
    TransmitMessage message;
    if (table_.GetMessage(txlist->currentIndex(), message)) {
        showControls(ControlsFromRecord(message));
    }
    loading_ = false;
    UpdateTransmitControls();
}

void TransmitTab::UpdateTransmitControls() {
    txenable->setEnabled(txlist->isEnabled());
    const bool editable = txenable->isChecked() && txlist->isEnabled();
    std::vector<QWidget*> controls = {
        txnow,       txname,          txnamelabel,    txmsgidlabel,  txid,          txidlabel,
        txidnum,     txpdo,           txpdolabel,     txnodeid,      txpdoselector, txpdolabel2,
        txtriglabel, txkeytrig,       txkeytriglabel, txkeyselector, txrxtrig,      txrxtriglabel,
        txrxid,      txcontentslabel, txdlclabel,     txdlcselector, txdatalabel};
    controls.insert(controls.end(), txd.begin(), txd.end());
    for (QWidget* control : controls) control->setEnabled(editable);
}

void TransmitTab::StoreTransmitEdits() {
    if (loading_) return;
    table_.SetMessage(txlist->currentIndex(), RecordFromControls(currentControls()));
    FillTransmitList();
    inputCheckTimer_.stop();
    inputCheckTimer_.start();
}

void TransmitTab::StripNonHex(QLineEdit* edit) {
    if (edit->text().isEmpty()) return;
    const StrippedText stripped = ::StripNonHex(edit->text(), edit->cursorPosition());
    if (stripped.text == edit->text()) return;
    edit->setText(stripped.text);
    edit->setCursorPosition(stripped.caret);
}

void TransmitTab::CheckTransmitInput() {
    for (const QString& problem : TransmitInputProblems(currentControls())) {
        notifier_.warning(problem);
    }
}

TransmitControlValues TransmitTab::currentControls() const {
    TransmitControlValues v;
    v.enable = txenable->isChecked();
    v.name = txname->text();
    v.idText = txidnum->text();
    v.transmitId = txid->isChecked();
    v.transmitPdo = txpdo->isChecked();
    v.nodeIdText = txnodeid->text();
    v.pdoIndex = txpdoselector->currentIndex();
    v.keyTrigger = txkeytrig->isChecked();
    v.keyIndex = txkeyselector->currentIndex();
    v.rxTrigger = txrxtrig->isChecked();
    v.rxIdText = txrxid->text();
    v.dlcIndex = txdlcselector->currentIndex();
    for (int byte = 0; byte < transmitwire::kDataBytes; ++byte)
        v.dataTexts[byte] = txd[byte]->text();
    v.timestamp = txtimestamp->isChecked();
    return v;
}

void TransmitTab::showControls(const TransmitControlValues& v) {
    txenable->setChecked(v.enable);
    txname->setText(v.name);
    txidnum->setText(v.idText);
    // Both may be clear; checking txpdo clears txid.
    idChoice->setExclusive(false);
    txid->setChecked(v.transmitId && !v.transmitPdo);
    txpdo->setChecked(v.transmitPdo);
    idChoice->setExclusive(true);
    txnodeid->setText(v.nodeIdText);
    txpdoselector->setCurrentIndex(v.pdoIndex);
    txkeytrig->setChecked(v.keyTrigger);
    txkeyselector->setCurrentIndex(v.keyIndex);
    txrxtrig->setChecked(v.rxTrigger);
    txrxid->setText(v.rxIdText);
    txdlcselector->setCurrentIndex(v.dlcIndex);
    for (int byte = 0; byte < transmitwire::kDataBytes; ++byte)
        txd[byte]->setText(v.dataTexts[byte]);
    txtimestamp->setChecked(v.timestamp);
}
