// HttpClient's exchange against the back-end simulator and scripted raw servers.
#include "BackendSimulator.h"
#include "HttpClient.h"
#include "RawHttpServer.h"
#include "ReplyBuffer.h"
#include "StalledListener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using Fault = BackendSimulator::Fault;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A port on 127.0.0.1 that is bound but not listening: a connect there is refused,
// and no other test can take the port while the object lives.
class RefusingPort {
public:
    RefusingPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        socklen_t len = sizeof(addr);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~RefusingPort() { ::close(m_fd); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t Port() const { return m_port; }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

struct Exchange {
    int code = 0;
    int status = 0;
    int size = 0;
    std::string reply;
};

Exchange Post(HttpClient& client, const std::string& host, uint16_t port, const std::string& request,
              int deadlineMs = 5000, int capacity = 65536)
{
    std::vector<char> buf(size_t(capacity), 'x');
    Exchange e;
    e.size = capacity;
    e.code = CodeValue(client.SocketPost(host.c_str(), port, request.data(), request.size(), buf.data(), &e.size,
                                         &e.status, deadlineMs));
    e.reply.assign(buf.data(), strnlen(buf.data(), buf.size()));
    return e;
}

const std::string kGet = "GET /api/whole/machine/heartbeat? HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";

class HttpTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HttpClient::SetBackendCookie("");
        ASSERT_TRUE(sim.Start());
    }
    BackendSimulator sim;
    HttpClient client;
};

}  // namespace

TEST_F(HttpTransportTest, CompleteReplyInOneOrSeveralPieces)
{
    for (Fault fault : {Fault::None, Fault::Split, Fault::Slow}) {
        SCOPED_TRACE(int(fault));
        sim.ClearFaults();
        sim.SetFault("", fault, 150);
        const Exchange e = Post(client, "127.0.0.1", sim.Port(), kGet);
        EXPECT_EQ(e.code, 0);
        EXPECT_EQ(e.status, 200);
        EXPECT_EQ(size_t(e.size), e.reply.size());
        EXPECT_NE(e.reply.find("\r\n\r\n{\"ret\":0,\"msg\":\"ok\"}"), std::string::npos) << e.reply;
    }
}

TEST_F(HttpTransportTest, HostTextPortOverridesPortArgument)
{
    const Exchange e = Post(client, sim.HostText(), 80, kGet);
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(sim.RequestCount(), 1u);

    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(HttpClient::SplitHostPort("backend.local", 80, &host, &port));
    EXPECT_EQ(host, "backend.local");
    EXPECT_EQ(port, 80);
    EXPECT_TRUE(HttpClient::SplitHostPort("10.1.2.3:8088", 80, &host, &port));
    EXPECT_EQ(host, "10.1.2.3");
    EXPECT_EQ(port, 8088);
    for (const char* bad : {"host:", "host:0", "host:65536", "host:8o"})
        EXPECT_FALSE(HttpClient::SplitHostPort(bad, 80, &host, &port)) << bad;
    EXPECT_EQ(Post(client, "127.0.0.1:notaport", 80, kGet).code, 1);
}

TEST_F(HttpTransportTest, TransportFailureCodes)
{
    // A name that fails without asking a name server: tests send nothing beyond the loopback.
    EXPECT_EQ(Post(client, "", 80, kGet).code, 1);
    // Refused: the failed connection surfaces when the request can't be sent.
    RefusingPort refusing;
    EXPECT_EQ(Post(client, "127.0.0.1", refusing.Port(), kGet).code, 6);

    sim.SetFault("", Fault::HttpStatus, 404);
    Exchange e = Post(client, "127.0.0.1", sim.Port(), kGet);
    EXPECT_EQ(e.code, 100);
    EXPECT_EQ(e.status, 404);
    EXPECT_EQ(e.reply, "Http status error, Status Code:404 Not Found\r\n");

    sim.ClearFaults();
    sim.SetFault("", Fault::CloseEarly);
    e = Post(client, "127.0.0.1", sim.Port(), kGet);
    EXPECT_EQ(e.code, 8);
    EXPECT_GT(e.size, 0);
}

