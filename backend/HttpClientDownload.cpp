// Downloads: a file the back-end names by URL, stored under the name the URL gives.
#include "HttpClient.h"

#include "Clock.h"
#include "HttpConnection.h"
#include "HttpReplyHead.h"
#include "Log.h"

#include <QFile>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int DOWNLOAD_RCVBUF_BYTES = 1048576;

bool Missing(const char* text)
{
    return !text || !*text;
}

}  // namespace

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
    HttpConnection connection;
    const HttpCode opened = connection.Open(host, backend.port, DOWNLOAD_RCVBUF_BYTES, 3, 1000, nullptr);
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
    if (!connection.SendWhole(request.data(), request.size()))
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
        const int ready = connection.WaitReadable(500);
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
        const ssize_t n = connection.Receive(buf + received, size_t(DOWNLOAD_BUFFER_SIZE) - 1 - received);
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
            const size_t headerEnd = HttpReplyHead::Find(buf, received, "\r\n\r\n");
            const size_t region = HttpReplyHead::LinesEnd(buf, received, headerEnd);
            if (!statusSeen) {
                const size_t at = HttpReplyHead::StatusCodeAt(buf, region);
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
            if (contentLength < 0 && HttpReplyHead::ContentLength(buf, region, &value) && value >= 0) {
                contentLength = value;
                LogPrint(LOG_INFO, "\n#666666 HttpDownloadFirmware() Content-Length=%lld\n", value);
            }
            if (headerEnd == std::string::npos)
                continue;
            headerDone = true;
            closeDelimited = HttpReplyHead::ClosingEndsTheBody(buf, region);
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
