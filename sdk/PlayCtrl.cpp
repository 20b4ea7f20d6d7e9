#include "PlayCtrl.h"

// Placeholder bodies; the simulated LAN replaces them.

int PC_Init()
{
    return -1;
}

int PC_Cleanup()
{
    return -1;
}

int PC_GetFreePort()
{
    return -1;
}

int PC_OpenStream(int /*port*/, const char* /*header*/, int /*size*/, int /*kind*/, int /*bufferCount*/)
{
    return -1;
}

int PC_SetHardwareDecode(int /*port*/, int /*mode*/)
{
    return -1;
}

int PC_SetDecodeThreads(int /*port*/, int /*mode*/)
{
    return -1;
}

int PC_SetPixelLayout(int /*port*/, int /*layout*/)
{
    return -1;
}

int PC_SetDisplayCallback(int /*port*/, PC_DisplayCallback /*callback*/, void* /*user*/)
{
    return -1;
}

int PC_SetStatusCallback(int /*port*/, PC_StatusCallback /*callback*/, void* /*user*/)
{
    return -1;
}

int PC_Play(int /*port*/, int /*flag*/)
{
    return -1;
}

int PC_InputVideoData(int /*port*/, const char* /*buffer*/, int /*length*/, int /*frameType*/, int64_t /*timeStamp*/)
{
    return -1;
}

int PC_InputAudioData(int /*port*/, const char* /*buffer*/, int /*length*/, int64_t /*timeStamp*/)
{
    return -1;
}

int PC_CloseStream(int /*port*/)
{
    return -1;
}

int PC_FreePort(int /*port*/)
{
    return -1;
}

int PC_OpenTalkEncoder(int /*sampleRate*/, int /*bits*/, int /*channels*/)
{
    return -1;
}

int PC_EncodeTalkType0(char* /*out*/, const char* /*in*/, int /*length*/)
{
    return -1;
}

int PC_EncodeTalk(char* /*out*/, const char* /*in*/, int /*length*/)
{
    return -1;
}

int PC_Mp3ToPcm(const char* /*mp3Path*/, const char* /*pcmPath*/, int /*channels*/, int /*bits*/, int /*rate*/)
{
    return -1;
}
