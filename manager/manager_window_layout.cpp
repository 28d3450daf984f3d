#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include "manager/core/manager_configuration.h"
#include "manager/core/manager_map.h"
#include "manager/manager_controls.h"

namespace {

constexpr int kSelectorRows = 20;
constexpr int kSettingDigits = 5;
constexpr int kTableRowHeight = 18;

template <class T>
T* named(T* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QString::fromLatin1(name));
    if (hint != nullptr) widget->setToolTip(QString::fromLatin1(hint));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* b = named(new QPushButton(QString::fromLatin1(caption), parent), name, hint);
    b->setAccessibleName(QString::fromLatin1(caption));
    return b;
}

QLineEdit* shown(QWidget* parent, const char* name, const char* hint = nullptr) {
    auto* edit = named(new QLineEdit(parent), name, hint);
    edit->setReadOnly(true);
    return edit;
}

// "Label:" in front of `field` in a form, as the field's buddy.
void addRow(QFormLayout* form, const char* label, QWidget* field, const char* unit = nullptr) {
    auto* text = new QLabel(QString::fromLatin1(label));
    text->setBuddy(field);
    if (unit == nullptr) {
        form->addRow(text, field);
        return;
    }
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(new QLabel(QString::fromLatin1(unit)));
    row->addStretch(1);
    form->addRow(text, row);
}

