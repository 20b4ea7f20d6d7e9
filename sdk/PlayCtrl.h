#pragma once

#include "PlayCtrlTypes.h"

#include <cstdint>

// Play library: decodes the device SDK's live packets into frames and holds the
// talk-back encoders and the MP3 conversion. Callbacks run on the port's decode
// thread only, never after they were cleared. Ports are 1..PC_MAX_PORTS; a port
// that is not taken gives PC_ERR_PORT.

using PC_DisplayCallback = int (*)(int port, const PC_FrameInfo* frame, void* user);
using PC_StatusCallback = int (*)(int port, int event, int64_t value, int value2, void* user);

int PC_Init();                                                                    // 15
int PC_Cleanup();                                                                 // 10
int PC_GetFreePort();                                                             // 14
int PC_OpenStream(int port, const char* header, int size, int kind, int bufferCount);  // 23
int PC_SetHardwareDecode(int port, int mode);                                     // 29
int PC_SetDecodeThreads(int port, int mode);                                      // 30
int PC_SetPixelLayout(int port, int layout);                                      // 32
int PC_SetDisplayCallback(int port, PC_DisplayCallback callback, void* user);     // 27
int PC_SetStatusCallback(int port, PC_StatusCallback callback, void* user);       // 31
int PC_Play(int port, int flag);                                                  // 24
int PC_InputVideoData(int port, const char* buffer, int length, int frameType, int64_t timeStamp);  // 19
int PC_InputAudioData(int port, const char* buffer, int length, int64_t timeStamp);                // 18
int PC_CloseStream(int port);                                                     // 39
int PC_FreePort(int port);                                                        // 12

// Talk-back encoders: 16-bit little-endian PCM in, the device's audio type out.
int PC_OpenTalkEncoder(int sampleRate, int bits, int channels);                   // 16
int PC_EncodeTalkType0(char* out, const char* in, int length);                    // 13: out = length / 2
int PC_EncodeTalk(char* out, const char* in, int length);                         // 1
// MP3 file to raw PCM file (channels, bits, rate): 0 on success.
int PC_Mp3ToPcm(const char* mp3Path, const char* pcmPath, int channels, int bits, int rate);       // 20
