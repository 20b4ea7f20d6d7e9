#pragma once

#include "DevInfo.h"

#include <cstdint>

// A zeroed device record with a serial number, an address and a login.
inline DevInfo MakeDevice(const char* sn, const char* ip, int64_t login = 0, int64_t status = 0)
{
    DevInfo dev;
    ZeroDevInfo(dev);
    SetResultText(dev.ipcEntry.ipc_sn, sn);
    SetResultText(dev.ipcEntry.szIP, ip);
    dev.lUserID = login;
    dev.lLoginStatus = status;
    return dev;
}
