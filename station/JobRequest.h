#pragma once

#include "HttpCode.h"

#include <QByteArray>
#include <QString>

#include <json/value.h>

#include <functional>

class AuxJobRun;
class HttpClient;
struct BackendEndpoint;
struct HttpResult;

// One back-end request of an auxiliary job, as the job reads its answer.
struct JobReply {
    HttpCode code = HttpCode::BadReply;  // how the exchange ended; Ok: the back-end answered
    bool json = false;                   // the body is a JSON object, held in root
    Json::Value root;
    QByteArray body;                     // the body (or the status text), for log lines

    // "ret" and "msg" of a JSON reply. False, both untouched, when the reply is
    // not JSON, has no "ret" or either member is of another kind: a failed request.
    bool ReadRetMsg(int* ret, QString* msg) const;
    // An int or string member of the JSON reply; false for a member of another kind.
    bool ReadInt(const char* key, int* out) const;
    bool ReadText(const char* key, QString* out) const;
    // The JSON reply names key (a missing member would read as 0 or "").
    bool Has(const char* key) const;
};

// Sends one request of a job to the back-end host of its context:
// first the heartbeat is restarted, the client stays under the job's stop while
// the request runs, and the body is read as JSON whatever the operation returned
// (a transport failure leaves no body, an HTTP error status only its text).
using JobSend = std::function<HttpResult(HttpClient& client, const BackendEndpoint& backend)>;
JobReply SendJobRequest(AuxJobRun& run, const char* caller, const JobSend& send);
