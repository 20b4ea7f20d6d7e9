// Every back-end request operation against the back-end simulator.
#include "AppGlobals.h"
#include "BackendSimulator.h"
#include "DevTestResult.h"
#include "HttpClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Fault = BackendSimulator::Fault;

class BackendRequestsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HttpClient::SetBackendCookie("");
        WholeMachineTestMode = false;
        ASSERT_TRUE(sim.Start());
        host = sim.HostText();
    }
    void TearDown() override { WholeMachineTestMode = false; }

    std::string LastRequestLine() const
    {
        const auto requests = sim.Requests();
        return requests.empty() ? std::string() : requests.back().requestLine;
    }

    BackendSimulator sim;
    HttpClient client;
    std::string host;
    std::vector<char> buf = std::vector<char>(HttpClient::BUFFER_SIZE);
    int len = 0;
};

}  // namespace

TEST_F(BackendRequestsTest, EachOperationSendsItsRequestLine)
{
    using Op = std::function<int(HttpClient&, const char*, char*, int, int*)>;
    struct Case {
        const char* name;
        Op op;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"login", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpLogin(h, 80, "op\xC3\xA9 1", "pa ss&x=1", "1.0.6.4", b, n, l);
         }, "GET /api/whole/machine/login?u=op%C3%A9+1&p=pa%20ss%26x=1&whole_machine_version=1.0.6.4 HTTP/1.0"},
        {"logout", [](HttpClient& c, const char* h, char* b, int n, int* l) { return c.HttpLogout(h, 80, b, n, l); },
         "GET /api/whole/machine/logout HTTP/1.0"},
        {"heartbeat", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpHeartbeat(h, 80, b, n, l);
         }, "GET /api/whole/machine/heartbeat? HTTP/1.0"},
        {"orders", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetOrderInitializeInfo(h, 80, b, n, l);
         }, "GET /api/whole/machine/init/order/info? HTTP/1.0"},
        {"order detail", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetCurrentOrderInfo(h, 80, "WO 7/\xE5\xB7\xA5", b, n, l);
         }, "GET /api/whole/machine/test/data/order/detail?order_sn=WO+7%2F%E5%B7%A5 HTTP/1.0"},
        {"package", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetConfigPackageDownloadAddr(h, 80, "VC-200 X", b, n, l);
         }, "GET /api/whole/machine/download/config/package?model=VC-200+X HTTP/1.0"},
        {"audio", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetAudioAlarmFileDownloadAddr(h, 80, "VC-200", b, n, l);
         }, "GET /api/whole/machine/download/audio/alarm/file?model=VC-200 HTTP/1.0"},
        {"test config", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetTestConfigInitializeInfo(h, 80, "VC-200", b, n, l);
         }, "GET /api/whole/machine/init/test/config?model=VC-200 HTTP/1.0"},
        {"mac", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetCustomMacAddress(h, 80, "WO-1", "SN&sub_type=9", b, n, l);
         }, "GET /api/whole/machine/download/mac?order_sn=WO-1&dev_sn=SN%26sub_type=9 HTTP/1.0"},
        {"random code", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetRandomCode(h, 80, "SN 1", 3, 1, "uuid#1", b, n, l);
         }, "GET /api/whole/machine/random/code?dev_sn=SN+1&subtype=3&is_tuya=1&uuid=uuid%231 HTTP/1.0"},
        {"bind iccid", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpBindSnIccid(h, 80, "SN1", "8986 01", 2, b, n, l);
         }, "GET /api/whole/machine/sn/bind/iccid?sn=SN1&iccid=8986+01&subtype=2 HTTP/1.0"},
        {"device info", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpQueryDeviceInfo(h, 80, "SN1", "8986", -1, b, n, l);
         }, "GET /api/whole/machine/device/info/query?sn=SN1&iccid=8986&subtype=-1 HTTP/1.0"},
        {"bind info", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpGetDeviceBindInfo(h, 80, "SN:1", b, n, l);
         }, "GET /api/whole/machine/device/bind/info?sn=SN%3A1 HTTP/1.0"},
        {"unbind", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpBindOrUnbindDevice(h, 80, "IPC", 4, "SN1", "AA:BB", "VC 200", b, n, l, false);
         }, "GET /api/whole/machine/device/unbind/sub/dealer?main_type=IPC&sub_type=4&sn=SN1"
            "&check_machine_id=AA%3ABB&model=VC%20200 HTTP/1.0"},
        {"cloud check", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpCheckCloudStorageBindRelation(h, 80, "SN1", "k/1", "u1", "VC-200", 1, 2, 3, "e=%", b, n, l);
         }, "GET /api/whole/machine/cloud/storage/bind/relation/check?sn=SN1&key=k/1&uuid=u1&model=VC-200"
            "&type=1&pid=2&user_type=3&encrypt_param=e=%25 HTTP/1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.op(client, host.c_str(), buf.data(), int(buf.size()), &len), 0) << buf.data();
        EXPECT_EQ(LastRequestLine(), c.line);
    }
    EXPECT_EQ(sim.RequestCount(), cases.size());
}

