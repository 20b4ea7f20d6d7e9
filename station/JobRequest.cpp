#include "JobRequest.h"

#include "AuxJobs.h"
#include "BackendEndpoint.h"
#include "HttpClient.h"
#include "JsonReply.h"
#include "Log.h"

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
    const BackendEndpoint backend = BackendEndpoint::At(run.Context().strServerHost);
    HttpResult result;
    {
        HttpClient client;
        AuxJobRun::Watch watch(run, &client);
        result = send(client, backend);
    }
    JobReply reply;
    reply.code = result.code;
    reply.body = QByteArray::fromStdString(result.body);
    reply.json = JsonReply::ParseObject(result.body.data(), result.body.size(), &reply.root);
    LogPrint(LOG_INFO, "%s ret=%d, nRevBufLen=%d, szRecvBuf=%.1024s", caller, result.Value(), result.replySize,
             reply.body.constData());
    return reply;
}
