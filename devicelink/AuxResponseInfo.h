#pragma once

#include <cstdint>
#include <memory>

class QObject;

// Heap record of the device status event (1006) and the command reply event
// (1010), and the job of the talk-back sound (1124). Its owner frees it with
// FreeAuxResponseInfo (AuxResponsePtr).
struct AuxResponseInfo {
    int64_t lLoginID = 0;        // login (or stream) handle as the SDK passed it
    int64_t lStateCode = 0;      // 1010: status byte << 24 | message code (sign-extended); 1006: status type
    char* pResponse = nullptr;   // new[] copy of the reply text / status data, or null
    QObject* receiver = nullptr; // the object the event was posted to
};

// Message code of a reply state code (low 24 bits).
inline int AuxMessageCode(int64_t stateCode) { return int(stateCode & 0xFFFFFF); }
// Signed status byte of a reply state code (bits 24-31).
inline int AuxStatusByte(int64_t stateCode) { return int(int8_t(uint8_t((uint64_t(stateCode) >> 24) & 0xFF))); }

inline void FreeAuxResponseInfo(AuxResponseInfo* info)
{
    if (!info)
        return;
    delete[] info->pResponse;
    delete info;
}

struct AuxResponseInfoDeleter {
    void operator()(AuxResponseInfo* info) const { FreeAuxResponseInfo(info); }
};
using AuxResponsePtr = std::unique_ptr<AuxResponseInfo, AuxResponseInfoDeleter>;
