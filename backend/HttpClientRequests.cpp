// The back-end's requests: the table of paths and arguments, the request
// texts, and the rule of when a failed exchange is sent once more.
#include "HttpClient.h"

#include "AppGlobals.h"
#include "JsonReply.h"
#include "Log.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <map>
#include <vector>

namespace {

// How an argument is written into the query.
enum class ArgForm {
    Utf8,     // read as UTF-8, URL-encoded
    Encoded,  // URL-encoded as it is
    Raw,      // as it is, but for bytes that would break the query
    Number,
};

struct ArgKey {
    const char* name;
    ArgForm form;
    bool required = false;   // an empty value refuses the request with the row's code
};

}  // namespace

struct HttpClient::Row {
    const char* path;        // "?" and the arguments follow when there are any
    std::vector<ArgKey> keys;
    Repeat repeat = Repeat::AfterAnyFailure;
    HttpCode missing = HttpCode::BadReply;   // when a required value is empty
};

const HttpClient::Row& HttpClient::RowOf(Query query)
{
    using F = ArgForm;
    static const std::map<Query, Row> rows = {
        // The login dialog hands the name over as UTF-8 bytes.
        {Query::Login, {"login", {{"u", F::Utf8, true}, {"p", F::Raw, true}, {"whole_machine_version", F::Encoded}},
                        Repeat::AfterAnyFailure, HttpCode::LoginIncomplete}},
        {Query::Logout, {"logout", {}}},
        {Query::Heartbeat, {"heartbeat?", {}}},
        {Query::OrderList, {"init/order/info?", {}}},
        {Query::OrderDetail, {"test/data/order/detail", {{"order_sn", F::Utf8}}}},
        {Query::PackageAddress, {"download/config/package", {{"model", F::Utf8}}}},
        {Query::AlarmFileAddress, {"download/audio/alarm/file", {{"model", F::Utf8}}}},
        {Query::TestConfig, {"init/test/config", {{"model", F::Utf8}}}},
        {Query::CustomMac, {"download/mac", {{"order_sn", F::Raw}, {"dev_sn", F::Raw}}}},
        {Query::RandomCode, {"random/code", {{"dev_sn", F::Encoded}, {"subtype", F::Number}, {"is_tuya", F::Number},
                                             {"uuid", F::Raw}}}},
        {Query::BindSnIccid, {"sn/bind/iccid", {{"sn", F::Encoded}, {"iccid", F::Encoded}, {"subtype", F::Number}},
                              Repeat::OnlyUnsent}},
        {Query::DeviceInfo, {"device/info/query", {{"sn", F::Encoded}, {"iccid", F::Encoded}, {"subtype", F::Number}}}},
        {Query::DeviceBindInfo, {"device/bind/info", {{"sn", F::Encoded}}}},
        {Query::CloudBindCheck, {"cloud/storage/bind/relation/check",
                                 {{"sn", F::Raw, true}, {"key", F::Raw, true}, {"uuid", F::Raw, true},
                                  {"model", F::Raw, true}, {"type", F::Number}, {"pid", F::Number},
                                  {"user_type", F::Number}, {"encrypt_param", F::Raw}}}},
    };
    return rows.at(query);
}

HttpResult HttpClient::Get(const BackendEndpoint& backend, Query query, std::initializer_list<Arg> args)
{
    return Send(backend, RowOf(query), args);
}

HttpResult HttpClient::Send(const BackendEndpoint& backend, const Row& row, std::initializer_list<Arg> args,
                            int* httpStatus)
{
    assert(args.size() == row.keys.size());
    HttpResult result;
    std::string target = row.path;
    const Arg* arg = args.begin();
    for (size_t i = 0; i < row.keys.size() && arg != args.end(); ++i, ++arg) {
        const ArgKey& key = row.keys[i];
        if (key.required && arg->text.empty()) {
            result.code = row.missing;
            return result;
        }
        target += (i == 0 ? "?" : "&") + std::string(key.name) + "=";
        switch (key.form) {
        case ArgForm::Utf8: target += Utf8Encoded(arg->text.c_str()); break;
        case ArgForm::Encoded: target += UrlEncode(arg->text); break;
        case ArgForm::Raw: target += EscapeRawValue(arg->text); break;
        case ArgForm::Number: target += arg->text; break;
        }
    }
    if (!BuffersPresent()) {
        result.code = HttpCode::BufferMissing;
        return result;
    }
    const char* host = backend.host.c_str();
    return Request(backend, BuildGetRequest(target, host, BackendCookie()), row.repeat, httpStatus);
}

