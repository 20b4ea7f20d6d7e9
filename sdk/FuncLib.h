#pragma once

#include "FuncLibTypes.h"

#include <cstdint>

// Device SDK: the station's calls to the camera SDK. This build carries our own
// implementation, backed by the simulated LAN of sdk/sim. Callbacks run on the
// SDK's own threads only, never on the caller's, and never after they have been
// cleared (a clear waits for a callback that is running on another thread).
// Handles are above 0 while valid; a stale handle gives FC_ERR_HANDLE.

using FC_DebugCallback = void (*)(int level, const char* text);
// Status events: data is a NUL-terminated text, an FC_LinkStateRecord for type 23, or null.
using FC_StatusCallback = int (*)(int64_t loginHandle, int statusType, const char* data, void* user);
// Command replies: stateCode = status byte << 24 | message code.
using FC_MessageCallback = int (*)(int64_t loginHandle, int stateCode, const char* reply, void* user);
using FC_RealDataCallback = int (*)(int64_t realHandle, int dataType, const char* buffer, int size,
                                    const FC_PacketInfo* packet);

// --- start-up and clean-up ---------------------------------------------------
int FC_Loc_SetDebugCallback(FC_DebugCallback callback, int level);          // 214
int FC_Loc_SetWorkMode(int mode);                                           // 238
int FC_Loc_SetReconnect(int enable);                                        // 120
int FC_Loc_SetStatusCallback(FC_StatusCallback callback, void* user);       // 133
int FC_Loc_SetMessageCallback(FC_MessageCallback callback, void* user);     // 117
int FC_Loc_Cleanup();                                                       // 21
int FC_Loc_SetSingleFixedIp(int enable);                                    // 132
int FC_Loc_SetLoginOption(int option, const char* text);                    // 54

// --- search and re-addressing ------------------------------------------------
int FC_Loc_StartSearchIPC(const char* localIp);                             // 140
int FC_Loc_StopSearchIPC();                                                 // 150
int FC_Loc_GetSearchIPCCount();                                             // 72
int FC_Loc_GetSearchIPCInfo(int index, IPCEntry* entry);                    // 65
int FC_Loc_ModifyIPCEx(int index, const IPCEntry* entry, int flag);         // 89

// --- sessions ----------------------------------------------------------------
int64_t FC_Loc_Login(const char* ip, int port, const char* user, const char* password, int flag);  // 83
int FC_Loc_Logout(int64_t loginHandle);                                     // 84

// --- commands (0 when sent, below 0 when not) ---------------------------------
int FC_Loc_IoTSystemControl(int64_t loginHandle, int command, int channel, const char* body);          // 80
int FC_Loc_IoTChannelControl(int64_t loginHandle, int command, int reserved, const char* body,
                             int channelIndex);                                                        // 81
int FC_Loc_IoTQuery(int64_t loginHandle, int command, int reserved, const char* body);                 // 154
int FC_Loc_HardwareConfigGet(int64_t loginHandle, int command, int reserved, const char* body);        // 155
int FC_Loc_IoTTextControl(int64_t loginHandle, int command, int reserved, const char* body, int length); // 124
int FC_Loc_PTZControl(int64_t loginHandle, const char* xml);                                           // 99
int FC_Loc_UploadAlarmAudio(int64_t loginHandle, const char* path);                                    // 119
int FC_Loc_UploadLogo(int64_t loginHandle, const char* path);                                          // 126
int FC_Loc_SetCompressFile(int64_t loginHandle, const char* path);                                     // 121

// --- live stream and talk-back -----------------------------------------------
int64_t FC_Loc_RealPlayEx(int64_t loginHandle, const char* url, const char* user, const char* password,
                          FC_RealDataCallback callback, const FC_RealPlayParam* param);              // 106
int FC_Loc_StopRealPlay(int64_t realHandle);                                                          // 147
int FC_Loc_StartSpeak(int64_t loginHandle, int channel);                                              // 142
int FC_Loc_SendTalkFrame(int64_t loginHandle, const FC_TalkFrame* frame);                             // 78
int FC_Loc_StopSpeak(int64_t loginHandle, int channel);                                               // 152