TEST_F(HttpTransportTest, SilentServerEndsAtDeadlineWithCode7)
{
    sim.SetFault("", Fault::NoAnswer);
    const auto start = Clock::now();
    const Exchange e = Post(client, "127.0.0.1", sim.Port(), kGet, 500);
    EXPECT_EQ(e.code, 7);
    EXPECT_EQ(e.size, 0);
    // The deadline is looked at after each 2 s wait; without it the loop never ends.
    EXPECT_LT(MsSince(start), 8000);
}

TEST_F(HttpTransportTest, StopFlagBeforeAndDuringExchange)
{
    client.SetExitFlag(true);
    EXPECT_EQ(Post(client, "127.0.0.1", sim.Port(), kGet).code, 3);
    EXPECT_EQ(sim.RequestCount(), 0u);

    client.SetExitFlag(false);
    sim.SetFault("", Fault::NoAnswer);
    Clock::time_point stoppedAt;
    std::thread stopper([this, &stoppedAt] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stoppedAt = Clock::now();
        client.SetExitFlag(true);
    });
    const Exchange e = Post(client, "127.0.0.1", sim.Port(), kGet, 20000);
    stopper.join();
    EXPECT_EQ(e.code, 7);
    // Within a wait slice of the stop, not at the end of the 2 s receive wait (1.7 s after it).
    EXPECT_LT(MsSince(stoppedAt), 1000);
    EXPECT_EQ(sim.RequestCount(), 1u);
}

TEST_F(HttpTransportTest, NamesAreLookedUpAndAStopEndsTheLookupAndTheConnectWait)
{
    // A name server that answers late, or (for "slow.test") only when the test ends.
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    auto gate = std::make_shared<Gate>();
    HttpClient::SetNameLookup([gate](const std::string& host, in_addr* address) {
        if (host == "backend.test")
            return inet_pton(AF_INET, "127.0.0.1", address) == 1;
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->opened.wait_for(lock, std::chrono::seconds(60), [&] { return gate->open; });
        return false;
    });
    const Exchange named = Post(client, "backend.test:" + std::to_string(sim.Port()), 80, kGet);
    EXPECT_EQ(named.code, 0);
    EXPECT_EQ(sim.RequestCount(), 1u);

    StalledListener stalled;
    ASSERT_TRUE(stalled.Stalled());
    const std::string hosts[] = {"slow.test", "127.0.0.1:" + std::to_string(stalled.Port())};
    for (const std::string& host : hosts) {
        SCOPED_TRACE(host);
        client.SetExitFlag(false);
        Clock::time_point stoppedAt;
        std::thread stopper([this, &stoppedAt] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stoppedAt = Clock::now();
            client.SetExitFlag(true);
        });
        const Exchange e = Post(client, host, 80, kGet, 20000);
        stopper.join();
        EXPECT_EQ(e.code, 3);
        // Within a wait slice of the stop: not when the name server answers, not after the 2 s connect wait.
        EXPECT_LT(MsSince(stoppedAt), 1000);
    }
    HttpClient::SetNameLookup(nullptr);
    std::lock_guard<std::mutex> lock(gate->mutex);
    gate->open = true;
    gate->opened.notify_all();
}

TEST(HttpTransportRawTest, OnlyTheHeaderBlockSetsLengthAndCookie)
{
    HttpClient::SetBackendCookie("session=kept");
    // No Content-Length header; the body, ended by the close, imitates header lines.
    const std::string body = "{}\r\nSet-Cookie: evil=1\r\nContent-Length: 0\r\n\r\n";
    RawHttpServer server({{"HTTP/1.0 200 OK\r\nServer: raw\r\n\r\n"}, {body, 50}}, RawHttpServer::End::Close);
    HttpClient client;
    const Exchange e = Post(client, "127.0.0.1", server.Port(), kGet);
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.reply, "HTTP/1.0 200 OK\r\nServer: raw\r\n\r\n" + body);
    EXPECT_EQ(HttpClient::BackendCookie(), "session=kept");
}

