#include "ConfigInfo.h"

namespace {

using FlagMember = bool ManualItemDisplayFlags::*;

struct FlagKey {
    FlagMember member;
    const char* key;
};

// Key order of the MANUAL_TEST_ITEM_DISAPLAY group: flag 1 first.
const FlagKey kFlagKeys[MANUAL_ITEM_DISPLAY_COUNT] = {
    {&ManualItemDisplayFlags::bTrumpet, "bTrumpet"},
    {&ManualItemDisplayFlags::bHumanAlarmIO, "bHumanAlarmIO"},
    {&ManualItemDisplayFlags::bMicTest, "bMicTest"},
    {&ManualItemDisplayFlags::bAudioAlarm, "bAudioAlarm"},
    {&ManualItemDisplayFlags::bDay, "bDay"},
    {&ManualItemDisplayFlags::bNight, "bNight"},
    {&ManualItemDisplayFlags::bWifiSignalTest, "bWifiSignalTest"},
    {&ManualItemDisplayFlags::bWifiTest, "bWifiTest"},
    {&ManualItemDisplayFlags::bOpenWhiteLight, "bOpenWhiteLight"},
    {&ManualItemDisplayFlags::bFunctionCodeTest, "bFunctionCodeTest"},
    {&ManualItemDisplayFlags::bDevQRCodeCheck, "bDevQRCodeCheck"},
    {&ManualItemDisplayFlags::b4GTest, "b4GTest"},
    {&ManualItemDisplayFlags::bAperAdd, "bAperAdd"},
    {&ManualItemDisplayFlags::bAperReduce, "bAperReduce"},
    {&ManualItemDisplayFlags::bFocusAdd, "bFocusAdd"},
    {&ManualItemDisplayFlags::bFocusReduce, "bFocusReduce"},
    {&ManualItemDisplayFlags::bZoomAdd, "bZoomAdd"},
    {&ManualItemDisplayFlags::bZoomReduce, "bZoomReduce"},
    {&ManualItemDisplayFlags::bUp, "bUp"},
    {&ManualItemDisplayFlags::bDown, "bDown"},
    {&ManualItemDisplayFlags::bLeft, "bLeft"},
    {&ManualItemDisplayFlags::bRight, "bRight"},
    {&ManualItemDisplayFlags::bPTZReset, "bPTZReset"},
    {&ManualItemDisplayFlags::bPresetCall, "bPresetCall"},
};

}  // namespace

bool& ManualItemDisplayFlags::at(int i)
{
    Q_ASSERT(i >= 0 && i < MANUAL_ITEM_DISPLAY_COUNT);
    return this->*kFlagKeys[i].member;
}

bool ManualItemDisplayFlags::at(int i) const
{
    Q_ASSERT(i >= 0 && i < MANUAL_ITEM_DISPLAY_COUNT);
    return this->*kFlagKeys[i].member;
}

const char* ManualItemDisplayFlags::KeyName(int i)
{
    if (i < 0 || i >= MANUAL_ITEM_DISPLAY_COUNT)
        return "";
    return kFlagKeys[i].key;
}
