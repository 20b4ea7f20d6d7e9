#include "DecodeModes.h"

std::atomic<int> HardwareDecodeMode{0};
std::atomic<int> MultiThreadDecodeMode{0};
