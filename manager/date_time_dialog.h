// Entry of a configuration date and time.
#pragma once

#include <QDialog>

class TWin_EnterDateAndTime : public QDialog {
public:
    explicit TWin_EnterDateAndTime(QWidget* parent = nullptr) : QDialog(parent) {
        setObjectName(QStringLiteral("TWin_EnterDateAndTime"));
    }
};