HttpResult HttpClient::HttpBindOrUnbindDevice(const BackendEndpoint& backend, const char* mainType, int subType,
                                              const char* sn, const char* checkMachineId, const char* model,
                                              bool fallback)
{
    using F = ArgForm;
    static const std::vector<ArgKey> keys = {{"main_type", F::Raw}, {"sub_type", F::Number}, {"sn", F::Raw},
                                      {"check_machine_id", F::Encoded}, {"model", F::Raw}};
    static const Row common{"device/bind/or/unbind", keys, Repeat::OnlyUnsent};
    static const Row dealer{"device/unbind/sub/dealer", keys, Repeat::OnlyUnsent};
    const bool inCommon = WholeMachineTestMode.load() || fallback;
    int status = 0;
    const HttpResult result = Send(backend, inCommon ? common : dealer,
                                   {mainType, subType, sn, checkMachineId, model}, &status);
    if (result.code == HttpCode::HttpStatus && status == 404 && !inCommon)
        return HttpBindOrUnbindDevice(backend, mainType, subType, sn, checkMachineId, model, true);
    return result;
}

HttpResult HttpClient::HttpUploadDevTestResult(const BackendEndpoint& backend, const DevTestResult& result)
{
    if (!BuffersPresent()) {
        HttpResult missing;
        missing.code = HttpCode::BufferMissing;
        return missing;
    }
    const std::string body = BuildTestDataForm(result);
    LogPrint(LOG_INFO, "#HttpClient::HttpUploadDevTestResult() strXml=%s", body.c_str());
    const std::string request = BuildPostRequest("test/data/submit", body, backend.host.c_str(), BackendCookie());
    return Request(backend, request, Repeat::OnlyUnsent);
}

HttpResult HttpClient::Request(const BackendEndpoint& backend, const std::string& request, Repeat repeat,
                               int* httpStatus)
{
    HttpResult result;
    if (!BuffersPresent()) {
        result.code = HttpCode::BufferMissing;
        return result;
    }
    int status = 0;
    int size = 0;
    bool sentWhole = false;
    // An exchange writes the bytes it received, or the status text over them.
    auto exchange = [&] {
        m_reply.Clear();
        size = BUFFER_SIZE;
        const HttpCode code = Exchange(backend.host.c_str(), backend.port, request.data(), request.size(),
                                       m_reply.data(), &size, &status, REQUEST_DEADLINE_MS, true, &sentWhole);
        m_reply.SetUsed(std::max(size_t(size), strnlen(m_reply.data(), BUFFER_SIZE) + 1));
        return code;
    };
    auto failed = [](HttpCode code) { return code != HttpCode::Ok && code != HttpCode::HttpStatus; };
    result.code = exchange();
    if (failed(result.code) && sentWhole && repeat == Repeat::OnlyUnsent)
        LogPrint(LOG_INFO, "#HttpClient::Request() code %d after the whole request went out, not sent again",
                 result.Value());
    else if (failed(result.code))
        result.code = exchange();
    if (httpStatus)
        *httpStatus = status;
    if (result.code == HttpCode::HttpStatus) {
        // The reply buffer holds "Http status error, Status Code:" and the status text.
        result.body.assign(m_reply.data(), strnlen(m_reply.data(), BUFFER_SIZE - 1));
        return result;
    }
    if (result.code != HttpCode::Ok)
        return result;

    m_body.Clear();
    GetHttpBody(m_reply.data(), m_body.data(), BUFFER_SIZE);
    const size_t bodyLen = strnlen(m_body.data(), BUFFER_SIZE);
    m_body.SetUsed(bodyLen + 1);
    result.body.assign(m_body.data(), bodyLen);
    result.replySize = size;
    result.code = JsonReply::ReadRet(m_body.data(), bodyLen, &result.ret) ? HttpCode::Ok : HttpCode::BadReply;
    return result;
}

namespace {

// The head every back-end request shares; `extra` is a POST's Content-Length line.
std::string BackendRequestHead(const char* method, const std::string& target, const char* host,
                               const std::string& extra, const std::string& cookie)
{
    std::string r = std::string(method) + " /api/whole/machine/" + target + " HTTP/1.0\r\n";
    r += "Accept-Language: zh-cn\r\n";
    r += "Accept: */*;\r\n";
    r += "Content-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n";
    r += "User-Agent: velmar/product-retrospect\r\n";
    r += std::string("Host: ") + (host ? host : "") + "\r\n";
    r += extra;
    r += "Connection: Keep-Alive\r\n";
    r += "Cookie: " + cookie + "\r\n\r\n";
    return r;
}

}  // namespace

std::string HttpClient::BuildGetRequest(const std::string& pathAndQuery, const char* host, const std::string& cookie)
{
    return BackendRequestHead("GET", pathAndQuery, host, std::string(), cookie);
}

std::string HttpClient::BuildPostRequest(const std::string& path, const std::string& body, const char* host,
                                         const std::string& cookie)
{
    return BackendRequestHead("POST", path, host, "Content-Length: " + std::to_string(body.size()) + "\r\n", cookie)
        + body;
}
