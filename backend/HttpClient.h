#pragma once

#include "ReplyBuffer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct in_addr;

struct DevTestResult;

// The station's client of the factory back-end: plain HTTP/1.0, one synchronous
// exchange per request on the caller's thread, a new TCP connection each time.
//
// Request operations return the back-end's JSON "ret" (0 = accepted), -1 when the
// reply body is not a JSON object of the expected shape, or a transport code:
//   1 name not resolved, 2 socket layer start-up, 3 stopped before the request went
//   out (on entry, in the name lookup or the connect wait) / no socket,
//   4 receive-buffer option, 5 not connected within 2 s, 6 request not sent whole,
//   7 a 2 s receive wait ran out / stopped while receiving, 8 receive failed or the
//   peer closed early, 11 a buffer is missing, 13 login without user or password,
//   100 HTTP status other than 200; 101-103 are download codes.
//
// A failed exchange is sent once more, except after 100 and except that the
// submission and the two binding requests are never sent again once the whole
// request went out (the back-end may have taken it; only its reply was lost).
//
// The host text may carry a port ("host:port"); it then overrides the port argument.
// Every operation copies the reply body into the caller's buffer, bounded by its
// capacity and always NUL-terminated, and stores the raw reply size in *recvLen.
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
    int SocketPost(const char* host, uint16_t port, const char* request, size_t requestLen,
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
    using NameLookup = std::function<bool(const std::string& host, in_addr* address)>;
    static void SetNameLookup(NameLookup lookup);

    // Splits "host" or "host:port"; false when the port part is not a number in 1..65535.
    static bool SplitHostPort(const char* hostText, uint16_t defaultPort, std::string* host, uint16_t* port);

    int HttpLogin(const char* host, uint16_t port, const char* user, const char* password,
                  const char* version, char* recvBuf, int recvCap, int* recvLen);
    int HttpLogout(const char* host, uint16_t port, char* recvBuf, int recvCap, int* recvLen);
    int HttpHeartbeat(const char* host, uint16_t port, char* recvBuf, int recvCap, int* recvLen);
    int HttpGetOrderInitializeInfo(const char* host, uint16_t port, char* recvBuf, int recvCap, int* recvLen);
    int HttpGetCurrentOrderInfo(const char* host, uint16_t port, const char* orderSn,
                                char* recvBuf, int recvCap, int* recvLen);
    int HttpGetConfigPackageDownloadAddr(const char* host, uint16_t port, const char* model,
                                         char* recvBuf, int recvCap, int* recvLen);
    int HttpGetAudioAlarmFileDownloadAddr(const char* host, uint16_t port, const char* model,
                                          char* recvBuf, int recvCap, int* recvLen);
    int HttpGetTestConfigInitializeInfo(const char* host, uint16_t port, const char* model,
                                        char* recvBuf, int recvCap, int* recvLen);
    int HttpGetCustomMacAddress(const char* host, uint16_t port, const char* orderSn, const char* devSn,
                                char* recvBuf, int recvCap, int* recvLen);
    int HttpGetRandomCode(const char* host, uint16_t port, const char* devSn, int subtype, int isTuya,
                          const char* uuid, char* recvBuf, int recvCap, int* recvLen);
    int HttpBindSnIccid(const char* host, uint16_t port, const char* sn, const char* iccid, int subtype,
                        char* recvBuf, int recvCap, int* recvLen);
    int HttpQueryDeviceInfo(const char* host, uint16_t port, const char* sn, const char* iccid, int subtype,
                            char* recvBuf, int recvCap, int* recvLen);
    int HttpGetDeviceBindInfo(const char* host, uint16_t port, const char* sn,
                              char* recvBuf, int recvCap, int* recvLen);
    // Asks the dealer path first outside work-order mode and falls back to
    // "device/bind/or/unbind" once when that path answers 404; callers pass fallback false.
    int HttpBindOrUnbindDevice(const char* host, uint16_t port, const char* mainType, int subType,
                               const char* sn, const char* checkMachineId, const char* model,
                               char* recvBuf, int recvCap, int* recvLen, bool fallback);
    int HttpCheckCloudStorageBindRelation(const char* host, uint16_t port, const char* sn, const char* key,
                                          const char* uuid, const char* model, int type, int pid,
                                          int userType, const char* encryptParam,
                                          char* recvBuf, int recvCap, int* recvLen);
    int HttpUploadDevTestResult(const char* host, uint16_t port, const DevTestResult& result,
                                char* recvBuf, int recvCap, int* recvLen);

    // Fetches url from host:port (whatever host the URL names) into dir + the URL's
    // file name. kind 0 configuration package (".tgz" ensured), 1 alarm audio
    // (fileKind "mp3"/"pcm" ensured), 2 logo. Codes: 0, 1-8 and 11 as above, 100,
    // 101 dir or URL empty, 102 no receive buffer, 103 no usable file name or the
    // file can't be written.
    int HttpDownloadFile(const char* host, uint16_t port, const char* dir, const char* url, int kind,
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

    // Sends request (once more after a transport failure other than 100, as the rule
    // allows), hands the body to the caller and reads "ret". *httpStatus: the last status seen.
    int Request(const char* host, uint16_t port, const std::string& request, Repeat repeat,
                char* recvBuf, int recvCap, int* recvLen, int* httpStatus = nullptr);
    int Get(const char* host, uint16_t port, const std::string& pathAndQuery,
            char* recvBuf, int recvCap, int* recvLen, int* httpStatus = nullptr,
            Repeat repeat = Repeat::AfterAnyFailure);
    bool BuffersPresent() const;
    // SocketPost; replyZeroed: the caller hands a reply buffer that is all zero
    // already, so it is not cleared again.
    int Exchange(const char* host, uint16_t port, const char* request, size_t requestLen, char* reply,
                 int* replySize, int* httpStatus, int deadlineMs, bool replyZeroed, bool* sentWhole = nullptr);

    // Each knows how far an exchange wrote into it, so a clear touches only that.
    ReplyBuffer m_reply{BUFFER_SIZE, std::nothrow};
    ReplyBuffer m_body{BUFFER_SIZE, std::nothrow};
    std::atomic<bool> m_exit{false};
};
