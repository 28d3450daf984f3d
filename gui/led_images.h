// The image list of the four LEDs: index 0/1 Tx off/on, 2/3 Rx, 4/5 Error,
// 6/7 Bus. Drawn once at start-up. UI thread.
#pragma once

#include <QPixmap>
#include <array>

enum LedImage { kTxOff = 0, kTxOn, kRxOff, kRxOn, kErrorOff, kErrorOn, kBusOff, kBusOn };

std::array<QPixmap, 8> MakeLedImages(int diameter);
