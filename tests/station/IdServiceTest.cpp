// The ID-service thread: the 40 bytes a device receives on port 3030, sent
// from the station's first address, port 3031; the socket's life.
#include "ControllerFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TempAppDir* ControllerTest::s_dir = nullptr;

namespace {

// A UDP socket bound to ip:port without address reuse; fd -1 when the port is taken.
struct BoundSocket {
    BoundSocket(const char* ip, uint16_t port)
    {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, ip, &a.sin_addr);
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~BoundSocket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // One datagram within timeoutMs, with its sender; empty on time-out.
    QByteArray Receive(int timeoutMs, sockaddr_in* from = nullptr) const
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) != 1)
            return QByteArray();
        char buffer[256];
        sockaddr_in sender{};
        socklen_t length = sizeof(sender);
        const ssize_t n = ::recvfrom(fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&sender), &length);
        if (from)
            *from = sender;
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
    }
    int fd = -1;
};

const QByteArray kDatagram = QByteArray::fromHex("dcfeefcd"
                                                 "01000000"
                                                 "05000000"
                                                 "18000000"
                                                 "10000000") +
                             QByteArray(20, '\0');

// Addresses of this test alone, so that no other test program's datagram or
// socket on the machine meets ours.
constexpr char kStation[] = "127.30.30.5";
constexpr char kDevice[] = "127.30.30.21";

class IdServiceTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        HostAdapters::SetOverride({{"eth0", kStation, "255.255.255.0", QByteArray("\x02\x11\x22\x33\x44\x55", 6)}});
        WriteSystemConfig([](SystemConfig& c) { c.iTestMode = 1; });
    }
    void TearDown() override
    {
        ControllerTest::TearDown();
        WriteSystemConfig([](SystemConfig& c) { c.iTestMode = 0; });
    }
};

TEST_F(IdServiceTest, TheDeviceReceivesFortyBytesFromTheStationsFirstAddress)
{
    BoundSocket device(kDevice, 3030);
    if (device.fd < 0)
        GTEST_SKIP() << kDevice << ":3030 is taken by another program";
    Make();
    ASSERT_TRUE(Peer(*widget).Workers().IsAlive(StationWorkers::IdService));
    EXPECT_TRUE(Peer(*widget).PostIdServiceRequest("not an address"));
    EXPECT_TRUE(Peer(*widget).PostIdServiceRequest(kDevice));
    sockaddr_in from{};
    EXPECT_EQ(device.Receive(10000, &from), kDatagram);
    char sender[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, sender, sizeof(sender));
    EXPECT_STREQ(sender, kStation);
    EXPECT_EQ(ntohs(from.sin_port), 3031);
    EXPECT_EQ(device.Receive(300), QByteArray()) << "the malformed request sent nothing";

    // Requests still queued at the stop are freed; the socket is closed.
    for (int i = 0; i < 20; ++i)
        Peer(*widget).PostIdServiceRequest(kDevice);
    widget.reset();
    BoundSocket after(kStation, 3031);
    EXPECT_GE(after.fd, 0) << "the thread's socket is closed";
}

TEST_F(IdServiceTest, ATakenLocalPortIsLoggedAndTheRequestStillGoesOut)
{
    BoundSocket device(kDevice, 3030);
    BoundSocket blocker(kStation, 3031);
    if (device.fd < 0 || blocker.fd < 0)
        GTEST_SKIP() << "port 3030 or 3031 is taken by another program";
    Make();
    EXPECT_TRUE(Peer(*widget).PostIdServiceRequest(kDevice));
    sockaddr_in from{};
    EXPECT_EQ(device.Receive(10000, &from), kDatagram);
    EXPECT_NE(ntohs(from.sin_port), 3031);
    widget.reset();
    QByteArray logs;
    for (const QFileInfo& file : QDir(s_dir->file("Log_Dir")).entryInfoList({"*.log"}, QDir::Files)) {
        QFile log(file.absoluteFilePath());
        if (log.open(QIODevice::ReadOnly))
            logs += log.readAll();
    }
    EXPECT_TRUE(logs.contains("bind to " + QByteArray(kStation) + ":3031 failed"));
}

}  // namespace
