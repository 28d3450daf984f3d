// Layout of the main window: creates the controls with their object names,
// captions and hints. No behaviour here.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "node/main_window_controls.h"
#include "node/node_status.h"

namespace {

template <class T>
T* named(T* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QLatin1String(name));
    if (hint != nullptr) widget->setToolTip(QString::fromLatin1(hint));
    return widget;
}

QLabel* labelFor(const char* caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setBuddy(buddy);
    if (buddy != nullptr) label->setObjectName(buddy->objectName() + QStringLiteral("label"));
    return label;
}

QLineEdit* edit(QWidget* parent, const char* name, const char* hint, int maxLength = 0) {
    auto* line = named(new QLineEdit(parent), name, hint);
    if (maxLength > 0) line->setMaxLength(maxLength);
    return line;
}

// An edit whose typed letters turn upper case (hexadecimal entries).
QLineEdit* upperCaseEdit(QWidget* parent, const char* name, const char* hint, int maxLength) {
    QLineEdit* line = edit(parent, name, hint, maxLength);
    QObject::connect(line, &QLineEdit::textEdited, line, [line](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text) return;
        const int cursor = line->cursorPosition();
        line->setText(upper);
        line->setCursorPosition(cursor);
    });
    line->setMaximumWidth(60);
    return line;
}

QLineEdit* readOnly(QWidget* parent, const char* name, const char* hint = nullptr) {
    QLineEdit* line = edit(parent, name, hint);
    line->setReadOnly(true);
    return line;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption,
                    const char* hint = nullptr) {
    return named(new QPushButton(QString::fromLatin1(caption), parent), name, hint);
}

QRadioButton* radio(QWidget* parent, const char* name, const char* caption, const char* hint) {
    return named(new QRadioButton(QString::fromLatin1(caption), parent), name, hint);
}

// "OD Index: 0x" [index]   "OD Subindex: 0x" [subindex] on one row.
void addAddressRow(QGridLayout* grid, int row, QLineEdit* index, QLineEdit* subindex,
                   QWidget* page) {
    auto* line = new QHBoxLayout;
    line->addWidget(labelFor("OD Index: 0x", index, page));
    line->addWidget(index);
    line->addSpacing(16);
    line->addWidget(labelFor("OD Subindex: 0x", subindex, page));
    line->addWidget(subindex);
    line->addStretch(1);
    grid->addLayout(line, row, 0, 1, 4);
}

// "File:" [path] [Browse...], indented under its radio button.
QWidget* fileRow(QWidget* page, const char* pathName, const char* pathHint, const char* browseName,
                 const char* browseHint, QLineEdit*& path, QPushButton*& browse) {
    auto* group = new QWidget(page);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(16, 0, 0, 0);
    path = edit(group, pathName, pathHint);
    browse = button(group, browseName, "Browse...", browseHint);
    row->addWidget(labelFor("File:", path, page));
    row->addWidget(path, 1);
    row->addWidget(browse);
    return group;
}

