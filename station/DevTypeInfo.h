#pragma once

#include <QString>

#include <cstdint>

// A device's answer to the device-type command (1030). The controller keeps one
// per login handle and a copy for the current device.
struct DevTypeInfo {
    static constexpr int kDefaultMainType = 100;
    static constexpr int kPrintableMainType = 101;

    QString strIpcType;                         // IPC_Type
    int eTypeDevMainType = kDefaultMainType;    // DevMType
    int eType = 0;                              // DevType
    int iSDKType = 0;                           // SDKType; 1: Tuya device
    int64_t Feature = 0;                        // bit 0: two lenses, channel command call
    bool bFieldsMissing = false;                // IPC_Type, DevMType or DevType was absent
    QString strResponse;                        // the reply text

    bool IsMultiChannel() const { return (Feature & 1) != 0; }
};
