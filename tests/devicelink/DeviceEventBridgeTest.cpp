#include "AppGlobals.h"
#include "AudioPlayer.h"
#include "AuxResponseInfo.h"
#include "DeviceEventBridge.h"
#include "FuncLib.h"
#include "PlayerStatusInfo.h"
#include "SdkCallLog.h"
#include "VantrelEvent.h"
#include "sim/SimLan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

namespace {

// Stands in for the main window: keeps what the events carried.
class Receiver : public QObject {
public:
    struct Got {
        int code = 0;
        int64_t handle = 0;
        int64_t state = 0;
        bool hasData = false;
        QByteArray data;
        QObject* receiver = nullptr;
        bool onGuiThread = false;
        PlayerStatusInfo player;
    };
    QVector<Got> got;

protected:
    void customEvent(QEvent* event) override
    {
        auto* e = static_cast<VantrelEvent*>(event);
        Got g;
        g.code = int(e->code);
        g.onGuiThread = QThread::currentThread() == qApp->thread();
        if (e->code == WM_DEV_STATUS || e->code == WM_DEV_RESPONSE) {
            const AuxResponseInfo* info = e->Record<AuxResponsePtr>();
            g.handle = info->lLoginID;
            g.state = info->lStateCode;
            g.hasData = info->pResponse != nullptr;
            if (info->pResponse)
                g.data = info->lStateCode == 23 && e->code == WM_DEV_STATUS ? QByteArray(info->pResponse, 168)
                                                                            : QByteArray(info->pResponse);
            g.receiver = info->receiver;
        } else if (e->code == WM_PLAYER_STATUS) {
            g.player = *e->Record<std::unique_ptr<PlayerStatusInfo>>();
        }
        got.push_back(g);
    }
};

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimProfile profile;
        QString error;
        ASSERT_TRUE(SimProfile::Parse(R"({
          "adapter": {"address": "127.0.0.5", "netmask": "255.255.255.0"},
          "cameras": [{"serial": "VTB0001", "address": "127.0.0.21", "loginDelayMs": 5, "replyDelayMs": 5,
                       "replies": {"1012": {"status": 255, "text": "<RESPONSE_PARAM\r\n/>"}}}]})",
                                      &profile, &error))
            << qPrintable(error);
        SimLan::Instance().LoadProfile(profile);
        bridge.reset(new DeviceEventBridge(&receiver));
        DeviceEventBridge::SetInstance(bridge.get());
    }

    void TearDown() override
    {
        bridge.reset();
        EXPECT_EQ(DeviceEventBridge::Instance(), nullptr);
        SimLan::Instance().Reset();
        QCoreApplication::processEvents();
    }

    int64_t LoginAndWait()
    {
        const int64_t h = FC_Loc_Login("127.0.0.21", 3000, "admin", "580347", 0);
        EXPECT_TRUE(PumpUntil([&] { return Find(WM_DEV_STATUS, 4) != nullptr; }, 10000));
        return h;
    }

    const Receiver::Got* Find(int code, int64_t state)
    {
        for (const Receiver::Got& g : receiver.got) {
            if (g.code == code && g.state == state)
                return &g;
        }
        return nullptr;
    }

    QStringList CallNames(int from)
    {
        QStringList names;
        const QVector<SdkCall> calls = SdkCallLog::Instance().Calls();
        for (int i = from; i < calls.size(); ++i)
            names << calls[i].function + "(" + calls[i].arguments + ")";
        return names;
    }

    Receiver receiver;
    std::unique_ptr<DeviceEventBridge> bridge;
};

TEST_F(BridgeTest, StartAndStopCallTheLibrariesInOrder)
{
    SdkCallLog::Instance().Clear();
    EXPECT_EQ(bridge->Start(), 0);
    EXPECT_EQ(CallNames(0), QStringList({"FC_Loc_SetDebugCallback(1,100)", "FC_Loc_SetWorkMode(6)", "PC_Init()",
                                         "FC_Loc_SetStatusCallback(1)", "FC_Loc_SetMessageCallback(1)",
                                         "FC_Loc_SetReconnect(1)"}));
    const int before = SdkCallLog::Instance().Calls().size();
    EXPECT_EQ(bridge->Start(), 0);   // once per process
    EXPECT_EQ(SdkCallLog::Instance().Calls().size(), before);
    EXPECT_NE(bridge->Audio(), nullptr);
    EXPECT_EQ(bridge->Audio()->Identity(), 1);
    bridge->Stop();
    EXPECT_EQ(CallNames(before), QStringList({"FC_Loc_SetStatusCallback(0)", "FC_Loc_SetMessageCallback(0)",
                                              "FC_Loc_Cleanup()", "PC_Cleanup()"}));
    EXPECT_EQ(bridge->Audio(), nullptr);
}