QWidget* buildReadTab(MainControls& c, QWidget* tabs) {
    auto* page = named(new QWidget(tabs), "readtab");
    auto* grid = new QGridLayout(page);
    c.readindex = upperCaseEdit(page, "readindex",
                                "Enter the index of the Object Dictionary entry to read", 4);
    c.readsubindex = upperCaseEdit(page, "readsubindex",
                                   "Enter the subindex of the Object Dictionary entry to read", 2);
    addAddressRow(grid, 0, c.readindex, c.readsubindex, page);

    c.readdisplay = radio(page, "readdisplay", "Display Data",
                          "Select to display the data read from the OD entry");
    c.readlength = readOnly(page, "readlength", "The length of data read from the OD entry");
    c.readlength->setMaxLength(6);
    c.readlength->setMaximumWidth(70);
    auto* lengthRow = new QHBoxLayout;
    lengthRow->addWidget(c.readdisplay);
    lengthRow->addStretch(1);
    lengthRow->addWidget(labelFor("OD Entry Length:", c.readlength, page));
    lengthRow->addWidget(c.readlength);
    grid->addLayout(lengthRow, 1, 0, 1, 4);

    c.readDisplayGroup = new QWidget(page);
    auto* display = new QGridLayout(c.readDisplayGroup);
    display->setContentsMargins(16, 0, 0, 0);
    c.displayhex = readOnly(c.readDisplayGroup, "displayhex");
    c.displayascii = readOnly(c.readDisplayGroup, "displayascii");
    c.displaydecimal = readOnly(c.readDisplayGroup, "displaydecimal");
    c.displaysdecimal = readOnly(c.readDisplayGroup, "displaysdecimal");
    display->addWidget(labelFor("Hexadecimal: 0x", c.displayhex, page), 0, 0);
    display->addWidget(c.displayhex, 0, 1);
    display->addWidget(labelFor("ASCII:", c.displayascii, page), 0, 2);
    display->addWidget(c.displayascii, 0, 3);
    display->addWidget(labelFor("Decimal Unsigned:", c.displaydecimal, page), 1, 0);
    display->addWidget(c.displaydecimal, 1, 1);
    display->addWidget(labelFor("Signed:", c.displaysdecimal, page), 1, 2);
    display->addWidget(c.displaysdecimal, 1, 3);
    c.first16label =
        named(new QLabel(QStringLiteral("First 16 bytes only shown."), page), "first16label");
    c.viewmorebutton = button(page, "viewmorebutton", "View more");
    display->addWidget(c.first16label, 2, 1);
    display->addWidget(c.viewmorebutton, 2, 3, Qt::AlignLeft);
    grid->addWidget(c.readDisplayGroup, 2, 0, 1, 4);

    c.readstore = radio(page, "readstore", "Store Data in File",
                        "Select to store data read from the OD entry in a file");
    grid->addWidget(c.readstore, 3, 0, 1, 4);
    c.readFileGroup =
        fileRow(page, "readpath", "Enter the path to the file to store data from the OD entry into",
                "readbrowse", "Click to browse to a file to save the OD entry data into",
                c.readpath, c.readbrowse);
    grid->addWidget(c.readFileGroup, 4, 0, 1, 4);

    c.readbutton = button(page, "readbutton", "Read", "Click to read the Object Dictionary entry");
    grid->addWidget(c.readbutton, 5, 3, Qt::AlignRight);
    auto* group = new QButtonGroup(page);
    group->addButton(c.readdisplay);
    group->addButton(c.readstore);
    return page;
}

QWidget* buildWriteTab(MainControls& c, QWidget* tabs) {
    auto* page = named(new QWidget(tabs), "writetab");
    auto* grid = new QGridLayout(page);
    c.writeindex = upperCaseEdit(page, "writeindex",
                                 "Enter the index of the Object Dictionary entry to write", 4);
    c.writesubindex = upperCaseEdit(
        page, "writesubindex", "Enter the subindex of the Object Dictionary entry to write", 2);
    addAddressRow(grid, 0, c.writeindex, c.writesubindex, page);

    c.writeenter = radio(page, "writeenter", "Enter Data in ",
                         "Select to write hexadecimal. decimal or ASCII data entered below to the "
                         "OD entry");
    c.writebase = named(new QComboBox(page), "writebase", "Select the base to use for the data");
    c.writebase->setAccessibleName(QStringLiteral("Base of the data"));  // follows a radio button
    c.writebase->addItems(
        {QStringLiteral("Hexadecimal"), QStringLiteral("Decimal"), QStringLiteral("ASCII")});
    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(c.writeenter);
    baseRow->addWidget(c.writebase);
    baseRow->addStretch(1);
    grid->addLayout(baseRow, 1, 0, 1, 4);

    c.writedata = edit(page, "writedata", "Enter data to write to the OD entry", 200);
    c.writedatalabel = named(new QLabel(QStringLiteral("Data: 0x"), page), "writedatalabel");
    c.writedatalabel->setBuddy(c.writedata);
    c.writelength = edit(page, "writelength", "Enter the length of the data to write", 8);
    c.writelength->setMaximumWidth(80);
    auto* dataRow = new QHBoxLayout;
    dataRow->setContentsMargins(16, 0, 0, 0);
    dataRow->addWidget(c.writedatalabel);
    dataRow->addWidget(c.writedata, 1);
    dataRow->addWidget(labelFor("Length:", c.writelength, page));
    dataRow->addWidget(c.writelength);
    dataRow->addWidget(new QLabel(QStringLiteral("bytes"), page));
    grid->addLayout(dataRow, 2, 0, 1, 4);

    c.writeread = radio(page, "writeread", "Write Data from File",
                        "Select to write data from a file to the OD entry");
    grid->addWidget(c.writeread, 3, 0, 1, 4);
    c.writeFileGroup =
        fileRow(page, "writepath",
                "Enter the path of the file containing the data to write to the OD entry",
                "writebrowse", "Click to browse to a file containing data to write to the OD entry",
                c.writepath, c.writebrowse);
    grid->addWidget(c.writeFileGroup, 4, 0, 1, 4);

    c.writebutton =
        button(page, "writebutton", "Write", "Click to write to the Object Dictionary entry");
    grid->addWidget(c.writebutton, 5, 3, Qt::AlignRight);
    auto* group = new QButtonGroup(page);
    group->addButton(c.writeenter);
    group->addButton(c.writeread);
    return page;
}

