// The provisioning jobs against the back-end simulator: the 4G / SIM judgement,
// binding, authorization codes and the QR label's payload. Each body runs on a
// job context of the test's making and its result is read as the GUI thread
// would apply it.
#include "BackendSimulator.h"
#include "HttpClient.h"
#include "LeftTopWidgetTestPeer.h"
#include "TempAppDir.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>

// Readable failures: gtest finds this through QString's (global) namespace.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

constexpr const char* kSn = "VT21G30000000003";
constexpr const char* kIccid1 = "89860312345678900003";   // telecom ("03")
constexpr const char* kIccid2 = "89860012345678900004";   // mobile ("00")

// What a job left for the GUI thread: its record changes on a zeroed record,
// its lines (failed ones with "!" in front) and the rest of its result.
struct Outcome {
    DevTestResult record{};
    QStringList lines;
    AuxJobResult result;
};

class ProvisionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = new TempAppDir(QByteArray("[CONFIG]\niLogSwitch=1\n")); }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        context = AuxJobContext();
        NewBackend();
        context.bLoggedIn = true;
        context.strSN = kSn;
        context.devType.strIpcType = "IPC";
        context.devType.eTypeDevMainType = 101;
        context.devType.eType = 3;
        context.strStationMac = "02-11-22-33-44-55";
        context.strModel = "VT";
        context.strCompanyId = "1001";
        context.strCustomerName = "Vantrel Test Factory";
        context.telecomOperators = QStringList{"46003", "46005", "46011", "CHN-CT", "CT", "CHINA TELECOM"};
        context.mobileOperators =
            QStringList{"46000", "46002", "46004", "46007", "46008", "CHN-CM", "CHINA MOBILE", "CMCC"};
        context.config.m_Config4G.Signal4G = "20";
        context.restartHeartbeat = [this] { ++heartbeats; };
    }

    // A back-end of its own: fixture replies and no faults.
    void NewBackend()
    {
        sim.reset();
        sim = std::make_unique<BackendSimulator>();
        ASSERT_TRUE(sim->Start());
        context.strServerHost = QString::fromStdString(sim->HostText());
    }

    Outcome Run(const std::function<void(AuxJobRun&)>& body)
    {
        AuxJobCancel cancel;
        AuxJobRun run(context, cancel);
        body(run);
        Outcome out;
        run.Result().ApplyTo(out.record);
        for (const AuxJobLine& line : run.Result().lines)
            out.lines << (line.normal ? "" : "!") + line.text;
        out.result = run.Result();
        return out;
    }

    // The operations the simulator was asked, in order.
    std::vector<std::string> Operations() const
    {
        std::vector<std::string> ops;
        for (const BackendSimulator::Request& r : sim->Requests())
            ops.push_back(r.operation);
        return ops;
    }

    static QString Value(const BackendSimulator::Request& request, const char* key)
    {
        return QUrlQuery(QString::fromStdString(request.query)).queryItemValue(key, QUrl::FullyDecoded);
    }

    inline static TempAppDir* s_dir = nullptr;
    std::unique_ptr<BackendSimulator> sim;
    AuxJobContext context;
    std::atomic<int> heartbeats{0};
};

// A 4G module that reports a good single card.
Dev4GInfo GoodModule()
{
    Dev4GInfo g;
    g.SoftVersion = "EC200A_01";
    g.Err = "0";
    g.ICCID = kIccid1;
    g.SignalStrength = 25;
    g.Operator = "CHN-CT";
    g.ConnectInternet = 1;
    return g;
}

Dev4GInfo GoodDualModule()
{
    Dev4GInfo g = GoodModule();
    g.Err2 = "0";
    g.ICCID2 = kIccid2;
    g.SignalStrength2 = 23;
    g.Operator2 = "CHN-CM";
    g.ConnectInternet2 = 1;
    return g;
}

// ---------------------------------------------------------------------------
// 4G / SIM

TEST_F(ProvisionTest, AGood4GCameraPassesEveryCheckAndIsBoundWhenNobodyOwnsIt)
{
    const Outcome single = Run([](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(GoodModule(), run); });
    EXPECT_EQ(single.record.result_4g, 1);
    EXPECT_EQ(single.record.vrl_result, 1);
    EXPECT_EQ(single.lines, (QStringList{"4G signal test pass(25)", "4G is connect internet", "bind success",
                                         "SIM card Is VRL card", "0 yuan package is not actived", "Data Package:basic",
                                         "unbind success"}));
    EXPECT_EQ(Operations(), (std::vector<std::string>{"sn/bind/iccid", "device/info/query", "device/bind/info",
                                                      "device/unbind/sub/dealer"}));
    const std::vector<BackendSimulator::Request> requests = sim->Requests();
    EXPECT_EQ(requests[0].query, std::string("sn=") + kSn + "&iccid=" + kIccid1 + "&subtype=3");
    EXPECT_EQ(Value(requests[3], "main_type"), "IPC");
    EXPECT_EQ(Value(requests[3], "sub_type"), "3");
    EXPECT_EQ(Value(requests[3], "check_machine_id"), "02-11-22-33-44-55");
    EXPECT_EQ(Value(requests[3], "model"), "VT");
    EXPECT_EQ(heartbeats.load(), 4) << "every request restarts the heartbeat first";

    // Two cards: one query names both, the back-end answers with an object per ICCID.
    sim->ClearRequests();
    context.devType.eType = 6;
    const Outcome dual = Run([](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(GoodDualModule(), run); });
    EXPECT_EQ(dual.record.result_4g, 1);
    EXPECT_EQ(dual.record.vrl_result, 1);
    EXPECT_EQ(dual.record.vrl_result2, 1);
    EXPECT_EQ(Value(sim->Requests().at(1), "iccid"), QString(kIccid1) + "," + kIccid2);
    EXPECT_TRUE(dual.lines.contains("SIM card Is VRL card"));
}

