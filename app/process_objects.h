// The objects that live for the whole run of quorvane, created before any
// window in this order and destroyed after the message loop in reverse.
#pragma once

#include "manager/core/utilities.h"
#include "sharing/messaging.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/trace_buffer.h"
#include "transmit/core/transmit_engine.h"
#include "transmit/core/transmit_table.h"
#include "transmit/transmit_settings.h"

struct ProcessObjects {
    static constexpr int kTransmitMessages = 20;

    TTraceBuffer traceBuffer;
    TEmergencyCodes emergencyCodes;
    SettingsTransmitStore transmitStore;  // where the transmit table loads and saves
    TTransmit transmit{kTransmitMessages, &transmitStore};
    TransmitEngine transmitEngine{transmit};  // sends the table's messages
    TMessaging messaging;
    TUtilities utilities;
};
