// The bridge's live-play path against the library stand-ins, with packets and
// decoded frames made here: header handling, slot look-ups, plane layout,
// tear-down order and what reaches the log.
#include "DeviceEntry.h"
#include "LivePlayPath.h"
#include "OpenglRender.h"
#include "PlayerStatusInfo.h"
#include "TestPictures.h"
#include "VideoForm.h"

#include "AppGlobals.h"
#include "FuncLib.h"
#include "Log.h"
#include "PlayCtrl.h"
#include "SdkCallLog.h"
#include "TempAppDir.h"
#include "VantrelEvent.h"
#include "sim/SimLan.h"
#include "sim/SimPlayer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

constexpr int64_t kHandle = 7001;

int g_audioFrames = 0;
void CountAudio(const PC_FrameInfo*)
{
    ++g_audioFrames;
}
int g_audioStops = 0;
void CountStop()
{
    ++g_audioStops;
}

QStringList CallNames()
{
    QStringList names;
    for (const SdkCall& call : SdkCallLog::Instance().Calls())
        names << call.function;
    return names;
}

class LivePlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimLan::Instance().Reset();
        PC_Init();
        render = std::make_unique<OpenglRender>();
        render->resize(96, 72);
        render->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(render.get()));
        render->grabFramebuffer();
        ASSERT_TRUE(render->IsInitialised());
        render->SetStopRender(false);
        g_audioFrames = 0;
        g_audioStops = 0;
        LivePlayPath::SetAudioOutput(&CountAudio, &CountStop);
        SdkCallLog::Instance().Clear();
    }

    void TearDown() override
    {
        LivePlayPath::SetAudioOutput(nullptr, nullptr);
        for (DeviceEntry::Slot& slot : entry.channels) {
            if (slot.lPlayPort > 0) {
                PC_SetDisplayCallback(slot.lPlayPort, nullptr, nullptr);
                PC_CloseStream(slot.lPlayPort);
                PC_FreePort(slot.lPlayPort);
            }
        }
        render.reset();
    }

    // Slot 0 streaming under kHandle into the renderer, with a port of its own.
    void StreamingSlot()
    {
        DeviceEntry::Slot& slot = entry.channels[0];
        slot.lRealHandle = kHandle;
        slot.lPlayPort = PC_GetFreePort();
        slot.renderers.push_back(render.get());
        packet.pUser = &entry;
        SdkCallLog::Instance().Clear();
    }

    static QByteArray Header(bool video, bool audio)
    {
        FC_MediaHeader header{};
        std::memcpy(header.szMagic, "VLXH", 4);
        header.nVersion = 1;
        header.bHaveVideo = video ? 1 : 0;
        header.bHaveAudio = audio ? 1 : 0;
        header.nVideoCodec = FC_VIDEO_CODEC_SYNTH;
        header.nVideoWidth = 64;
        header.nVideoHeight = 48;
        header.nVideoFps = 25;
        header.nAudioCodec = FC_AUDIO_CODEC_PCM;
        header.nSampleRate = 8000;
        header.nBitsPerSample = 16;
        header.nChannels = 1;
        return QByteArray(reinterpret_cast<const char*>(&header), sizeof header);
    }

    TempAppDir appDir;
    std::unique_ptr<OpenglRender> render;
    DeviceEntry entry;
    FC_PacketInfo packet{};
};

TEST_F(LivePlayTest, ShortOrMissingMediaHeaderIsIgnored)
{
    StreamingSlot();
    const QByteArray header = Header(true, true);
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), 1359, &packet), 0);
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, nullptr, 1360, &packet), 0);
    EXPECT_TRUE(CallNames().isEmpty()) << CallNames().join(' ').toStdString();
    EXPECT_FALSE(entry.channels[0].bPlayerStarted);
    EXPECT_FALSE(entry.bHaveAudio);
}