struct FourGCase {
    const char* name;
    int eType;
    std::function<void(Dev4GInfo&)> module;
    std::function<void(BackendSimulator&, AuxJobContext&)> backend;
    int code;
    QStringList failed;                  // the failed lines, in order
};

TEST_F(ProvisionTest, Each4GFailureHasItsCodeAndLine)
{
    const auto asIs = [](Dev4GInfo&) {};
    const auto good = [](BackendSimulator&, AuxJobContext&) {};
    auto reply = [](const char* op, const char* body) {
        return [op, body](BackendSimulator& sim, AuxJobContext&) { sim.SetReply(op, body); };
    };
    const QString i1 = kIccid1;
    const QString i2 = kIccid2;
    const FourGCase cases[] = {
        {"not logged in", 3, asIs, [](BackendSimulator&, AuxJobContext& c) { c.bLoggedIn = false; }, 13,
         {"4G Test:abnormal"}},
        {"one card, module silent", 3, [](Dev4GInfo& g) { g = Dev4GInfo(); }, good, 12,
         {"4G serial communication is abnormal"}},
        {"one card, no ICCID", 3, [](Dev4GInfo& g) { g.ICCID.clear(); }, good, 12,
         {"SIM card abnormal (ICCID get failed)"}},
        {"two cards, card 2 without ICCID", 6, [](Dev4GInfo& g) { g.ICCID2.clear(); }, good, 12,
         {"SIM card abnormal (ICCID get failed)"}},
        {"not a 4G type", 1, asIs, good, 12, {"SIM card abnormal (ICCID get failed)"}},
        {"signal 0", 3, [](Dev4GInfo& g) { g.SignalStrength = 0; }, good, 2, {"4G signal test fail(0)"}},
        {"signal below the minimum", 3, asIs,
         [](BackendSimulator&, AuxJobContext& c) { c.config.m_Config4G.Signal4G = "30"; }, 2,
         {"4G signal test fail(25)"}},
        {"a minimum that is no number", 3, asIs,
         [](BackendSimulator&, AuxJobContext& c) { c.config.m_Config4G.Signal4G = "nan"; }, 2,
         {"4G signal test fail(25)"}},
        {"offline", 3, [](Dev4GInfo& g) { g.ConnectInternet = 0; }, good, 3, {"4G isn't connect internet"}},
        {"signal 0 and offline: the last failure counts", 3,
         [](Dev4GInfo& g) {
             g.SignalStrength = 0;
             g.ConnectInternet = 0;
         },
         good, 3, {"4G signal test fail(0)", "4G isn't connect internet"}},
        {"serial number invalid", 3, asIs, [](BackendSimulator&, AuxJobContext& c) { c.strSN = "FFFFFFFF00000003"; },
         4, {"SN is invalid, 4G dev test failed"}},
        {"ICCID bind refused", 3, asIs, reply("sn/bind/iccid", R"({"ret":7,"msg":"iccid bound elsewhere"})"), 5,
         {"iccid bound elsewhere"}},
        {"ICCID bind refused without a message", 3, asIs, reply("sn/bind/iccid", R"({"ret":7,"msg":""})"), 5,
         {"sn and iccid bind failed"}},
        {"ICCID bind not JSON", 3, asIs,
         [](BackendSimulator& s, AuxJobContext&) { s.SetFault("sn/bind/iccid", BackendSimulator::Fault::NotJson); }, 5,
         {"bind sn and iccid request failed"}},
        {"SIM query not JSON", 3, asIs,
         [](BackendSimulator& s, AuxJobContext&) { s.SetFault("device/info/query", BackendSimulator::Fault::NotJson); },
         6, {"query 4g dev info request failed"}},
        {"SIM query refused", 3, asIs, reply("device/info/query", R"({"ret":4,"msg":"no such card"})"), 6,
         {"no such card"}},
        {"SIM query with a member of the wrong kind", 3, asIs,
         reply("device/info/query", R"({"ret":0,"bind":1,"is_vrl":"yes","card_status":1,"is_locked":0})"), 6,
         {"query 4g dev info request failed"}},
        {"zero-price package active", 3, asIs,
         reply("device/info/query", R"({"ret":0,"bind":1,"is_vrl":1,"card_status":1,"is_locked":0,)"
                                    R"("combo_name":"basic","preferentialCheck":1})"),
         7, {"0 yuan package has been activated"}},
        {"card disabled", 3, asIs,
         reply("device/info/query", R"({"ret":0,"bind":1,"is_vrl":1,"card_status":0,"is_locked":0,)"
                                    R"("combo_name":"basic","preferentialCheck":0})"),
         8, {"SIM card has been disabled, please recharge data plan, ICCID=" + i1}},
        {"card locked", 3, asIs,
         reply("device/info/query", R"({"ret":0,"bind":1,"is_vrl":1,"card_status":0,"is_locked":1,)"
                                    R"("combo_name":"basic","preferentialCheck":0})"),
         13, {"SIM card is locked, ICCID=" + i1}},
        {"owner query refused: failed, and nothing is bound", 3, asIs,
         reply("device/bind/info", R"({"ret":5,"msg":"busy","bind":0})"), 9,
         {"query dev is bind share benifit failed"}},
        {"owner reply without its ret", 3, asIs, reply("device/bind/info", R"({"bind":0})"), 9,
         {"query dev is bind share benifit failed"}},
        {"owner reply that does not say bound or not", 3, asIs, reply("device/bind/info", R"({"ret":0,"msg":"ok"})"),
         9, {"query dev is bind share benifit failed"}},
        {"owner query not JSON", 3, asIs,
         [](BackendSimulator& s, AuxJobContext&) { s.SetFault("device/bind/info", BackendSimulator::Fault::NotJson); },
         9, {"query dev is bind share benifit failed"}},
        {"bind of an unowned camera refused", 3, asIs,
         reply("device/unbind/sub/dealer", R"({"ret":3,"msg":"dealer refuses"})"), 10, {"dealer refuses"}},
        {"bound to another customer", 3, asIs,
         reply("device/bind/info", R"({"ret":0,"bind":1,"customer_name":"Other Ltd","customer_id":"2002"})"), 11,
         {"dev has ben bound by another customer"}},
        {"bound without a name to a customer id the station lacks", 3, asIs,
         [](BackendSimulator& s, AuxJobContext& c) {
             c.strCompanyId.clear();
             s.SetReply("device/bind/info", R"({"ret":0,"bind":1,"customer_name":"","customer_id":"2002"})");
         },
         11, {"dev has ben bound by another customer"}},
        {"an empty customer id is not the station's empty company id", 3, asIs,
         [](BackendSimulator& s, AuxJobContext& c) {
             c.strCompanyId.clear();
             s.SetReply("device/bind/info", R"({"ret":0,"bind":1,"customer_name":"Other Ltd","customer_id":""})");
         },
         11, {"dev has ben bound by another customer"}},
        {"bound, but no customer told", 3, asIs,
         reply("device/bind/info", R"({"ret":0,"bind":1,"customer_name":"","customer_id":""})"), 13,
         {"Failed to obtain the information of the 4G distribution bound company, please re-test the 4G test item"}},
        {"card 1 error code", 3, [](Dev4GInfo& g) { g.Err = "5"; }, good, 21, {"card1 return error code(5)"}},
        {"card 1 error that is no number", 3, [](Dev4GInfo& g) { g.Err = "E9"; }, good, 21,
         {"card1 return error code(E9)"}},
        {"card 1 of a mobile operator", 3, [](Dev4GInfo& g) { g.ICCID = "89860012345678900003"; }, good, 22,
         {"card1 iccid test failed(89860012345678900003)"}},
        {"card 1 operator name", 3, [](Dev4GInfo& g) { g.Operator = "chn-ct"; }, good, 23,
         {"card1 operator test failed(chn-ct)"}},
        {"card 2 of a telecom operator", 6, [](Dev4GInfo& g) { g.ICCID2 = "89861112345678900004"; }, good, 24,
         {"card2 iccid test failed(89861112345678900004)"}},
        {"card 2 operator name", 6, [](Dev4GInfo& g) { g.Operator2 = "CHN-CT"; }, good, 25,
         {"card2 operator test failed(CHN-CT)"}},
    };
    for (const FourGCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Dev4GInfo module = c.eType == 6 ? GoodDualModule() : GoodModule();
        c.module(module);
        context.devType.eType = c.eType;
        c.backend(*sim, context);
        const Outcome out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(module, run); });
        EXPECT_EQ(out.record.result_4g, c.code);
        QStringList failed;
        for (const QString& line : out.lines) {
            if (line.startsWith("!"))
                failed << line.mid(1);
        }
        EXPECT_EQ(failed, c.failed) << out.lines.join(" | ").toStdString();
        const std::vector<std::string> ops = Operations();
        if (c.code == 9 || c.code == 11 || c.failed.value(0).startsWith("Failed to obtain")) {
            EXPECT_EQ(std::count(ops.begin(), ops.end(), "device/unbind/sub/dealer"), 0)
                << "a camera that may be another's is never bound";
        }
    }
}

