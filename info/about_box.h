// Help > About: version, the makers' logos and links, licence and credits.
// Modal; "Close" ends it. UI thread only.
#pragma once

#include <QDialog>

class TWin_About : public QDialog {
    Q_OBJECT
public:
    explicit TWin_About(QWidget* parent = nullptr);
};