// A bridge stopped before it was started stays stopped: a later Start would
// register callbacks that its destructor (Stop being done) never clears.
TEST_F(BridgeTest, StartAfterStopRegistersNothing)
{
    bridge->Stop();
    SdkCallLog::Instance().Clear();
    bridge->Start();
    EXPECT_TRUE(SdkCallLog::Instance().CallsOf("FC_Loc_SetStatusCallback").isEmpty());
    EXPECT_TRUE(SdkCallLog::Instance().CallsOf("FC_Loc_SetMessageCallback").isEmpty());
}

TEST_F(BridgeTest, StatusAndRepliesArriveAsEventsOnTheGuiThread)
{
    ASSERT_EQ(bridge->Start(), 0);
    const int64_t handle = LoginAndWait();
    ASSERT_TRUE(PumpUntil([&] { return Find(WM_DEV_STATUS, 23) != nullptr; }, 10000));
    const Receiver::Got* link = Find(WM_DEV_STATUS, 23);
    ASSERT_EQ(link->data.size(), 168);
    int64_t linkHandle = 0;
    memcpy(&linkHandle, link->data.constData(), 8);
    EXPECT_EQ(linkHandle, handle);
    EXPECT_FALSE(Find(WM_DEV_STATUS, 4)->hasData);

    ASSERT_EQ(FC_Loc_IoTQuery(handle, 1019, 0, ""), 0);
    ASSERT_EQ(FC_Loc_IoTQuery(handle, 1012, 0, ""), 0);
    ASSERT_TRUE(PumpUntil([&] { return receiver.got.size() >= 4; }, 10000));
    const Receiver::Got* sn = Find(WM_DEV_RESPONSE, 1019);
    ASSERT_NE(sn, nullptr);
    EXPECT_EQ(sn->handle, handle);
    EXPECT_TRUE(sn->data.contains("SerialNumber=\"VTB0001\""));
    // Status byte 0xFF on command 1012: low 24 bits the code, high byte -1.
    const Receiver::Got* version = nullptr;
    for (const Receiver::Got& g : receiver.got) {
        if (g.code == WM_DEV_RESPONSE && AuxMessageCode(g.state) == 1012)
            version = &g;
    }
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(AuxStatusByte(version->state), -1);
    EXPECT_LT(version->state, 0);   // the 32-bit code arrives sign-extended
    for (const Receiver::Got& g : receiver.got) {
        EXPECT_TRUE(g.onGuiThread);
        EXPECT_EQ(g.receiver, &receiver);
    }
}