TEST_F(LivePlayTest, AudioOnlyHeaderOpensTheAudioPartAndStartsThePort)
{
    StreamingSlot();
    const int port = entry.channels[0].lPlayPort;
    const QByteArray header = Header(false, true);
    ASSERT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), header.size(), &packet), 0);
    const QVector<SdkCall> opens = SdkCallLog::Instance().CallsOf("PC_OpenStream");
    ASSERT_EQ(opens.size(), 1);
    EXPECT_EQ(opens[0].arguments, QString("%1,276,1,40").arg(port));
    EXPECT_EQ(CallNames(), QStringList({"PC_OpenStream", "PC_SetHardwareDecode", "PC_SetDecodeThreads",
                                        "PC_SetStatusCallback", "PC_SetDisplayCallback", "PC_Play"}));
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("PC_Play")[0].arguments, QString("%1,0").arg(port));
    EXPECT_TRUE(entry.channels[0].bPlayerStarted);
    EXPECT_TRUE(entry.bHaveAudio);
    EXPECT_EQ(entry.nAudioSampleRate, 8000);
    EXPECT_EQ(entry.nAudioBitsPerSample, 16);
    EXPECT_EQ(entry.nAudioChannels, 1);
    EXPECT_EQ(std::memcmp(&entry.channels[0].header, header.constData(), 1360), 0);
}

TEST_F(LivePlayTest, VideoHeaderOpensTheVideoPartWithTheDecodeModes)
{
    StreamingSlot();
    const int port = entry.channels[0].lPlayPort;
    const QByteArray header = Header(true, false);
    ASSERT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), header.size(), &packet), 0);
    const QVector<SdkCall> opens = SdkCallLog::Instance().CallsOf("PC_OpenStream");
    ASSERT_EQ(opens.size(), 1);
    EXPECT_EQ(opens[0].arguments, QString("%1,536,0,40").arg(port));
    // Modes 0 (software, one thread) map to the library's 2 and 1.
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("PC_SetHardwareDecode")[0].arguments, QString("%1,2").arg(port));
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("PC_SetDecodeThreads")[0].arguments, QString("%1,1").arg(port));
    EXPECT_FALSE(entry.bHaveAudio);
}

TEST_F(LivePlayTest, HeaderBeforeTheRequestReturnedFindsItsSlot)
{
    // The SDK may call back before FC_Loc_RealPlayEx has returned the handle.
    StreamingSlot();
    entry.channels[0].lRealHandle = 0;
    entry.channels[0].bRequesting = true;
    const QByteArray header = Header(true, false);
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), 1360, &packet), 0);
    EXPECT_EQ(entry.channels[0].lRealHandle, kHandle);
    EXPECT_TRUE(entry.channels[0].bPlayerStarted);
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle + 5, FC_STREAM_VIDEO, "x", 1, &packet), -2)
        << "only the one request in progress adopts a handle";
}

TEST_F(LivePlayTest, PacketsForNoSlotOrNoRendererAreRefused)
{
    const QByteArray header = Header(true, true);
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), 1360, nullptr), -1);
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), 1360, &packet), -1);
    StreamingSlot();
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle + 1, FC_STREAM_VIDEO, "x", 1, &packet), -2);
    entry.channels[0].renderers.clear();
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_VIDEO, "x", 1, &packet), -3);
    EXPECT_TRUE(CallNames().isEmpty());
}

TEST_F(LivePlayTest, AudioPacketsAreFedOnlyWhileAudioIsOn)
{
    StreamingSlot();
    packet.dTimeStamp = 1e300;   // no integer holds it: passed as 0, never undefined
    const int64_t before = SdkCallLog::Instance().AudioInputs();
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_AUDIO, "abcd", 4, &packet), 0);
    EXPECT_EQ(SdkCallLog::Instance().AudioInputs(), before);
    entry.channels[0].bAudioOn = true;
    EXPECT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_AUDIO, "abcd", 4, &packet), 0);
    EXPECT_EQ(SdkCallLog::Instance().AudioInputs(), before + 1);
}

struct LayoutCase {
    int yPitch, uPitch, vPitch, layout;
};

TEST(LivePlayLayout, SemiPlanarOnlyWithPositiveYAndUPitchesAndNoVPitch)
{
    const LayoutCase cases[] = {
        {64, 64, 0, FRAME_STYLE_SEMI_PLANAR}, {64, 32, 32, FRAME_STYLE_PLANAR}, {0, 64, 0, FRAME_STYLE_PLANAR},
        {64, 0, 0, FRAME_STYLE_PLANAR},       {64, -1, 0, FRAME_STYLE_PLANAR}, {64, 64, -8, FRAME_STYLE_PLANAR},
    };
    for (const LayoutCase& c : cases) {
        PC_FrameInfo frame{};
        frame.nYPitch = c.yPitch;
        frame.nUPitch = c.uPitch;
        frame.nVPitch = c.vPitch;
        EXPECT_EQ(LivePlayPath::ChooseLayout(frame), c.layout) << c.yPitch << "/" << c.uPitch << "/" << c.vPitch;
    }
}