TEST_F(ProvisionTest, ACardThatIsNotOursEndsTheBackEndChecksWithoutAFailure)
{
    sim->SetReply("device/info/query", R"({"ret":-3,"msg":"not a VRL card"})");
    const Outcome out = Run([](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(GoodModule(), run); });
    EXPECT_EQ(out.record.result_4g, 1);
    EXPECT_EQ(out.record.vrl_result, 0);
    EXPECT_TRUE(out.lines.contains("not a VRL card"));
    EXPECT_EQ(Operations(), (std::vector<std::string>{"sn/bind/iccid", "device/info/query"}));

    // An external card answered with ret 0 reads as one too.
    sim->ClearRequests();
    sim->SetReply("device/info/query", R"({"ret":0,"bind":0,"is_vrl":0,"card_status":1,"is_locked":0})");
    const Outcome external = Run([](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(GoodModule(), run); });
    EXPECT_EQ(external.record.result_4g, 1);
    EXPECT_TRUE(external.lines.contains("SIM card is not VRL card (External card)"));
}

struct IccidInfoCase {
    const char* name;
    std::string iccidInfo;               // the member's JSON text; empty: no member
    int code;                            // result_4g
    QStringList expected;                // lines that must be there
};

TEST_F(ProvisionTest, TwoCardsAreReadByTheirIccidsInEitherFormAndOrder)
{
    const std::string i1 = std::string("\"") + kIccid1 + "\"";
    const std::string i2 = std::string("\"") + kIccid2 + "\"";
    const std::string ok = R"("is_vrl":1,"card_status":1,"is_locked":0)";
    const std::string disabled = R"("is_vrl":1,"card_status":0,"is_locked":0)";
    const std::string external = R"("is_vrl":0,"card_status":1,"is_locked":0)";
    const QString disabledLine = QString("!SIM card1 has been disabled, please recharge data plan, ICCID=") + kIccid1;
    const QString failed = "!query 4g dev info request failed";
    const IccidInfoCase cases[] = {
        {"object, card 1 disabled", "{" + i1 + ":{" + disabled + "}," + i2 + ":{" + ok + "}}", 8, {disabledLine}},
        {"object, card 2 disabled: only card 1 counts", "{" + i1 + ":{" + ok + "}," + i2 + ":{" + disabled + "}}", 1,
         {"SIM card Is VRL card"}},
        {"array in query order", "[{\"iccid\":" + i1 + "," + disabled + "},{\"iccid\":" + i2 + "," + ok + "}]", 8,
         {disabledLine}},
        {"array with the cards swapped", "[{\"iccid\":" + i2 + "," + ok + "},{\"iccid\":" + i1 + "," + disabled + "}]",
         8, {disabledLine}},
        {"card 2 external", "[{\"iccid\":" + i2 + "," + external + "},{\"iccid\":" + i1 + "," + ok + "}]", 1,
         {"SIM card2 is not VRL card"}},
        {"card 1 external", "{" + i1 + ":{" + external + "}," + i2 + ":{" + ok + "}}", 1, {"SIM card1 is not VRL card"}},
        {"missing", "", 6, {failed}},
        {"not an object or array", "\"both fine\"", 6, {failed}},
        {"one card only", "{" + i1 + ":{" + ok + "}}", 6, {failed}},
        {"another camera's cards", R"({"89860300000000000001":{)" + ok + R"(},"89860000000000000002":{)" + ok + "}}",
         6, {failed}},
        {"one card named twice", "[{\"iccid\":" + i1 + "," + ok + "},{\"iccid\":" + i1 + "," + ok + "}]", 6, {failed}},
        {"three cards", "[{\"iccid\":" + i1 + "," + ok + "},{\"iccid\":" + i2 + "," + ok + "},{\"iccid\":\"x\"}]", 6,
         {failed}},
        {"an entry without its ICCID", "[{" + ok + "},{\"iccid\":" + i2 + "," + ok + "}]", 6, {failed}},
        {"a card that is no object", "{" + i1 + ":1," + i2 + ":{" + ok + "}}", 6, {failed}},
        {"a state of the wrong kind", "{" + i1 + ":{\"is_vrl\":[1]}," + i2 + ":{" + ok + "}}", 6, {failed}},
    };
    context.devType.eType = 6;
    for (const IccidInfoCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string body = R"({"ret":0,"bind":1,"combo_name":"dual","preferentialCheck":0)";
        if (!c.iccidInfo.empty())
            body += ",\"iccid_info\":" + c.iccidInfo;
        sim->SetReply("device/info/query", body + "}");
        const Outcome out = Run([](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(GoodDualModule(), run); });
        EXPECT_EQ(out.record.result_4g, c.code) << out.lines.join(" | ").toStdString();
        for (const QString& line : c.expected)
            EXPECT_TRUE(out.lines.contains(line)) << line.toStdString() << " in " << out.lines.join(" | ").toStdString();
    }
}

