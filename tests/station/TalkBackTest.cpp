// The speaker test's talk-back on simulated cameras: the device's audio
// parameters, the blocks and frames per audio type, their pacing, the sound
// file, and every way the streaming ends.
#include "PlayFixture.h"

#include "AuxResponseInfo.h"
#include "EnumClass.h"
#include "BoxRecorder.h"
#include "ReplyFields.h"
#include "TalkAudioParams.h"
#include "TalkCodec.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <numeric>

namespace {

constexpr char kSn[] = "VT21TK0000000001";
constexpr char kIp[] = "127.0.0.61";
constexpr char kSn2[] = "VT21TK0000000002";
constexpr char kIp2[] = "127.0.0.62";

// Little-endian 16-bit samples of a PCM file's bytes.
std::vector<int16_t> Samples(const QByteArray& pcm)
{
    std::vector<int16_t> s(size_t(pcm.size() / 2));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(uint8_t(pcm[int(2 * i)]) | (uint8_t(pcm[int(2 * i + 1)]) << 8));
    return s;
}

// n bytes of a sweeping tone.
QByteArray Pcm(int n)
{
    QByteArray bytes(n, '\0');
    for (int i = 0; i + 1 < n; i += 2) {
        const int16_t v = int16_t(((i * 37) % 20000) - 10000);
        bytes[i] = char(uint16_t(v) & 0xFF);
        bytes[i + 1] = char(uint16_t(v) >> 8);
    }
    return bytes;
}

class TalkBackTest : public PlayTestBase {
protected:
    void SetUp() override
    {
        PlayTestBase::SetUp();
        Clock::SetTickSource(nullptr);   // the frames' arrival is measured in real time
        QFile::remove(s_dir->file("TrumpetTest.mp3"));
        QFile::remove(s_dir->file("TrumpetTest.pcm"));
    }

    // Camera 1 asks for audioType; it is logged in and current. Camera 2 waits.
    void StartCamera(int audioType)
    {
        Start({Camera(kSn, kIp, ", \"talk\": {\"audioType\": " + QByteArray::number(audioType) + "}"),
               Camera(kSn2, kIp2)});
        login = LogIn(kIp);
        login2 = LogIn(kIp2);
        widget->Lists().SetCurrentDevice(Record(kSn, kIp, login));
    }

    // The PCM file the station sends (an MP3 must be there too, but is not read then).
    void WriteSound(const QByteArray& pcm)
    {
        ASSERT_TRUE(s_dir->writeFile("TrumpetTest.mp3", "not read"));
        ASSERT_TRUE(s_dir->writeFile("TrumpetTest.pcm", pcm));
    }

    // Talk-back starts; the camera's acceptance goes to the controller as the main window hands it.
    void AcceptTalk()
    {
        ASSERT_EQ(FC_Loc_StartSpeak(login, 0), 0);
        SdkEvent accepted;
        ASSERT_TRUE(recorder.WaitFor(
            [&](const SdkEvent& e) { return !e.reply && e.handle == login && e.code == EVENT_STARTAUDIOOK; }, 10000,
            &accepted));
        AuxResponseInfo info;
        info.lLoginID = login;
        info.lStateCode = EVENT_STARTAUDIOOK;
        QByteArray text = accepted.data;
        info.pResponse = text.data();
        widget->onStatusEvent(&info);
        info.pResponse = nullptr;
    }

    bool TalkClosed(int64_t handle) const
    {
        return CallsOf("FC_Loc_StopSpeak").contains(QStringLiteral("%1,0").arg(handle));
    }
    bool WaitTalkClosed() { return WaitFor([&] { return TalkClosed(login); }, 30000); }

    static QVector<SimTalkFrame> Frames(const char* sn) { return SimLan::Instance().TalkFrameLogOf(sn); }

    // A fresh LAN and controller for the next case of a table.
    void Reset()
    {
        recorder.Detach();
        widget.reset();
        FC_Loc_Cleanup();
        SimLan::Instance().Reset();
        SdkCallLog::Instance().Clear();
    }

