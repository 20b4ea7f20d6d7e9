#include "HttpClient.h"

#include "AppGlobals.h"
#include "DevTestResult.h"
#include "JsonReply.h"
#include "Log.h"

#include <QFile>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <arpa/inet.h>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Clock.h"

namespace {

std::mutex g_cookieMutex;
std::string g_cookie;

constexpr int RCVBUF_BYTES = 0x200000;
constexpr int DOWNLOAD_RCVBUF_BYTES = 1048576;
constexpr int WAIT_MS = 2000;
constexpr int WAIT_SLICE_MS = 100;   // the stop flag is looked at this often while waiting

// Closes the socket on every way out.
class SocketHandle {
public:
    SocketHandle() = default;
    ~SocketHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    int fd() const { return m_fd; }
    void Reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

bool SetNonBlocking(int fd, bool on)
{
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

// poll() rather than select(): no limit on the descriptor's number.
int WaitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r;
}

// Waits up to totalMs for events, in slices when there is a stop flag to look at.
// 1 ready, 0 timed out or stopped, -1 error.
int WaitUnlessStopped(int fd, short events, int totalMs, const std::atomic<bool>* stop)
{
    if (!stop)
        return WaitFor(fd, events, totalMs);
    int ready = 0;
    for (int waited = 0; waited < totalMs && ready == 0 && !stop->load(); waited += WAIT_SLICE_MS)
        ready = WaitFor(fd, events, std::min(WAIT_SLICE_MS, totalMs - waited));
    return ready;
}

std::mutex g_lookupMutex;
HttpClient::NameLookup g_lookup;   // empty: getaddrinfo

bool SystemLookup(const std::string& host, in_addr* address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
        return false;
    *address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
    freeaddrinfo(list);
    return true;
}

// One name lookup's result, shared by the exchange and the helper thread that makes it.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    in_addr address{};
};

// A name's first IPv4 address: Ok, NotResolved, or Stopped when the stop flag
// was set first. The resolver can't be interrupted, so with a stop flag a name
// (not a dotted address) is looked up on a helper thread that only the shared result
// outlives: a stop need not wait for an unreachable name server.
HttpCode ResolveIpv4(const std::string& host, const std::atomic<bool>* stop, in_addr* out)
{
    if (host.empty())
        return HttpCode::NotResolved;
    if (inet_pton(AF_INET, host.c_str(), out) == 1)
        return HttpCode::Ok;
    HttpClient::NameLookup lookup;
    {
        std::lock_guard<std::mutex> lock(g_lookupMutex);
        lookup = g_lookup ? g_lookup : SystemLookup;
    }
    auto found = [](bool yes) { return yes ? HttpCode::Ok : HttpCode::NotResolved; };
    if (!stop)
        return found(lookup(host, out));
    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, host, lookup] {
            in_addr address{};
            const bool found = lookup(host, &address);
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->found = found;
            pending->address = address;
            pending->finished = true;
            pending->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return found(lookup(host, out));   // no thread to spare: look it up here
    }
    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->finished) {
        if (stop->load())
            return HttpCode::Stopped;
        pending->done.wait_for(lock, std::chrono::milliseconds(WAIT_SLICE_MS));
    }
    *out = pending->address;
    return found(pending->found);
}