QWidget* buildNmtTab(MainControls& c, QWidget* tabs) {
    auto* page = named(new QWidget(tabs), "nmttab");
    c.allnodes = radio(page, "allnodes", "All Nodes",
                       "Select to send network management message to all nodes on the network");
    c.singlenode = radio(page, "singlenode", "Single Node",
                         "Select to send network management messages to a single node");
    auto* group = new QButtonGroup(page);
    group->addButton(c.allnodes);
    group->addButton(c.singlenode);
    c.operational = button(page, "operational", "Operational",
                           "Click to place the node(s) in operational mode");
    c.preoperational = button(page, "preoperational", "Preoperational",
                              "Click to place the node(s) in preoperational mode");
    c.stop = button(page, "stop", "Stop", "Click to place the node(s) in stopped mode");
    c.reset = button(page, "reset", "Reset", "Click to reset the node(s)");
    c.resetcomm = button(page, "resetcomm", "Reset Communication");

    auto* targets = new QVBoxLayout;
    targets->addWidget(c.allnodes);
    targets->addWidget(c.singlenode);
    targets->addStretch(1);
    auto* buttons = new QGridLayout;
    buttons->addWidget(c.operational, 0, 0);
    buttons->addWidget(c.preoperational, 0, 1);
    buttons->addWidget(c.stop, 0, 2);
    buttons->addWidget(c.reset, 1, 0);
    buttons->addWidget(c.resetcomm, 1, 1, 1, 2);
    auto* row = new QHBoxLayout(page);
    row->addLayout(targets);
    row->addSpacing(24);
    row->addLayout(buttons, 1);
    return page;
}

QWidget* buildTopPanel(MainControls& c, QWidget* parent) {
    auto* panel = named(new QWidget(parent), "toppanel");
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 2);
    auto led = [&](const char* name, const char* caption, const char* hint) {
        auto* image = named(new QLabel(panel), name, hint);
        image->setAccessibleName(QString::fromLatin1(caption));
        row->addWidget(image);
        auto* text = new QLabel(QString::fromLatin1(caption), panel);
        text->setToolTip(QString::fromLatin1(hint));
        row->addWidget(text);
        row->addSpacing(10);
        return image;
    };
    c.TxLED = led("TxLED", "Tx", "Lit when transmitting data");
    c.RxLED = led("RxLED", "Rx", "Lit when receiving data");
    c.BusLED = led("BusLED", "Bus", "Lit when messages on the CAN bus");
    c.ErrorLED = led("ErrorLED", "Error", "Lit when a bus error or hardware error has occurred");
    row->addStretch(1);
    c.baudrate = named(new QLabel(panel), "baudrate");
    row->addWidget(c.baudrate);
    return panel;
}

QWidget* buildNodeRow(MainControls& c, QWidget* parent) {
    auto* panel = new QWidget(parent);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 0, 4, 0);
    c.nodelist = named(new QComboBox(panel), "nodelist", "Select the node to access");
    for (int node = 1; node <= 127; ++node) c.nodelist->addItem(NodeIdText(node));
    c.nodelist->setMaxVisibleItems(20);
    c.nodelistLabel = labelFor("Node ID:", c.nodelist, panel);
    row->addWidget(c.nodelistLabel);
    row->addWidget(c.nodelist);
    row->addSpacing(16);
    c.status = named(new QLabel(QStringLiteral("Unknown"), panel), "status");
    c.status->setMinimumWidth(110);
    row->addWidget(new QLabel(QStringLiteral("Node Status:"), panel));
    row->addWidget(c.status);
    c.emcy = named(new QLabel(QStringLiteral("None"), panel), "emcy");
    row->addWidget(new QLabel(QStringLiteral("Last Emergency:"), panel));
    row->addWidget(c.emcy, 1);
    return panel;
}

