// The library's receive, transmit and error callbacks of quorvane. They run
// on the library's I/O thread and only record facts: SignalState under its
// mutexes and the frame hand-offs below.
#pragma once

#include <atomic>
#include <cstdint>

#include "canlib/morvellcanopen.h"
#include "gui/signal_state.h"

class TTraceBuffer;
class TMessaging;
class TransmitEngine;
class NetworkLiveStates;
namespace canopen_trace {
class CandumpRecorder;
}

class LibraryEvents {
public:
    // `transmit` sends the messages a received identifier triggers.
    LibraryEvents(SignalState& signals, TTraceBuffer& trace, TMessaging& messaging,
                  TransmitEngine& transmit);
    ~LibraryEvents();

    // The network overview's live states; may be set after construction but
    // before the interface is opened. nullptr = not handed on.
    void setNetworkStates(NetworkLiveStates* states) { network_.store(states); }
    // The candump recorder of the trace window: every frame received or sent
    // goes to it first, with its receive time. Same rules as above.
    void setRecorder(canopen_trace::CandumpRecorder* recorder) { recorder_.store(recorder); }

    // Registers this object's callbacks with the library (receive, transmit,
    // error, in this order). One object at a time; the destructor unregisters.
    void registerWithLibrary();
    // Stops the routing: once it returns, no callback of this object runs
    // (one in flight has finished). UI thread.
    void unregisterFromLibrary();

    void onReceive(const CanFrame& frame, int32_t status);
    void onTransmit(const CanFrame& frame);
    void onError(int32_t code);

private:
    // The node to attribute a frame to, or false when the current node's
    // mutex stays busy (10 ms): the frame then only counts for the LEDs.
    bool copyCurrentNode(uint8_t& node);

    SignalState& signals_;
    TTraceBuffer& trace_;
    TMessaging& messaging_;
    TransmitEngine& transmit_;
    void record(const CanFrame& frame);

    std::atomic<NetworkLiveStates*> network_{nullptr};
    std::atomic<canopen_trace::CandumpRecorder*> recorder_{nullptr};
};