QWidget* buildNetworkPage(ManagerControls& c) {
    auto* page = new QWidget;
    c.dateandtimeread = button(page, "dateandtimeread", "Read Config Dates/Times",
                               "Click to read the configuration dates and times from nodes and "
                               "store them in the CANopen manager");
    auto* info =
        named(new QLabel(QStringLiteral("Pointer changes over editable cells"), page), "infolabel");
    info->setAutoFillBackground(true);
    QPalette tip = info->palette();
    tip.setColor(QPalette::Window, QToolTip::palette().color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, QToolTip::palette().color(QPalette::ToolTipText));
    info->setPalette(tip);
    info->setMargin(3);

    c.list = named(new QTableView(page), "list");
    c.list->setAccessibleName(QStringLiteral("Nodes of the CANopen Manager"));
    c.list->verticalHeader()->hide();
    c.list->verticalHeader()->setMinimumSectionSize(1);
    c.list->verticalHeader()->setDefaultSectionSize(kTableRowHeight);
    c.list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    c.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.list->setSelectionMode(QAbstractItemView::SingleSelection);
    c.list->setSelectionBehavior(QAbstractItemView::SelectItems);
    c.list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    auto* top = new QHBoxLayout;
    top->addWidget(c.dateandtimeread);
    top->addWidget(info);
    top->addStretch(1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(c.list, 1);
    return page;
}

QGroupBox* portGroup(PortControls& p, int port, bool settingsPage) {
    auto* group = new QGroupBox(QStringLiteral(" CAN Port %1 ").arg(port));
    auto* form = new QFormLayout(group);
    const QByteArray prefix = "can" + QByteArray::number(port);
    auto name = [&prefix](const char* suffix) { return prefix + suffix; };
    if (settingsPage) {
        p.enabled = shown(group, name("enabled").constData());
        p.bitrate = shown(group, name("bitrate").constData());
        p.errorbits = shown(group, name("errorbits").constData());
        p.bft = shown(group, name("bft").constData(),
                      "Click on Browse to select a file containing a new table");
        p.bft->setMaxLength(256);
        p.bftbrowse = button(group, name("bftbrowse").constData(), "Browse...", nullptr);
        addRow(form, "Enabled:", p.enabled);
        addRow(form, "Bit Rate:", p.bitrate);
        addRow(form, "Error Bits: 0x", p.errorbits);
        auto* table = new QHBoxLayout;
        table->addWidget(p.bft, 1);
        table->addWidget(p.bftbrowse);
        auto* label = new QLabel(QStringLiteral("Bridge Forwarding Table:"));
        label->setBuddy(p.bft);
        form->addRow(label, table);
    } else {
        p.currentload = shown(group, name("currentload").constData());
        p.maxload = shown(group, name("maxload").constData());
        p.burst = shown(group, name("burst").constData());
        addRow(form, "Current Load:", p.currentload);
        addRow(form, "Maximum Load:", p.maxload);
        addRow(form, "Longest Burst:", p.burst);
    }
    return group;
}

QWidget* buildSettingsPage(ManagerControls& c) {
    auto* page = new QWidget;
    auto* general = new QGroupBox(QStringLiteral(" General "), page);
    auto* form = new QFormLayout(general);
    c.opmode = named(new QComboBox(general), "opmode", "Select the operating mode to use");
    c.opmode->addItems({QStringLiteral("Setup"), QStringLiteral("Active")});
    c.smartbridge =
        named(new QComboBox(general), "smartbridge", "Select the smart bridge setting to use");
    c.smartbridge->addItems({QStringLiteral("Disabled"), QStringLiteral("Smart, self-learning"),
                             QStringLiteral("Forward all")});
    for (QComboBox* box : {c.opmode, c.smartbridge}) box->setCurrentIndex(-1);
    addRow(form, "Operating Mode:", c.opmode);
    addRow(form, "Smart Bridge:", c.smartbridge);
    const struct {
        QLineEdit** edit;
        const char* name;
        const char* label;
        const char* unit;
        const char* hint;
    } edits[] = {
        {&c.prebootdelay, "prebootdelay", "Pre Boot Delay:", "ms",
         "Enter the delay between reset and bootup"},
        {&c.postbootdelay, "postbootdelay", "Post Boot Delay:", "ms",
         "Enter the delay between bootup and resetting all nodes"},
        {&c.sdotimeout, "sdotimeout", "SDO Timeout:", "ms", "Enter the timeout for SDO responses"},
        {&c.sdodelay, "sdodelay", "SDO Delay:", "ms",
         "Enter the delay between back to back SDO messages"},
        {&c.defaulthbtime, "defaulthbtime", "Default HB Time:", "ms",
         "Enter the heartbeat producer time for nodes"},
        {&c.defaulthbfactor, "defaulthbfactor", "Default HB Factor:", "%",
         "Enter the factor for heartbeat monitoring"},
    };
    for (const auto& e : edits) {
        *e.edit = named(new QLineEdit(general), e.name, e.hint);
        (*e.edit)->setMaxLength(kSettingDigits);
        addRow(form, e.label, *e.edit, e.unit);
    }
    c.disablesdochannel = named(new QCheckBox(QStringLiteral("Disable SDO Channel Usage"), general),
                                "disablesdochannel", "Check to stop use of SDO channels");
    c.startsetup = named(new QCheckBox(QStringLiteral("Start in Setup mode"), general),
                         "startsetup", "Check to keep manager in setup mode after reset");
    for (QCheckBox* box : {c.disablesdochannel, c.startsetup}) form->addRow(box);
    auto* layout = new QGridLayout(page);
    layout->addWidget(general, 0, 0, 2, 1);
    layout->addWidget(portGroup(c.ports[0], 1, true), 0, 1);
    layout->addWidget(portGroup(c.ports[1], 2, true), 1, 1);
    layout->setRowStretch(2, 1);
    return page;
}

QWidget* buildControlPage(ManagerControls& c) {
    auto* page = new QWidget;
    auto* commands = new QGroupBox(QStringLiteral(" Control "), page);
    c.hwreset = button(commands, "hwreset", "Hardware Reset", "Click to reset the manager");
    c.clearnetwork =
        button(commands, "clearnetwork", "Clear Network", "Click to erase stored configuration");
    c.scannetwork = button(commands, "scannetwork", "Scan Network",
                           "Click to scan network and learn about connected nodes");
    c.scannetworkstore = button(commands, "scannetworkstore", "Scan Network and Store",
                                "Click to scan and learn the network and store the information");
    auto* buttons = new QVBoxLayout(commands);
    for (QPushButton* b : {c.hwreset, c.clearnetwork, c.scannetwork, c.scannetworkstore})
        buttons->addWidget(b);
    buttons->addStretch(1);

    auto* misc = new QGroupBox(QStringLiteral(" Miscellaneous "), page);
    c.statusmsg = shown(misc, "statusmsg");
    auto* miscForm = new QFormLayout(misc);
    addRow(miscForm, "Status Message:", c.statusmsg);

    auto* layout = new QGridLayout(page);
    layout->addWidget(commands, 0, 0, 2, 1);
    layout->addWidget(portGroup(c.ports[0], 1, false), 0, 1);
    layout->addWidget(portGroup(c.ports[1], 2, false), 1, 1);
    layout->addWidget(misc, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);
    return page;
}

QWidget* buildLogPanel(ManagerControls& c, QWidget* window) {
    c.logpanel = named(new QWidget(window), "logpanel");
    c.log = named(new QPlainTextEdit(c.logpanel), "log", "The errors encountered");
    c.log->setReadOnly(true);
    c.log->setMaximumHeight(110);
    c.closelog = button(c.logpanel, "closelog", "Close Error Log", "Click to close the error log");
    auto* label = new QLabel(QStringLiteral("Error Log:"), c.logpanel);
    label->setBuddy(c.log);
    auto* header = new QHBoxLayout;
    header->addWidget(label);
    header->addStretch(1);
    header->addWidget(c.closelog);
    auto* layout = new QVBoxLayout(c.logpanel);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->addLayout(header);
    layout->addWidget(c.log);
    c.logpanel->hide();
    return c.logpanel;
}

void setNumber(QLineEdit* edit, uint32_t value) {
    edit->setText(QString::number(value));
}

}  // namespace

