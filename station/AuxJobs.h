#pragma once

#include "DevTypeInfo.h"

#include <QString>

#include <cstdint>

// Thread messages of the controller's auxiliary thread and the heap jobs they
// carry (wParam: the job; lParam: the source, 0 automatic, 1 manual). The
// poster allocates the job; the worker frees it after the action, and a post
// that fails frees it at once (PostAuxJob).
enum AuxMessage : uint32_t {
    AUX_MSG_START_AUDIO_OK = 1124,       // AuxResponseInfo (devicelink/AuxResponseInfo.h), freed with FreeAuxResponseInfo
    AUX_MSG_PRINT_QRCODE = 1125,         // AuxPrintQRCodeMsg
    AUX_MSG_CHECK_QRCODE = 1126,         // AuxPrintQRCodeMsg
    AUX_MSG_4G_INFO_TEST = 1127,         // Dev4GInfo
    AUX_MSG_BIND_DEV = 1128,             // DevBindJob
    AUX_MSG_AUTHORIZE_CHECK = 1130,      // AuxAuthorizeCheckMsg
};

// Thread message of the ID-service thread: wParam a heap QByteArray with the
// device's IP text, freed by the thread (or by the poster when the post fails).
constexpr uint32_t WM_ID_SERVICE_REQUEST = 1025;

enum AuxJobSource : int {
    AUX_SOURCE_AUTO = 0,
    AUX_SOURCE_MANUAL = 1,
};

// QR label print (1125) and check (1126) preparation.
struct AuxPrintQRCodeMsg {
    int eType = 0;
    QString strDevSN;
    QString strMac;                      // not read by the check
    int iSDKType = 0;                    // 1: Tuya device
    QString strUUID;
};

// The device's reply to the 4G command (1532); also the controller's stored reply.
struct Dev4GInfo {
    QString IMEI;
    QString ModuleSN;
    QString SoftVersion;                 // with "_" and SubVersion when both are present
    QString SubVersion;
    QString Err;                         // card 1 return code text
    QString ICCID;
    int SignalStrength = 0;
    int RSRQ = 0;
    int RSSI = 0;
    int SNR = 0;
    QString Operator;
    int ConnectInternet = 0;
    QString Err2;
    QString ICCID2;
    int SignalStrength2 = 0;
    int RSRQ2 = 0;
    int RSSI2 = 0;
    int SNR2 = 0;
    QString Operator2;
    int ConnectInternet2 = 0;
};

// Device binding at the back-end (1128).
struct DevBindJob {
    DevTypeInfo devType;
    QString strSN;
    QString strMacAddr;
    QString szModel;
};

// Authorization code check (1130).
struct AuxAuthorizeCheckMsg {
    int iReplyStatus = 0;                // 1: a reply to 1750 was parsed
    int iAutorizationStatus = 0;         // as the device reported it
    QString strUUID;
    QString strKey;
    QString strSN;
    QString strModel;
    int iType = 1;
};

// Frees the job of a message of the auxiliary or ID-service thread by its
// message number; true when the number has a job type.
bool FreeAuxJob(uint32_t message, uintptr_t job);
