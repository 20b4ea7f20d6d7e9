#include "SocketErrorCodes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

TEST(SocketErrorCodesTest, PosixErrorsMapToTheWindowsNumbers)
{
    const struct {
        int posix;
        int windows;
    } cases[] = {
        {EWOULDBLOCK, 10035}, {EAGAIN, 10035},      {EINTR, 10004},        {ECONNRESET, 10054},
        {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061}, {EADDRINUSE, 10048},   {EINPROGRESS, 10036},
        {ENOTCONN, 10057},    {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},  {EPIPE, 10054},
        {0, 0},               {ENOENT, ENOENT},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SocketErrorCodes::FromErrno(c.posix), c.windows) << c.posix;
    EXPECT_EQ(SocketErrorCodes::FromResolverError(EAI_NONAME), 11001);
    EXPECT_EQ(SocketErrorCodes::FromResolverError(EAI_AGAIN), 11002);
}

TEST(SocketErrorCodesTest, ARefusedLoopbackConnectReadsAs10061)
{
    // Find a port nobody listens on: bind an ephemeral one, then close it.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
    close(probe);
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(SocketErrorCodes::Last(), SocketErrorCodes::WSAECONNREFUSED);
    close(s);
}

}  // namespace