    int64_t login = 0;
    int64_t login2 = 0;
};

TEST(TalkAudioParams, KeysInOrderEachValueUpToItsComma)
{
    struct Case {
        const char* text;
        bool ok;
        TalkAudioParams expected;
    };
    const std::vector<Case> cases = {
        {"audiotype=0,samplerate=8000,bits=16,channels=1,", true, {0, 8000, 16, 1}},
        {"x audiotype=1,samplerate=16000,bits=16,channels=2,y", true, {1, 16000, 16, 2}},
        {"audiotype:2,samplerate:8000,bits:16,channels:1,", true, {2, 8000, 16, 1}},   // any one separator
        {"audiotype=0,samplerate=8000,bits=16,channels=1", false, {}},                  // the last comma missing
        {"audiotype=0,samplerate=8000,channels=1,", false, {}},                         // no bits
        {"samplerate=8000,audiotype=0,bits=16,channels=1,", false, {}},                 // out of order
        {"AudioType=0,samplerate=8000,bits=16,channels=1,", false, {}},                 // case matters
        {"audiotype=,samplerate=8000,bits=16,channels=1,", false, {}},                  // no number
        {"audiotype", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TalkAudioParams p;
        ASSERT_EQ(TalkAudioParams::Parse(c.text, &p), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(p.audioType, c.expected.audioType);
        EXPECT_EQ(p.sampleRate, c.expected.sampleRate);
        EXPECT_EQ(p.bits, c.expected.bits);
        EXPECT_EQ(p.channels, c.expected.channels);
    }
    EXPECT_FALSE(TalkAudioParams::Parse(nullptr, nullptr));
    EXPECT_EQ((TalkAudioParams{0, 0, 0, 0}.BlockBytes()), 2048);
    EXPECT_EQ((TalkAudioParams{1, 0, 0, 0}.BlockBytes()), 4096);
    EXPECT_EQ((TalkAudioParams{2, 0, 0, 0}.BlockBytes()), 2048);
}

TEST_F(TalkBackTest, TheJobsResultsAndTheTalkBackClosedOnEveryWayOut)
{
    StartCamera(0);
    BoxRecorder boxes;
    AuxJobCancel cancel;
    struct Case {
        const char* name;
        bool info;
        const char* text;
        QByteArray pcm;          // null: no sound files at all
        int result;
        int frames;
    };
    const std::vector<Case> cases = {
        {"no record", false, nullptr, QByteArray(), -1, 0},
        {"no text", true, nullptr, QByteArray(), -1, 0},
        {"no last comma", true, "audiotype=0,samplerate=8000,bits=16,channels=1", Pcm(5000), -2, 0},
        {"no sound file", true, "audiotype=0,samplerate=8000,bits=16,channels=1,", QByteArray(), -3, 0},
        // Two whole blocks of 2048 bytes go out; the last 904 bytes do not.
        {"5000 bytes", true, "audiotype=0,samplerate=8000,bits=16,channels=1,", Pcm(5000), 0, 2},
    };
    ASSERT_EQ(FC_Loc_StartSpeak(login, 0), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(s_dir->file("TrumpetTest.mp3"));
        QFile::remove(s_dir->file("TrumpetTest.pcm"));
        if (!c.pcm.isNull())
            WriteSound(c.pcm);
        SdkCallLog::Instance().Clear();
        const int before = SimLan::Instance().TalkFramesOf(kSn);
        AuxJobContext context = Peer(*widget).MakeAuxJobContext(AUX_SOURCE_AUTO);
        AuxJobRun run(context, cancel);
        QByteArray text(c.text);
        AuxResponseInfo info;
        info.lLoginID = login;
        info.pResponse = c.text ? text.data() : nullptr;
        EXPECT_EQ(Peer(*widget).dealStartAduioOk(c.info ? &info : nullptr, run), c.result);
        EXPECT_EQ(SimLan::Instance().TalkFramesOf(kSn) - before, c.frames);
        EXPECT_EQ(TalkClosed(login), c.info);
        ASSERT_EQ(FC_Loc_StartSpeak(login, 0), 0);   // open again for the next case
    }
    EXPECT_TRUE(WaitFor([&] { return boxes.texts == QStringList{"|mp3 file not find"}; }))
        << "told once, after the job went on";
}

TEST_F(TalkBackTest, BlocksAndFramesFollowTheAskedAudioType)
{
    struct Case {
        int audioType;
        int frames;
        int frameBytes;
    };
    const QByteArray pcm = Pcm(5000);
    const std::vector<int16_t> samples = Samples(pcm);
    for (const Case& c : {Case{0, 2, 1024}, Case{1, 1, 2048}, Case{2, 2, 1024}}) {
        SCOPED_TRACE(c.audioType);
        StartCamera(c.audioType);
        WriteSound(pcm);
        const int64_t wallBefore = WallClockMs(Clock::Now());
        AcceptTalk();
        ASSERT_TRUE(WaitTalkClosed());
        const QVector<SimTalkFrame> frames = Frames(kSn);
        ASSERT_EQ(frames.size(), c.frames);
        for (int i = 0; i < frames.size(); ++i) {
            const SimTalkFrame& f = frames[i];
            EXPECT_EQ(f.loginHandle, login);
            EXPECT_EQ(f.length, c.frameBytes);
            EXPECT_EQ(f.payload.size(), c.frameBytes);
            EXPECT_EQ(f.sequence, uint16_t(f.sequence2));
            if (i > 0) {
                EXPECT_EQ(f.sequence2, frames[i - 1].sequence2 + 1) << "one counter for every frame";
            }
            EXPECT_LE(std::llabs(int64_t(f.timeStamp) - int64_t(uint32_t(wallBefore))), 60000);
            // Each payload is its block encoded, one byte per sample.
            for (int k = 0; k < c.frameBytes; ++k) {
                const int16_t s = samples[size_t(i * c.frameBytes + k)];
                const uint8_t expected = c.audioType == 0 ? TalkCodec::MuLaw(s) : TalkCodec::ALaw(s);
                if (uint8_t(f.payload[k]) != expected) {
                    ADD_FAILURE() << "frame " << i << " byte " << k;
                    break;
                }
            }
        }
        EXPECT_EQ(CallsOf("PC_OpenTalkEncoder").size(), c.audioType == 1 ? 1 : 0);
        Reset();
    }
}

TEST_F(TalkBackTest, FramesArePacedAbout25msApart)
{
    StartCamera(0);
    WriteSound(Pcm(2048 * 40));
    AcceptTalk();
    ASSERT_TRUE(WaitTalkClosed());
    const QVector<SimTalkFrame> frames = Frames(kSn);
    ASSERT_EQ(frames.size(), 40);
    std::vector<uint64_t> gaps;
    for (int i = 1; i < frames.size(); ++i)
        gaps.push_back(frames[i].arrivalTick - frames[i - 1].arrivalTick);
    std::vector<uint64_t> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const double mean = double(std::accumulate(gaps.begin(), gaps.end(), uint64_t(0))) / double(gaps.size());
    std::cout << "talk-back frame interval on a simulated camera: mean " << mean << " ms, median "
              << sorted[sorted.size() / 2] << " ms, min " << sorted.front() << " ms, max " << sorted.back() << " ms"
              << std::endl;
    EXPECT_GE(sorted.front(), 24u) << "never faster than the pause";
    EXPECT_LE(sorted[sorted.size() / 2], 150u);
}

TEST_F(TalkBackTest, TheStationsSoundIsConvertedOnceAndTheSentFramesDecodeToIt)
{
    const QString shipped = QCoreApplication::applicationDirPath() + "/TrumpetTest.mp3";
    ASSERT_TRUE(QFile::exists(shipped)) << "the build puts the sound next to the test binaries";
    StartCamera(0);
    ASSERT_TRUE(QFile::copy(shipped, s_dir->file("TrumpetTest.mp3")));
    AcceptTalk();
    ASSERT_TRUE(WaitTalkClosed());
    const QByteArray pcm = s_dir->readFile("TrumpetTest.pcm");
    // Two seconds of 8000 16-bit mono samples, give or take the encoder's padding.
    EXPECT_NEAR(pcm.size(), 32000, 3200);
    const std::vector<int16_t> samples = Samples(pcm);
    const QVector<SimTalkFrame> frames = Frames(kSn);
    ASSERT_EQ(frames.size(), pcm.size() / 2048);
    size_t at = 0;
    double energy = 0;
    for (const SimTalkFrame& f : frames) {
        for (char code : f.payload) {
            const int decoded = TalkCodec::MuLawDecode(uint8_t(code));
            const int original = samples[at++];
            ASSERT_LE(std::abs(decoded - original), std::abs(original) / 8 + 64) << "sample " << at;
            energy += double(original) * original;
        }
    }
    EXPECT_GT(std::sqrt(energy / double(at)), 3000.0) << "a tone, not silence";
    EXPECT_EQ(CallsOf("PC_Mp3ToPcm").size(), 1);

    // The PCM file is reused.
    QFile::remove(s_dir->file("TrumpetTest.mp3"));
    ASSERT_TRUE(QFile::copy(shipped, s_dir->file("TrumpetTest.mp3")));
    SdkCallLog::Instance().Clear();
    AcceptTalk();
    ASSERT_TRUE(WaitTalkClosed());
    EXPECT_TRUE(CallsOf("PC_Mp3ToPcm").isEmpty());
}

TEST_F(TalkBackTest, ASoundFolderPastTheOld259CharacterLimitIsUsedWhole)
{
    const QString deep = s_dir->path() + "/" + QString(120, 'd') + "/" + QString(120, 'e');
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_GT((deep + "/TrumpetTest.pcm").size(), 259);
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/TrumpetTest.mp3", deep + "/TrumpetTest.mp3"));
    StartCamera(0);
    const QString saved = AppDir;
    AppDir = deep;
    AcceptTalk();
    const bool closed = WaitTalkClosed();
    AppDir = saved;
    ASSERT_TRUE(closed);
    EXPECT_TRUE(QFile::exists(deep + "/TrumpetTest.pcm"));
    EXPECT_FALSE(Frames(kSn).isEmpty());
    QDir(s_dir->path() + "/" + QString(120, 'd')).removeRecursively();
}

TEST_F(TalkBackTest, AMissingSoundIsNotReportedByAControllerThatCloses)
{
    StartCamera(0);
    BoxRecorder boxes;
    AcceptTalk();
    // No event loop from here: the box waits for the GUI thread while the controller closes.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Peer(*widget).HandOffs().Pending() != 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(Peer(*widget).HandOffs().Pending(), 1u);
    widget.reset();
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(TalkBackTest, AFailedConversionLeavesNoSoundToReuse)
{
    StartCamera(0);
    ASSERT_TRUE(s_dir->writeFile("TrumpetTest.mp3", QByteArray(4000, 'z')));
    AcceptTalk();
    ASSERT_TRUE(WaitTalkClosed());
    EXPECT_FALSE(QFile::exists(s_dir->file("TrumpetTest.pcm")));
    EXPECT_TRUE(Frames(kSn).isEmpty());
}

// The job that plays closes the channel as it ends. A press while the sound
// plays, or a second acceptance of the camera, must not queue a job that sends
// into the closed channel and holds the auxiliary thread for the sound's length.
TEST_F(TalkBackTest, WhileTheSoundPlaysAnotherPressOrAcceptanceIsPassedOver)
{
    CurrentTestType = 1;
    StartCamera(0);
    const int blocks = 80;   // two seconds of frames
    WriteSound(Pcm(2048 * blocks));
    ASSERT_EQ(widget->playVideo(&widget->Lists().m_PlayInfo), 0);
    widget->dealManualTest(EnumClass::MANUAL_TRUMPET, 0);
    ASSERT_EQ(CallsOf("FC_Loc_StartSpeak").size(), 1);
    SdkEvent accepted;
    ASSERT_TRUE(recorder.WaitFor(
        [&](const SdkEvent& e) { return !e.reply && e.handle == login && e.code == EVENT_STARTAUDIOOK; }, 10000,
        &accepted));
    const auto deliver = [&] {
        AuxResponseInfo info;
        info.lLoginID = login;
        info.lStateCode = EVENT_STARTAUDIOOK;
        QByteArray text = accepted.data;
        info.pResponse = text.data();
        widget->onStatusEvent(&info);
        info.pResponse = nullptr;
    };
    deliver();
    ASSERT_TRUE(WaitFor([&] { return Frames(kSn).size() >= 3; }));
    widget->dealManualTest(EnumClass::MANUAL_TRUMPET, 0);
    EXPECT_EQ(CallsOf("FC_Loc_StartSpeak").size(), 1) << "the press is passed over";
    deliver();   // an acceptance that came late, as after a press just before the first one

    // A job posted now runs once the sound's own job has ended.
    std::atomic<bool> ran{false};
    Peer(*widget).SetAuxJobBody(AUX_MSG_BIND_DEV, [&](const AuxJobEnvelope&, AuxJobRun&) { ran = true; });
    ASSERT_TRUE(
        Peer(*widget).PostAuxJob(StandInJob(AUX_MSG_BIND_DEV, std::make_unique<DevBindJob>()), AUX_SOURCE_MANUAL));
    ASSERT_TRUE(WaitFor([&] { return ran.load(); }, 60000));
    EXPECT_EQ(CallsOf("FC_Loc_SendTalkFrame").size(), blocks) << "no frame into the closed channel";
    EXPECT_EQ(SimLan::Instance().TalkFramesOf(kSn), blocks);
    EXPECT_EQ(CallsOf("FC_Loc_StopSpeak").size(), 1);

    // Once it has ended, a press starts the sound again.
    widget->dealManualTest(EnumClass::MANUAL_TRUMPET, 0);
    EXPECT_EQ(CallsOf("FC_Loc_StartSpeak").size(), 2);
}

TEST_F(TalkBackTest, TheStreamingEndsWithTheDevicesPlayItsTurnOrTheAuxiliaryThread)
{
    struct Case {
        const char* name;
        std::function<void()> end;
    };
    const std::vector<Case> cases = {
        {"the next device",
         [this] {
             LeftTopWidget* c = widget.get();
             c->Lists().SetCurrentDevice(Record(kSn2, kIp2, login2),
                                         [c](DevInfo& previous) { Peer(*c).RetirePlay(previous); });
         }},
        {"its play stops", [this] { widget->stopPlay(&widget->Lists().m_PlayInfo); }},
        {"the auxiliary thread stops", [this] { Peer(*widget).StopAuxThread(); }},
    };
    const int blocks = 400;   // ten seconds of frames
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartCamera(0);
        WriteSound(Pcm(2048 * blocks));
        ASSERT_EQ(widget->playVideo(&widget->Lists().m_PlayInfo), 0);
        AcceptTalk();
        ASSERT_TRUE(WaitFor([&] { return Frames(kSn).size() >= 3; }));
        c.end();
        ASSERT_TRUE(WaitTalkClosed());
        const int sent = Frames(kSn).size();
        EXPECT_LT(sent, blocks);
        Observe(100);
        EXPECT_EQ(Frames(kSn).size(), sent) << "nothing after the close";
        EXPECT_TRUE(Frames(kSn2).isEmpty());
        EXPECT_FALSE(TalkClosed(login2)) << "the close goes to the device that talked";
        Reset();
    }
}

}  // namespace