TEST_F(ProvisionTest, TheThreadsStopCutsAJobsRequestShortAndSendsNoMore)
{
    sim->SetFault("sn/bind/iccid", BackendSimulator::Fault::NoAnswer);
    AuxJobCancel cancel;
    // Without the stop the job would go on to the SIM query after its transport deadline.
    auto job = std::async(std::launch::async, [&] {
        AuxJobRun run(context, cancel);
        LeftTopWidgetTestPeer::do4GDevInfoTest(GoodModule(), run);
        return run.Result().lines.size();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sim->RequestCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(sim->RequestCount(), 1u);
    cancel.Cancel();
    ASSERT_EQ(job.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    job.get();
    EXPECT_EQ(Operations(), std::vector<std::string>{"sn/bind/iccid"}) << "no request after the stop";
}

TEST_F(ProvisionTest, TheSimulatorsOwnTwoCardFormsPass)
{
    context.devType.eType = 6;
    for (auto form : {BackendSimulator::IccidInfoForm::Object, BackendSimulator::IccidInfoForm::Array}) {
        sim->SetIccidInfoForm(form);
        const Outcome out = Run([](AuxJobRun& run) { LeftTopWidgetTestPeer::do4GDevInfoTest(GoodDualModule(), run); });
        EXPECT_EQ(out.record.result_4g, 1) << out.lines.join(" | ").toStdString();
        EXPECT_EQ(out.record.vrl_result2, 1);
    }
}

// ---------------------------------------------------------------------------
// Binding

TEST_F(ProvisionTest, TheBindJobBindsOnlyWhenLoggedInAndAsksOnceMoreAfterAnErrorStatus)
{
    DevBindJob job;
    job.devType.strIpcType = "IPC";
    job.devType.eType = 2;
    job.strSN = kSn;
    job.strMacAddr = "02-11-22-33-44-55";
    job.szModel = "VT";
    auto bind = [&] { return Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoBindDevJob(job, run); }); };

    Outcome out = bind();
    EXPECT_EQ(out.record.bind_result, 1);
    EXPECT_EQ(out.lines, QStringList{"unbind success"});
    EXPECT_EQ(Operations(), std::vector<std::string>{"device/unbind/sub/dealer"});

    struct FailureCase {
        const char* name;
        BackendSimulator::Fault fault;
        int arg;
        size_t requests;
        QStringList lines;
    };
    const FailureCase failures[] = {
        // The client itself leaves an error status unrepeated.
        {"HTTP 500", BackendSimulator::Fault::HttpStatus, 500, 2, {"!bind dev request failed"}},
        // Sent whole, only the reply was lost: the camera may be bound, so no second request.
        {"closed early", BackendSimulator::Fault::CloseEarly, 0, 1, {"!bind dev request failed"}},
        {"refused", BackendSimulator::Fault::Ret, 9, 1, {"!refused"}},
        // The back-end's own "ret" 100 is an answer, not an error status.
        {"refused with ret 100", BackendSimulator::Fault::Ret, 100, 1, {"!refused"}},
    };
    for (const FailureCase& f : failures) {
        SCOPED_TRACE(f.name);
        sim->ClearRequests();
        sim->ClearFaults();
        sim->SetFault("device/", f.fault, f.arg);
        out = bind();
        EXPECT_EQ(out.record.bind_result, -1);
        EXPECT_EQ(out.lines, f.lines);
        EXPECT_EQ(sim->RequestCount(), f.requests);
    }

    // A request that never went out is sent again by the client: bound with one request.
    sim->ClearRequests();
    sim->ClearFaults();
    auto failLookups = std::make_shared<std::atomic<int>>(1);
    HttpClient::SetNameLookup([failLookups](const std::string&, in_addr* address) {
        return failLookups->fetch_sub(1) <= 0 && inet_pton(AF_INET, "127.0.0.1", address) == 1;
    });
    const QString simHost = context.strServerHost;
    context.strServerHost = QStringLiteral("backend.results.test:%1").arg(sim->Port());
    out = bind();
    context.strServerHost = simHost;
    HttpClient::SetNameLookup(nullptr);
    EXPECT_EQ(out.record.bind_result, 1);
    EXPECT_EQ(sim->RequestCount(), 1u);

    // A reply without its "ret" says nothing of success.
    sim->ClearRequests();
    sim->ClearFaults();
    sim->SetReply("device/unbind/sub/dealer", R"({"msg":"unbind success"})");
    out = bind();
    EXPECT_EQ(out.record.bind_result, -1);
    EXPECT_EQ(out.lines, QStringList{"!bind dev request failed"});
    sim->SetReply("device/unbind/sub/dealer", R"({"ret":0,"msg":"unbind success"})");

    // A dealer path the back-end does not know: the common path answers.
    sim->ClearRequests();
    sim->ClearFaults();
    sim->SetFault("device/unbind/sub/dealer", BackendSimulator::Fault::HttpStatus, 404);
    out = bind();
    EXPECT_EQ(out.record.bind_result, 1);
    EXPECT_EQ(Operations(), (std::vector<std::string>{"device/unbind/sub/dealer", "device/bind/or/unbind"}));

    sim->ClearRequests();
    sim->ClearFaults();
    job.strSN = "00000000FFFF0001";
    out = bind();
    EXPECT_EQ(out.record.bind_result, -1);
    EXPECT_EQ(out.lines, QStringList{"!SN is invalid, bind dev failed"});
    EXPECT_EQ(sim->RequestCount(), 0u);

    context.bLoggedIn = false;
    job.strSN = kSn;
    out = bind();
    EXPECT_EQ(out.record.bind_result, 0) << "left as it was";
    EXPECT_TRUE(out.lines.isEmpty());
    EXPECT_EQ(sim->RequestCount(), 0u);
}

// ---------------------------------------------------------------------------
// Authorization codes

struct AuthorizeCase {
    const char* name;
    int replyStatus;
    int authorization;
    const char* sn;
    bool loggedIn;
    const char* reply;                   // the check's reply; nullptr: not JSON
    int result;
    QStringList lines;
    size_t requests;
};

TEST_F(ProvisionTest, TheAuthorizationCheckEndsAtTheFirstStepThatDecides)
{
    const char* const tuyaSn = "VT21T10000000006";
    const char* const match = R"({"ret":0,"msg":"match","uuid":"vt21tuya00000006"})";
    const AuthorizeCase cases[] = {
        {"no reply from the camera", 0, 1, tuyaSn, true, match, -1, {"!Get Tuya Authorize Info faied"}, 0},
        {"no reply and a bad serial: the first cause only", 0, 1, "short", true, match, -1,
         {"!Get Tuya Authorize Info faied"}, 0},
        {"bad serial, authorized", 1, 1, "short", true, match, -1,
         {"!SN is invalid, Tuya Dev Authorized check failed"}, 0},
        {"authorized and matching", 1, 1, tuyaSn, true, match, 1, {"Tuya Authorize Code Match Check:normal"}, 1},
        {"authorized, bound elsewhere", 1, 1, tuyaSn, true, R"({"ret":2,"msg":"bound","uuid":"vt21other0000009"})", -1,
         {"!Tuya Authorize Code Match Check:abnormal(already bound uuid:vt21other0000009)"}, 1},
        {"authorized, no JSON", 1, 1, tuyaSn, true, nullptr, -1, {"!Tuya Authorize Code Match Check Qequest Failed"}, 1},
        {"authorized, a uuid of the wrong kind", 1, 1, tuyaSn, true, R"({"ret":2,"uuid":{}})", -1,
         {"!Tuya Authorize Code Match Check Qequest Failed"}, 1},
        {"authorized, logged out", 1, 1, tuyaSn, false, match, 0, {}, 0},
        {"not authorized", 1, 0, tuyaSn, true, match, -1, {"!Tuya Dev is not Authorized"}, 0},
        {"another status", 1, 7, tuyaSn, true, match, 0, {}, 0},
    };
    for (const AuthorizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim->ClearRequests();
        sim->ClearFaults();
        if (c.reply)
            sim->SetReply("cloud/storage/bind/relation/check", c.reply);
        else
            sim->SetFault("cloud/", BackendSimulator::Fault::NotJson);
        context.bLoggedIn = c.loggedIn;
        AuxAuthorizeCheckMsg job;
        job.iReplyStatus = c.replyStatus;
        job.AutorizationStatus = c.authorization;
        job.strUUID = "vt21tuya00000006";
        job.strKey = "Vk3d9QxM2pL7sT4wZb8nR1cY6hJ0fG5e";
        job.strSN = c.sn;
        job.strModel = "VT";
        const Outcome out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoAuthorizeCheckJob(job, run); });
        EXPECT_EQ(out.record.tuya_authorize_result, c.result);
        EXPECT_EQ(out.lines, c.lines);
        EXPECT_EQ(sim->RequestCount(), c.requests);
    }
}

