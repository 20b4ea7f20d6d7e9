#pragma once

#include <cstdint>

// Heap record of the player status event (1029); the receiver deletes it.
struct PlayerStatusInfo {
    int32_t nPort = 0;           // play-library port
    int32_t nEvent = 0;          // 9, 10 or any other player event, passed through
    int64_t lValue = 0;
    int32_t nValue2 = 0;
    int32_t nReserved = 0;       // always 0
    void* pDevice = nullptr;     // the device record registered as the callback's user pointer
};
static_assert(sizeof(PlayerStatusInfo) == 32, "PlayerStatusInfo layout");
