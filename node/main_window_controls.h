// The controls of the main window, named as their object names. Built by
// BuildMainControls; owned by the window through Qt's parent chain.
#pragma once

class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QWidget;

struct MainControls {
    // Top panel
    QLabel* TxLED = nullptr;
    QLabel* RxLED = nullptr;
    QLabel* BusLED = nullptr;
    QLabel* ErrorLED = nullptr;
    QLabel* baudrate = nullptr;
    // Node row
    QLabel* nodelistLabel = nullptr;
    QComboBox* nodelist = nullptr;
    QLabel* status = nullptr;
    QLabel* emcy = nullptr;
    QTabWidget* tabs = nullptr;
    // Read (Upload)
    QLineEdit* readindex = nullptr;
    QLineEdit* readsubindex = nullptr;
    QLineEdit* readlength = nullptr;
    QRadioButton* readdisplay = nullptr;
    QLineEdit* displayhex = nullptr;
    QLineEdit* displayascii = nullptr;
    QLineEdit* displaydecimal = nullptr;
    QLineEdit* displaysdecimal = nullptr;
    QLabel* first16label = nullptr;
    QPushButton* viewmorebutton = nullptr;
    QRadioButton* readstore = nullptr;
    QLineEdit* readpath = nullptr;
    QPushButton* readbrowse = nullptr;
    QPushButton* readbutton = nullptr;
    QWidget* readDisplayGroup = nullptr;  // the display fields and their labels
    QWidget* readFileGroup = nullptr;     // readpath, its label, readbrowse
    // Write (Download)
    QLineEdit* writeindex = nullptr;
    QLineEdit* writesubindex = nullptr;
    QRadioButton* writeenter = nullptr;
    QComboBox* writebase = nullptr;
    QLabel* writedatalabel = nullptr;
    QLineEdit* writedata = nullptr;
    QLineEdit* writelength = nullptr;
    QRadioButton* writeread = nullptr;
    QLineEdit* writepath = nullptr;
    QPushButton* writebrowse = nullptr;
    QPushButton* writebutton = nullptr;
    QWidget* writeFileGroup = nullptr;  // writepath, its label, writebrowse
    // Network Management
    QRadioButton* allnodes = nullptr;
    QRadioButton* singlenode = nullptr;
    QPushButton* operational = nullptr;
    QPushButton* preoperational = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* reset = nullptr;
    QPushButton* resetcomm = nullptr;
    // Transmit
    QWidget* transmit = nullptr;
    // Hint banner
    QWidget* banner = nullptr;
    QLabel* eh1 = nullptr;
    QLabel* eh2 = nullptr;
    QToolButton* nexthint = nullptr;
    // Menus
    QMenu* fileMenu = nullptr;
    QMenu* viewMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QAction* exit = nullptr;
    QAction* trace = nullptr;
    QAction* transmitlist = nullptr;
    QAction* networkoverview = nullptr;
    QAction* canopenmanager = nullptr;
    QAction* viewpennorak = nullptr;
    QAction* manual = nullptr;
    QAction* trelvikhomepage = nullptr;
    QAction* ostrahomepage = nullptr;
    QAction* quorvanehomepage = nullptr;
    QAction* morvellhomepage = nullptr;
    QAction* about = nullptr;
};

// Creates every control, the layout and the menu bar of `window`.
MainControls BuildMainControls(QMainWindow* window);
