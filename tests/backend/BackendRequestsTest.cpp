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

    // Keeps the body and the raw reply size; the code as the number logs show.
    int Take(const HttpResult& result)
    {
        body = result.body;
        len = result.replySize;
        return result.Value();
    }

    BackendSimulator sim;
    HttpClient client;
    std::string host;
    std::string body;
    int len = 0;
};

}  // namespace

TEST_F(BackendRequestsTest, EachOperationSendsItsRequestLine)
{
    using Op = std::function<HttpResult(HttpClient&, const BackendEndpoint&)>;
    struct Case {
        const char* name;
        Op op;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"login", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::Login, {"op\xC3\xA9 1", "pa ss&x=1", "1.0.6.4"});
         }, "GET /api/whole/machine/login?u=op%C3%A9+1&p=pa%20ss%26x=1&whole_machine_version=1.0.6.4 HTTP/1.0"},
        {"logout", [](HttpClient& c, const BackendEndpoint& h) { return c.Get(h, HttpClient::Query::Logout); },
         "GET /api/whole/machine/logout HTTP/1.0"},
        {"heartbeat", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::Heartbeat);
         }, "GET /api/whole/machine/heartbeat? HTTP/1.0"},
        {"orders", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::OrderList);
         }, "GET /api/whole/machine/init/order/info? HTTP/1.0"},
        {"order detail", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::OrderDetail, {"WO 7/\xE5\xB7\xA5"});
         }, "GET /api/whole/machine/test/data/order/detail?order_sn=WO+7%2F%E5%B7%A5 HTTP/1.0"},
        {"package", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::PackageAddress, {"VC-200 X"});
         }, "GET /api/whole/machine/download/config/package?model=VC-200+X HTTP/1.0"},
        {"audio", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::AlarmFileAddress, {"VC-200"});
         }, "GET /api/whole/machine/download/audio/alarm/file?model=VC-200 HTTP/1.0"},
        {"test config", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::TestConfig, {"VC-200"});
         }, "GET /api/whole/machine/init/test/config?model=VC-200 HTTP/1.0"},
        {"mac", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::CustomMac, {"WO-1", "SN&sub_type=9"});
         }, "GET /api/whole/machine/download/mac?order_sn=WO-1&dev_sn=SN%26sub_type=9 HTTP/1.0"},
        {"random code", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::RandomCode, {"SN 1", 3, 1, "uuid#1"});
         }, "GET /api/whole/machine/random/code?dev_sn=SN+1&subtype=3&is_tuya=1&uuid=uuid%231 HTTP/1.0"},
        {"bind iccid", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::BindSnIccid, {"SN1", "8986 01", 2});
         }, "GET /api/whole/machine/sn/bind/iccid?sn=SN1&iccid=8986+01&subtype=2 HTTP/1.0"},
        {"device info", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::DeviceInfo, {"SN1", "8986", -1});
         }, "GET /api/whole/machine/device/info/query?sn=SN1&iccid=8986&subtype=-1 HTTP/1.0"},
        {"bind info", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::DeviceBindInfo, {"SN:1"});
         }, "GET /api/whole/machine/device/bind/info?sn=SN%3A1 HTTP/1.0"},
        {"unbind", [](HttpClient& c, const BackendEndpoint& h) {
             return c.HttpBindOrUnbindDevice(h, "IPC", 4, "SN1", "AA:BB", "VC 200", false);
         }, "GET /api/whole/machine/device/unbind/sub/dealer?main_type=IPC&sub_type=4&sn=SN1"
            "&check_machine_id=AA%3ABB&model=VC%20200 HTTP/1.0"},
        {"cloud check", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::CloudBindCheck, {"SN1", "k/1", "u1", "VC-200", 1, 2, 3, "e=%"});
         }, "GET /api/whole/machine/cloud/storage/bind/relation/check?sn=SN1&key=k/1&uuid=u1&model=VC-200"
            "&type=1&pid=2&user_type=3&encrypt_param=e=%25 HTTP/1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Take(c.op(client, BackendEndpoint{host})), 0) << body;
        EXPECT_EQ(LastRequestLine(), c.line);
    }
    EXPECT_EQ(sim.RequestCount(), cases.size());
}

