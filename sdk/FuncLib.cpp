#include "FuncLib.h"

#include "SdkCallLog.h"
#include "sim/SimLan.h"

#include <QString>

#include <atomic>
#include <cstring>

// The device SDK stand-in: each operation goes to the simulated LAN and is
// written to the call log.

namespace {

std::atomic<FC_DebugCallback> g_debugCallback{nullptr};
std::atomic<int> g_workMode{0};
std::atomic<int> g_reconnect{0};
std::atomic<int> g_singleFixedIp{0};

template <typename T>
T Logged(const char* function, const QString& arguments, T result)
{
    SdkCallLog::Instance().Record(function, arguments, int64_t(result));
    return result;
}

// At most limit bytes: a body that comes with its length need not end in a NUL.
QString Text(const char* text, size_t limit = 200)
{
    if (!text)
        return QStringLiteral("(null)");
    return QString::fromLatin1(text, int(strnlen(text, limit)));
}

QString Handle(int64_t handle)
{
    return QString::number(handle);
}

SimLan& Lan()
{
    return SimLan::Instance();
}

// A command whose body is a NUL-terminated text (or null); the third argument
// is logged, and is the camera's channel when the call has one.
int SendCommand(const char* function, int64_t loginHandle, int command, int third, const char* body,
                bool thirdIsChannel)
{
    return Logged(function,
                  QStringLiteral("%1,%2,%3,%4").arg(Handle(loginHandle)).arg(command).arg(third).arg(Text(body)),
                  Lan().Command(function, loginHandle, command, body, -1, thirdIsChannel ? third : 0));
}

}  // namespace

int FC_Loc_SetDebugCallback(FC_DebugCallback callback, int level)
{
    g_debugCallback = callback;
    return Logged("FC_Loc_SetDebugCallback", QStringLiteral("%1,%2").arg(callback ? 1 : 0).arg(level), 0);
}

int FC_Loc_SetWorkMode(int mode)
{
    Lan();
    g_workMode = mode;
    return Logged("FC_Loc_SetWorkMode", QString::number(mode), 0);
}

int FC_Loc_SetReconnect(int enable)
{
    g_reconnect = enable;
    return Logged("FC_Loc_SetReconnect", QString::number(enable), 0);
}

int FC_Loc_SetStatusCallback(FC_StatusCallback callback, void* user)
{
    return Logged("FC_Loc_SetStatusCallback", QString::number(callback ? 1 : 0),
                  Lan().SetStatusCallback(callback, user));
}

int FC_Loc_SetMessageCallback(FC_MessageCallback callback, void* user)
{
    return Logged("FC_Loc_SetMessageCallback", QString::number(callback ? 1 : 0),
                  Lan().SetMessageCallback(callback, user));
}

int FC_Loc_Cleanup()
{
    g_debugCallback = nullptr;
    return Logged("FC_Loc_Cleanup", QString(), Lan().Cleanup());
}

int FC_Loc_SetSingleFixedIp(int enable)
{
    g_singleFixedIp = enable;
    return Logged("FC_Loc_SetSingleFixedIp", QString::number(enable), 0);
}

int FC_Loc_SetLoginOption(int option, const char* text)
{
    return Logged("FC_Loc_SetLoginOption", QStringLiteral("%1,%2").arg(option).arg(Text(text)), 0);
}

int FC_Loc_StartSearchIPC(const char* localIp)
{
    return Logged("FC_Loc_StartSearchIPC", Text(localIp), Lan().StartSearch(localIp));
}

int FC_Loc_StopSearchIPC()
{
    return Logged("FC_Loc_StopSearchIPC", QString(), Lan().StopSearch());
}

int FC_Loc_GetSearchIPCCount()
{
    return Logged("FC_Loc_GetSearchIPCCount", QString(), Lan().SearchCount());
}

int FC_Loc_GetSearchIPCInfo(int index, IPCEntry* entry)
{
    return Logged("FC_Loc_GetSearchIPCInfo", QString::number(index), Lan().SearchEntry(index, entry));
}

int FC_Loc_ModifyIPCEx(int index, const IPCEntry* entry, int flag)
{
    const QString args = entry ? QStringLiteral("%1,%2,%3,%4,%5")
                                     .arg(index)
                                     .arg(Text(entry->szIP), Text(entry->szNetmask), Text(entry->szGateway))
                                     .arg(flag)
                               : QStringLiteral("%1,(null),%2").arg(index).arg(flag);
    return Logged("FC_Loc_ModifyIPCEx", args, Lan().ModifyAddress(index, entry));
}

int64_t FC_Loc_Login(const char* ip, int port, const char* user, const char* password, int flag)
{
    const QString args = QStringLiteral("%1,%2,%3,%4,%5")
                             .arg(Text(ip))
                             .arg(port)
                             .arg(Text(user), password ? QStringLiteral("***") : QStringLiteral("(null)"))
                             .arg(flag);
    return Logged("FC_Loc_Login", args, Lan().Login(ip, port, user, password));
}