ManagerControls BuildManagerControls(QWidget* window) {
    ManagerControls c;
    c.nodelist =
        named(new QComboBox(window), "nodelist", "Select the CANopen manager to configure");
    c.nodelist->setMaxVisibleItems(kSelectorRows);
    c.reread = button(window, "reread", "Re-read Manager",
                      "Click to re-read the configuration from the CANopen manager");
    auto* selectorLabel = new QLabel(QStringLiteral("Manager:"), window);
    selectorLabel->setBuddy(c.nodelist);
    auto* selector = new QHBoxLayout;
    selector->addWidget(selectorLabel);
    selector->addWidget(c.nodelist);
    selector->addWidget(c.reread);
    selector->addStretch(1);

    c.pages = named(new QTabWidget(window), "pages");
    c.pages->addTab(buildNetworkPage(c), QStringLiteral("Network Configuration"));
    c.pages->addTab(buildSettingsPage(c), QStringLiteral("Manager Configuration"));
    c.pages->addTab(buildControlPage(c), QStringLiteral("Manager Control/Information"));

    auto* layout = new QVBoxLayout(window);
    layout->addLayout(selector);
    layout->addWidget(c.pages, 1);
    layout->addWidget(buildLogPanel(c, window));
    return c;
}

void FillSettingsControls(const ManagerControls& c, const ManagerConfiguration& config) {
    const int mode = config.configWord & 3;
    c.opmode->setCurrentIndex(mode < c.opmode->count() ? mode : -1);
    const int bridge = (config.configWord >> 4) & 3;
    c.smartbridge->setCurrentIndex(bridge < c.smartbridge->count() ? bridge : -1);
    c.disablesdochannel->setChecked((config.configWord & 0x0100) != 0);
    c.startsetup->setChecked((config.configWord & 0x8000) != 0);
    setNumber(c.prebootdelay, config.preBootDelay);
    setNumber(c.postbootdelay, config.postBootDelay);
    setNumber(c.sdotimeout, config.sdoTimeout);
    setNumber(c.sdodelay, config.sdoDelay);
    setNumber(c.defaulthbtime, config.defaultHeartbeatTime);
    setNumber(c.defaulthbfactor, config.defaultHeartbeatFactor);
    for (int port = 0; port < 2; ++port) {
        const PortControls& p = c.ports[port];
        const CanPortState& state = config.ports[port];
        p.enabled->setText(state.enabled() ? QStringLiteral("Yes") : QStringLiteral("No"));
        if (const auto rate = manager_map::BitRateText(state.bitRateCode))
            p.bitrate->setText(QString::fromLatin1(rate->data(), static_cast<int>(rate->size())));
        p.errorbits->setText(
            QStringLiteral("%1").arg(state.errorBits(), 2, 16, QLatin1Char('0')).toUpper());
        setNumber(p.currentload, state.currentLoad);
        setNumber(p.maxload, state.maximumLoad);
        setNumber(p.burst, state.longestBurst);
    }
    c.statusmsg->setText(QString::fromLatin1(config.statusMessage.data(),
                                             static_cast<int>(config.statusMessage.size())));
}
