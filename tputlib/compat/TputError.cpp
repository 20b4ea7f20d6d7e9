#include "TputError.h"

#include <cerrno>
#include <cstdio>
#include <netdb.h>

namespace {

struct ErrorText {
    int code;
    const char* text;
};

// The socket errors a connection or a listener can meet, with the wording the
// station's throughput messages always used.
const ErrorText kErrorTexts[] = {
    {EACCES, "Permission denied."},
    {EADDRINUSE, "Address already in use"},
    {EADDRNOTAVAIL, "Cannot assign requested address."},
    {EAFNOSUPPORT, "Address family not supported by protocol family."},
    {EALREADY, "Operation already in progress."},
    {ECONNABORTED, "Software caused connection abort."},
    {ECONNREFUSED, "Connection refused"},
    {ECONNRESET, "Connection reset by peer"},
    {EDESTADDRREQ, "Destination address required."},
    {EFAULT, "Bad address."},
    {EHOSTDOWN, "Host is down."},
    {EHOSTUNREACH, "No route to host."},
    {EINPROGRESS, "Operation now in progress."},
    {EINTR, "Interrupted function call."},
    {EINVAL, "Invalid argument."},
    {EISCONN, "Socket is already connected."},
    {EMFILE, "Too many open files."},
    {EMSGSIZE, "Message too long."},
    {ENETDOWN, "Network is down."},
    {ENETRESET, "Network dropped connection on reset."},
    {ENETUNREACH, "Network is unreachable."},
    {ENOBUFS, "No buffer space available."},
    {ENOPROTOOPT, "Bad protocol option."},
    {ENOTCONN, "Socket is not connected."},
    {ENOTSOCK, "Socket operation on non-socket."},
    {EOPNOTSUPP, "Operation not supported."},
    {EPFNOSUPPORT, "Protocol family not supported."},
    {EPROTONOSUPPORT, "Protocol not supported."},
    {EPROTOTYPE, "Protocol wrong type for socket."},
    {ESHUTDOWN, "Cannot send after socket shutdown."},
    {ESOCKTNOSUPPORT, "Socket type not supported."},
    {ETIMEDOUT, "Connection timed out."},
    {EAGAIN, "Resource temporarily unavailable."},
    {EBADF, "The handle is invalid."},
    {ENOMEM, "Not enough storage is available to process this command."},
    {0, "No error."},
};

} // namespace

const char* tputlib_error_text(int code)
{
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return "Unknown error";
}

void tputlib_fail(const char* text)
{
    fflush(nullptr);
    fprintf(stderr, "%s failed\n", text);
}

void tputlib_warn_errno(const char* text)
{
    const int code = errno;
    fflush(nullptr);
    fprintf(stderr, "%s failed: %s\n", text, tputlib_error_text(code));
}