TEST_F(LivePlayTest, DecodedFramesReachTheRenderersOfTheirPort)
{
    StreamingSlot();
    const int port = entry.channels[0].lPlayPort;
    SolidPicture semi(64, 48, 128, 64, 192, FRAME_STYLE_SEMI_PLANAR);
    QSignalSpy updates(render.get(), &OpenglRender::signalUpdateView);
    EXPECT_EQ(LivePlayPath::OnDecodedFrame(port + 1, semi.Frame(), &entry), -1);
    EXPECT_EQ(LivePlayPath::OnDecodedFrame(port, nullptr, &entry), -1);
    EXPECT_EQ(LivePlayPath::OnDecodedFrame(port, semi.Frame(), nullptr), -1);
    EXPECT_EQ(updates.count(), 0);

    EXPECT_EQ(LivePlayPath::OnDecodedFrame(port, semi.Frame(), &entry), 0);
    EXPECT_TRUE(Near(Centre(render->grabFramebuffer()), 213, 114, 0));
    EXPECT_EQ(render->CurrentYuvStyle(), FRAME_STYLE_SEMI_PLANAR);

    SolidPicture planar(64, 48, 128, 64, 192, FRAME_STYLE_PLANAR);
    EXPECT_EQ(LivePlayPath::OnDecodedFrame(port, planar.Frame(), &entry), 0);
    EXPECT_TRUE(Near(Centre(render->grabFramebuffer()), 213, 114, 0));
    EXPECT_EQ(render->CurrentYuvStyle(), FRAME_STYLE_PLANAR);

    PC_FrameInfo audio{};
    audio.nType = PC_FRAME_AUDIO;
    EXPECT_EQ(LivePlayPath::OnDecodedFrame(port, &audio, &entry), 0);
    EXPECT_EQ(g_audioFrames, 1);
    EXPECT_EQ(updates.count(), 2);
}

// Stands in for the main window: keeps the player status records it receives.
class StatusReceiver : public QObject {
public:
    QVector<PlayerStatusInfo> got;

protected:
    void customEvent(QEvent* event) override
    {
        auto* e = static_cast<VantrelEvent*>(event);
        if (e->code != WM_PLAYER_STATUS)
            return;
        got.push_back(*e->Record<std::unique_ptr<PlayerStatusInfo>>());
    }
};

// A decoding failure on a pane's port reaches the main window as event 1029,
// as one on the controller's own ports does; a status of no slot's port or
// without a device goes nowhere.
TEST_F(LivePlayTest, PlayerStatusOfAPanesPortGoesToTheMainWindow)
{
    StatusReceiver receiver;
    QObject* previous = MainWindowInstance.exchange(&receiver);
    StreamingSlot();
    const int port = entry.channels[0].lPlayPort;
    const QByteArray header = Header(true, false);
    ASSERT_EQ(LivePlayPath::OnStreamData(kHandle, FC_STREAM_HEADER, header.constData(), header.size(), &packet), 0);
    EXPECT_EQ(LivePlayPath::OnPlayerStatus(port + 1, EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED, 0, 0, &entry), -2);
    EXPECT_EQ(LivePlayPath::OnPlayerStatus(port, EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED, 0, 0, nullptr), -1);
    ASSERT_EQ(SimPlayer::RaiseEvent(port, EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED, 7, 8), 0);
    const bool arrived = QTest::qWaitFor([&] { return !receiver.got.isEmpty(); }, 10000);
    MainWindowInstance = previous;
    ASSERT_TRUE(arrived);
    ASSERT_EQ(receiver.got.size(), 1);
    const PlayerStatusInfo& status = receiver.got[0];
    EXPECT_EQ(status.nPort, port);
    EXPECT_EQ(status.nEvent, int(EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED));
    EXPECT_EQ(status.lValue, 7);
    EXPECT_EQ(status.nValue2, 8);
    EXPECT_EQ(status.nReserved, 0);
    EXPECT_EQ(status.pDevice, &entry);
}