// The reply forms of HTTP/1.1 servers that are not ours, each from a plain socket server.
TEST(HttpTransportRawTest, RepliesOfAnyHttp11Server)
{
    const std::string json = "{\"ret\":0}";
    struct Case {
        const char* name;
        std::vector<RawHttpServer::Piece> pieces;
        RawHttpServer::End end;
        int code;
        const char* cookie;   // the cookie afterwards
    } cases[] = {
        {"names in lower case", {{"HTTP/1.1 200 OK\r\ncontent-length: 9\r\nset-cookie: sid=1\r\n\r\n" + json}},
         RawHttpServer::End::Hold, 0, "sid=1"},
        {"names in other cases, no blank after the colon",
         {{"HTTP/1.1 200 OK\r\nCONTENT-LENGTH:9\r\nSet-cookie:sid=2\r\n\r\n" + json}}, RawHttpServer::End::Hold, 0,
         "sid=2"},
        {"a longer name that ends in Content-Length",
         {{"HTTP/1.1 200 OK\r\nX-Original-Content-Length: 1\r\nContent-Length: 9\r\n\r\n"}, {json, 50}},
         RawHttpServer::End::Hold, 0, "before"},
        {"body ended by the close", {{"HTTP/1.0 200 OK\r\nServer: raw\r\n\r\n" + json}}, RawHttpServer::End::Close, 0,
         "before"},
        {"body ended by the close, in pieces",
         {{"HTTP/1.1 200 OK\r\nConnection: close\r\nSet-Cookie: sid=3\r\n"}, {"\r\n{\"ret\"", 50}, {":0}", 50}},
         RawHttpServer::End::Close, 0, "sid=3"},
        {"as today: exact names", {{"HTTP/1.1 200 OK\r\nContent-Length: 9\r\nSet-Cookie:  sid=4\r\n\r\n" + json}},
         RawHttpServer::End::Hold, 0, " sid=4"},
        {"closed before Content-Length bytes", {{"HTTP/1.1 200 OK\r\ncontent-length: 20\r\n\r\n" + json}},
         RawHttpServer::End::Close, 8, "before"},
        {"closed inside the header", {{"HTTP/1.1 200 OK\r\nServer: raw\r\n"}}, RawHttpServer::End::Close, 8, "before"},
        {"a transfer coding is no body to take",
         {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\n" + json + "\r\n0\r\n\r\n"}},
         RawHttpServer::End::Close, 8, "before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClient::SetBackendCookie("before");
        RawHttpServer server(c.pieces, c.end);
        HttpClient client;
        // A reply these rules miss would run to the deadline and end in 7.
        const Exchange e = Post(client, "127.0.0.1", server.Port(), kGet, 20000);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(HttpClient::BackendCookie(), c.cookie);
        std::string sent;
        for (const auto& piece : c.pieces)
            sent += piece.bytes;
        if (c.code == 0) {
            EXPECT_EQ(e.reply, sent);
            EXPECT_EQ(size_t(e.size), sent.size());
        }
    }
    HttpClient::SetBackendCookie("");
}

TEST(HttpTransportRawTest, RequestOperationsTakeTheseRepliesAtTheFirstTry)
{
    const std::string json = "{\"ret\":42,\"msg\":\"from a plain server\"}";
    const std::pair<std::string, RawHttpServer::End> replies[] = {
        {"HTTP/1.1 200 OK\r\ncontent-length: " + std::to_string(json.size()) + "\r\n\r\n" + json,
         RawHttpServer::End::Hold},
        {"HTTP/1.0 200 OK\r\n\r\n" + json, RawHttpServer::End::Close},
    };
    for (const auto& r : replies) {
        SCOPED_TRACE(r.first);
        RawHttpServer server({{r.first}}, r.second);
        HttpClient client;
        const std::string host = "127.0.0.1:" + std::to_string(server.Port());
        const HttpResult result = client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat);
        EXPECT_EQ(result.Value(), 42);
        EXPECT_EQ(result.body, json);
        EXPECT_EQ(result.replySize, int(r.first.size()));
        EXPECT_EQ(server.Connections(), 1);
    }
}

TEST(HttpTransportRawTest, HeaderSplitInsideTheLengthWaitsForTheWholeNumber)
{
    const std::string body(1234, 'b');
    RawHttpServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 12"}, {"34\r\nSet-Cookie: a=", 50},
                          {"bc\r\n\r\n" + body.substr(0, 12), 50}, {body.substr(12), 50}},
                         RawHttpServer::End::Hold);
    HttpClient::SetBackendCookie("");
    HttpClient client;
    const Exchange e = Post(client, "127.0.0.1", server.Port(), kGet);
    EXPECT_EQ(e.code, 0);
    ASSERT_GE(e.reply.size(), body.size());
    EXPECT_EQ(e.reply.substr(e.reply.size() - body.size()), body);
    EXPECT_EQ(HttpClient::BackendCookie(), "a=bc");
}

