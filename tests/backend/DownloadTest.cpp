// HttpClient::HttpDownloadFile and its file names.
#include "BackendSimulator.h"
#include "HttpClient.h"
#include "RawHttpServer.h"
#include "TempAppDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Fault = BackendSimulator::Fault;
using SteadyClock = std::chrono::steady_clock;

// Polls until the simulator has taken count requests; false after 10 s.
bool WaitForRequests(const BackendSimulator& sim, size_t count)
{
    const auto until = SteadyClock::now() + std::chrono::seconds(10);
    while (sim.RequestCount() < count && SteadyClock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return sim.RequestCount() == count;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST(DownloadFileNameTest, SuffixAndNameRules)
{
    struct Case {
        const char* url;
        int kind;
        const char* fileKind;
        const char* name;   // nullptr: refused
    } cases[] = {
        {"http://h/files/pkg.tgz", 0, "", "pkg.tgz"},
        {"http://h/files/pkg", 0, "", "pkg.tgz"},
        {"http://h/files/PKG.TGZ", 0, "", "PKG.TGZ.tgz"},
        {"http://h/files/alarm", 1, "pcm", "alarm.pcm"},
        {"http://h/files/alarm.mp3", 1, "mp3", "alarm.mp3"},
        {"http://h/files/alarm", 1, "wav", "alarm"},
        {"http://h/files/logo.png?v=3#top", 2, "", "logo.png"},
        {"/files/%E5%9B%BE%20a.png", 2, "", "\xE5\x9B\xBE a.png"},
        {"http://h/files/a%2F..%2Fb.png", 2, "", "b.png"},
        {"http://h/files/a%5C..%5Cevil.png", 2, "", "evil.png"},
        {"http://h/files/..\\..\\evil", 2, "", "evil"},
        {"http://h/files/", 2, "", nullptr},
        {"http://h/files/..", 2, "", nullptr},
        {"http://h/files/%2E%2E", 2, "", nullptr},
        {"http://h/files/.", 2, "", nullptr},
        {"http://h/files/a%00b.png", 2, "", nullptr},
        {"http://h/files/%2F", 0, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        std::string name;
        const bool ok = HttpClient::DownloadFileName(c.url, c.kind, c.fileKind, &name);
        EXPECT_EQ(ok, c.name != nullptr);
        if (c.name && ok) {
            EXPECT_EQ(name, c.name);
        }
    }
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        dir = app.path() + "/Downloads/";
        QDir().mkpath(dir);
    }
    int Download(const std::string& url, int kind = 2, const char* fileKind = "", int limit = 10)
    {
        return CodeValue(client.HttpDownloadFile(BackendEndpoint{sim.HostText()}, dir.toUtf8().constData(),
                                                 url.c_str(), kind, fileKind, limit));
    }
    TempAppDir app;
    BackendSimulator sim;
    HttpClient client;
    QString dir;
};

TEST_F(DownloadTest, StoresTheBodyWhateverTheUrlsHost)
{
    QByteArray bytes(300000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 256);
    sim.SetFile("/files/pkg", bytes);
    for (Fault fault : {Fault::None, Fault::Split}) {
        sim.ClearFaults();
        sim.SetFault("", fault, 50);
        EXPECT_EQ(Download("http://files.elsewhere.example/files/pkg", 0), 0);
        EXPECT_EQ(ReadAll(dir + "pkg.tgz"), bytes);
    }
    const auto request = sim.Requests().back();
    EXPECT_EQ(request.head, "GET http://files.elsewhere.example/files/pkg HTTP/1.0\r\nUser-Agent: Mozilla/4.0 "
                            "(compatible; MSIE 5.00; Windows 98)\r\nAccept: */*\r\nHost:" + sim.HostText() + "\r\n");
}

TEST_F(DownloadTest, FailuresAndTheirCodes)
{
    sim.SetFile("/files/logo.png", "PNGDATA");
    EXPECT_EQ(CodeValue(client.HttpDownloadFile(BackendEndpoint{sim.HostText()}, "", "/files/logo.png", 2, "", 10)),
              101);
    EXPECT_EQ(Download(""), 101);
    EXPECT_EQ(Download("/files/.."), 103);
    // The refused name is known only after the request went out; the simulator's thread takes it in its time.
    EXPECT_TRUE(WaitForRequests(sim, 1));

    QFile stale(dir + "logo.png");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("old content");
    stale.close();
    sim.SetFault("/files/logo.png", Fault::HttpStatus, 404, 1);
    EXPECT_EQ(Download("/files/logo.png"), 100);
    EXPECT_EQ(ReadAll(dir + "logo.png"), QByteArray());

    // An early close returns at once instead of running to the time limit.
    sim.SetFault("/files/logo.png", Fault::CloseEarly, 0, 1);
    const auto start = SteadyClock::now();
    EXPECT_EQ(Download("/files/logo.png"), 8);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count(), 6000);

    // Nothing beyond the time limit.
    sim.SetFault("/files/logo.png", Fault::NoAnswer, 0, 1);
    EXPECT_EQ(Download("/files/logo.png", 2, "", 1), 7);

    EXPECT_EQ(Download("/files/logo.png"), 0);
    EXPECT_EQ(ReadAll(dir + "logo.png"), QByteArray("PNGDATA"));
}

TEST_F(DownloadTest, UrlStaysOneRequestLine)
{
    // The URL comes from a back-end reply: its spaces and line breaks must not end the line.
    Download("/files/logo png\r\nX-Injected: 1");
    ASSERT_EQ(sim.RequestCount(), 1u);
    const auto request = sim.Requests().back();
    EXPECT_EQ(request.requestLine, "GET /files/logo%20png%0D%0AX-Injected:%201 HTTP/1.0");
    EXPECT_EQ(request.Header("X-Injected"), "");
}

TEST(DownloadRawTest, BytesPastContentLengthAreNotStored)
{
    TempAppDir app;
    RawHttpServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhel"}, {"lo-and-more", 50}},
                         RawHttpServer::End::Hold);
    HttpClient client;
    const QString dir = app.path() + "/";
    EXPECT_EQ(CodeValue(client.HttpDownloadFile(BackendEndpoint{"127.0.0.1:" + std::to_string(server.Port())},
                                                dir.toUtf8().constData(), "/x/audio", 1, "pcm", 10)),
              0);
    EXPECT_EQ(ReadAll(dir + "audio.pcm"), QByteArray("hello"));
    EXPECT_EQ(server.LastRequest().substr(0, 25), "GET /x/audio HTTP/1.0\r\nUs");
}