TEST_F(LivePlayTest, TearDownWithoutPortStillStopsTheStream)
{
    entry.channels[0].lRealHandle = kHandle;
    entry.channels[0].renderers.push_back(render.get());
    SdkCallLog::Instance().Clear();
    EXPECT_EQ(LivePlayPath::StopRealPlay(&entry, render.get(), 0), 0);
    EXPECT_EQ(CallNames(), QStringList({"FC_Loc_StopRealPlay"}));
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("FC_Loc_StopRealPlay")[0].arguments, QString::number(kHandle));
    EXPECT_EQ(entry.channels[0].lRealHandle, 0);
    EXPECT_TRUE(entry.channels[0].renderers.empty());
}

TEST_F(LivePlayTest, TearDownClosesThePortBeforeStoppingTheStream)
{
    StreamingSlot();
    const int port = entry.channels[0].lPlayPort;
    entry.channels[0].bPlayerStarted = true;
    EXPECT_EQ(LivePlayPath::StopRealPlay(&entry, render.get(), 0), 0);
    EXPECT_EQ(CallNames(), QStringList({"PC_SetDisplayCallback", "PC_CloseStream", "PC_FreePort",
                                        "FC_Loc_StopRealPlay"}));
    EXPECT_EQ(SdkCallLog::Instance().CallsOf("PC_SetDisplayCallback")[0].arguments, QString("%1,0").arg(port));
    EXPECT_EQ(entry.channels[0].lPlayPort, 0);
    EXPECT_FALSE(entry.channels[0].bPlayerStarted);
    EXPECT_FALSE(entry.channels[0].bAttached);
}

TEST_F(LivePlayTest, AnotherRendererKeepsTheStreamButLosesThePort)
{
    StreamingSlot();
    OpenglRender other;
    entry.channels[0].renderers.push_back(&other);
    EXPECT_EQ(LivePlayPath::StopRealPlay(&entry, render.get(), 0), 0);
    EXPECT_EQ(CallNames(), QStringList({"PC_SetDisplayCallback", "PC_CloseStream", "PC_FreePort"}));
    EXPECT_EQ(entry.channels[0].lRealHandle, kHandle);
    ASSERT_EQ(entry.channels[0].renderers.size(), 1u);
    EXPECT_EQ(entry.channels[0].renderers[0], &other);
    entry.channels[0].renderers.clear();
}

TEST_F(LivePlayTest, ArgumentsOutsideTheSlotsAreRefused)
{
    EXPECT_EQ(LivePlayPath::StartRealPlay(nullptr, render.get(), 0), -1);
    EXPECT_EQ(LivePlayPath::StartRealPlay(&entry, nullptr, 0), -1);
    EXPECT_EQ(LivePlayPath::StartRealPlay(&entry, render.get(), 2), -1);
    EXPECT_EQ(LivePlayPath::StartRealPlay(&entry, render.get(), -1), -1);
    EXPECT_EQ(LivePlayPath::StopRealPlay(nullptr, render.get(), 0), -1);
    EXPECT_EQ(LivePlayPath::StopRealPlay(&entry, render.get(), 5), -1);
    EXPECT_TRUE(CallNames().isEmpty());
}

struct AddressCase {
    int kind;
    int channelCount;
    int channel;
    const char* url;
    int selector;
};

TEST_F(LivePlayTest, StreamAddressAndSelectorFollowTheDeviceKind)
{
    std::strcpy(entry.szAddress, "127.0.0.9");
    std::strcpy(entry.szUser, "admin");
    std::strcpy(entry.szPassword, "pw-9f3k");
    entry.lLoginHandle = 42;
    const AddressCase cases[] = {
        {1, 2, 1, "vlx://127.0.0.9", 1 | ((1 | 0x200) << 8)},
        {1, 0, 1, "127.0.0.9", 1},
        {0, 4, 1, "vlx://127.0.0.9", 1},
        {3, 2, 0, "127.0.0.9", 0},
    };
    for (const AddressCase& c : cases) {
        entry.nKind = c.kind;
        entry.nChannelCount = c.channelCount;
        SdkCallLog::Instance().Clear();
        EXPECT_EQ(LivePlayPath::StartRealPlay(&entry, render.get(), c.channel), 0);
        const QVector<SdkCall> plays = SdkCallLog::Instance().CallsOf("FC_Loc_RealPlayEx");
        ASSERT_EQ(plays.size(), 1);
        EXPECT_EQ(plays[0].arguments, QString("42,%1,admin,***,%2,-1").arg(c.url).arg(c.selector));
        EXPECT_TRUE(entry.channels[c.channel].bAttached);
        EXPECT_GT(entry.channels[c.channel].lPlayPort, 0);
        LivePlayPath::StopRealPlay(&entry, render.get(), c.channel);
    }
}

