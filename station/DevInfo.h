#pragma once

#include "DevTestResult.h"
#include "FuncLibTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

class VideoForm;

// One device under test: the SDK's search entry, the device's result record,
// then the station's state for it. A plain block: zeroed, filled and copied
// whole; it owns nothing. The SDK's search-result read writes the front of it.
//
// lFrameCount, lStopFlag, lPlayID and lRealHandle are touched by library
// callbacks while other threads hold the record: read and write them only
// through DevLoad / DevStore / DevAdd, and copy records with CopyDevInfo.
// Those callbacks get the record's address and reach its pane through widget;
// what keeps both alive while they may run is said in LeftTopWidgetPlay.cpp.
struct DevInfo {
    IPCEntry ipcEntry;                  // 0
    DevTestResult TestRuslut;           // 4800
    int32_t iSearchIndex;               // position in the SDK's search result table
    int64_t lUserID;                    // login handle; > 0 while logged in
    int64_t lLoginStatus;               // 0 unknown, 1 logged in, -1 failed or out, -2 not this cycle
    int64_t lConfigCheck;               // package check: 0 no answer, 1 same, -1 differs
    int64_t iConfigUploadFinishFlag;    // 1 once the device took the uploaded package
    int64_t lConfigUploadFinishTime;    // epoch milliseconds of that report
    char szFirmwareVersion[128];        // FileSystemVersion of the version reply
    char szFileSystemIdentify[128];     // FileSystemIdentify
    char szDeviceIdentify[128];         // DeviceIdentify
    char szModel[64];                   // model derived from the version reply
    int32_t lWifiTesFinish;             // throughput phase: 0 none, 1 started, 2 data, 3 finished
    char szSignalLevel[128];            // SignalLevel of the Wi-Fi signal reply
    char szQuality[128];                // Quality of the Wi-Fi signal reply
    char szFuncCode[128];               // authorized function codes
    char szSupportFuncCode[128];        // supported function codes
    int32_t iRetCode;                   // function-code RetCode; 300: no reply yet
    int32_t iFormatResult;              // SD-card format result
    int32_t iLightMode;                 // lamp-board code 0..6
    int64_t lFrameCount;                // video packets of the current play (atomic access)
    int64_t lStopFlag;                  // 1 once play of the device is stopped (atomic access)
    int64_t lPlayID;                    // play-library port, > 0 while open (atomic access)
    int64_t lRealHandle;                // live-stream handle, non-zero while open (atomic access)
    VideoForm* widget;                  // the pane showing the device; not owned
};

static_assert(std::is_trivially_copyable<DevInfo>::value, "DevInfo is copied as bytes");
static_assert(std::is_standard_layout<DevInfo>::value, "DevInfo offsets are fixed");
static_assert(offsetof(DevInfo, ipcEntry) == 0, "layout");
static_assert(offsetof(DevInfo, TestRuslut) == 4800, "layout");
static_assert(offsetof(DevInfo, iSearchIndex) == 6384, "layout");
static_assert(offsetof(DevInfo, lUserID) == 6392, "layout");
static_assert(offsetof(DevInfo, lLoginStatus) == 6400, "layout");
static_assert(offsetof(DevInfo, lConfigCheck) == 6408, "layout");
static_assert(offsetof(DevInfo, iConfigUploadFinishFlag) == 6416, "layout");
static_assert(offsetof(DevInfo, lConfigUploadFinishTime) == 6424, "layout");
static_assert(offsetof(DevInfo, szFirmwareVersion) == 6432, "layout");
static_assert(offsetof(DevInfo, szFileSystemIdentify) == 6560, "layout");
static_assert(offsetof(DevInfo, szDeviceIdentify) == 6688, "layout");
static_assert(offsetof(DevInfo, szModel) == 6816, "layout");
static_assert(offsetof(DevInfo, lWifiTesFinish) == 6880, "layout");
static_assert(offsetof(DevInfo, szSignalLevel) == 6884, "layout");
static_assert(offsetof(DevInfo, szQuality) == 7012, "layout");
static_assert(offsetof(DevInfo, szFuncCode) == 7140, "layout");
static_assert(offsetof(DevInfo, szSupportFuncCode) == 7268, "layout");
static_assert(offsetof(DevInfo, iRetCode) == 7396, "layout");
static_assert(offsetof(DevInfo, iFormatResult) == 7400, "layout");
static_assert(offsetof(DevInfo, iLightMode) == 7404, "layout");
static_assert(offsetof(DevInfo, lFrameCount) == 7408, "layout");
static_assert(offsetof(DevInfo, lStopFlag) == 7416, "layout");
static_assert(offsetof(DevInfo, lPlayID) == 7424, "layout");
static_assert(offsetof(DevInfo, lRealHandle) == 7432, "layout");
static_assert(offsetof(DevInfo, widget) == 7440, "layout");
static_assert(sizeof(DevInfo) == 7448, "DevInfo size");

// Atomic access to a field of a record that another thread may touch at the same time.
template <typename T>
inline T DevLoad(const T& field)
{
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

template <typename T>
inline void DevStore(T& field, T value)
{
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}

// Adds delta; returns the new value.
template <typename T>
inline T DevAdd(T& field, T delta)
{
    return __atomic_add_fetch(&field, delta, __ATOMIC_ACQ_REL);
}

inline void ZeroDevInfo(DevInfo& dev)
{
    std::memset(&dev, 0, offsetof(DevInfo, lFrameCount));
    DevStore(dev.lFrameCount, int64_t(0));
    DevStore(dev.lStopFlag, int64_t(0));
    DevStore(dev.lPlayID, int64_t(0));
    DevStore(dev.lRealHandle, int64_t(0));
    dev.widget = nullptr;
}

// A whole-record copy whose four callback fields are read and written atomically.
inline void CopyDevInfo(DevInfo& to, const DevInfo& from)
{
    if (&to == &from)
        return;
    std::memcpy(&to, &from, offsetof(DevInfo, lFrameCount));
    DevStore(to.lFrameCount, DevLoad(from.lFrameCount));
    DevStore(to.lStopFlag, DevLoad(from.lStopFlag));
    DevStore(to.lPlayID, DevLoad(from.lPlayID));
    DevStore(to.lRealHandle, DevLoad(from.lRealHandle));
    to.widget = from.widget;
}

inline DevInfo CopyOfDevInfo(const DevInfo& from)
{
    DevInfo to;
    CopyDevInfo(to, from);
    return to;
}

// The play port of a record handed to a library as its user pointer: the
// reader the device-event bridge uses to refuse player events of a port the
// record no longer holds.
inline int64_t PlayIdOfDevice(const void* device)
{
    return device ? DevLoad(static_cast<const DevInfo*>(device)->lPlayID) : 0;
}

// The serial number, read within its field.
inline bool SameSerial(const DevInfo& a, const DevInfo& b)
{
    return std::strncmp(a.ipcEntry.ipc_sn, b.ipcEntry.ipc_sn, sizeof(a.ipcEntry.ipc_sn)) == 0;
}

// The IP text, read within its field.
inline bool SameIP(const DevInfo& a, const DevInfo& b)
{
    return std::strncmp(a.ipcEntry.szIP, b.ipcEntry.szIP, sizeof(a.ipcEntry.szIP)) == 0;
}