TEST_F(BackendRequestsTest, GetRequestHeadersAndCookieEcho)
{
    ASSERT_EQ(client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), 0);
    const std::string expected = "GET /api/whole/machine/heartbeat? HTTP/1.0\r\nAccept-Language: zh-cn\r\n"
                                 "Accept: */*;\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
                                 "User-Agent: velmar/product-retrospect\r\nHost: " + host + "\r\n"
                                 "Connection: Keep-Alive\r\nCookie: \r\n";
    EXPECT_EQ(sim.Requests().back().head, expected);

    sim.SetLoginCookie("JSESSIONID=abc123; Path=/");
    ASSERT_EQ(client.HttpLogin(host.c_str(), 80, "op", "pw", "1.0.6.4", buf.data(), int(buf.size()), &len), 0);
    EXPECT_EQ(HttpClient::BackendCookie(), "JSESSIONID=abc123; Path=/");
    HttpClient other;   // the cookie is process-wide
    ASSERT_EQ(other.HttpLogout(host.c_str(), 80, buf.data(), int(buf.size()), &len), 0);
    EXPECT_EQ(sim.Requests().back().Header("Cookie"), "JSESSIONID=abc123; Path=/");
    // A reply without Set-Cookie leaves it.
    ASSERT_EQ(other.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), 0);
    EXPECT_EQ(HttpClient::BackendCookie(), "JSESSIONID=abc123; Path=/");
}

TEST_F(BackendRequestsTest, RetryRules)
{
    struct Case {
        const char* name;
        Fault fault;
        int arg;
        int expected;
        size_t requests;
    } cases[] = {
        {"404 is not retried", Fault::HttpStatus, 404, 100, 1},
        {"500 is not retried", Fault::HttpStatus, 500, 100, 1},
        {"early close is tried twice", Fault::CloseEarly, 0, 8, 2},
        {"body not JSON", Fault::NotJson, 0, -1, 1},
        {"root not an object", Fault::WrongShape, 0, -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearFaults();
        sim.ClearRequests();
        sim.SetFault("heartbeat", c.fault, c.arg);
        EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), c.expected);
        EXPECT_EQ(sim.RequestCount(), c.requests);
    }
    sim.ClearFaults();
    sim.ClearRequests();
    sim.SetFault("heartbeat", Fault::HttpStatus, 404);
    client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len);
    EXPECT_STREQ(buf.data(), "Http status error, Status Code:404 Not Found\r\n");

    // One failed exchange, then an answer: the second try's result counts.
    sim.ClearFaults();
    sim.ClearRequests();
    sim.SetFault("heartbeat", Fault::CloseEarly, 0, 1);
    EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), 0);
    EXPECT_EQ(sim.RequestCount(), 2u);
}

TEST_F(BackendRequestsTest, ChangesAreSentAgainOnlyWhenTheyDidNotGoOutWhole)
{
    // A name the test resolves to 127.0.0.1, failing the first look-up of each case:
    // that exchange ends before anything is sent.
    auto failLookups = std::make_shared<std::atomic<int>>(0);
    HttpClient::SetNameLookup([failLookups](const std::string&, in_addr* address) {
        if (failLookups->load() > 0) {
            --*failLookups;
            return false;
        }
        return inet_pton(AF_INET, "127.0.0.1", address) == 1;
    });
    const std::string named = "backend.results.test:" + std::to_string(sim.Port());
    const DevTestResult record{};
    using Op = std::function<int(HttpClient&, const char*, char*, int, int*)>;
    const struct {
        const char* name;
        Op op;
        bool readOnly;
    } ops[] = {
        {"heartbeat", [](HttpClient& c, const char* h, char* b, int n, int* l) { return c.HttpHeartbeat(h, 80, b, n, l); },
         true},
        {"submission", [&record](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpUploadDevTestResult(h, 80, record, b, n, l);
         }, false},
        {"device bind", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpBindOrUnbindDevice(h, 80, "IPC", 1, "SN1", "AA", "VC", b, n, l, false);
         }, false},
        {"sn and iccid bind", [](HttpClient& c, const char* h, char* b, int n, int* l) {
             return c.HttpBindSnIccid(h, 80, "SN1", "8986", 3, b, n, l);
         }, false},
    };
    for (const auto& op : ops) {
        SCOPED_TRACE(op.name);
        // Not sent: every operation sends it again, and the back-end gets it once.
        sim.ClearFaults();
        sim.ClearRequests();
        *failLookups = 1;
        EXPECT_EQ(op.op(client, named.c_str(), buf.data(), int(buf.size()), &len), 0);
        EXPECT_EQ(sim.RequestCount(), 1u);

        // Sent whole, the reply cut short: only a read is asked again.
        sim.ClearRequests();
        sim.SetFault("", Fault::CloseEarly, 0, 1);
        EXPECT_EQ(op.op(client, host.c_str(), buf.data(), int(buf.size()), &len), op.readOnly ? 0 : 8);
        EXPECT_EQ(sim.RequestCount(), op.readOnly ? 2u : 1u);
    }
    HttpClient::SetNameLookup(nullptr);
}

