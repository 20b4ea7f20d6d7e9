// The controller's live-play path on simulated cameras: what opens a stream,
// the media header, stale handles, the tear-down, the channel switches and
// the decoding fallback.
#include "PlayFixture.h"
#include "LeftTopWidgetTestPeer.h"

#include "DeviceEventBridge.h"
#include "sim/SimPlayer.h"

#include <QMessageBox>
#include <QSignalSpy>

namespace {

constexpr char kSn[] = "VT21PL0000000001";
constexpr char kIp[] = "127.0.0.51";

class PlayPathTest : public PlayTestBase {
protected:
    // One camera, logged in and current; typed unless told otherwise.
    void StartCamera(const QByteArray& extra = QByteArray(), bool typed = true, bool twoLenses = false)
    {
        Start({Camera(kSn, kIp, extra)});
        login = LogIn(kIp);
        if (typed)
            KnowType(login, twoLenses);
        widget->Lists().SetCurrentDevice(Record(kSn, kIp, login));
    }

    DevInfo& Current() { return widget->Lists().m_PlayInfo; }

    // Waits until the current device's port plays and frames come.
    bool WaitPlaying()
    {
        return WaitFor([&] { return DevLoad(Current().lFrameCount) > 3 && !CallsOf("PC_Play").isEmpty(); });
    }

