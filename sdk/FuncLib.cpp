#include "FuncLib.h"

// Placeholder bodies; the simulated LAN replaces them.

int FC_Loc_SetDebugCallback(FC_DebugCallback /*callback*/, int /*level*/)
{
    return -1;
}

int FC_Loc_SetWorkMode(int /*mode*/)
{
    return -1;
}

int FC_Loc_SetReconnect(int /*enable*/)
{
    return -1;
}

int FC_Loc_SetStatusCallback(FC_StatusCallback /*callback*/, void* /*user*/)
{
    return -1;
}

int FC_Loc_SetMessageCallback(FC_MessageCallback /*callback*/, void* /*user*/)
{
    return -1;
}

int FC_Loc_Cleanup()
{
    return -1;
}

int FC_Loc_SetSingleFixedIp(int /*enable*/)
{
    return -1;
}

int FC_Loc_SetLoginOption(int /*option*/, const char* /*text*/)
{
    return -1;
}

int FC_Loc_StartSearchIPC(const char* /*localIp*/)
{
    return -1;
}

int FC_Loc_StopSearchIPC()
{
    return -1;
}

int FC_Loc_GetSearchIPCCount()
{
    return -1;
}

int FC_Loc_GetSearchIPCInfo(int /*index*/, IPCEntry* /*entry*/)
{
    return -1;
}

int FC_Loc_ModifyIPCEx(int /*index*/, const IPCEntry* /*entry*/, int /*flag*/)
{
    return -1;
}

int64_t FC_Loc_Login(const char* /*ip*/, int /*port*/, const char* /*user*/, const char* /*password*/, int /*flag*/)
{
    return -1;
}

int FC_Loc_Logout(int64_t /*loginHandle*/)
{
    return -1;
}

int FC_Loc_IoTSystemControl(int64_t /*loginHandle*/, int /*command*/, int /*channel*/, const char* /*body*/)
{
    return -1;
}

int FC_Loc_IoTChannelControl(int64_t /*loginHandle*/, int /*command*/, int /*reserved*/, const char* /*body*/, int /*channelIndex*/)
{
    return -1;
}

int FC_Loc_IoTQuery(int64_t /*loginHandle*/, int /*command*/, int /*reserved*/, const char* /*body*/)
{
    return -1;
}

int FC_Loc_HardwareConfigGet(int64_t /*loginHandle*/, int /*command*/, int /*reserved*/, const char* /*body*/)
{
    return -1;
}

int FC_Loc_IoTTextControl(int64_t /*loginHandle*/, int /*command*/, int /*reserved*/, const char* /*body*/, int /*length*/)
{
    return -1;
}

int FC_Loc_PTZControl(int64_t /*loginHandle*/, const char* /*xml*/)
{
    return -1;
}

int FC_Loc_UploadAlarmAudio(int64_t /*loginHandle*/, const char* /*path*/)
{
    return -1;
}

int FC_Loc_UploadLogo(int64_t /*loginHandle*/, const char* /*path*/)
{
    return -1;
}

int FC_Loc_SetCompressFile(int64_t /*loginHandle*/, const char* /*path*/)
{
    return -1;
}

int64_t FC_Loc_RealPlayEx(int64_t /*loginHandle*/, const char* /*url*/, const char* /*user*/, const char* /*password*/, FC_RealDataCallback /*callback*/, const FC_RealPlayParam* /*param*/)
{
    return -1;
}

int FC_Loc_StopRealPlay(int64_t /*realHandle*/)
{
    return -1;
}

int FC_Loc_StartSpeak(int64_t /*loginHandle*/, int /*channel*/)
{
    return -1;
}

int FC_Loc_SendTalkFrame(int64_t /*loginHandle*/, const FC_TalkFrame* /*frame*/)
{
    return -1;
}

int FC_Loc_StopSpeak(int64_t /*loginHandle*/, int /*channel*/)
{
    return -1;
}
