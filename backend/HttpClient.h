#pragma once

#include "BackendEndpoint.h"
#include "HttpCode.h"
#include "HttpConnection.h"
#include "HttpResult.h"
#include "ReplyBuffer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

struct DevTestResult;

// The station's client of the factory back-end: plain HTTP/1.0, one synchronous
// exchange per request on the caller's thread, a new TCP connection each time.
//
// Request operations hand back an HttpResult: an HttpCode, the back-end's JSON
// "ret" beside it once the back-end answered, and the reply body. A failed
// exchange is sent once more, except after HttpStatus and except that the
// submission and the two binding requests are never sent again once the whole
// request went out (the back-end may have taken it; only its reply was lost).
//
// The endpoint's host text may carry a port ("host:port"); it then overrides the
// endpoint's port.
//
// Its members are defined by concern: HttpClient.cpp (state, cookie, texts),
// HttpClientExchange.cpp (one exchange over an HttpConnection),
// HttpClientRequests.cpp (the request table and the repeat rule),
// HttpClientForm.cpp (the test-data form), HttpClientDownload.cpp (downloads).
class HttpClient {
public:
    static constexpr int BUFFER_SIZE = 1048576;
    static constexpr int REQUEST_DEADLINE_MS = 20000;
    static constexpr int COOKIE_MAX = 1023;
    static constexpr int DOWNLOAD_BUFFER_SIZE = 10485760;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Set: an exchange refuses to start and a running receive loop ends.
    void SetExitFlag(bool exit);
    bool ExitFlag() const;

    // The socket layer needs no start-up on this platform; kept as the single place
    // where one would go.
    static bool InitSocket();

    // One exchange. *replySize: in the capacity of reply, out the bytes received.
    // *httpStatus receives the status of the reply's status line when one arrived.
    // *sentWhole tells whether the whole request went out (the back-end may have
    // acted on it even when no reply came back).
    HttpCode SocketPost(const char* host, uint16_t port, const char* request, size_t requestLen,
                        char* reply, int* replySize, int* httpStatus, int deadlineMs, bool* sentWhole = nullptr);

    // Copies the text after the first "\r\n\r\n" into body (at most bodyCap - 1
    // bytes, NUL-terminated). 0, -1 for a null pointer, -2 when there is no blank line.
    static int GetHttpBody(const char* raw, char* body, size_t bodyCap);

    // Letters, digits and "-_.~" stay, space becomes "+", every other byte %XX.
    static std::string UrlEncode(const std::string& bytes);
    // For values the request formats carry unencoded: ordinary values stay as they
    // are, but bytes that could end the value, start a fragment, or be decoded
    // differently (controls, space, "&", "#", "%", "+", bytes from 0x7F on) become %XX.
    static std::string EscapeRawValue(const std::string& bytes);
    static std::wstring StringToWString(const std::string& local8Bit);
    static std::string WStringToUtf8(const std::wstring& text);

    // The process-wide cookie: the last Set-Cookie value of any reply.
    static std::string BackendCookie();
    static void SetBackendCookie(const std::string& cookie);

    // The name lookup of every exchange (getaddrinfo when empty); tests put a slow
    // one in its place. Dotted addresses are never looked up.
    using NameLookup = HttpConnection::NameLookup;
    static void SetNameLookup(NameLookup lookup);

    // Splits "host" or "host:port"; false when the port part is not a number in 1..65535.
    static bool SplitHostPort(const char* hostText, uint16_t defaultPort, std::string* host, uint16_t* port);

