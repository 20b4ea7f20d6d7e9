// One exchange with the back-end: connect, send the request whole, and
// receive the reply until its length, the server's close, a stop or the deadline.
#include "HttpClient.h"

#include "Clock.h"
#include "HttpConnection.h"
#include "HttpReplyHead.h"
#include "Log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int RCVBUF_BYTES = 0x200000;

// The state of one receive loop over the reply buffer.
struct ReplyScan {
    bool statusSeen = false;
    long long contentLength = -1;
    bool lengthKnown = false;
    bool headerDone = false;   // the whole header block has been read
    bool closeDelimited = false;

    // Reads the header lines received so far: the status once its line is whole,
    // the cookie, the length and how the body ends. False for a status other than
    // 200, whose text then stands in the reply in place of what came.
    bool ReadHead(char* reply, size_t received, size_t capacity, size_t headerEnd, int* httpStatus)
    {
        headerDone = headerEnd != std::string::npos;
        const size_t region = HttpReplyHead::LinesEnd(reply, received, headerEnd);
        if (!statusSeen && !ReadStatus(reply, received, capacity, region, httpStatus))
            return false;
        ReadCookie(reply, region);
        if (HttpReplyHead::ContentLength(reply, region, &contentLength))
            lengthKnown = true;
        if (headerDone)
            closeDelimited = HttpReplyHead::ClosingEndsTheBody(reply, region);
        return true;
    }

    // The whole body the Content-Length announced has come.
    bool BodyComplete(size_t received, size_t headerEnd) const
    {
        return lengthKnown && contentLength >= 0 && headerEnd != std::string::npos
            && (long long)(received - (headerEnd + 4)) >= contentLength;
    }

private:
    bool ReadStatus(char* reply, size_t received, size_t capacity, size_t region, int* httpStatus)
    {
        const size_t at = HttpReplyHead::StatusCodeAt(reply, region);
        if (at == std::string::npos)
            return true;
        char status[16] = {0};
        memcpy(status, reply + at, std::min<size_t>(15, received - at));
        statusSeen = true;
        const int value = atoi(status);
        if (httpStatus)
            *httpStatus = value;
        if (value == 200)
            return true;
        memset(reply, 0, received);   // the rest is zero already
        snprintf(reply, capacity, "Http status error, Status Code:%s", status);
        return false;
    }

    static void ReadCookie(const char* reply, size_t region)
    {
        const size_t valueAt = HttpReplyHead::ValueAt(reply, region, "Set-Cookie");
        if (valueAt == std::string::npos)
            return;
        const size_t end = HttpReplyHead::Find(reply, region, "\r\n", valueAt);
        if (end == std::string::npos)
            return;
        const std::string cookie(reply + valueAt, std::min<size_t>(end - valueAt, HttpClient::COOKIE_MAX));
        if (!HttpReplyHead::SafeValue(cookie)) {
            // It goes back in every later request: a line break there would add headers.
            LogPrint(LOG_INFO, "#HttpClient::SocketPost() Set-Cookie with control bytes ignored");
            return;
        }
        HttpClient::SetBackendCookie(cookie);
    }
};

}  // namespace

HttpCode HttpClient::SocketPost(const char* host, uint16_t port, const char* request, size_t requestLen,
                                char* reply, int* replySize, int* httpStatus, int deadlineMs, bool* sentWhole)
{
    return Exchange(host, port, request, requestLen, reply, replySize, httpStatus, deadlineMs, false, sentWhole);
}

HttpCode HttpClient::Exchange(const char* host, uint16_t port, const char* request, size_t requestLen, char* reply,
                              int* replySize, int* httpStatus, int deadlineMs, bool replyZeroed, bool* sentWhole)
{
    if (sentWhole)
        *sentWhole = false;
    if (m_exit.load()) {
        LogPrint(LOG_INFO, "#HttpClient::SocketPost() exit");
        return HttpCode::Stopped;
    }
    if (!reply || !replySize || *replySize < 2 || !request)
        return HttpCode::BufferMissing;
    if (!InitSocket())
        return HttpCode::SocketStartup;

    HttpConnection connection;
    const HttpCode opened = connection.Open(host, port, RCVBUF_BYTES, 1, HttpConnection::WAIT_MS, &m_exit);
    if (opened == HttpCode::Stopped && m_exit.load())
        LogPrint(LOG_INFO, "#HttpClient::SocketPost() exit");
    if (opened != HttpCode::Ok)
        return opened;
    if (!connection.SendWhole(request, requestLen))
        return HttpCode::SendIncomplete;
    if (sentWhole)
        *sentWhole = true;

    const size_t capacity = size_t(*replySize);
    if (!replyZeroed)
        memset(reply, 0, capacity);
    const uint64_t start = Clock::TickMs();
    HttpCode code = HttpCode::BadReply;
    size_t received = 0;
    ReplyScan scan;

    while (received < capacity - 1) {
        if (m_exit.load()) {
            LogPrint(LOG_INFO, "#HttpClient::SocketPost() exit");
            code = HttpCode::ReceiveTimeout;
            break;
        }
        // The 2 s wait is cut into slices so that a stop takes effect at once.
        const int ready = connection.WaitReadable(HttpConnection::WAIT_MS, &m_exit);
        if (ready == 0 && m_exit.load())
            continue;   // the loop head ends it with ReceiveTimeout
        if (ready < 0) {
            LogPrint(LOG_INFO, "#HttpClient::SocketPost() select errorNum = %d", errno);
            code = HttpCode::ReceiveFailed;
            break;
        }
        bool readable = ready > 0;
        if (!readable) {
            code = HttpCode::ReceiveTimeout;
        } else {
            const ssize_t n = connection.Receive(reply + received, capacity - 1 - received);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    code = HttpCode::ReceiveFailed;
                } else {
                    LogPrint(LOG_INFO, "#HttpClient::SocketPost() recv errorNum = %d", errno);
                    code = HttpCode::ReceiveFailed;
                    break;
                }
            } else if (n == 0) {
                if (scan.statusSeen && scan.closeDelimited) {
                    code = HttpCode::Ok;   // the close is the end of the body
                    break;
                }
                LogPrint(LOG_INFO,
                         "#HttpClient::SocketPost() nBytesReceived = 0, The peer connection is disconnected");
                code = HttpCode::ReceiveFailed;
                break;
            } else {
                received += size_t(n);
                const size_t headerEnd = HttpReplyHead::Find(reply, received, "\r\n\r\n");
                if (!scan.headerDone && !scan.ReadHead(reply, received, capacity, headerEnd, httpStatus)) {
                    code = HttpCode::HttpStatus;
                    break;
                }
                if (scan.BodyComplete(received, headerEnd)) {
                    code = HttpCode::Ok;
                    break;
                }
            }
        }
        if (Clock::TickMs() - start > uint64_t(deadlineMs))
            break;
    }
    *replySize = int(received);
    return code;
}