TEST_F(ProvisionTest, TheMatchCheckSendsTheSignOfSerialNumberAndUuid)
{
    AuxAuthorizeCheckMsg job;
    job.iReplyStatus = 1;
    job.AutorizationStatus = 1;
    job.strSN = "VT21T10000000006";
    job.strUUID = "vt21tuya00000006";
    job.strKey = "Vk3d9QxM2pL7sT4wZb8nR1cY6hJ0fG5e";
    job.strModel = "VT";
    Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoAuthorizeCheckJob(job, run); });
    ASSERT_EQ(sim->RequestCount(), 1u);
    // MD5 of "T21T1000" + "tuya0000" + "QUARLN".
    EXPECT_EQ(sim->Requests()[0].query,
              "sn=VT21T10000000006&key=Vk3d9QxM2pL7sT4wZb8nR1cY6hJ0fG5e&uuid=vt21tuya00000006&model=VT&type=1&pid=0"
              "&user_type=1&encrypt_param=1112FF95A8AB9198FC8B14A62149904E");
    EXPECT_EQ(heartbeats.load(), 1);

    // A 10-character serial number and a 14-character UUID.
    sim->ClearRequests();
    Run([&](AuxJobRun& run) {
        LeftTopWidgetTestPeer::CheckTuyaAuthorizeCodeInfoMatch(run, "AB12345678", "k", "uuid0123456789", "VT", 1, 0, 1);
    });
    ASSERT_EQ(sim->RequestCount(), 1u);
    // MD5 of "B1234567" + "01234567" + "QUARLN".
    EXPECT_EQ(Value(sim->Requests()[0], "encrypt_param"), "EF819A6CA9ADB906670639053814B6CB");
}

