// The objects that live for the whole run of quorvane, created before any
// window in this order and destroyed after the message loop in reverse.
#pragma once

#include "app/messaging.h"
#include "manager/utilities.h"
#include "trace/emergency_codes.h"
#include "trace/trace_buffer.h"
#include "transmit/transmit_engine.h"
#include "transmit/transmit_table.h"

struct ProcessObjects {
    static constexpr int kTransmitMessages = 20;

    TTraceBuffer traceBuffer;
    TEmergencyCodes emergencyCodes;
    TTransmit transmit{kTransmitMessages};
    TransmitEngine transmitEngine{transmit};  // sends the table's messages
    TMessaging messaging;
    TUtilities utilities;
};