int FC_Loc_Logout(int64_t loginHandle)
{
    return Logged("FC_Loc_Logout", Handle(loginHandle), Lan().Logout(loginHandle));
}

int FC_Loc_IoTSystemControl(int64_t loginHandle, int command, int channel, const char* body)
{
    return SendCommand("FC_Loc_IoTSystemControl", loginHandle, command, channel, body, true);
}

int FC_Loc_IoTChannelControl(int64_t loginHandle, int command, int reserved, const char* body, int channelIndex)
{
    return Logged("FC_Loc_IoTChannelControl",
                  QStringLiteral("%1,%2,%3,%4,%5")
                      .arg(Handle(loginHandle))
                      .arg(command)
                      .arg(reserved)
                      .arg(Text(body))
                      .arg(channelIndex),
                  Lan().Command("FC_Loc_IoTChannelControl", loginHandle, command, body, -1, channelIndex));
}

int FC_Loc_IoTQuery(int64_t loginHandle, int command, int reserved, const char* body)
{
    return SendCommand("FC_Loc_IoTQuery", loginHandle, command, reserved, body, false);
}

int FC_Loc_HardwareConfigGet(int64_t loginHandle, int command, int reserved, const char* body)
{
    return SendCommand("FC_Loc_HardwareConfigGet", loginHandle, command, reserved, body, false);
}

int FC_Loc_IoTTextControl(int64_t loginHandle, int command, int reserved, const char* body, int length)
{
    const int result = length < 0 ? FC_ERR_PARAM
                                  : Lan().Command("FC_Loc_IoTTextControl", loginHandle, command, body, length);
    return Logged("FC_Loc_IoTTextControl",
                  QStringLiteral("%1,%2,%3,%4,%5")
                      .arg(Handle(loginHandle))
                      .arg(command)
                      .arg(reserved)
                      .arg(Text(body, size_t(qBound(0, length, 200))))
                      .arg(length),
                  result);
}

int FC_Loc_PTZControl(int64_t loginHandle, const char* xml)
{
    return Logged("FC_Loc_PTZControl", QStringLiteral("%1,%2").arg(Handle(loginHandle), Text(xml)),
                  Lan().Ptz(loginHandle, xml));
}

int FC_Loc_UploadAlarmAudio(int64_t loginHandle, const char* path)
{
    return Logged("FC_Loc_UploadAlarmAudio", QStringLiteral("%1,%2").arg(Handle(loginHandle), Text(path)),
                  Lan().Upload(loginHandle, path, QStringLiteral("alarmAudio"), 2));
}

int FC_Loc_UploadLogo(int64_t loginHandle, const char* path)
{
    return Logged("FC_Loc_UploadLogo", QStringLiteral("%1,%2").arg(Handle(loginHandle), Text(path)),
                  Lan().Upload(loginHandle, path, QStringLiteral("logo"), 4));
}

int FC_Loc_SetCompressFile(int64_t loginHandle, const char* path)
{
    return Logged("FC_Loc_SetCompressFile", QStringLiteral("%1,%2").arg(Handle(loginHandle), Text(path)),
                  Lan().Upload(loginHandle, path, QStringLiteral("package"), 1));
}

// The call log keeps the stream selector and the channel of the parameter record.
int64_t FC_Loc_RealPlayEx(int64_t loginHandle, const char* url, const char* user, const char* password,
                          FC_RealDataCallback callback, const FC_RealPlayParam* param)
{
    const QString args = QStringLiteral("%1,%2,%3,%4,%5,%6")
                             .arg(Handle(loginHandle), Text(url), Text(user),
                                  password ? QStringLiteral("***") : QStringLiteral("(null)"))
                             .arg(param ? param->nStreamSelector : -1)
                             .arg(param ? param->nChannel : -1);
    return Logged("FC_Loc_RealPlayEx", args, Lan().RealPlay(loginHandle, url, user, password, callback, param));
}

int FC_Loc_StopRealPlay(int64_t realHandle)
{
    return Logged("FC_Loc_StopRealPlay", Handle(realHandle), Lan().StopRealPlay(realHandle));
}

int FC_Loc_StartSpeak(int64_t loginHandle, int channel)
{
    return Logged("FC_Loc_StartSpeak", QStringLiteral("%1,%2").arg(Handle(loginHandle)).arg(channel),
                  Lan().StartSpeak(loginHandle));
}

int FC_Loc_SendTalkFrame(int64_t loginHandle, const FC_TalkFrame* frame)
{
    return Logged("FC_Loc_SendTalkFrame",
                  QStringLiteral("%1,%2").arg(Handle(loginHandle)).arg(frame ? frame->nLength : -1),
                  Lan().SendTalkFrame(loginHandle, frame));
}

int FC_Loc_StopSpeak(int64_t loginHandle, int channel)
{
    return Logged("FC_Loc_StopSpeak", QStringLiteral("%1,%2").arg(Handle(loginHandle)).arg(channel),
                  Lan().StopSpeak(loginHandle));
}
