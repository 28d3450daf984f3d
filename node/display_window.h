// The hex dump window of a read entry.
#pragma once

#include <QDialog>

class TWin_Display : public QDialog {
public:
    explicit TWin_Display(QWidget* parent = nullptr) : QDialog(parent) {
        setObjectName(QStringLiteral("TWin_Display"));
    }
};
