// The settings values of the transmit messages: 21 per message, named
// "<index>_<field>". UI thread (QSettings).
#pragma once

#include <QSettings>

#include "transmit/core/transmit_table.h"

// Reads the values of message `index` that exist into `message`, narrowing
// integers to the field width and correcting out-of-range values. A missing
// value, or one of the wrong kind, leaves the field as it was.
void LoadTransmitMessage(const QSettings& settings, int index, TransmitMessage& message);

// Writes all 21 values of message `index`.
void SaveTransmitMessage(QSettings& settings, int index, const TransmitMessage& message);

// The transmit table's store: the settings store of quorvane. A store that
// cannot be opened loads and saves nothing. UI thread.
class SettingsTransmitStore : public TransmitStore {
public:
    void Load(TransmitMessage* records, int count) override;
    void Save(const TransmitMessage* records, int count) override;
};
