#pragma once

#include "CacheFileStore.h"
#include "DevTestResult.h"

#include <cstdio>
#include <cstdlib>

// Gives every result word of a pattern-filled record a value the cache posts (-1, 0
// or 1, varied by seed), so that the record reads back from a file as sound.
inline void SetSoundResults(DevTestResult& r, int seed)
{
    int i = seed;
    for (const auto field : CacheFileStore::ResultFields())
        r.*field = (i++ % 3) - 1;
}

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
    SetSoundResults(r, serial);
    r.total_result = 1;
    return r;
}

inline int KillTestSerial(const DevTestResult& r)
{
    return atoi(r.dev_sn + 4);
}
