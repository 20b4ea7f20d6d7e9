#pragma once

#include "DevTestResult.h"

#include <cstdio>
#include <cstdlib>

// The record a kill-test child hands to the cache as number serial: every byte
// depends on the serial, so a record on disk proves which one it is and that it is whole.
inline DevTestResult KillTestRecord(int serial)
{
    DevTestResult r;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&r);
    for (size_t i = 0; i < sizeof(r); ++i)
        bytes[i] = static_cast<unsigned char>(i * 13 + serial * 7);
    snprintf(r.dev_sn, sizeof(r.dev_sn), "KILL%06d", serial);
    SetResultText(r.custom_manual_items, "");
    r.total_result = 1;
    return r;
}

inline int KillTestSerial(const DevTestResult& r)
{
    return atoi(r.dev_sn + 4);
}