TEST(HttpTransportRawTest, CookieIsCutAndNeverCarriesLineBreaks)
{
    struct Case {
        const char* name;
        std::string value;
        std::string expected;
    } cases[] = {
        {"long value cut to 1023", std::string(1500, 'c'), std::string(1023, 'c')},
        // Echoed into every later request, a bare LF or CR would start a header of the reply's choosing.
        {"bare LF", "a=1\nX-Injected: 1", "session=kept"},
        {"bare CR", "a=1\rX-Injected: 1", "session=kept"},
        {"NUL", std::string("a=1\0b", 5), "session=kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClient::SetBackendCookie("session=kept");
        RawHttpServer server({{"HTTP/1.0 200 OK\r\nSet-Cookie: " + c.value + "\r\nContent-Length: 2\r\n\r\n{}"}},
                             RawHttpServer::End::Hold);
        HttpClient client;
        EXPECT_EQ(Post(client, "127.0.0.1", server.Port(), kGet).code, 0);
        EXPECT_EQ(HttpClient::BackendCookie(), c.expected);
    }
    HttpClient::SetBackendCookie("");
}

TEST(HttpTransportRawTest, CompletesAtContentLengthWithoutWaitingForClose)
{
    for (const std::string& reply : {std::string("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"),
                                    std::string("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n{}trailing")}) {
        RawHttpServer server({{reply}}, RawHttpServer::End::Hold);
        HttpClient client;
        const auto start = Clock::now();
        const Exchange e = Post(client, "127.0.0.1", server.Port(), kGet, 20000);
        EXPECT_EQ(e.code, 0) << reply;
        EXPECT_LT(MsSince(start), 10000);   // not at the 20 s deadline
    }
}

// The client clears only what an exchange wrote into its buffers: a shorter
// reply after a longer one, and a status error after it, carry nothing of it.
TEST(HttpTransportRawTest, ALaterReplyOnTheSameClientCarriesNothingOfAnEarlierOne)
{
    const std::string longBody = "{\"ret\":0,\"msg\":\"" + std::string(3000, 'a') + "\"}";
    struct Case {
        const char* name;
        std::string reply;
        int ret;
        std::string text;   // the body handed back
    } cases[] = {
        {"a long body", "HTTP/1.0 200 OK\r\n\r\n" + longBody, 0, longBody},
        {"a short body", "HTTP/1.0 200 OK\r\n\r\n{\"ret\":7}", 7, "{\"ret\":7}"},
        {"the long body again", "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(longBody.size()) + "\r\n\r\n"
                                    + longBody,
         0, longBody},
        {"a status error", "HTTP/1.0 404 Not Found\r\n\r\n", 100, "Http status error, Status Code:404 Not Found\r\n"},
        {"an empty body", "HTTP/1.0 200 OK\r\n\r\n", -1, ""},
    };
    HttpClient client;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpServer server({{c.reply}}, RawHttpServer::End::Close);
        const std::string host = "127.0.0.1:" + std::to_string(server.Port());
        const HttpResult result = client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat);
        EXPECT_EQ(result.Value(), c.ret);
        EXPECT_EQ(result.body, c.text);
    }
}