// Resolves host ("name" or "name:port"), makes a TCP socket with the given receive
// buffer and connects without blocking, waiting up to `waits` times waitMs for it to
// become writable (an error result goes on: a refused connection shows up when the
// request is sent). Ok, or NotResolved, Stopped (no socket too), ReceiveBufferOption
// or ConnectTimeout. A set stop flag ends the name lookup and the waits at once.
HttpCode OpenConnection(const char* host, uint16_t port, int rcvbuf, int waits, int waitMs, SocketHandle* sock,
                        const std::atomic<bool>* stop)
{
    std::string hostName;
    uint16_t hostPort = port;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (!HttpClient::SplitHostPort(host, port, &hostName, &hostPort))
        return HttpCode::NotResolved;
    const HttpCode resolved = ResolveIpv4(hostName, stop, &addr.sin_addr);
    if (resolved != HttpCode::Ok)
        return resolved;
    addr.sin_port = htons(hostPort);
    sock->Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (sock->fd() < 0)
        return HttpCode::Stopped;
    if (setsockopt(sock->fd(), SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof(rcvbuf)) != 0)
        return HttpCode::ReceiveBufferOption;
    SetNonBlocking(sock->fd(), true);
    ::connect(sock->fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    int writable = 0;
    for (int i = 0; i < waits && writable == 0 && !(stop && stop->load()); ++i)
        writable = WaitUnlessStopped(sock->fd(), POLLOUT, waitMs, stop);
    if (writable == 0 && stop && stop->load())
        return HttpCode::Stopped;
    return writable == 0 ? HttpCode::ConnectTimeout : HttpCode::Ok;
}

// Sends the whole request in blocking mode, then switches back to non-blocking for
// the receive loop. False (SendIncomplete) when it did not go out whole.
// MSG_NOSIGNAL keeps a closed peer from raising SIGPIPE in the station.
bool SendWhole(int fd, const char* data, size_t length)
{
    SetNonBlocking(fd, false);
    size_t sent = 0;
    while (sent < length) {
        if (WaitFor(fd, POLLOUT, WAIT_MS) <= 0)
            break;
        const ssize_t n = ::send(fd, data + sent, length - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    SetNonBlocking(fd, true);
    return sent == length;
}

// Finds needle in [data, data + length); npos when absent.
size_t Find(const char* data, size_t length, const char* needle, size_t from = 0)
{
    const size_t n = strlen(needle);
    if (n == 0 || length < n)
        return std::string::npos;
    for (size_t i = from; i + n <= length; ++i) {
        if (memcmp(data + i, needle, n) == 0)
            return i;
    }
    return std::string::npos;
}

// The end of the whole header lines received so far: the blank line once it has
// come, else the last CR LF. Only these are read, so a body can't set the status,
// the cookie or the length, and a header split between two pieces is read once whole.
size_t HeaderLinesEnd(const char* buf, size_t received, size_t blankLine)
{
    size_t end = blankLine != std::string::npos ? blankLine + 2 : received;
    while (end >= 2 && !(buf[end - 2] == '\r' && buf[end - 1] == '\n'))
        --end;
    return end;
}

// Where the status code starts (9 characters after "HTTP/"), once that line is whole; npos before.
size_t StatusCodeAt(const char* buf, size_t linesEnd)
{
    const size_t h = Find(buf, linesEnd, "HTTP/");
    if (h == std::string::npos || Find(buf, linesEnd, "\r\n", h + 9) == std::string::npos)
        return std::string::npos;
    return h + 9;
}

// Where the value of the first header line named `name` starts: just after its
// ":" and one blank, if there is one. Field names are matched whatever their
// case, as HTTP says; npos when no line of [0, linesEnd) has that name.
size_t HeaderValueAt(const char* buf, size_t linesEnd, const char* name)
{
    const size_t n = strlen(name);
    for (size_t line = Find(buf, linesEnd, "\r\n"); line != std::string::npos;
         line = Find(buf, linesEnd, "\r\n", line + 2)) {
        const size_t at = line + 2;
        if (at + n < linesEnd && strncasecmp(buf + at, name, n) == 0 && buf[at + n] == ':') {
            const size_t value = at + n + 1;
            return value < linesEnd && (buf[value] == ' ' || buf[value] == '\t') ? value + 1 : value;
        }
    }
    return std::string::npos;
}

bool HasHeader(const char* buf, size_t linesEnd, const char* name)
{
    return HeaderValueAt(buf, linesEnd, name) != std::string::npos;
}

// The number of the Content-Length header line; false when absent or not a number.
bool HeaderContentLength(const char* buf, size_t linesEnd, long long* length)
{
    const size_t l = HeaderValueAt(buf, linesEnd, "Content-Length");
    if (l == std::string::npos)
        return false;
    const char* p = buf + l;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (!(*p == '-' || *p == '+' || (*p >= '0' && *p <= '9')))
        return false;   // strtoll would skip the line break and read the next line
    *length = strtoll(p, nullptr, 10);
    return true;
}

// A body without a length of its own ends where the server closes the connection
// (HTTP/1.0, or HTTP/1.1 with "Connection: close"). With a Content-Length the close
// comes too early; a transfer coding this client does not decode is no body.
bool ClosingEndsTheBody(const char* buf, size_t linesEnd)
{
    return !HasHeader(buf, linesEnd, "Content-Length") && !HasHeader(buf, linesEnd, "Transfer-Encoding");
}

std::string PercentByte(unsigned char c)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string s = "%";
    s += hex[c >> 4];
    s += hex[c & 15];
    return s;
}

// Encodes a text as the request formats mark it (u): read as UTF-8, written as UTF-8.
std::string Utf8Encoded(const char* text)
{
    return HttpClient::UrlEncode(QString::fromUtf8(text ? text : "").toUtf8().toStdString());
}

bool Missing(const char* text)
{
    return !text || !*text;
}

// One key of the test-data form: its record position, and its text width (0 for an int).
struct FormKey {
    const char* key;
    size_t offset;
    size_t width;
};

#define FORM_INT(key, member) {key, offsetof(DevTestResult, member), 0}
#define FORM_TEXT(key, member) {key, offsetof(DevTestResult, member), sizeof(DevTestResult::member)}

// The form's own order, which is not the record's.
const FormKey kFormKeys[] = {
    FORM_TEXT("order_sn", order_sn),
    FORM_TEXT("dev_sn", dev_sn),
    FORM_INT("sn_result", sn_result),
    FORM_TEXT("model", m_szModel),
    FORM_TEXT("firmware_version", m_szDeviceIdentify),
    FORM_TEXT("dev_version", m_szVersion),
    FORM_INT("ver_result", m_iTestVersion),
    FORM_INT("video_result", m_iTestVideo),
    FORM_INT("lamp_panel_result", lamp_panel_result),
    FORM_INT("bind_result", bind_result),
    FORM_INT("tuya_authorize_result", tuya_authorize_result),
    FORM_TEXT("tuya_uuid", tuya_uuid),
    FORM_INT("func_code_result", func_code_result),
    FORM_TEXT("support_func_code", support_func_code),
    FORM_TEXT("authorized_func_code", authorized_func_code),
    FORM_INT("cusr_authorize_result", cusr_authorize_result),
    FORM_INT("rtc_result", rtc_result),
    FORM_INT("wifi_signal_result", wifi_signal_result),
    FORM_TEXT("wifi_signal_level", wifi_signal_level),
    FORM_TEXT("wifi_snr", wifi_snr),
    FORM_INT("wifi_performance_result", wifi_performance_result),
    FORM_TEXT("wifi_speed_rate", wifi_speed_rate),
    FORM_INT("tf_card_result", tf_card_result),
    FORM_INT("card_info", card_info),
    FORM_INT("card_remain_space", card_remain_space),
    FORM_INT("result_4g", result_4g),
    FORM_TEXT("iccid", iccid),
    FORM_INT("vrl_result", vrl_result),
    FORM_TEXT("iccid2", iccid2),
    FORM_INT("vrl_result2", vrl_result2),
    FORM_INT("qr_code_print_result", qr_code_print_result),
    FORM_INT("qr_code_check_result", qr_code_check_result),
    FORM_INT("trumpet_result", trumpet_result),
    FORM_INT("mic_result", mic_result),
    FORM_INT("fill_light_result", fill_light_result),
    FORM_INT("human_alarm_io_result", human_alarm_io_result),
    FORM_INT("audio_alarm_file_result", audio_alarm_file_result),
    FORM_INT("ircut_day_result", ircut_day_result),
    FORM_INT("ircut_night_result", ircut_night_result),
    FORM_INT("preset_point_call_result", preset_point_call_result),
    FORM_INT("focus_add_result", focus_add_result),
    FORM_INT("focus_sub_result", focus_sub_result),
    FORM_INT("zoom_add_result", zoom_add_result),
    FORM_INT("zoom_sub_result", zoom_sub_result),
    FORM_INT("aper_add_result", aper_add_result),
    FORM_INT("aper_sub_result", aper_sub_result),
    FORM_INT("ptz_up_result", ptz_up_result),
    FORM_INT("ptz_down_result", ptz_down_result),
    FORM_INT("ptz_left_result", ptz_left_result),
    FORM_INT("ptz_right_result", ptz_right_result),
    FORM_INT("ptz_reset_result", ptz_reset_result),
    FORM_INT("sync_time_result", sync_time_result),
    FORM_INT("restore_result", restore_result),
    FORM_INT("format_sdcard_result", format_sdcard_result),
    FORM_TEXT("software_version", software_version),
    FORM_INT("software_type", software_type),
    FORM_INT("total_result", total_result),
    FORM_TEXT("check_machine_id", check_machine_id),
    FORM_TEXT("customized_items_result", customized_items_result),
    FORM_INT("video_result2", video_result2),
    FORM_INT("fill_light_result2", fill_light_result2),
    FORM_INT("ircut_day_result2", ircut_day_result2),
    FORM_INT("ircut_night_result2", ircut_night_result2),
};
static_assert(sizeof(kFormKeys) / sizeof(kFormKeys[0]) == 63, "the test-data form has 63 keys");

#undef FORM_INT
#undef FORM_TEXT

// A text field read from a record that may come from a file: never past its width.
std::string FieldText(const DevTestResult& r, const FormKey& k)
{
    const char* p = reinterpret_cast<const char*>(&r) + k.offset;
    return std::string(p, strnlen(p, k.width));
}

int32_t FieldInt(const DevTestResult& r, const FormKey& k)
{
    int32_t v;
    memcpy(&v, reinterpret_cast<const char*>(&r) + k.offset, sizeof(v));
    return v;
}

// The custom items ("mark=result" joined by "&"): each name and value escaped on
// its own, so a mark can't add or replace a key of the form.
std::string EscapeCustomItems(const std::string& items)
{
    std::string out;
    size_t from = 0;
    while (from <= items.size()) {
        size_t amp = items.find('&', from);
        if (amp == std::string::npos)
            amp = items.size();
        const std::string pair = items.substr(from, amp - from);
        const size_t eq = pair.find('=');
        if (!out.empty() || from > 0)
            out += '&';
        if (eq == std::string::npos)
            out += HttpClient::EscapeRawValue(pair);
        else
            out += HttpClient::EscapeRawValue(pair.substr(0, eq)) + "=" + HttpClient::EscapeRawValue(pair.substr(eq + 1));
        from = amp + 1;
    }
    return out;
}

// A header value holds no control byte but the tab.
bool SafeHeaderValue(const std::string& value)
{
    for (unsigned char c : value) {
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return false;
    }
    return true;
}

// The state of one receive loop over the reply buffer.
struct ReplyScan {
    bool statusSeen = false;
    long long contentLength = -1;
    bool lengthKnown = false;
    bool headerDone = false;   // the whole header block has been read
    bool closeDelimited = false;
};

}  // namespace

HttpClient::HttpClient()
{
    // Fresh blocks: nothing written yet.
    m_reply.SetUsed(0);
    m_body.SetUsed(0);
}

HttpClient::~HttpClient() = default;

void HttpClient::SetExitFlag(bool exit) { m_exit.store(exit); }

bool HttpClient::ExitFlag() const { return m_exit.load(); }

bool HttpClient::InitSocket() { return true; }

bool HttpClient::BuffersPresent() const { return m_reply.data() && m_body.data(); }

std::string HttpClient::BackendCookie()
{
    std::lock_guard<std::mutex> lock(g_cookieMutex);
    return g_cookie;
}

void HttpClient::SetBackendCookie(const std::string& cookie)
{
    std::lock_guard<std::mutex> lock(g_cookieMutex);
    g_cookie = cookie.substr(0, COOKIE_MAX);
}

void HttpClient::SetNameLookup(NameLookup lookup)
{
    std::lock_guard<std::mutex> lock(g_lookupMutex);
    g_lookup = std::move(lookup);
}

bool HttpClient::SplitHostPort(const char* hostText, uint16_t defaultPort, std::string* host, uint16_t* port)
{
    std::string text = hostText ? hostText : "";
    *port = defaultPort;
    const size_t colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
        *host = text;
        return true;
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long value = strtol(digits.c_str(), nullptr, 10);
    if (value < 1 || value > 65535)
        return false;
    *host = text.substr(0, colon);
    *port = uint16_t(value);
    return true;
}

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

    SocketHandle sock;
    const HttpCode opened = OpenConnection(host, port, RCVBUF_BYTES, 1, WAIT_MS, &sock, &m_exit);
    if (opened == HttpCode::Stopped && m_exit.load())
        LogPrint(LOG_INFO, "#HttpClient::SocketPost() exit");
    if (opened != HttpCode::Ok)
        return opened;
    if (!SendWhole(sock.fd(), request, requestLen))
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
        const int ready = WaitUnlessStopped(sock.fd(), POLLIN, WAIT_MS, &m_exit);
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
            const ssize_t n = ::recv(sock.fd(), reply + received, capacity - 1 - received, 0);
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
                const size_t headerEnd = Find(reply, received, "\r\n\r\n");
                if (!scan.headerDone) {
                    scan.headerDone = headerEnd != std::string::npos;
                    const size_t region = HeaderLinesEnd(reply, received, headerEnd);
                    if (!scan.statusSeen) {
                        const size_t at = StatusCodeAt(reply, region);
                        if (at != std::string::npos) {
                            char status[16] = {0};
                            memcpy(status, reply + at, std::min<size_t>(15, received - at));
                            scan.statusSeen = true;
                            const int value = atoi(status);
                            if (httpStatus)
                                *httpStatus = value;
                            if (value != 200) {
                                memset(reply, 0, received);   // the rest is zero already
                                snprintf(reply, capacity, "Http status error, Status Code:%s", status);
                                code = HttpCode::HttpStatus;
                                break;
                            }
                        }
                    }
                    const size_t valueAt = HeaderValueAt(reply, region, "Set-Cookie");
                    if (valueAt != std::string::npos) {
                        const size_t end = Find(reply, region, "\r\n", valueAt);
                        if (end != std::string::npos) {
                            const std::string cookie(reply + valueAt, std::min<size_t>(end - valueAt, COOKIE_MAX));
                            if (!SafeHeaderValue(cookie)) {
                                // It goes back in every later request: a line break there would add headers.
                                LogPrint(LOG_INFO, "#HttpClient::SocketPost() Set-Cookie with control bytes ignored");
                            } else {
                                std::lock_guard<std::mutex> lock(g_cookieMutex);
                                if (cookie != g_cookie)
                                    g_cookie = cookie;
                            }
                        }
                    }
                    if (HeaderContentLength(reply, region, &scan.contentLength))
                        scan.lengthKnown = true;
                    if (scan.headerDone)
                        scan.closeDelimited = ClosingEndsTheBody(reply, region);
                }
                if (scan.lengthKnown && scan.contentLength >= 0 && headerEnd != std::string::npos
                    && (long long)(received - (headerEnd + 4)) >= scan.contentLength) {
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

int HttpClient::GetHttpBody(const char* raw, char* body, size_t bodyCap)
{
    if (!raw || !body || bodyCap == 0)
        return -1;
    const char* blank = strstr(raw, "\r\n\r\n");
    if (!blank)
        return -2;
    const char* from = blank + 4;
    const size_t n = strnlen(from, bodyCap - 1);
    memcpy(body, from, n);
    body[n] = '\0';
    return 0;
}

std::string HttpClient::UrlEncode(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.' || c == '~')
            out += char(c);
        else if (c == ' ')
            out += '+';
        else
            out += PercentByte(c);
    }
    return out;
}

std::string HttpClient::EscapeRawValue(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c <= 0x20 || c >= 0x7F || c == '&' || c == '#' || c == '%' || c == '+')
            out += PercentByte(c);
        else
            out += char(c);
    }
    return out;
}