// ---------------------------------------------------------------------------
// The QR label's payload

struct PayloadCase {
    const char* name;
    int sdkType;
    int eType;
    const char* appHost;                 // PRINT_QRCODE_CONFIG/szAppDownloadHost
    QString qrCode;
    QString identityPart;
    QString identifyCode;
};

TEST_F(ProvisionTest, TheIdentifyCodeMakesThePayloadOfItsSdkType)
{
    const QString backend = QString::fromStdString(sim->HostText());
    const QString part = QString("bind://v1@t2:") + kSn + ":7Q2K9X";
    const PayloadCase cases[] = {
        {"SDK 0, the back-end's host", 0, 2, "", "http://" + backend + "/api/url.php?v=0&s=" + part, part, "7Q2K9X"},
        {"SDK 0, an app-download host of its own", 0, 2, "app.example.test",
         "http://app.example.test/api/url.php?v=0&s=" + part, part, "7Q2K9X"},
        {"Tuya: the bare code", 1, 1, "app.example.test", "7Q2K9X", "7Q2K9X", ""},
        {"an unknown SDK type has no payload", 2, 1, "", "", "", ""},
    };
    for (const PayloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim->ClearRequests();
        context.config.m_PrintQrCode.szAppDownloadHost = c.appHost;
        QString qr = "stale", identity = "stale", code = "stale";
        const Outcome out = Run([&](AuxJobRun& run) {
            LeftTopWidgetTestPeer::GetIndentifyCode(run, c.eType, kSn, c.sdkType, "", qr, identity, code);
        });
        EXPECT_EQ(qr, c.qrCode);
        EXPECT_EQ(identity, c.identityPart);
        EXPECT_EQ(code, c.identifyCode);
        EXPECT_EQ(out.result.identifyCode.value_or("unset"), c.identifyCode);
        EXPECT_TRUE(out.lines.isEmpty());
        ASSERT_EQ(sim->RequestCount(), 1u);
        EXPECT_EQ(sim->Requests()[0].query, QString("dev_sn=%1&subtype=%2&is_tuya=%3&uuid=")
                                               .arg(kSn)
                                               .arg(c.eType)
                                               .arg(c.sdkType == 1 ? 1 : 0)
                                               .toStdString());
    }
}

