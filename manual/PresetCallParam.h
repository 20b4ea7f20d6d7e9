#pragma once

#include <cstddef>
#include <cstdint>

// The preset order that a preset button sends with MANUAL_CALL_PRESET.
struct PresetCallParam {
    int32_t preset = 0;   // 0..255
    int32_t action = 0;   // 0 call, 1 set (store), 2 delete
};

static_assert(sizeof(PresetCallParam) == 8, "PresetCallParam is two 32-bit ints");
static_assert(offsetof(PresetCallParam, preset) == 0, "preset comes first");
static_assert(offsetof(PresetCallParam, action) == 4, "action follows preset");
