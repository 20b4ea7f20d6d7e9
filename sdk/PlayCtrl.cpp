#include "PlayCtrl.h"

#include "Mp3Converter.h"
#include "PlayPort.h"
#include "SdkCallLog.h"
#include "TalkCodec.h"

#include <QFile>
#include <QString>

#include <memory>
#include <mutex>

namespace {

// The port table. A port object, once made, lives until the process ends, so
// that a call racing with PC_FreePort never touches freed memory.
struct PortTable {
    std::mutex lock;
    bool taken[PC_MAX_PORTS + 1] = {};
    std::unique_ptr<PlayPort> ports[PC_MAX_PORTS + 1];
};

PortTable& Table()
{
    static PortTable table;
    return table;
}

}  // namespace

PlayPort* TakenPlayPort(int port)
{
    if (port < 1 || port > PC_MAX_PORTS)
        return nullptr;
    PortTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.taken[port] ? t.ports[port].get() : nullptr;
}

namespace {

int Logged(const char* function, const QString& arguments, int result)
{
    SdkCallLog::Instance().Record(function, arguments, result);
    return result;
}

QString PortArgs(int port, int value)
{
    return QStringLiteral("%1,%2").arg(port).arg(value);
}

std::mutex g_talkLock;
int g_talkRate = 0;
int g_talkBits = 0;
int g_talkChannels = 0;

}  // namespace

int PC_Init()
{
    return Logged("PC_Init", QString(), 0);
}

int PC_Cleanup()
{
    PortTable& t = Table();
    for (int port = 1; port <= PC_MAX_PORTS; ++port) {
        PlayPort* p = nullptr;
        {
            std::lock_guard<std::mutex> guard(t.lock);
            p = t.taken[port] ? t.ports[port].get() : nullptr;
            t.taken[port] = false;
        }
        if (p)
            p->Reset();
    }
    return Logged("PC_Cleanup", QString(), 0);
}

int PC_GetFreePort()
{
    PortTable& t = Table();
    int result = PC_ERR_FULL;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        for (int port = 1; port <= PC_MAX_PORTS; ++port) {
            if (t.taken[port])
                continue;
            if (!t.ports[port])
                t.ports[port] = std::make_unique<PlayPort>(port);
            t.taken[port] = true;
            result = port;
            break;
        }
    }
    return Logged("PC_GetFreePort", QString(), result);
}

int PC_OpenStream(int port, const char* header, int size, int kind, int bufferCount)
{
    PlayPort* p = TakenPlayPort(port);
    const int result = p ? p->OpenStream(header, size, kind, bufferCount) : PC_ERR_PORT;
    return Logged("PC_OpenStream", QStringLiteral("%1,%2,%3,%4").arg(port).arg(size).arg(kind).arg(bufferCount),
                  result);
}

int PC_SetHardwareDecode(int port, int mode)
{
    PlayPort* p = TakenPlayPort(port);
    return Logged("PC_SetHardwareDecode", PortArgs(port, mode), p ? p->SetHardwareDecode(mode) : PC_ERR_PORT);
}

int PC_SetDecodeThreads(int port, int mode)
{
    PlayPort* p = TakenPlayPort(port);
    return Logged("PC_SetDecodeThreads", PortArgs(port, mode), p ? p->SetDecodeThreads(mode) : PC_ERR_PORT);
}

int PC_SetPixelLayout(int port, int layout)
{
    PlayPort* p = TakenPlayPort(port);
    return Logged("PC_SetPixelLayout", PortArgs(port, layout), p ? p->SetPixelLayout(layout) : PC_ERR_PORT);
}

int PC_SetDisplayCallback(int port, PC_DisplayCallback callback, void* user)
{
    PlayPort* p = TakenPlayPort(port);
    if (p)
        p->SetDisplayCallback(callback, user);
    return Logged("PC_SetDisplayCallback", PortArgs(port, callback ? 1 : 0), p ? 0 : PC_ERR_PORT);
}

int PC_SetStatusCallback(int port, PC_StatusCallback callback, void* user)
{
    PlayPort* p = TakenPlayPort(port);
    if (p)
        p->SetStatusCallback(callback, user);
    return Logged("PC_SetStatusCallback", PortArgs(port, callback ? 1 : 0), p ? 0 : PC_ERR_PORT);
}

int PC_Play(int port, int flag)
{
    PlayPort* p = TakenPlayPort(port);
    return Logged("PC_Play", PortArgs(port, flag), p ? p->Play() : PC_ERR_PORT);
}

int PC_InputVideoData(int port, const char* buffer, int length, int frameType, int64_t timeStamp)
{
    SdkCallLog::Instance().CountInput(true);
    PlayPort* p = TakenPlayPort(port);
    return p ? p->Input(true, buffer, length, frameType, timeStamp) : PC_ERR_PORT;
}

int PC_InputAudioData(int port, const char* buffer, int length, int64_t timeStamp)
{
    SdkCallLog::Instance().CountInput(false);
    PlayPort* p = TakenPlayPort(port);
    return p ? p->Input(false, buffer, length, 0, timeStamp) : PC_ERR_PORT;
}

int PC_CloseStream(int port)
{
    PlayPort* p = TakenPlayPort(port);
    if (p)
        p->CloseStream();
    return Logged("PC_CloseStream", QString::number(port), p ? 0 : PC_ERR_PORT);
}

int PC_FreePort(int port)
{
    PlayPort* p = TakenPlayPort(port);
    if (p) {
        p->Reset();
        std::lock_guard<std::mutex> guard(Table().lock);
        Table().taken[port] = false;
    }
    return Logged("PC_FreePort", QString::number(port), p ? 0 : PC_ERR_PORT);
}

int PC_OpenTalkEncoder(int sampleRate, int bits, int channels)
{
    int result = PC_ERR_PARAM;
    if (sampleRate >= 4000 && sampleRate <= 48000 && bits == 16 && channels >= 1 && channels <= 2) {
        std::lock_guard<std::mutex> guard(g_talkLock);
        g_talkRate = sampleRate;
        g_talkBits = bits;
        g_talkChannels = channels;
        result = 0;
    }
    return Logged("PC_OpenTalkEncoder", QStringLiteral("%1,%2,%3").arg(sampleRate).arg(bits).arg(channels), result);
}

int PC_EncodeTalkType0(char* out, const char* in, int length)
{
    const int result = TalkCodec::EncodeMuLaw(out, in, length);
    return Logged("PC_EncodeTalkType0", QString::number(length), result < 0 ? PC_ERR_PARAM : result);
}

int PC_EncodeTalk(char* out, const char* in, int length)
{
    const int result = TalkCodec::EncodeALaw(out, in, length);
    return Logged("PC_EncodeTalk", QString::number(length), result < 0 ? PC_ERR_PARAM : result);
}

int PC_Mp3ToPcm(const char* mp3Path, const char* pcmPath, int channels, int bits, int rate)
{
    int result = PC_ERR_PARAM;
    if (mp3Path && pcmPath) {
        const int rc = Mp3Converter::Convert(QFile::decodeName(mp3Path), QFile::decodeName(pcmPath), channels,
                                             bits, rate);
        result = rc == Mp3Converter::Ok ? 0 : (rc == Mp3Converter::BadArguments ? PC_ERR_PARAM : PC_ERR_FILE);
    }
    return Logged("PC_Mp3ToPcm",
                  QStringLiteral("%1,%2,%3,%4,%5")
                      .arg(QFile::decodeName(mp3Path ? mp3Path : ""), QFile::decodeName(pcmPath ? pcmPath : ""))
                      .arg(channels)
                      .arg(bits)
                      .arg(rate),
                  result);
}
