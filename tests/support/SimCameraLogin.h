#pragma once

// For tests that link devicelink and sdk: a simulated camera logged in and
// described by a DeviceEntry, ready to be played into a pane.
#include "DeviceEntry.h"
#include "FuncLib.h"
#include "PlayCtrl.h"
#include "sim/SimLan.h"

#include <QTest>

#include <atomic>
#include <cstring>

namespace SimCameraLogin {

inline std::atomic<int64_t>& LoggedIn()
{
    static std::atomic<int64_t> handle{0};
    return handle;
}

inline int OnStatus(int64_t loginHandle, int statusType, const char*, void*)
{
    if (statusType == EVENT_LOGINOK)
        LoggedIn() = loginHandle;
    return 0;
}

// Resets the simulated LAN, adds camera, logs in as admin and fills entry.
// Returns the login handle once the login event came, 0 otherwise. The status
// callback stays set: the caller clears it (FC_Loc_SetStatusCallback) when done.
inline int64_t LogIn(const SimCameraConfig& camera, DeviceEntry& entry)
{
    SimLan& lan = SimLan::Instance();
    lan.Reset();
    if (!lan.AddCamera(camera))
        return 0;
    PC_Init();
    FC_Loc_SetStatusCallback(&OnStatus, nullptr);
    LoggedIn() = 0;
    const QByteArray address = camera.address.toLatin1();
    const int64_t login = FC_Loc_Login(address.constData(), camera.port, "admin", "580347", 0);
    if (login <= 0 || !QTest::qWaitFor([login] { return LoggedIn() == login; }, 10000))
        return 0;
    std::strncpy(entry.szAddress, address.constData(), sizeof entry.szAddress - 1);
    std::strcpy(entry.szUser, "admin");
    std::strcpy(entry.szPassword, "580347");
    entry.nStreamPort = camera.port;
    entry.lLoginHandle = login;
    return login;
}

}  // namespace SimCameraLogin