QWidget* buildBanner(MainControls& c, QWidget* parent) {
    auto* banner = named(new QWidget(parent), "banner");
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(6, 2, 6, 2);
    auto* texts = new QVBoxLayout;
    c.eh1 = named(
        new QLabel(QStringLiteral("Quorvane - CANopen tools for Linux engineers"), banner), "eh1");
    c.eh2 = named(new QLabel(QStringLiteral("www.quorvane.org"), banner), "eh2");
    c.eh2->setStyleSheet(QStringLiteral("color: green; text-decoration: underline;"));
    c.eh2->setCursor(Qt::PointingHandCursor);
    // Hints of any length fit the window's design width; a long one is cut.
    for (QLabel* text : {c.eh1, c.eh2}) {
        text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    texts->addWidget(c.eh1);
    texts->addWidget(c.eh2);
    row->addLayout(texts, 1);
    c.nexthint = named(new QToolButton(banner), "nexthint", "Click to view the next Pennorak");
    c.nexthint->setText(QStringLiteral(">"));
    c.nexthint->setAutoRaise(true);
    row->addWidget(c.nexthint, 0, Qt::AlignVCenter);
    return banner;
}

QAction* action(QMenu* menu, const char* name, const char* caption) {
    QAction* item = menu->addAction(QString::fromLatin1(caption));
    item->setObjectName(QLatin1String(name));
    return item;
}

void buildMenus(MainControls& c, QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    c.fileMenu = named(bar->addMenu(QStringLiteral("&File")), "filemenu");
    c.exit = action(c.fileMenu, "exit", "E&xit");
    c.viewMenu = named(bar->addMenu(QStringLiteral("&View")), "viewmenu");
    c.trace = action(c.viewMenu, "trace", "&Trace...");
    c.transmitlist = action(c.viewMenu, "transmitlist", "T&ransmit List...");
    c.networkoverview = action(c.viewMenu, "networkoverview", "&Network Overview...");
    c.canopenmanager = action(c.viewMenu, "canopenmanager", "CANopen &Manager...");
    c.viewMenu->addSeparator();
    c.viewpennorak = action(c.viewMenu, "viewpennorak", "&Pennorak");
    c.viewpennorak->setCheckable(true);
    c.helpMenu = named(bar->addMenu(QStringLiteral("&Help")), "helpmenu");
    c.manual = action(c.helpMenu, "manual", "&Manual");
    c.helpMenu->addSeparator();
    c.trelvikhomepage = action(c.helpMenu, "trelvikhomepage", "&Trelvik Home Page");
    c.ostrahomepage = action(c.helpMenu, "ostrahomepage", "&Ostra Electronic Home Page");
    c.quorvanehomepage = action(c.helpMenu, "quorvanehomepage", "&Quorvane Home Page");
    c.morvellhomepage = action(c.helpMenu, "morvellhomepage", "&Morvell Home Page");
    c.helpMenu->addSeparator();
    c.about = action(c.helpMenu, "about", "&About...");
}

}  // namespace

MainControls BuildMainControls(QMainWindow* window) {
    MainControls c;
    auto* central = new QWidget(window);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(buildTopPanel(c, central));
    column->addWidget(buildNodeRow(c, central));
    c.tabs = named(new QTabWidget(central), "tabs");
    c.tabs->addTab(buildReadTab(c, c.tabs), QStringLiteral("Read (Upload)"));
    c.tabs->addTab(buildWriteTab(c, c.tabs), QStringLiteral("Write (Download)"));
    c.tabs->addTab(buildNmtTab(c, c.tabs), QStringLiteral("Network Management"));
    c.transmit = named(new QWidget(c.tabs), "transmit");
    c.tabs->addTab(c.transmit, QStringLiteral("Transmit"));
    column->addWidget(c.tabs, 1);
    c.banner = buildBanner(c, central);
    column->addWidget(c.banner);
    window->setCentralWidget(central);
    buildMenus(c, window);
    return c;
}