    // The back-end's requests that differ only in path and arguments.
    enum class Query {
        Login,             // u, p, whole_machine_version; LoginIncomplete without user or password
        Logout,
        Heartbeat,
        OrderList,
        OrderDetail,       // order_sn
        PackageAddress,    // model
        AlarmFileAddress,  // model
        TestConfig,        // model
        CustomMac,         // order_sn, dev_sn
        RandomCode,        // dev_sn, subtype, is_tuya, uuid
        BindSnIccid,       // sn, iccid, subtype
        DeviceInfo,        // sn, iccid, subtype
        DeviceBindInfo,    // sn
        CloudBindCheck,    // sn, key, uuid, model, type, pid, user_type, encrypt_param; BadReply without the first four
    };
    // One argument: a text (null reads as empty) or a number.
    struct Arg {
        Arg(const char* text) : text(text ? text : "") {}
        Arg(int number) : text(std::to_string(number)) {}
        std::string text;
    };
    // The arguments in the order the comment of the query lists them.
    HttpResult Get(const BackendEndpoint& backend, Query query, std::initializer_list<Arg> args = {});
    // The back-end's operations by name, each one row of the table above.
    HttpResult HttpLogin(const BackendEndpoint& b, const char* user, const char* password, const char* version)
    {
        return Get(b, Query::Login, {user, password, version});
    }
    HttpResult HttpLogout(const BackendEndpoint& b) { return Get(b, Query::Logout); }
    HttpResult HttpHeartbeat(const BackendEndpoint& b) { return Get(b, Query::Heartbeat); }
    HttpResult HttpGetOrderInitializeInfo(const BackendEndpoint& b) { return Get(b, Query::OrderList); }
    HttpResult HttpGetCurrentOrderInfo(const BackendEndpoint& b, const char* orderSn)
    {
        return Get(b, Query::OrderDetail, {orderSn});
    }
    HttpResult HttpGetConfigPackageDownloadAddr(const BackendEndpoint& b, const char* model)
    {
        return Get(b, Query::PackageAddress, {model});
    }
    HttpResult HttpGetAudioAlarmFileDownloadAddr(const BackendEndpoint& b, const char* model)
    {
        return Get(b, Query::AlarmFileAddress, {model});
    }
    HttpResult HttpGetTestConfigInitializeInfo(const BackendEndpoint& b, const char* model)
    {
        return Get(b, Query::TestConfig, {model});
    }
    HttpResult HttpGetCustomMacAddress(const BackendEndpoint& b, const char* orderSn, const char* devSn)
    {
        return Get(b, Query::CustomMac, {orderSn, devSn});
    }
    HttpResult HttpGetRandomCode(const BackendEndpoint& b, const char* devSn, int subtype, int isTuya, const char* uuid)
    {
        return Get(b, Query::RandomCode, {devSn, subtype, isTuya, uuid});
    }
    HttpResult HttpBindSnIccid(const BackendEndpoint& b, const char* sn, const char* iccid, int subtype)
    {
        return Get(b, Query::BindSnIccid, {sn, iccid, subtype});
    }
    HttpResult HttpQueryDeviceInfo(const BackendEndpoint& b, const char* sn, const char* iccid, int subtype)
    {
        return Get(b, Query::DeviceInfo, {sn, iccid, subtype});
    }
    HttpResult HttpGetDeviceBindInfo(const BackendEndpoint& b, const char* sn)
    {
        return Get(b, Query::DeviceBindInfo, {sn});
    }
    HttpResult HttpCheckCloudStorageBindRelation(const BackendEndpoint& b, const char* sn, const char* key,
                                                 const char* uuid, const char* model, int type, int pid, int userType,
                                                 const char* encryptParam)
    {
        return Get(b, Query::CloudBindCheck, {sn, key, uuid, model, type, pid, userType, encryptParam});
    }
    // Asks the dealer path first outside work-order mode and falls back to
    // "device/bind/or/unbind" once when that path answers 404; callers pass fallback false.
    HttpResult HttpBindOrUnbindDevice(const BackendEndpoint& backend, const char* mainType, int subType,
                                      const char* sn, const char* checkMachineId, const char* model, bool fallback);
    HttpResult HttpUploadDevTestResult(const BackendEndpoint& backend, const DevTestResult& result);

    // Fetches url from the back-end (whatever host the URL names) into dir + the
    // URL's file name. kind 0 configuration package (".tgz" ensured), 1 alarm audio
    // (fileKind "mp3"/"pcm" ensured), 2 logo.
    HttpCode HttpDownloadFile(const BackendEndpoint& backend, const char* dir, const char* url, int kind,
                              const char* fileKind, int timeLimitSeconds);
    // The file name a download stores: the URL path's last segment, fully decoded,
    // taken after the last "/" or "\\", with the kind's suffix. False (no name) for
    // "", ".", ".." and names holding a NUL.
    static bool DownloadFileName(const std::string& url, int kind, const std::string& fileKind, std::string* name);

    // The 63-key test-data form of a record (the POST body).
    static std::string BuildTestDataForm(const DevTestResult& result);
    // The GET request text for a path below /api/whole/machine/ ("login?u=..").
    static std::string BuildGetRequest(const std::string& pathAndQuery, const char* host, const std::string& cookie);
    static std::string BuildPostRequest(const std::string& path, const std::string& body, const char* host,
                                        const std::string& cookie);

private:
    // When a failed exchange is sent once more. A request that changes something at
    // the back-end (the submission, a binding) is repeated only when it did not go
    // out whole: after a whole send the back-end may have acted on it already.
    enum class Repeat { AfterAnyFailure, OnlyUnsent };

    // One row of the request table: path, argument keys and how each is written.
    struct Row;
    static const Row& RowOf(Query query);
    HttpResult Send(const BackendEndpoint& backend, const Row& row, std::initializer_list<Arg> args,
                    int* httpStatus = nullptr);
    // Sends request (once more after a transport failure other than HttpStatus, as
    // the rule allows) and reads "ret" from the body. *httpStatus: the last status seen.
    HttpResult Request(const BackendEndpoint& backend, const std::string& request, Repeat repeat,
                       int* httpStatus = nullptr);
    bool BuffersPresent() const;
    static std::string PercentByte(unsigned char c);
    // Encodes a text as the request formats mark it (u): read as UTF-8, written as UTF-8.
    static std::string Utf8Encoded(const char* text);
    // SocketPost; replyZeroed: the caller hands a reply buffer that is all zero
    // already, so it is not cleared again.
    HttpCode Exchange(const char* host, uint16_t port, const char* request, size_t requestLen, char* reply,
                      int* replySize, int* httpStatus, int deadlineMs, bool replyZeroed, bool* sentWhole = nullptr);

    // Each knows how far an exchange wrote into it, so a clear touches only that.
    ReplyBuffer m_reply{BUFFER_SIZE, std::nothrow};
    ReplyBuffer m_body{BUFFER_SIZE, std::nothrow};
    std::atomic<bool> m_exit{false};
};
