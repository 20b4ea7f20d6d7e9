#include "JobRequest.h"

#include "AuxJobs.h"
#include "BackendEndpoint.h"
#include "HttpClient.h"
#include "JsonReply.h"
#include "Log.h"
#include "ReplyBuffer.h"

#include <cstring>
#include <string>

bool JobReply::ReadRetMsg(int* ret, QString* msg) const
{
    int r = 0;
    QString m;
    if (!Has("ret") || !ReadInt("ret", &r) || !ReadText("msg", &m))
        return false;
    *ret = r;
    *msg = m;
    return true;
}

bool JobReply::ReadInt(const char* key, int* out) const
{
    return json && JsonReply::ReadInt(root, key, out);
}

bool JobReply::ReadText(const char* key, QString* out) const
{
    std::string text;
    if (!json || !JsonReply::ReadString(root, key, &text))
        return false;
    *out = QString::fromStdString(text);
    return true;
}

bool JobReply::Has(const char* key) const
{
    return json && root.isMember(key);
}

JobReply SendJobRequest(AuxJobRun& run, const char* caller, const JobSend& send)
{
    if (run.Context().restartHeartbeat)
        run.Context().restartHeartbeat();
    ReplyBuffer buffer(HttpClient::BUFFER_SIZE);
    const BackendEndpoint backend = BackendEndpoint::At(run.Context().strServerHost);
    JobReply reply;
    int length = 0;
    {
        HttpClient client;
        AuxJobRun::Watch watch(run, &client);
        reply.code = send(client, backend.host.c_str(), backend.port, buffer.data(), int(buffer.size()), &length);
    }
    const size_t bodyLength = strnlen(buffer.data(), buffer.size());
    reply.body = QByteArray(buffer.data(), int(bodyLength));
    reply.json = JsonReply::ParseObject(buffer.data(), bodyLength, &reply.root);
    LogPrint(LOG_INFO, "%s ret=%d, nRevBufLen=%d, szRecvBuf=%.1024s", caller, reply.code, length,
             reply.body.constData());
    return reply;
}
