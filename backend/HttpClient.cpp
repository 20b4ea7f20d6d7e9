// The client's state, the process-wide cookie and the texts of a request:
// host and port, URL encodings, the reply body.
#include "HttpClient.h"

#include "HttpConnection.h"

#include <QString>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_cookieMutex;
std::string g_cookie;

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
    HttpConnection::SetNameLookup(std::move(lookup));
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

std::string HttpClient::PercentByte(unsigned char c)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string s = "%";
    s += hex[c >> 4];
    s += hex[c & 15];
    return s;
}

std::string HttpClient::Utf8Encoded(const char* text)
{
    return UrlEncode(QString::fromUtf8(text ? text : "").toUtf8().toStdString());
}
