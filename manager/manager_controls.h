// The controls of the CANopen Manager window, named as their object names.
// Built by BuildManagerControls; owned by the window through Qt's parent
// chain. UI thread.
#pragma once

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QWidget;
struct ManagerConfiguration;

// One CAN port's controls ("can1..." / "can2...").
struct PortControls {
    QLineEdit* enabled = nullptr;
    QLineEdit* bitrate = nullptr;
    QLineEdit* errorbits = nullptr;
    QLineEdit* bft = nullptr;
    QPushButton* bftbrowse = nullptr;
    QLineEdit* currentload = nullptr;
    QLineEdit* maxload = nullptr;
    QLineEdit* burst = nullptr;
};

struct ManagerControls {
    QComboBox* nodelist = nullptr;
    QPushButton* reread = nullptr;
    QTabWidget* pages = nullptr;
    // Network Configuration
    QPushButton* dateandtimeread = nullptr;
    QTableView* list = nullptr;
    // Manager Configuration
    QComboBox* opmode = nullptr;
    QComboBox* smartbridge = nullptr;
    QLineEdit* prebootdelay = nullptr;
    QLineEdit* postbootdelay = nullptr;
    QLineEdit* sdotimeout = nullptr;
    QLineEdit* sdodelay = nullptr;
    QLineEdit* defaulthbtime = nullptr;
    QLineEdit* defaulthbfactor = nullptr;
    QCheckBox* disablesdochannel = nullptr;
    QCheckBox* startsetup = nullptr;
    std::array<PortControls, 2> ports{};
    // Manager Control/Information
    QPushButton* hwreset = nullptr;
    QPushButton* clearnetwork = nullptr;
    QPushButton* scannetwork = nullptr;
    QPushButton* scannetworkstore = nullptr;
    QLineEdit* statusmsg = nullptr;
    // Error log
    QWidget* logpanel = nullptr;
    QPlainTextEdit* log = nullptr;
    QPushButton* closelog = nullptr;
};

// Builds every control into window (selector row, the three pages, the log
// panel); the port and status controls are read-only.
ManagerControls BuildManagerControls(QWidget* window);

// Fills the settings, port and status controls from a valid configuration.
void FillSettingsControls(const ManagerControls& c, const ManagerConfiguration& config);