TEST(HttpTransportRawTest, FullReplyBufferStopsWithTerminatedText)
{
    RawHttpServer server({{"HTTP/1.0 200 OK\r\n\r\n" + std::string(5000, 'z')}}, RawHttpServer::End::Hold);
    HttpClient client;
    const Exchange e = Post(client, "127.0.0.1", server.Port(), kGet, 3000, 1024);
    EXPECT_EQ(e.size, 1023);
    EXPECT_EQ(e.reply.size(), 1023u);
    EXPECT_EQ(e.code, -1);
}

TEST(HttpTransportRawTest, PeerResetDuringSendIsCode6NotSigpipe)
{
    RawHttpServer server({}, RawHttpServer::End::Reset);
    HttpClient client;
    // Far more than the socket buffers hold, so the send meets the reset.
    const std::string request = "POST /x HTTP/1.0\r\n\r\n" + std::string(32 * 1024 * 1024, 'p');
    const Exchange e = Post(client, "127.0.0.1", server.Port(), request);
    EXPECT_EQ(e.code, 6);
}

TEST(HttpClientTextTest, GetHttpBody)
{
    char body[8];
    memset(body, '#', sizeof(body));
    EXPECT_EQ(HttpClient::GetHttpBody("head\r\n\r\n0123456789", body, sizeof(body)), 0);
    EXPECT_STREQ(body, "0123456");
    memset(body, '#', sizeof(body));
    EXPECT_EQ(HttpClient::GetHttpBody("no blank line\r\n", body, sizeof(body)), -2);
    EXPECT_EQ(body[0], '#');
    EXPECT_EQ(HttpClient::GetHttpBody(nullptr, body, sizeof(body)), -1);
    EXPECT_EQ(HttpClient::GetHttpBody("x", nullptr, 8), -1);
}

TEST(HttpClientTextTest, Encodings)
{
    struct Case {
        std::string in, url, raw;
    } cases[] = {
        {"a b&c~", "a+b%26c~", "a%20b%26c~"},
        {"\xE4", "%E4", "%E4"},
        {"V1.2,3-x_y:z/w", "V1.2%2C3-x_y%3Az%2Fw", "V1.2,3-x_y:z/w"},
        {"p#q%r+s=t\r\n", "p%23q%25r%2Bs%3Dt%0D%0A", "p%23q%25r%2Bs=t%0D%0A"},
        {std::string("\x7F\x01", 2), "%7F%01", "%7F%01"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HttpClient::UrlEncode(c.in), c.url) << c.in;
        EXPECT_EQ(HttpClient::EscapeRawValue(c.in), c.raw) << c.in;
    }
}

// A reply block goes back to the cache when its owner ends and comes out
// again all zero; while cached, the address checker sees it as poisoned.
TEST(ReplyBufferTest, ABlockComesBackZeroedAndIsPoisonedWhileCached)
{
    constexpr size_t kSize = 3 * 4096 + 17;   // no other owner asks for this size
    struct Case {
        const char* name;
        size_t written;
        size_t declared;   // SetUsed after writing; 0: the owner says nothing
        bool clearFirst;   // Clear, then the write
    } cases[] = {
        {"written whole, nothing said", kSize, 0, false},
        {"written in part and said so", 100, 100, false},
        {"written after a clear", kSize, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char* block = nullptr;
        {
            ReplyBuffer owner(kSize);
            block = owner.data();
            if (c.clearFirst) {
                owner.SetUsed(0);
                owner.Clear();
            }
            std::fill(block, block + c.written, 'z');
            if (c.declared)
                owner.SetUsed(c.declared);
        }
#if defined(__SANITIZE_ADDRESS__)
        EXPECT_TRUE(__asan_address_is_poisoned(block));
        EXPECT_TRUE(__asan_address_is_poisoned(block + kSize - 1));
#endif
        ReplyBuffer next(kSize, std::nothrow);
        ASSERT_EQ(next.data(), block) << "the cached block is handed out again";
        ASSERT_EQ(next.size(), kSize);
        EXPECT_EQ(std::count(next.data(), next.data() + kSize, '\0'), std::ptrdiff_t(kSize));
    }
}