TEST_F(LivePlayTest, ThePlayPasswordNeverReachesTheLog)
{
    const QString logFile = appDir.file("Log_Dir/liveplay.log");
    const int level = LogLevel();
    LogInit(LOG_ALLLOG, logFile);
    std::strcpy(entry.szAddress, "127.0.0.9");
    std::strcpy(entry.szUser, "admin");
    std::strcpy(entry.szPassword, "Secret-7731");
    EXPECT_EQ(LivePlayPath::StartRealPlay(&entry, render.get(), 0), 0);
    LivePlayPath::StopRealPlay(&entry, render.get(), 0);
    LogInit(level, QStringLiteral(""));
    QFile file(logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    EXPECT_TRUE(log.contains("FC_Loc_RealPlayEx, loginID=0, ip=127.0.0.9, user=admin, pwd=***")) << log.constData();
    EXPECT_FALSE(log.contains("Secret-7731"));
}

TEST_F(LivePlayTest, UnbindingStopsTheAudioOnlyWhenThePaneAndTheChannelHaveItOn)
{
    VideoForm pane;
    std::strcpy(entry.szAddress, "127.0.0.9");
    EXPECT_EQ(pane.BindDevice(nullptr, 0), -1);
    EXPECT_EQ(pane.BindDevice(&entry, 2), -1);
    EXPECT_FALSE(pane.IsBind());
    ASSERT_EQ(pane.BindDevice(&entry, 1), 0);
    EXPECT_FALSE(pane.IsStopped());
    EXPECT_EQ(pane.Channel(), 1);
    entry.bHaveAudio = true;
    entry.channels[1].bAudioOn = true;
    EXPECT_EQ(pane.UnbindDevice(), 0);
    EXPECT_EQ(g_audioStops, 0) << "the pane's own audio flag is off";
    EXPECT_TRUE(entry.channels[1].bAudioOn);
    EXPECT_TRUE(pane.IsStopped());

    ASSERT_EQ(pane.BindDevice(&entry, 1), 0);
    pane.SetAudioFlag(true);
    EXPECT_EQ(pane.UnbindDevice(), 0);
    EXPECT_EQ(g_audioStops, 1);
    EXPECT_FALSE(entry.channels[1].bAudioOn);
    EXPECT_FALSE(pane.IsBind());
    EXPECT_TRUE(entry.channels[1].renderers.empty());
}

TEST_F(LivePlayTest, RebindingAPaneLeavesNoTraceOfItInTheFormerSlot)
{
    DeviceEntry other;
    std::strcpy(entry.szAddress, "127.0.0.9");
    std::strcpy(other.szAddress, "127.0.0.10");
    {
        VideoForm pane;
        ASSERT_EQ(pane.BindDevice(&entry, 0), 0);
        ASSERT_EQ(pane.BindDevice(&entry, 1), 0);
        EXPECT_TRUE(entry.channels[0].renderers.empty()) << "channel 0 would feed a deleted pane";
        ASSERT_EQ(pane.BindDevice(&other, 1), 0);
        EXPECT_TRUE(entry.channels[1].renderers.empty()) << "the first device would feed a deleted pane";
        ASSERT_EQ(pane.BindDevice(&other, 1), 0);   // the same binding again changes nothing
        EXPECT_EQ(other.channels[1].renderers.size(), 1u);
        DeviceEntry* bound = nullptr;
        pane.GetDevice(bound);
        EXPECT_EQ(bound, &other);
        EXPECT_FALSE(pane.IsStopped());
    }
    EXPECT_TRUE(other.channels[1].renderers.empty());
}

}  // namespace