TEST(DownloadRawTest, RepliesOfAnyHttp11Server)
{
    const std::string body(70000, 'd');
    struct Case {
        const char* name;
        std::vector<RawHttpServer::Piece> pieces;
        RawHttpServer::End end;
        int code;
        QByteArray file;
    } cases[] = {
        {"length named in lower case", {{"HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nhello"}}, RawHttpServer::End::Hold, 0,
         "hello"},
        {"body ended by the close", {{"HTTP/1.0 200 OK\r\nServer: raw\r\n\r\n" + body.substr(0, 1000)}, {body.substr(1000), 50}},
         RawHttpServer::End::Close, 0, QByteArray::fromStdString(body)},
        {"closed before Content-Length bytes", {{"HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 9\r\n\r\nhello"}},
         RawHttpServer::End::Close, 8, "hello"},
        {"a transfer coding is no body to take",
         {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"}}, RawHttpServer::End::Close, 8,
         "5\r\nhello\r\n0\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempAppDir app;
        RawHttpServer server(c.pieces, c.end);
        HttpClient client;
        const QString dir = app.path() + "/";
        // A reply these rules miss would run to the 10 s limit and end in 7.
        EXPECT_EQ(CodeValue(client.HttpDownloadFile(BackendEndpoint{"127.0.0.1:" + std::to_string(server.Port())},
                                                    dir.toUtf8().constData(), "/x/logo.png", 2, "", 10)),
                  c.code);
        EXPECT_EQ(ReadAll(dir + "logo.png"), c.file);
    }
}