TEST_F(BackendRequestsTest, RetValueIsTypeChecked)
{
    struct Case {
        const char* body;
        int expected;
    } cases[] = {
        {"{\"ret\":0,\"msg\":\"ok\"}", 0},
        {"{\"ret\":-2,\"msg\":\"duplicate\"}", -2},
        {"{\"ret\":1001}", 1001},
        {"{\"msg\":\"no ret\"}", 0},
        {"{\"ret\":\"0\"}", -1},
        {"{\"ret\":[0]}", -1},
        {"{\"ret\":1e12}", -1},
        {"\"text\"", -1},
        {"", -1},
        {"{\"ret\":0", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        sim.SetReply("heartbeat", c.body);
        EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), c.expected);
    }
    // Nesting beyond the parser's limit is a refusal, not an exception.
    sim.SetReply("heartbeat", std::string(5000, '[') + std::string(5000, ']'));
    EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), -1);
}

TEST_F(BackendRequestsTest, ReplyCopyIsBoundedByTheCallersBuffer)
{
    const std::string big = "{\"ret\":0,\"msg\":\"" + std::string(4000, 'm') + "\"}";
    sim.SetReply("heartbeat", big);
    char small[17];
    memset(small, '#', sizeof(small));
    char guard[8];
    memset(guard, 'G', sizeof(guard));
    EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, small, 16, &len), 0);
    EXPECT_EQ(std::string(small), big.substr(0, 15));
    EXPECT_EQ(small[16], '#');
    EXPECT_GT(len, int(big.size()));   // the raw reply size, head included
    EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, nullptr, 16, &len), 11);
}

TEST_F(BackendRequestsTest, ArgumentChecksSendNothing)
{
    EXPECT_EQ(client.HttpLogin(host.c_str(), 80, "", "pw", "1", buf.data(), int(buf.size()), &len), 13);
    EXPECT_EQ(client.HttpLogin(host.c_str(), 80, "op", nullptr, "1", buf.data(), int(buf.size()), &len), 13);
    EXPECT_EQ(client.HttpLogin(host.c_str(), 80, "op", "pw", "1", nullptr, 0, &len), 11);
    EXPECT_EQ(client.HttpCheckCloudStorageBindRelation(host.c_str(), 80, "SN", "", "u", "m", 0, 0, 0, "",
                                                       buf.data(), int(buf.size()), &len), -1);
    EXPECT_EQ(sim.RequestCount(), 0u);
    // Stopped client: no exchange starts, the retry included.
    client.SetExitFlag(true);
    EXPECT_EQ(client.HttpHeartbeat(host.c_str(), 80, buf.data(), int(buf.size()), &len), 3);
    EXPECT_EQ(sim.RequestCount(), 0u);
}

TEST_F(BackendRequestsTest, LoginRefusalAndLongQueriesAreNotCut)
{
    EXPECT_EQ(client.HttpLogin(host.c_str(), 80, "op", "bad", "1.0.6.4", buf.data(), int(buf.size()), &len), -3);
    EXPECT_NE(std::string(buf.data()).find("password error"), std::string::npos);

    const std::string longModel(3000, 'M');
    EXPECT_EQ(client.HttpGetTestConfigInitializeInfo(host.c_str(), 80, longModel.c_str(), buf.data(),
                                                     int(buf.size()), &len), 0);
    EXPECT_EQ(sim.Requests().back().query, "model=" + longModel);
}

TEST_F(BackendRequestsTest, UnbindFallsBackOnceOn404OutsideOrderMode)
{
    auto unbind = [this](bool fallback) {
        return client.HttpBindOrUnbindDevice(host.c_str(), 80, "IPC", 1, "SN1", "AA", "VC", buf.data(),
                                             int(buf.size()), &len, fallback);
    };
    sim.SetFault("device/unbind/sub/dealer", Fault::HttpStatus, 404);
    EXPECT_EQ(unbind(false), 0);
    auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].operation, "device/unbind/sub/dealer");
    EXPECT_EQ(requests[1].operation, "device/bind/or/unbind");

    // 500 on the dealer path: no fallback, no retry.
    sim.ClearFaults();
    sim.ClearRequests();
    sim.SetFault("device/unbind/sub/dealer", Fault::HttpStatus, 500);
    EXPECT_EQ(unbind(false), 100);
    EXPECT_EQ(sim.RequestCount(), 1u);

    // Work-order mode only ever asks the common path; a 404 there is final.
    sim.ClearFaults();
    sim.ClearRequests();
    WholeMachineTestMode = true;
    sim.SetFault("device/bind/or/unbind", Fault::HttpStatus, 404);
    EXPECT_EQ(unbind(false), 100);
    requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].operation, "device/bind/or/unbind");
}
