// Every window of quorvane. Created once at start-up, hidden, in the order
// of the members; shown and hidden as needed; destroyed at exit.
#pragma once

class TWin_Main;
class TWin_About;
class TWin_Display;
class TWin_HWConfig;
class TWin_Progress;
class TWin_Splash;
class TWin_Trace;
class TWin_HWInitError;
class TWin_TransmitMessages;
class TWin_Network;
class TWin_CANopenManager;
class TWin_EnterDateAndTime;

struct WindowSet {
    TWin_Main* main = nullptr;
    TWin_About* about = nullptr;
    TWin_Display* display = nullptr;
    TWin_HWConfig* hwConfig = nullptr;
    TWin_Progress* progress = nullptr;
    TWin_Splash* splash = nullptr;
    TWin_Trace* trace = nullptr;
    TWin_HWInitError* hwInitError = nullptr;
    TWin_TransmitMessages* transmitMessages = nullptr;
    TWin_Network* network = nullptr;
    TWin_CANopenManager* manager = nullptr;
    TWin_EnterDateAndTime* dateTime = nullptr;
};
