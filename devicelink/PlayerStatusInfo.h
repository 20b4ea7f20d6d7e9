#pragma once

#include <cstdint>

// Heap record of the player status event (1029); the event owns it.
struct PlayerStatusInfo {
    int32_t nPort = 0;           // play-library port
    int32_t nEvent = 0;          // 9, 10 or any other player event, passed through
    int64_t lValue = 0;
    int32_t nValue2 = 0;
    int32_t nReserved = 0;       // always 0
    // The device behind the port, as registered with the callback: the
    // controller's DevInfo, or the DeviceEntry of a pane's own play path. The
    // receiver only tests it; it never reads through it.
    void* pDevice = nullptr;
};
static_assert(sizeof(PlayerStatusInfo) == 32, "PlayerStatusInfo layout");
