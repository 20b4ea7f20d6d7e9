#include "HttpReplyHead.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace HttpReplyHead {

namespace {

bool HasHeader(const char* buf, size_t linesEnd, const char* name)
{
    return ValueAt(buf, linesEnd, name) != std::string::npos;
}

}  // namespace

size_t Find(const char* data, size_t length, const char* needle, size_t from)
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

size_t LinesEnd(const char* buf, size_t received, size_t blankLine)
{
    size_t end = blankLine != std::string::npos ? blankLine + 2 : received;
    while (end >= 2 && !(buf[end - 2] == '\r' && buf[end - 1] == '\n'))
        --end;
    return end;
}

size_t StatusCodeAt(const char* buf, size_t linesEnd)
{
    const size_t h = Find(buf, linesEnd, "HTTP/");
    if (h == std::string::npos || Find(buf, linesEnd, "\r\n", h + 9) == std::string::npos)
        return std::string::npos;
    return h + 9;
}

size_t ValueAt(const char* buf, size_t linesEnd, const char* name)
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

bool ContentLength(const char* buf, size_t linesEnd, long long* length)
{
    const size_t l = ValueAt(buf, linesEnd, "Content-Length");
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

bool ClosingEndsTheBody(const char* buf, size_t linesEnd)
{
    return !HasHeader(buf, linesEnd, "Content-Length") && !HasHeader(buf, linesEnd, "Transfer-Encoding");
}

bool SafeValue(const std::string& value)
{
    for (unsigned char c : value) {
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return false;
    }
    return true;
}

}  // namespace HttpReplyHead