TEST_F(ProvisionTest, AFailedIdentifyCodeRequestLeavesNothingOfAnEarlierCamera)
{
    const std::function<void()> failures[] = {
        [this] { sim->SetReply("random/code", R"({"ret":3,"msg":"no code"})"); },
        [this] { sim->SetFault("random/", BackendSimulator::Fault::NotJson); },
        [this] { sim->SetFault("random/", BackendSimulator::Fault::HttpStatus, 503); },
        [this] { sim->SetReply("random/code", R"({"ret":0,"code":["7Q2K9X"]})"); },
        [this] { sim->SetRefusing(true); },
    };
    int index = 0;
    for (const auto& fail : failures) {
        SCOPED_TRACE(index++);
        sim->ClearFaults();
        sim->SetRefusing(false);
        sim->SetReply("random/code", R"({"ret":0,"code":"7Q2K9X"})");
        fail();
        QString qr = "earlier", identity = "earlier", code = "earlier";
        const Outcome out = Run([&](AuxJobRun& run) {
            LeftTopWidgetTestPeer::GetIndentifyCode(run, 2, kSn, 0, "", qr, identity, code);
        });
        EXPECT_TRUE(qr.isEmpty());
        EXPECT_TRUE(identity.isEmpty());
        EXPECT_TRUE(code.isEmpty());
        EXPECT_EQ(out.result.identifyCode.value_or("unset"), "") << "the controller forgets its last code";
        EXPECT_EQ(out.lines, QStringList{"!Get Indentify Code failed"});
    }
    sim->SetRefusing(false);
}

struct LabelJobCase {
    const char* name;
    std::function<void(AuxJobContext&, AuxPrintQRCodeMsg&)> change;
    int source;
    int printResult;                     // qr_code_print_result
    QStringList lines;
    bool prints;
};