TEST_F(BridgeTest, CallbacksHandOverTheirOwnCopyOfBinaryRecordsAndTexts)
{
    const char record[168] = {1, 0, 0, 0, 0, 0, 0, 0, 7};   // binary, with NULs inside
    struct Case {
        int type;
        const char* data;
        bool hasData;
        QByteArray copy;
    };
    const Case cases[] = {
        {23, record, true, QByteArray(record, 168)},
        {23, nullptr, false, QByteArray()},   // nothing to copy: a null pResponse
        {6, "audiotype=0,samplerate=8000,bits=16,channels=1,", true, "audiotype=0,samplerate=8000,bits=16,channels=1,"},
        {5, nullptr, false, QByteArray()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceEventBridge::OnSdkMessage(42, c.type, c.data, &receiver), 0);
    EXPECT_EQ(DeviceEventBridge::OnSdkNotify(42, 1019, nullptr, &receiver), 0);
    EXPECT_EQ(DeviceEventBridge::OnSdkMessage(42, 4, "x", nullptr), 0);   // no receiver: dropped
    EXPECT_EQ(DeviceEventBridge::OnSdkNotify(42, 1019, "x", nullptr), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(receiver.got.size(), 5);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(receiver.got[i].state, cases[i].type);
        EXPECT_EQ(receiver.got[i].hasData, cases[i].hasData) << i;
        EXPECT_EQ(receiver.got[i].data, cases[i].copy) << i;
    }
    EXPECT_EQ(receiver.got[4].code, WM_DEV_RESPONSE);
    EXPECT_TRUE(receiver.got[4].hasData);   // a null reply arrives as an empty text
    EXPECT_TRUE(receiver.got[4].data.isEmpty());
}

TEST_F(BridgeTest, PlayerStatusGoesToTheMainWindowForTheDevicesCurrentPortOnly)
{
    struct Device {
        int64_t playId;
    } device{7};
    DeviceEventBridge::SetPlayIdReader([](const void* d) { return static_cast<const Device*>(d)->playId; });
    QObject* previous = MainWindowInstance;
    MainWindowInstance = &receiver;
    EXPECT_EQ(DeviceEventBridge::OnPlayStreamEvent(7, 10, 123, 4, nullptr), -1);
    EXPECT_EQ(DeviceEventBridge::OnPlayStreamEvent(8, 10, 123, 4, &device), -2);
    EXPECT_EQ(DeviceEventBridge::OnPlayStreamEvent(7, 10, 123, 4, &device), 0);
    MainWindowInstance = nullptr;
    EXPECT_EQ(DeviceEventBridge::OnPlayStreamEvent(7, 9, 0, 0, &device), 0);   // no main window: dropped
    MainWindowInstance = previous;
    DeviceEventBridge::SetPlayIdReader(nullptr);
    QCoreApplication::processEvents();
    ASSERT_EQ(receiver.got.size(), 1);
    const PlayerStatusInfo& p = receiver.got[0].player;
    EXPECT_EQ(p.nPort, 7);
    EXPECT_EQ(p.nEvent, 10);
    EXPECT_EQ(p.lValue, 123);
    EXPECT_EQ(p.nValue2, 4);
    EXPECT_EQ(p.nReserved, 0);
    EXPECT_EQ(p.pDevice, &device);
}

// The live-play shortcuts reach the bridge's player as identity 1: a start
// from a library thread runs queued on the GUI thread; after Stop the player
// is out of reach even if it would take audio.
TEST_F(BridgeTest, AudioShortcutsDriveThePlayerUntilStop)
{
    AudioPlayer* audio = bridge->Audio();
    ASSERT_NE(audio, nullptr);
    audio->InitAudioFormat(8000, 16, 1);
    std::thread([] { DeviceEventBridge::StartAudioPlay(); }).join();
    EXPECT_TRUE(audio->IsStopped());
    QCoreApplication::processEvents();
    EXPECT_FALSE(audio->IsStopped());

    const char pcm[4] = {1, 2, 3, 4};
    PC_FrameInfo frame{};
    frame.nType = PC_FRAME_AUDIO;
    frame.nAudioLength = sizeof pcm;
    frame.pY = reinterpret_cast<const uint8_t*>(pcm);
    std::thread([&] { DeviceEventBridge::PlayAudioFrame(&frame); }).join();
    EXPECT_EQ(audio->PendingBytes(), 4);
    DeviceEventBridge::StopAudioPlay();
    EXPECT_TRUE(audio->IsStopped());
    EXPECT_EQ(audio->PendingBytes(), 0);

    bridge->Stop();
    EXPECT_EQ(bridge->Audio(), nullptr);
    audio->onStartPlay(1);   // the player itself would take audio again
    DeviceEventBridge::PlayAudioFrame(&frame);
    DeviceEventBridge::StartAudioPlay();
    QCoreApplication::processEvents();
    EXPECT_EQ(audio->PendingBytes(), 0);
}

// The decode thread feeds audio while the GUI thread stops the bridge: the
// player is reached only under the holder's lock, so a frame lands before the
// stop empties the buffers, or is refused after it.
TEST_F(BridgeTest, AudioFedFromTheDecodeThreadMeetsTheStopUnderTheHoldersLock)
{
    AudioPlayer* audio = bridge->Audio();
    ASSERT_NE(audio, nullptr);
    audio->InitAudioFormat(8000, 16, 1);
    audio->onStartPlay(DeviceEventBridge::kAudioIdentity);
    const char pcm[4] = {1, 2, 3, 4};
    PC_FrameInfo frame{};
    frame.nType = PC_FRAME_AUDIO;
    frame.nAudioLength = sizeof pcm;
    frame.pY = reinterpret_cast<const uint8_t*>(pcm);
    std::atomic<bool> fed{false};
    std::atomic<bool> done{false};
    std::thread decode([&] {
        while (!done.load()) {
            DeviceEventBridge::PlayAudioFrame(&frame);
            fed = true;
        }
    });
    while (!fed.load())
        std::this_thread::yield();
    bridge->Stop();
    done = true;
    decode.join();
    EXPECT_EQ(bridge->Audio(), nullptr);
    EXPECT_EQ(audio->PendingBytes(), 0);
}

TEST_F(BridgeTest, NoEventIsPostedAfterStop)
{
    SimFaults lost;
    lost.lostConnectionAfterMs = 400;
    SimLan::Instance().SetFaults("VTB0001", lost);
    ASSERT_EQ(bridge->Start(), 0);
    const int64_t handle = LoginAndWait();
    for (int i = 0; i < 20; ++i)
        FC_Loc_IoTSystemControl(handle, 1105, 0, nullptr);
    bridge->Stop();
    QCoreApplication::processEvents();
    const int atStop = receiver.got.size();
    QThread::msleep(500);   // the replies and the lost link would have come by now
    QCoreApplication::processEvents();
    EXPECT_EQ(receiver.got.size(), atStop);
    EXPECT_EQ(Find(WM_DEV_STATUS, 2), nullptr);
}

}  // namespace
