// The back-end client's file download: the file name taken from the URL and
// the reply read into the file, over a connection played from the input (see
// ScriptedSocket.h).
//
// Input: kind byte, schedule byte, the URL ended by a NUL, then the bytes the
// server sends.
#include "FuzzEnv.h"
#include "FuzzInput.h"
#include "ScriptedSocket.h"

#include "HttpClient.h"

#include <QFile>

#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    ScriptedSocket::Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static HttpClient* client = new HttpClient;
    FuzzInput in(data, size);
    const uint8_t kindByte = in.Byte();
    const int kind = kindByte % 3;   // package, alarm audio, logo
    const char* fileKind = (kindByte / 3) & 1 ? "pcm" : "mp3";
    const uint8_t schedule = in.Byte();
    const std::string url = in.Until(0);

    const QString dir = FuzzEnv::Dir() + "/";
    std::string name;
    const bool named = HttpClient::DownloadFileName(url, kind, fileKind, &name);
    if (named && (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos
                  || name.find('\\') != std::string::npos || name.find('\0') != std::string::npos))
        FuzzEnv::Fail("download file name '%s' leaves the folder", name.c_str());

    ScriptedSocket::Arm(in.Here(), in.Left(), schedule);
    client->HttpDownloadFile(BackendEndpoint{"127.0.0.1"}, dir.toUtf8().constData(), url.c_str(), kind, fileKind, 10);
    if (!ScriptedSocket::Disarm())
        FuzzEnv::Fail("the download left its connection open");
    if (named)
        QFile::remove(dir + QString::fromUtf8(name.c_str()));
    return 0;
}