TEST_F(ProvisionTest, ThePrintJobRefusesWhatMustNotGetALabel)
{
    const auto none = [](AuxJobContext&, AuxPrintQRCodeMsg&) {};
    const LabelJobCase cases[] = {
        {"a good camera", none, AUX_SOURCE_AUTO, 0, {}, true},
        {"a type without labels", [](AuxJobContext& c, AuxPrintQRCodeMsg&) { c.devType.eTypeDevMainType = 100; },
         AUX_SOURCE_AUTO, -1, {"!The current device does not support printing QR codes"}, false},
        {"automatic print off", [](AuxJobContext& c, AuxPrintQRCodeMsg&) { c.config.m_PrintQrCode.bAutoPrint = false; },
         AUX_SOURCE_AUTO, 0, {}, false},
        {"automatic print off, manual item", [](AuxJobContext& c, AuxPrintQRCodeMsg&) {
             c.config.m_PrintQrCode.bAutoPrint = false;
         },
         AUX_SOURCE_MANUAL, 0, {}, true},
        {"logged out", [](AuxJobContext& c, AuxPrintQRCodeMsg&) { c.bLoggedIn = false; }, AUX_SOURCE_MANUAL, 0, {},
         false},
        {"a failed item", [](AuxJobContext& c, AuxPrintQRCodeMsg&) { c.bTestNormal = false; }, AUX_SOURCE_AUTO, -1,
         {"!There is a failed test item, and the printing of the QR code fails"}, false},
        {"a failed item, manual item", [](AuxJobContext& c, AuxPrintQRCodeMsg&) { c.bTestNormal = false; },
         AUX_SOURCE_MANUAL, 0, {}, true},
        {"bad serial", [](AuxJobContext&, AuxPrintQRCodeMsg& j) { j.strDevSN = "VT21"; }, AUX_SOURCE_AUTO, -1,
         {"!SN is invalid, print qrcode failed"}, false},
        {"not bound", [](AuxJobContext& c, AuxPrintQRCodeMsg&) { c.result.bind_result = -1; }, AUX_SOURCE_AUTO, -1,
         {"!user was not successfully bound, print qrcode failed"}, false},
        {"no identify code", [this](AuxJobContext&, AuxPrintQRCodeMsg&) { sim->SetReply("random/code", R"({"ret":0})"); },
         AUX_SOURCE_AUTO, -1, {"!print qrcode failed"}, false},
    };
    for (const LabelJobCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim->SetReply("random/code", R"({"ret":0,"code":"7Q2K9X"})");
        context.source = c.source;
        context.bTestNormal = true;
        context.config.m_PrintQrCode.bAutoPrint = true;
        context.bLoggedIn = true;
        context.devType.eTypeDevMainType = 101;
        context.devType.eType = 3;
        context.result.bind_result = 1;
        AuxPrintQRCodeMsg job;
        job.eType = 3;
        job.strDevSN = kSn;
        job.strMac = "00:1A:2B:3C:4D:5E";
        c.change(context, job);
        const Outcome out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoPrintQRCodeJob(job, run); });
        EXPECT_EQ(out.record.qr_code_print_result, c.printResult);
        EXPECT_EQ(out.lines, c.lines);
        ASSERT_EQ(out.result.print.has_value(), c.prints);
        if (c.prints) {
            EXPECT_EQ(out.result.print->strDevSN, kSn);
            EXPECT_EQ(out.result.print->strMac, "00:1A:2B:3C:4D:5E");
            EXPECT_EQ(out.result.print->strIndentifyCode, "7Q2K9X");
            EXPECT_EQ(out.result.print->strIndentityPart, QString("bind://v1@t3:") + kSn + ":7Q2K9X");
        }
    }
}

TEST_F(ProvisionTest, TheCheckJobAsksForAScanOfTheSamePayload)
{
    context.devType.eType = 1;
    context.config.m_PrintQrCode.bCheckQRCode = true;
    AuxPrintQRCodeMsg job;
    job.eType = 1;
    job.iSDKType = 1;
    job.strDevSN = "VT21T10000000006";
    job.strUUID = "vt21tuya00000006";
    Outcome out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoCheckQRCodeJob(job, run); });
    ASSERT_TRUE(out.result.check.has_value());
    EXPECT_EQ(out.result.check->strQRCode, "7Q2K9X");
    EXPECT_EQ(out.result.check->strIndentityPart, "7Q2K9X");
    EXPECT_EQ(out.lines, QStringList{"please scan dev QRCode"});
    EXPECT_EQ(Value(sim->Requests().at(0), "uuid"), "vt21tuya00000006");
    EXPECT_EQ(Value(sim->Requests().at(0), "is_tuya"), "1");

    sim->SetReply("random/code", R"({"ret":0,"code":""})");
    out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoCheckQRCodeJob(job, run); });
    EXPECT_FALSE(out.result.check.has_value());
    EXPECT_EQ(out.record.qr_code_check_result, -1);
    EXPECT_EQ(out.lines, QStringList{"!check qrcode failed"});

    job.strDevSN = "FFFFFFFF00000006";
    out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoCheckQRCodeJob(job, run); });
    EXPECT_EQ(out.lines, QStringList{"!SN is invalid, check qrcode failed"});

    context.config.m_PrintQrCode.bCheckQRCode = false;
    sim->ClearRequests();
    out = Run([&](AuxJobRun& run) { LeftTopWidgetTestPeer::DoCheckQRCodeJob(job, run); });
    EXPECT_TRUE(out.lines.isEmpty()) << "the check is off for the chain";
    EXPECT_EQ(sim->RequestCount(), 0u);
}

}  // namespace
