// The values the main window remembers between runs. UI thread.
#pragma once

#include <QSettings>
#include <QString>

struct MainSettings {
    int nodeid = 40;  // node list row + 1; outside 1-127 selects no row
    QString readindex = QStringLiteral("1000");
    QString readsubindex = QStringLiteral("00");
    bool readstore = false;  // else display the data
    QString readpath;
    QString writeindex = QStringLiteral("1000");
    QString writesubindex = QStringLiteral("00");
    bool writeenter = true;  // else write from a file
    QString writepath;
    QString writedata = QStringLiteral("1A2B3C4D");
    int writebase = 0;  // 0 Hexadecimal, 1 Decimal, 2 ASCII
    QString writelength;
    bool allnodes = false;  // else single node
    bool usepennorak = true;

    bool operator==(const MainSettings&) const = default;
};

// Reads every value from `settings`. A missing value, a value of the wrong
// kind (text where a number or 0/1 is expected), a nodeid that is not a
// number or a writebase outside 0-2 takes its default, which is written back
// at once. nullptr (store not usable) gives the defaults and writes nothing.
MainSettings LoadMainSettings(QSettings* settings);

// Writes every value; nothing when `settings` is nullptr.
void SaveMainSettings(QSettings* settings, const MainSettings& values);
