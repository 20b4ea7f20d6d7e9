// The back-end client's reply reader: every request's exchange, over a
// connection played from the input (see ScriptedSocket.h).
//
// Input: operation byte, schedule byte, then the bytes the server sends. A
// retried exchange (after a transport failure, or the bind request's second
// path after a 404) receives what the first one left.
#include "FuzzEnv.h"
#include "FuzzInput.h"
#include "ScriptedSocket.h"

#include "HttpClient.h"

#include <cstring>
#include <memory>

namespace {

enum Operation { Heartbeat, SmallReply, BindWithFallback, OperationCount };

void CheckTerminated(const char* buffer, int capacity)
{
    // Callers hand in a zeroed buffer; a copy of the reply must leave it terminated.
    if (!memchr(buffer, '\0', size_t(capacity)))
        FuzzEnv::Fail("reply copy not terminated within %d bytes", capacity);
}

// A request as the station makes it. The body handed back is a text of the
// reply buffer: shorter than it, without a NUL inside.
void Request(HttpClient& client, Operation op)
{
    const BackendEndpoint backend{"127.0.0.1"};
    const HttpResult result = op == Heartbeat
        ? client.Get(backend, HttpClient::Query::Heartbeat)
        : client.HttpBindOrUnbindDevice(backend, "1", 2, "SN0123456789ABCD", "M1", "IPC", false);
    if (result.body.size() >= size_t(HttpClient::BUFFER_SIZE))
        FuzzEnv::Fail("a body of %zu bytes from a %d-byte buffer", result.body.size(), HttpClient::BUFFER_SIZE);
    if (result.body.find('\0') != std::string::npos)
        FuzzEnv::Fail("a body with a NUL inside");
}

// The raw exchange into a small reply buffer, so that a full buffer ends it.
void SmallExchange(HttpClient& client, uint8_t sizeChoice)
{
    const int capacity = 2 + sizeChoice;
    std::unique_ptr<char[]> reply(new char[size_t(capacity)]);
    int size = capacity;
    int status = 0;
    static const char kRequest[] = "GET / HTTP/1.0\r\n\r\n";
    client.SocketPost("127.0.0.1", BackendEndpoint::kDefaultPort, kRequest, sizeof kRequest - 1, reply.get(), &size, &status, 20000);
    if (size < 0 || size > capacity - 1)
        FuzzEnv::Fail("%d bytes reported received into %d", size, capacity);
    CheckTerminated(reply.get(), capacity);
    // A reply with no blank line leaves the body as it was.
    char body[16];
    memset(body, 'x', sizeof body);
    if (HttpClient::GetHttpBody(reply.get(), body, sizeof body) == 0)
        CheckTerminated(body, sizeof body);
    else if (memchr(body, '\0', sizeof body))
        FuzzEnv::Fail("a reply without a body wrote one");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnv::Init(argc, argv, FuzzEnv::AppKind::Core);
    ScriptedSocket::Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One client for all inputs: the station makes one per request, but its
    // megabyte buffers would cost more than the exchange.
    static HttpClient* client = new HttpClient;
    FuzzInput in(data, size);
    const uint8_t opByte = in.Byte();
    const Operation op = Operation(opByte % OperationCount);
    const uint8_t schedule = in.Byte();
    ScriptedSocket::Arm(in.Here(), in.Left(), schedule);
    if (op == SmallReply)
        SmallExchange(*client, uint8_t(opByte / OperationCount * 7));
    else
        Request(*client, op);
    if (!ScriptedSocket::Disarm())
        FuzzEnv::Fail("the client left its connection open");
    return 0;
}
