// Blocking SDO access for the CANopen Manager windows.
#pragma once

class TUtilities {};