TEST_F(BackendRequestsTest, GetRequestHeadersAndCookieEcho)
{
    ASSERT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), 0);
    const std::string expected = "GET /api/whole/machine/heartbeat? HTTP/1.0\r\nAccept-Language: zh-cn\r\n"
                                 "Accept: */*;\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
                                 "User-Agent: velmar/product-retrospect\r\nHost: " + host + "\r\n"
                                 "Connection: Keep-Alive\r\nCookie: \r\n";
    EXPECT_EQ(sim.Requests().back().head, expected);

    sim.SetLoginCookie("JSESSIONID=abc123; Path=/");
    ASSERT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Login, {"op", "pw", "1.0.6.4"})), 0);
    EXPECT_EQ(HttpClient::BackendCookie(), "JSESSIONID=abc123; Path=/");
    HttpClient other;   // the cookie is process-wide
    ASSERT_EQ(Take(other.Get(BackendEndpoint{host}, HttpClient::Query::Logout)), 0);
    EXPECT_EQ(sim.Requests().back().Header("Cookie"), "JSESSIONID=abc123; Path=/");
    // A reply without Set-Cookie leaves it.
    ASSERT_EQ(Take(other.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), 0);
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
        EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), c.expected);
        EXPECT_EQ(sim.RequestCount(), c.requests);
    }
    sim.ClearFaults();
    sim.ClearRequests();
    sim.SetFault("heartbeat", Fault::HttpStatus, 404);
    Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat));
    EXPECT_EQ(body, "Http status error, Status Code:404 Not Found\r\n");

    // One failed exchange, then an answer: the second try's result counts.
    sim.ClearFaults();
    sim.ClearRequests();
    sim.SetFault("heartbeat", Fault::CloseEarly, 0, 1);
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), 0);
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
    using Op = std::function<HttpResult(HttpClient&, const BackendEndpoint&)>;
    const struct {
        const char* name;
        Op op;
        bool readOnly;
    } ops[] = {
        {"heartbeat", [](HttpClient& c, const BackendEndpoint& h) { return c.Get(h, HttpClient::Query::Heartbeat); },
         true},
        {"submission", [&record](HttpClient& c, const BackendEndpoint& h) {
             return c.HttpUploadDevTestResult(h, record);
         }, false},
        {"device bind", [](HttpClient& c, const BackendEndpoint& h) {
             return c.HttpBindOrUnbindDevice(h, "IPC", 1, "SN1", "AA", "VC", false);
         }, false},
        {"sn and iccid bind", [](HttpClient& c, const BackendEndpoint& h) {
             return c.Get(h, HttpClient::Query::BindSnIccid, {"SN1", "8986", 3});
         }, false},
    };
    for (const auto& op : ops) {
        SCOPED_TRACE(op.name);
        // Not sent: every operation sends it again, and the back-end gets it once.
        sim.ClearFaults();
        sim.ClearRequests();
        *failLookups = 1;
        EXPECT_EQ(Take(op.op(client, BackendEndpoint{named})), 0);
        EXPECT_EQ(sim.RequestCount(), 1u);

        // Sent whole, the reply cut short: only a read is asked again.
        sim.ClearRequests();
        sim.SetFault("", Fault::CloseEarly, 0, 1);
        EXPECT_EQ(Take(op.op(client, BackendEndpoint{host})), op.readOnly ? 0 : 8);
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
        EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), c.expected);
    }
    // Nesting beyond the parser's limit is a refusal, not an exception.
    sim.SetReply("heartbeat", std::string(5000, '[') + std::string(5000, ']'));
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), -1);
}