std::wstring HttpClient::StringToWString(const std::string& local8Bit)
{
    return QString::fromLocal8Bit(local8Bit.data(), int(local8Bit.size())).toStdWString();
}

std::string HttpClient::WStringToUtf8(const std::wstring& text)
{
    return QString::fromStdWString(text).toUtf8().toStdString();
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

std::string HttpClient::BuildTestDataForm(const DevTestResult& result)
{
    std::string body;
    body.reserve(4096);
    for (const FormKey& k : kFormKeys) {
        if (!body.empty())
            body += '&';
        body += k.key;
        body += '=';
        if (k.width == 0)
            body += std::to_string(FieldInt(result, k));
        else if (k.offset == offsetof(DevTestResult, order_sn))
            body += Utf8Encoded(FieldText(result, k).c_str());
        else
            body += EscapeRawValue(FieldText(result, k));
    }
    const std::string custom(result.custom_manual_items, ResultTextLength(result.custom_manual_items));
    if (!custom.empty())
        body += "&" + EscapeCustomItems(custom);
    return body;
}

bool HttpClient::DownloadFileName(const std::string& url, int kind, const std::string& fileKind, std::string* name)
{
    // The path without scheme, authority, query and fragment, then decoded: an
    // encoded "/" or "\\" can't smuggle a folder into the name.
    const QUrl parsed(QString::fromUtf8(url.c_str()), QUrl::TolerantMode);
    const QString path = parsed.path(QUrl::FullyDecoded);
    const int cut = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    const QString last = path.mid(cut + 1);
    if (last.isEmpty() || last == "." || last == ".." || last.contains(QChar(0)))
        return false;
    std::string n = last.toUtf8().toStdString();
    auto endsWith = [&n](const char* suffix) {
        const size_t k = strlen(suffix);
        return n.size() >= k && n.compare(n.size() - k, k, suffix) == 0;
    };
    if (kind == 0 && !endsWith(".tgz"))
        n += ".tgz";
    else if (kind == 1 && fileKind == "mp3" && !endsWith(".mp3"))
        n += ".mp3";
    else if (kind == 1 && fileKind == "pcm" && !endsWith(".pcm"))
        n += ".pcm";
    *name = n;
    return true;
}

HttpCode HttpClient::HttpDownloadFile(const BackendEndpoint& backend, const char* dir, const char* url, int kind,
                                      const char* fileKind, int timeLimitSeconds)
{
    if (Missing(dir) || Missing(url))
        return HttpCode::DownloadArgument;
    if (!BuffersPresent())
        return HttpCode::BufferMissing;
    if (!InitSocket())
        return HttpCode::SocketStartup;
    const char* host = backend.host.c_str();
    SocketHandle sock;
    const HttpCode opened = OpenConnection(host, backend.port, DOWNLOAD_RCVBUF_BYTES, 3, 1000, &sock, nullptr);
    if (opened != HttpCode::Ok)
        return opened;

    // Control bytes and spaces of the URL are escaped so that it stays one request line.
    std::string target;
    for (unsigned char c : std::string(url)) {
        if (c <= 0x20 || c == 0x7F)
            target += PercentByte(c);
        else
            target += char(c);
    }
    const std::string request = "GET " + target
        + " HTTP/1.0\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\nAccept: */*\r\nHost:"
        + host + "\r\n\r\n";
    if (!SendWhole(sock.fd(), request.data(), request.size()))
        return HttpCode::SendIncomplete;

    ReplyBuffer buffer(DOWNLOAD_BUFFER_SIZE, std::nothrow);
    if (!buffer.data())
        return HttpCode::DownloadBuffer;
    buffer.SetUsed(0);

    std::string name;
    if (!DownloadFileName(url, kind, fileKind ? fileKind : "", &name)) {
        LogPrint(LOG_INFO, "#HttpClient::HttpDownloadFile() refused file name of url=%s", url);
        return HttpCode::DownloadFile;
    }
    QFile file(QString::fromUtf8(dir) + QString::fromUtf8(name.c_str()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return HttpCode::DownloadFile;

    const uint64_t start = Clock::TickMs();
    const uint64_t limit = uint64_t(std::max(timeLimitSeconds, 0)) * 1000u;
    HttpCode code = HttpCode::BadReply;
    size_t received = 0;
    long long contentLength = -1;
    long long written = 0;
    bool headerDone = false;
    bool statusSeen = false;
    bool closeDelimited = false;
    char* buf = buffer.data();
    while (Clock::TickMs() - start <= limit && received < size_t(DOWNLOAD_BUFFER_SIZE) - 1) {
        const int ready = WaitFor(sock.fd(), POLLIN, 500);
        if (ready < 0) {
            // A failed wait does not heal by itself: end instead of spinning.
            LogPrint(LOG_INFO, "#111111 HttpDownloadFirmware() select return error, sel_ret=%d", ready);
            code = HttpCode::ReceiveFailed;
            break;
        }
        if (ready == 0) {
            LogPrint(LOG_INFO, "#222222 HttpDownloadFirmware() select timeout");
            code = HttpCode::ReceiveTimeout;
            continue;
        }
        const ssize_t n = ::recv(sock.fd(), buf + received, size_t(DOWNLOAD_BUFFER_SIZE) - 1 - received, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            code = HttpCode::ReceiveFailed;
            continue;
        }
        if (n == 0 && headerDone && statusSeen && closeDelimited) {
            LogPrint(LOG_INFO, "#HttpClient::HttpDownloadFile() body ended by the server's close, nByteRecvTotal=%d",
                     int(received));
            code = HttpCode::Ok;
            break;
        }
        if (n <= 0) {
            // The server closed (or the connection failed) before the whole body came.
            LogPrint(LOG_INFO, "#333333 HttpDownloadFirmware() recv return error, nByteRecv=%d", int(n));
            code = HttpCode::ReceiveFailed;
            break;
        }
        const size_t chunkFrom = received;
        received += size_t(n);
        size_t bodyFrom = chunkFrom;
        if (!headerDone) {
            const size_t headerEnd = Find(buf, received, "\r\n\r\n");
            const size_t region = HeaderLinesEnd(buf, received, headerEnd);
            if (!statusSeen) {
                const size_t at = StatusCodeAt(buf, region);
                if (at != std::string::npos) {
                    statusSeen = true;
                    const int status = atoi(buf + at);
                    if (status != 200) {
                        LogPrint(LOG_INFO, "\n#5555555 HttpDownloadFirmware() Http state error, State=%d\n", status);
                        code = HttpCode::HttpStatus;
                        break;
                    }
                }
            }
            long long value = -1;
            if (contentLength < 0 && HeaderContentLength(buf, region, &value) && value >= 0) {
                contentLength = value;
                LogPrint(LOG_INFO, "\n#666666 HttpDownloadFirmware() Content-Length=%lld\n", value);
            }
            if (headerEnd == std::string::npos)
                continue;
            headerDone = true;
            closeDelimited = ClosingEndsTheBody(buf, region);
            bodyFrom = headerEnd + 4;
        }
        // Bytes past Content-Length are not part of the file.
        long long chunk = (long long)(received - bodyFrom);
        if (contentLength >= 0)
            chunk = std::min(chunk, contentLength - written);
        if (chunk > 0) {
            if (file.write(buf + bodyFrom, chunk) != chunk) {
                code = HttpCode::DownloadFile;
                break;
            }
            written += chunk;
        }
        if (contentLength >= 0 && written >= contentLength) {
            LogPrint(LOG_INFO,
                     "\n#777777 HttpDownloadFirmware() download complete, nByteRecvTotal=%d, iContentLen=%lld\n",
                     int(received), contentLength);
            code = HttpCode::Ok;
            break;
        }
    }
    buffer.SetUsed(received);
    if (!file.flush() && code == HttpCode::Ok)
        code = HttpCode::DownloadFile;
    file.close();
    return code;
}
