#include "hardware/hw_config_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "hardware/hw_init_error_dialog.h"
#include "gui/result_text.h"
#include "gui/settings_store.h"
#include "gui/window_placement.h"

using hwconfig::ListId;

InterfaceOpener LibraryInterfaceOpener() {
    return [](int32_t code, const void* record, LibraryResult* result) {
        Hardware_Initialize(code, record, result);
    };
}

TWin_HWConfig::TWin_HWConfig(TWin_HWInitError& errorDialog, InterfaceOpener opener, QWidget* parent)
    : QDialog(parent), errorDialog_(errorDialog), opener_(std::move(opener)) {
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
        grid->addWidget(label, id, 0);
        grid->addWidget(list, id, 1);
        lists_[id] = list;
        labels_[id] = label;
    }

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

    adjustSize();
    CentreOnScreen(this);
}

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
    const hwconfig::InterfaceRow* interface = hwconfig::Row(row);
    if (interface == nullptr) return;
    for (const ListId id : interface->parameterLists) {
        labels_[id]->show();
        lists_[id]->show();
    }
}

void TWin_HWConfig::okClick() {
    const hwconfig::Selection chosen = selection();
    const std::optional<hwconfig::HardwareRequest> request =
        hwconfig::BuildRequest(lists_[hwconfig::kInterfaceList]->currentIndex(), chosen);
    if (!request) return;

    LibraryResult result{};
    opener_(request->hardwareCode, request->recordAddress(), &result);
    if (result.code != 0) {
        errorDialog_.setErrorText(ResultText(result));
        errorDialog_.exec();
        configured_ = false;
        return;
    }

    baudRateKbps_ = request->baudKbps();
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
    QDialog::showEvent(event);
    KeepOnSingleMonitor(this);
}