    int64_t login = 0;
};

TEST_F(PlayPathTest, WhatIsNotPlayed)
{
    StartCamera();
    struct Case {
        const char* name;
        std::function<void(DevInfo&)> make;
        int result;
    };
    const std::vector<Case> cases = {
        {"already streaming", [](DevInfo& d) { DevStore(d.lRealHandle, int64_t(77)); }, 0},
        {"not logged in", [](DevInfo& d) { d.lLoginStatus = 0; }, 0},
        {"no login", [](DevInfo& d) { d.lUserID = 0; }, 0},
        {"no pane", [](DevInfo& d) { d.widget = nullptr; }, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DevInfo dev = Record(kSn, kIp, login);
        c.make(dev);
        widget->Lists().SetCurrentDevice(dev);
        SdkCallLog::Instance().Clear();
        EXPECT_EQ(widget->playVideo(&Current()), c.result);
        EXPECT_TRUE(CallsOf("PC_GetFreePort").isEmpty());
        EXPECT_TRUE(CallsOf("FC_Loc_RealPlayEx").isEmpty());
    }
    EXPECT_EQ(widget->playVideo(nullptr), -1);
    EXPECT_EQ(widget->stopPlay(nullptr), -1);
}

TEST_F(PlayPathTest, TheHeaderOpensThePortAndTheStopTearsItDownInOrder)
{
    StartCamera();
    QSignalSpy gunBall(widget.get(), &LeftTopWidget::signalGunBallDevice);
    ASSERT_EQ(widget->playVideo(&Current()), 0);
    const int64_t handle = DevLoad(Current().lRealHandle);
    const int port = int(DevLoad(Current().lPlayID));
    ASSERT_GT(handle, 0);
    ASSERT_GT(port, 0);
    EXPECT_EQ(CallsOf("FC_Loc_RealPlayEx"),
              QStringList{QStringLiteral("%1,vlx://%2,admin,***,0,-1").arg(login).arg(kIp)});
    EXPECT_TRUE(Peer(*widget).m_pVideoTimer->IsArmed()) << "the picture is awaited";
    ASSERT_TRUE(WaitPlaying());
    const QString p = QString::number(port);
    QStringList opening;
    for (const SdkCall& call : SdkCallLog::Instance().Calls()) {
        if (call.function.startsWith("PC_") && call.function != "PC_GetFreePort")
            opening << call.function + "(" + call.arguments + ")";
    }
    const QStringList expected{"PC_OpenStream(" + p + ",536,0,40)", "PC_OpenStream(" + p + ",276,1,40)",
                               "PC_SetHardwareDecode(" + p + ",2)", "PC_SetDecodeThreads(" + p + ",1)",
                               "PC_SetStatusCallback(" + p + ",1)", "PC_SetDisplayCallback(" + p + ",1)",
                               "PC_SetPixelLayout(" + p + ",2)",   "PC_Play(" + p + ",0)"};
    EXPECT_EQ(opening.mid(0, expected.size()), expected);

    SdkCallLog::Instance().Clear();
    EXPECT_EQ(widget->stopPlay(&Current()), 0);
    QStringList closing;
    for (const SdkCall& call : SdkCallLog::Instance().Calls())
        closing << call.function + "(" + call.arguments + ")";
    EXPECT_EQ(closing, (QStringList{"PC_SetDisplayCallback(" + p + ",0)", "PC_CloseStream(" + p + ")",
                                    "PC_FreePort(" + p + ")", "FC_Loc_StopRealPlay(" + QString::number(handle) + ")"}));
    EXPECT_EQ(DevLoad(Current().lStopFlag), 1);
    EXPECT_EQ(DevLoad(Current().lPlayID), 0);
    EXPECT_EQ(DevLoad(Current().lRealHandle), 0);
    EXPECT_FALSE(Peer(*widget).m_pVideoTimer->IsArmed());
    QCoreApplication::processEvents();
    ASSERT_GE(gunBall.count(), 1);
    EXPECT_EQ(gunBall.last().at(0).toBool(), false);
    EXPECT_EQ(gunBall.last().at(1).toInt(), -1);
}

TEST_F(PlayPathTest, AfterATearDownNoPacketOrPictureReachesThePort)
{
    StartCamera();
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        DevStore(Current().lStopFlag, int64_t(0));
        ASSERT_EQ(widget->playVideo(&Current()), 0);
        ASSERT_TRUE(WaitFor([&] { return DevLoad(Current().lFrameCount) > round * 2 + 2; }));
        widget->stopPlay(&Current());
        const int64_t frames = DevLoad(Current().lFrameCount);
        const int64_t inputs = SdkCallLog::Instance().VideoInputs();
        Observe(60);
        EXPECT_EQ(DevLoad(Current().lFrameCount), frames);
        EXPECT_EQ(SdkCallLog::Instance().VideoInputs(), inputs);
    }
}

TEST_F(PlayPathTest, AHeaderBeforeTheHandleIsTakenNotDroppedAsStale)
{
    StartCamera(", \"headerBeforeReturn\": true");
    ASSERT_EQ(widget->playVideo(&Current()), 0);
    EXPECT_GT(DevLoad(Current().lRealHandle), 0);
    EXPECT_TRUE(WaitPlaying()) << "the port opened from the early header";
    EXPECT_EQ(CallsOf("PC_OpenStream").size(), 2);
}

TEST_F(PlayPathTest, BadPacketsAreRefusedBeforeThePlayLibrary)
{
    StartCamera();
    ASSERT_EQ(widget->playVideo(&Current()), 0);
    ASSERT_TRUE(WaitPlaying());
    const int64_t handle = DevLoad(Current().lRealHandle);
    FC_PacketInfo packet{};
    packet.pUser = &Current();
    const QByteArray header(FC_MEDIA_HEADER_SIZE, '\0');
    SdkCallLog::Instance().Clear();
    const int64_t frames = DevLoad(Current().lFrameCount);
    struct Case {
        const char* name;
        int64_t handle;
        int type;
        const char* buffer;
        int size;
        const FC_PacketInfo* packet;
        int result;
    };
    const std::vector<Case> cases = {
        {"no record", handle, FC_STREAM_VIDEO, "x", 1, nullptr, -1},
        {"stale handle", handle + 1000, FC_STREAM_VIDEO, "x", 1, &packet, -2},
        {"no buffer", handle, FC_STREAM_HEADER, nullptr, FC_MEDIA_HEADER_SIZE, &packet, -3},
        {"short header", handle, FC_STREAM_HEADER, header.constData(), FC_MEDIA_HEADER_SIZE - 1, &packet, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LeftTopWidget::RealDataCallBackFunc(c.handle, c.type, c.buffer, c.size, c.packet), c.result);
    }
    EXPECT_TRUE(CallsOf("PC_OpenStream").isEmpty());
    EXPECT_LE(DevLoad(Current().lFrameCount) - frames, 40) << "only the camera's own packets counted";
    // A time stamp no integer holds is fed as 0, never converted out of range.
    packet.dTimeStamp = 1e300;
    const int64_t inputs = SdkCallLog::Instance().VideoInputs();
    EXPECT_EQ(LeftTopWidget::RealDataCallBackFunc(handle, FC_STREAM_VIDEO, "x", 1, &packet), 0);
    EXPECT_GT(SdkCallLog::Instance().VideoInputs(), inputs);

    PC_FrameInfo frame{};
    EXPECT_EQ(LeftTopWidget::DecDataCallBackFunc(int(DevLoad(Current().lPlayID)) + 1, &frame, &Current()), -2);
    EXPECT_EQ(LeftTopWidget::DecDataCallBackFunc(1, nullptr, &Current()), -1);
    EXPECT_EQ(LeftTopWidget::DecDataCallBackFunc(1, &frame, nullptr), -1);
}

TEST_F(PlayPathTest, AChannelSwitchPlaysTheOtherLensAndTheOldHandleIsStale)
{
    StartCamera(", \"feature\": 1", true, true);
    QSignalSpy gunBall(widget.get(), &LeftTopWidget::signalGunBallDevice);
    ASSERT_EQ(widget->playVideo(&Current()), 0);
    // A two-lens device without a chosen lens plays its second lens.
    EXPECT_EQ(Peer(*widget).m_lCurrentChannel.load(), 1);
    EXPECT_TRUE(CallsOf("FC_Loc_RealPlayEx").last().endsWith(",1"));
    QCoreApplication::processEvents();
    ASSERT_GE(gunBall.count(), 1);
    EXPECT_EQ(gunBall.last().at(0).toBool(), true);
    EXPECT_EQ(gunBall.last().at(1).toInt(), 1);
    ASSERT_TRUE(WaitPlaying());

    for (bool scriptRuns : {false, true}) {
        SCOPED_TRACE(scriptRuns);
        Peer(*widget).m_bManalAutoTesting = scriptRuns;
        ClearEvents();
        const int64_t old = DevLoad(Current().lRealHandle);
        const int channel = int(1 - Peer(*widget).m_lCurrentChannel.load());
        EXPECT_EQ(widget->SwitchChannel(channel), 0);
        EXPECT_TRUE(CallsOf("FC_Loc_RealPlayEx").last().endsWith("," + QString::number(channel)));
        EXPECT_NE(DevLoad(Current().lRealHandle), old);
        EXPECT_EQ(DevLoad(Current().lStopFlag), 0) << "a switch does not end the device's play";
        QCoreApplication::sendPostedEvents(&host);
        int disables = 0;
        for (size_t i = 0; i < host.events.size(); ++i) {
            if (host.events[i] == std::make_pair(int(WM_MANUAL_ITEM_ENABLE), qint64(32)) && host.secondWords[i] == 0)
                ++disables;
        }
        const bool disabled = disables == 1;
        EXPECT_EQ(disabled, !scriptRuns) << "a script run keeps the switch control as it is";

        FC_PacketInfo packet{};
        packet.pUser = &Current();
        const int64_t frames = DevLoad(Current().lFrameCount);
        const int64_t inputs = SdkCallLog::Instance().VideoInputs();
        EXPECT_EQ(LeftTopWidget::RealDataCallBackFunc(old, FC_STREAM_VIDEO, "x", 1, &packet), -2);
        EXPECT_LE(SdkCallLog::Instance().VideoInputs() - inputs, 5) << "none of ours, at most the new stream's";
        EXPECT_LE(DevLoad(Current().lFrameCount) - frames, 5);
        ASSERT_TRUE(WaitFor([&] { return DevLoad(Current().lFrameCount) > frames + 3; }));
    }
    Peer(*widget).m_bManalAutoTesting = false;
}

TEST_F(PlayPathTest, ALateTypeReplyMovesAStreamingTwoLensDeviceToItsSecondLens)
{
    StartCamera(", \"feature\": 1", false);
    ASSERT_EQ(widget->playVideo(&Current()), 0);
    EXPECT_TRUE(CallsOf("FC_Loc_RealPlayEx").last().endsWith(",-1"));
    ASSERT_TRUE(WaitPlaying());
    const int64_t first = DevLoad(Current().lRealHandle);
    ClearEvents();

    KnowType(login, true);
    DevTypeInfo type;
    ASSERT_TRUE(widget->Lists().LookupDevType(login, &type));
    widget->Lists().SetCurrentDevType(type);
    Peer(*widget).SwitchToSecondChannel();
    EXPECT_EQ(Peer(*widget).m_lCurrentChannel.load(), 1);
    EXPECT_TRUE(CallsOf("FC_Loc_RealPlayEx").last().endsWith(",1"));
    EXPECT_EQ(CallsOf("FC_Loc_StopRealPlay"), QStringList{QString::number(first)});
    QCoreApplication::sendPostedEvents(&host);
    EXPECT_EQ(host.events.front(), std::make_pair(int(WM_MANUAL_ITEM_ENABLE), qint64(32)));
    EXPECT_EQ(host.secondWords.front(), 0);

    // Chosen once: a second call changes nothing.
    SdkCallLog::Instance().Clear();
    Peer(*widget).SwitchToSecondChannel();
    EXPECT_TRUE(CallsOf("FC_Loc_RealPlayEx").isEmpty());
}

TEST_F(PlayPathTest, DecodeFailuresShowTheHintAndTurnHardwareDecodingOff)
{
    StartCamera();
    ASSERT_EQ(widget->playVideo(&Current()), 0);
    ASSERT_TRUE(WaitPlaying());
    const int port = int(DevLoad(Current().lPlayID));
    auto* hint = Peer(*widget).m_pHintBox;
    struct Case {
        int event;
        const char* text;     // null: nothing happens
    };
    const std::vector<Case> cases = {
        {10, "Hardware decode pixmap format negotiation failed, recover software decode"},
        {10, "Hardware decode pixmap format negotiation failed, recover software decode"},
        {9, "The performance of the current graphics card may be too low, hardware acceleration has been disabled, "
            "please restart the test"},
        {11, nullptr},
    };
    int fallbacks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        hint->hide();
        host.playerEvents.clear();
        ASSERT_EQ(SimPlayer::RaiseEvent(port, c.event), 0);
        ASSERT_TRUE(WaitFor([&] { return !host.playerEvents.empty(); }));
        PlayerStatusInfo* info = host.playerEvents.front().get();
        EXPECT_EQ(info->pDevice, &Current());
        widget->onPcStatusEvent(info);
        if (c.text) {
            ++fallbacks;
            EXPECT_TRUE(hint->isVisible());
            EXPECT_EQ(hint->windowTitle(), "Hint");
            EXPECT_EQ(hint->text(), c.text);
        } else {
            EXPECT_FALSE(hint->isVisible());
        }
        EXPECT_EQ(host.decodeModes, std::vector<int>(size_t(fallbacks), 0));
    }
    hint->hide();
    // An event of a port the record no longer holds is not passed on; nor one without a device.
    EXPECT_EQ(DeviceEventBridge::OnPlayStreamEvent(port + 1, 10, 0, 0, &Current()), -2);
    PlayerStatusInfo orphan;
    orphan.nEvent = 10;
    widget->onPcStatusEvent(&orphan);
    widget->onPcStatusEvent(nullptr);
    EXPECT_EQ(host.decodeModes.size(), size_t(fallbacks));
}

}  // namespace
