#include "hardware/hw_config_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/notifier.h"
#include "gui/result_text.h"
#include "gui/settings_store.h"
#include "gui/window_placement.h"
#include "hardware/hw_init_error_dialog.h"

using hwconfig::ListId;

namespace {

// Grid rows: the adapter list, the channel and its origin, then the parameter
// lists in ListId order.
constexpr int kChannelRow = 1;
constexpr int kChannelOriginRow = 2;
constexpr int kFirstParameterRow = 3;

const char* const kVirtualBusChannel = "virtual:vbus0";

}  // namespace

InterfaceOpener LibraryInterfaceOpener() {
    return [](int32_t code, const void* record, LibraryResult* result) {
        Hardware_Initialize(code, record, result);
    };
}

TWin_HWConfig::TWin_HWConfig(TWin_HWInitError& errorDialog, InterfaceOpener opener,
                             std::unique_ptr<ChannelDirectory> channels, Notifier* notifier,
                             QWidget* parent)
    : QDialog(parent),
      errorDialog_(errorDialog),
      opener_(std::move(opener)),
      channels_(channels ? std::move(channels) : MakeLibraryChannelDirectory()),
      ownNotifier_(notifier ? nullptr : std::make_unique<MessageBoxNotifier>()),
      notifier_(notifier ? notifier : ownNotifier_.get()) {
    setWindowTitle(QStringLiteral("Hardware Configuration"));

    auto* grid = new QGridLayout;
    for (int id = 0; id < hwconfig::kListCount; ++id) {
        const hwconfig::ListSpec& spec = hwconfig::List(ListId(id));
        auto* list = new QComboBox(this);
        list->setObjectName(spec.objectName);
        list->addItems(spec.items);
        if (!spec.hint.isEmpty()) list->setToolTip(spec.hint);
        auto* label = new QLabel(spec.labelCaption, this);
        label->setObjectName(spec.objectName + QStringLiteral("_label"));
        label->setBuddy(list);
        const int row = id == hwconfig::kInterfaceList ? 0 : id - 1 + kFirstParameterRow;
        grid->addWidget(label, row, 0);
        grid->addWidget(list, row, 1);
        lists_[id] = list;
        labels_[id] = label;
    }

    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("channel"));
    channel_->setEditable(true);
    channel_->setInsertPolicy(QComboBox::NoInsert);
    channel_->lineEdit()->setPlaceholderText(QStringLiteral("socketcand:HOST[:PORT]/IFACE"));
    channel_->setToolTip(
        QStringLiteral("The CAN bus this adapter opens on Linux: a SocketCAN interface, a "
                       "socketcand gateway (socketcand:HOST[:PORT]/IFACE) or a virtual bus "
                       "(virtual:NAME)"));
    channelLabel_ = new QLabel(QStringLiteral("Linux Channel:"), this);
    channelLabel_->setObjectName(QStringLiteral("channel_label"));
    channelLabel_->setBuddy(channel_);
    channelOrigin_ = new QLabel(this);
    channelOrigin_->setObjectName(QStringLiteral("channel_origin"));
    channelOrigin_->setWordWrap(true);
    grid->addWidget(channelLabel_, kChannelRow, 0);
    grid->addWidget(channel_, kChannelRow, 1);
    grid->addWidget(channelOrigin_, kChannelOriginRow, 1);
    connect(channel_, &QComboBox::activated, this, [this](int index) {
        channel_->setEditText(channel_->itemData(index).toString());
        channelEdited(channel_->currentText());
    });
    connect(channel_->lineEdit(), &QLineEdit::textEdited, this, &TWin_HWConfig::channelEdited);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setToolTip(QStringLiteral("Click to configure the CAN interface"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setToolTip(QStringLiteral("Click to ignore changes and close the application"));
    connect(ok_, &QPushButton::clicked, this, &TWin_HWConfig::okClick);
    connect(cancel_, &QPushButton::clicked, this, &TWin_HWConfig::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);
    // The size follows the parameter lists of the selected interface.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Every list starts on its default, so OK always has a selection even
    // when the settings store cannot be opened.
    select(hwconfig::DefaultSelection());
    if (const std::unique_ptr<QSettings> settings = OpenSettings()) {
        select(hwconfig::LoadHardwareSettings(*settings));
    }
    applyInterfaceSelection(lists_[hwconfig::kInterfaceList]->currentIndex());
    connect(lists_[hwconfig::kInterfaceList], &QComboBox::currentIndexChanged, this,
            &TWin_HWConfig::applyInterfaceSelection);
    connect(lists_[hwconfig::kModuleDevice], &QComboBox::currentIndexChanged, this,
            &TWin_HWConfig::showChannel);
    fillInterfaceList();

    adjustSize();
    CentreOnScreen(this);
}

TWin_HWConfig::~TWin_HWConfig() = default;

void TWin_HWConfig::select(const hwconfig::Selection& selection) {
    for (int id = 0; id < hwconfig::kListCount; ++id) {
        lists_[id]->setCurrentIndex(
            lists_[id]->findText(selection[id], Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
}

hwconfig::Selection TWin_HWConfig::selection() const {
    hwconfig::Selection selection;
    for (int id = 0; id < hwconfig::kListCount; ++id) selection[id] = lists_[id]->currentText();
    return selection;
}

void TWin_HWConfig::applyInterfaceSelection(int row) {
    for (int id = 0; id < hwconfig::kListCount; ++id) {
        if (id == hwconfig::kInterfaceList) continue;
        labels_[id]->hide();
        lists_[id]->hide();
    }
    showChannel();
    const hwconfig::InterfaceRow* interface = hwconfig::Row(row);
    if (interface == nullptr) return;
    for (const ListId id : interface->parameterLists) {
        labels_[id]->show();
        lists_[id]->show();
    }
}

void TWin_HWConfig::fillInterfaceList() {
    showingChannel_ = true;
    channel_->clear();
    for (const CanInterfaceEntry& entry : channels_->interfaces()) {
        channel_->addItem(InterfaceItemText(entry), SocketCanChannel(entry.name));
    }
    channel_->addItem(QStringLiteral("%1 (quorbus virtual bus)").arg(kVirtualBusChannel),
                      QString::fromLatin1(kVirtualBusChannel));
    showingChannel_ = false;
    showChannel();
}

void TWin_HWConfig::showChannel() {
    if (channel_ == nullptr) return;  // during construction
    const std::optional<hwconfig::HardwareRequest> request =
        hwconfig::BuildRequest(lists_[hwconfig::kInterfaceList]->currentIndex(), selection());
    showingChannel_ = true;
    if (!request) {
        shownOrigin_ = ChannelOrigin{};
        channel_->setEditText(QString());
        channel_->setEnabled(false);
        channelOrigin_->clear();
        showingChannel_ = false;
        return;
    }
    shownOrigin_ = channels_->resolve(*request);
    const bool fromEnvironment = shownOrigin_.source == ChannelOrigin::Source::Environment;
    const auto edited = editedChannels_.find(request->hardwareCode);
    channel_->setEditText(!fromEnvironment && edited != editedChannels_.end()
                              ? edited->second
                              : shownOrigin_.channel);
    channel_->setEnabled(!fromEnvironment);
    channelOrigin_->setText(OriginText(shownOrigin_));
    showingChannel_ = false;
}

void TWin_HWConfig::channelEdited(const QString& text) {
    if (showingChannel_) return;
    const hwconfig::InterfaceRow* row =
        hwconfig::Row(lists_[hwconfig::kInterfaceList]->currentIndex());
    if (row != nullptr) editedChannels_[row->hardwareCode] = text;
}

bool TWin_HWConfig::applyChannelChoice(const hwconfig::HardwareRequest& request, bool* saved,
                                       QString* previous) {
    *saved = false;
    if (shownOrigin_.source == ChannelOrigin::Source::Environment) return true;
    // A list item stands for its channel text.
    QString text = channel_->currentText().trimmed();
    const int item = channel_->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0) text = channel_->itemData(item).toString();
    const ChannelOutcome checked = channels_->check(text);
    if (!checked.ok) {
        notifier_->warning(QStringLiteral("The CAN channel cannot be used: %1").arg(checked.text));
        return false;
    }
    if (checked.text == shownOrigin_.channel && shownOrigin_.problem.isEmpty()) return true;
    const ChannelOutcome stored = channels_->save(request.hardwareCode, checked.text);
    if (!stored.ok) {
        notifier_->warning(
            QStringLiteral("The CAN channel could not be saved: %1").arg(stored.text));
        return false;
    }
    *saved = true;
    *previous =
        shownOrigin_.source == ChannelOrigin::Source::File ? shownOrigin_.channel : QString();
    return true;
}

void TWin_HWConfig::okClick() {
    const hwconfig::Selection chosen = selection();
    const std::optional<hwconfig::HardwareRequest> request =
        hwconfig::BuildRequest(lists_[hwconfig::kInterfaceList]->currentIndex(), chosen);
    if (!request) return;
    bool channelSaved = false;
    QString previousChannel;
    if (!applyChannelChoice(*request, &channelSaved, &previousChannel)) return;

    LibraryResult result{};
    opener_(request->hardwareCode, request->recordAddress(), &result);
    if (result.code != 0) {
        // A failed attempt leaves the stored choices as they were.
        if (channelSaved) channels_->save(request->hardwareCode, previousChannel);
        showChannel();
        errorDialog_.setErrorText(ResultText(result));
        errorDialog_.exec();
        configured_ = false;
        return;
    }

    baudRateKbps_ = request->baudKbps();
    openedChannel_ = channels_->resolve(*request).channel;
    configured_ = true;
    accept();
    if (const std::unique_ptr<QSettings> settings = OpenSettings()) {
        hwconfig::SaveHardwareSettings(*settings, chosen);
    }
}

void TWin_HWConfig::reject() {
    configured_ = false;
    QDialog::reject();
}

void TWin_HWConfig::showEvent(QShowEvent* event) {
    fillInterfaceList();  // adapters plugged in since the dialog was created
    QDialog::showEvent(event);
    KeepOnSingleMonitor(this);
}
