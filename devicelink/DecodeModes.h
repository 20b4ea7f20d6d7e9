#pragma once

#include <atomic>

// Decode settings applied to the play port at every live-play start. The
// settings form writes them on the GUI thread; the SDK's stream thread reads them.
extern std::atomic<int> HardwareDecodeMode;      // 0 software, 1 hardware decoding
extern std::atomic<int> MultiThreadDecodeMode;   // 0 off, 1 on