TEST_F(BackendRequestsTest, TheBackEndsRetIsKeptApartFromTheClientsCodes)
{
    // Each "ret" the back-end may send against the failure that logs the same number.
    struct Case {
        const char* name;
        std::function<void(BackendSimulator&)> backend;
        HttpCode code;
        int ret;
        int value;
    } cases[] = {
        {"accepted", [](BackendSimulator&) {}, HttpCode::Ok, 0, 0},
        {"ret 100", [](BackendSimulator& b) { b.SetFault("heartbeat", Fault::Ret, 100); }, HttpCode::Ok, 100, 100},
        {"HTTP 500", [](BackendSimulator& b) { b.SetFault("heartbeat", Fault::HttpStatus, 500); },
         HttpCode::HttpStatus, 0, 100},
        {"ret 8", [](BackendSimulator& b) { b.SetFault("heartbeat", Fault::Ret, 8); }, HttpCode::Ok, 8, 8},
        {"closed early", [](BackendSimulator& b) { b.SetFault("heartbeat", Fault::CloseEarly); },
         HttpCode::ReceiveFailed, 0, 8},
        {"ret -1", [](BackendSimulator& b) { b.SetFault("heartbeat", Fault::Ret, -1); }, HttpCode::Ok, -1, -1},
        {"not JSON", [](BackendSimulator& b) { b.SetFault("heartbeat", Fault::NotJson); }, HttpCode::BadReply, 0, -1},
        {"ret not an integer", [](BackendSimulator& b) { b.SetReply("heartbeat", "{\"ret\":\"0\"}"); },
         HttpCode::BadReply, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearFaults();
        c.backend(sim);
        const HttpResult result = client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat);
        EXPECT_EQ(CodeValue(result.code), CodeValue(c.code));
        EXPECT_EQ(result.ret, c.ret);
        EXPECT_EQ(result.Value(), c.value);
        EXPECT_EQ(result.Answered(), c.code == HttpCode::Ok);
        EXPECT_EQ(result.Accepted(), c.code == HttpCode::Ok && c.ret == 0);
    }
}

TEST_F(BackendRequestsTest, ReplyBodyComesWholeWithTheRawSize)
{
    const std::string big = "{\"ret\":0,\"msg\":\"" + std::string(4000, 'm') + "\"}";
    sim.SetReply("heartbeat", big);
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), 0);
    EXPECT_EQ(body, big);
    EXPECT_GT(len, int(big.size()));   // the raw reply size, head included
}

TEST_F(BackendRequestsTest, ArgumentChecksSendNothing)
{
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Login, {"", "pw", "1"})), 13);
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Login, {"op", nullptr, "1"})), 13);
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::CloudBindCheck,
                              {"SN", "", "u", "m", 0, 0, 0, ""})),
              -1);
    EXPECT_EQ(sim.RequestCount(), 0u);
    // Stopped client: no exchange starts, the retry included.
    client.SetExitFlag(true);
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Heartbeat)), 3);
    EXPECT_EQ(sim.RequestCount(), 0u);
}

TEST_F(BackendRequestsTest, LoginRefusalAndLongQueriesAreNotCut)
{
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::Login, {"op", "bad", "1.0.6.4"})), -3);
    EXPECT_NE(body.find("password error"), std::string::npos);

    const std::string longModel(3000, 'M');
    EXPECT_EQ(Take(client.Get(BackendEndpoint{host}, HttpClient::Query::TestConfig, {longModel.c_str()})), 0);
    EXPECT_EQ(sim.Requests().back().query, "model=" + longModel);
}

TEST_F(BackendRequestsTest, UnbindFallsBackOnceOn404OutsideOrderMode)
{
    auto unbind = [this](bool fallback) {
        return Take(client.HttpBindOrUnbindDevice(BackendEndpoint{host}, "IPC", 1, "SN1", "AA", "VC", fallback));
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
