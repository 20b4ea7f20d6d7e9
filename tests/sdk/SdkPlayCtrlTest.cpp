#include "FuncLibTypes.h"
#include "Mp3Converter.h"
#include "PlayCtrl.h"
#include "SynthVideoCodec.h"
#include "TalkCodec.h"
#include "sim/SimPlayer.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A port opened for video (and audio) as a live header would, with the
// frames it decodes copied out.
class PortFixture : public ::testing::Test {
protected:
    struct Seen {
        int width = 0, height = 0, type = -1, yPitch = 0, uPitch = 0, vPitch = 0, audioLength = 0;
        std::vector<uint8_t> y, u, v;
    };

    void SetUp() override
    {
        port = PC_GetFreePort();
        ASSERT_GT(port, 0);
        header = FC_MediaHeader{};
        header.nVideoCodec = FC_VIDEO_CODEC_SYNTH;
        header.nVideoWidth = 64;
        header.nVideoHeight = 32;
        header.nAudioCodec = FC_AUDIO_CODEC_PCM;
        header.nSampleRate = 8000;
        header.nBitsPerSample = 16;
        header.nChannels = 1;
        const char* raw = reinterpret_cast<const char*>(&header);
        ASSERT_EQ(PC_OpenStream(port, raw + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, 40), 0);
        ASSERT_EQ(PC_OpenStream(port, raw + FC_AUDIO_PART_OFFSET, FC_AUDIO_PART_SIZE, PC_STREAM_AUDIO, 40), 0);
        ASSERT_EQ(PC_SetDisplayCallback(port, &PortFixture::OnFrame, this), 0);
        ASSERT_EQ(PC_SetStatusCallback(port, &PortFixture::OnStatus, this), 0);
    }

    void TearDown() override
    {
        PC_SetDisplayCallback(port, nullptr, nullptr);
        PC_CloseStream(port);
        PC_FreePort(port);
    }

    static int OnFrame(int, const PC_FrameInfo* f, void* user)
    {
        auto* self = static_cast<PortFixture*>(user);
        Seen s;
        s.width = f->nWidth;
        s.height = f->nHeight;
        s.type = f->nType;
        s.yPitch = f->nYPitch;
        s.uPitch = f->nUPitch;
        s.vPitch = f->nVPitch;
        s.audioLength = f->nAudioLength;
        if (f->nType == PC_FRAME_AUDIO) {
            s.y.assign(f->pY, f->pY + f->nAudioLength);
        } else {
            s.y.assign(f->pY, f->pY + f->nYPitch * f->nHeight);
            s.u.assign(f->pU, f->pU + f->nUPitch * f->nHeight / 2);
            if (f->pV)
                s.v.assign(f->pV, f->pV + f->nVPitch * f->nHeight / 2);
        }
        std::lock_guard<std::mutex> guard(self->lock);
        self->frames.push_back(s);
        return 0;
    }

    static int OnStatus(int, int event, int64_t value, int value2, void* user)
    {
        auto* self = static_cast<PortFixture*>(user);
        std::lock_guard<std::mutex> guard(self->lock);
        self->events.push_back({event, value});
        self->eventValue2.push_back(value2);
        self->eventThreads.push_back(std::this_thread::get_id());
        return 0;
    }

    bool WaitFrames(size_t n)
    {
        for (int i = 0; i < 400; ++i) {
            {
                std::lock_guard<std::mutex> guard(lock);
                if (frames.size() >= n)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    int port = 0;
    FC_MediaHeader header;
    std::mutex lock;
    std::vector<Seen> frames;
    // Holds a blocking display callback. A member, not a local of a test body:
    // the decode thread calls back with it for every queued frame, until the
    // tear-down has closed the port.
    std::atomic<bool> releaseBlock{false};
    std::vector<std::pair<int, int64_t>> events;
    std::vector<int> eventValue2;
    std::vector<std::thread::id> eventThreads;
};

TEST_F(PortFixture, DecodesPlanarAndSemiPlanarPictures)
{
    const QByteArray packet = SynthVideoCodec::EncodeTestPicture(64, 32, 3);
    ASSERT_EQ(PC_Play(port, 0), 0);
    ASSERT_EQ(PC_InputVideoData(port, packet.constData(), packet.size(), 1, 0), 0);
    ASSERT_TRUE(WaitFrames(1));
    ASSERT_EQ(PC_SetPixelLayout(port, PC_LAYOUT_SEMI_PLANAR), 0);
    ASSERT_EQ(PC_InputVideoData(port, packet.constData(), packet.size(), 1, 0), 0);
    ASSERT_TRUE(WaitFrames(2));

    const Seen& planar = frames[0];
    EXPECT_EQ(planar.type, PC_FRAME_VIDEO);
    EXPECT_EQ(planar.width, 64);
    EXPECT_EQ(planar.height, 32);
    EXPECT_EQ(planar.yPitch, 64);
    EXPECT_EQ(planar.uPitch, 32);
    EXPECT_EQ(planar.vPitch, 32);
    const Seen& semi = frames[1];
    EXPECT_EQ(semi.uPitch, 64);
    EXPECT_EQ(semi.vPitch, 0);
    EXPECT_TRUE(semi.v.empty());
    EXPECT_EQ(semi.y, planar.y);
    // Every chroma sample of the semi-planar picture equals the planar U and V.
    for (int row = 0; row < 16; ++row) {
        for (int col = 0; col < 32; ++col) {
            ASSERT_EQ(semi.u[row * 64 + col * 2], planar.u[row * 32 + col]);
            ASSERT_EQ(semi.u[row * 64 + col * 2 + 1], planar.v[row * 32 + col]);
        }
    }
    // The picture is the block data of the packet: block (0,0) luma at byte 16.
    EXPECT_EQ(planar.y[0], uint8_t(packet[16]));
    EXPECT_EQ(planar.y[7 * 64 + 7], uint8_t(packet[16]));
}

TEST_F(PortFixture, BadInputIsRefusedOrReportedAndNeverShown)
{
    const QByteArray good = SynthVideoCodec::EncodeTestPicture(64, 32, 0);
    EXPECT_EQ(PC_InputVideoData(port, good.constData(), good.size(), 1, 0), PC_ERR_STATE);   // not playing yet
    ASSERT_EQ(PC_Play(port, 0), 0);
    EXPECT_EQ(PC_InputVideoData(port, nullptr, 10, 1, 0), PC_ERR_PARAM);
    EXPECT_EQ(PC_InputVideoData(port, good.constData(), 0, 1, 0), PC_ERR_PARAM);
    QByteArray truncated = good.left(good.size() - 1);
    QByteArray oversized = good;
    oversized[4] = char(0xFF);
    oversized[5] = char(0x7F);   // width 32767
    QByteArray foreign = good;
    foreign[0] = 'X';
    for (const QByteArray& bad : {truncated, oversized, foreign})
        EXPECT_EQ(PC_InputVideoData(port, bad.constData(), bad.size(), 0, 0), 0);
    const char oddAudio[3] = {1, 2, 3};   // not a whole 16-bit sample
    EXPECT_EQ(PC_InputAudioData(port, oddAudio, 3, 0), 0);
    const char audio[640] = {};
    EXPECT_EQ(PC_InputAudioData(port, audio, sizeof audio, 0), 0);
    ASSERT_TRUE(SimPlayer::WaitDrained(port, 10000));
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].type, PC_FRAME_AUDIO);
    EXPECT_EQ(frames[0].audioLength, 640);
    ASSERT_EQ(events.size(), 4u);
    for (const auto& e : events)
        EXPECT_EQ(e.first, EVENT_PLAYER_STREAM_ERROR);
}

// A port raises player events 9 and 10 when a test asks: from its decode
// thread, through the port's status callback, and decoding goes on.
TEST_F(PortFixture, PlayerEventsAreRaisedOnRequest)
{
    EXPECT_EQ(SimPlayer::RaiseEvent(port, EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL), PC_ERR_STATE);   // not playing
    EXPECT_EQ(SimPlayer::RaiseEvent(0, EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL), PC_ERR_PORT);
    ASSERT_EQ(PC_Play(port, 0), 0);
    ASSERT_EQ(SimPlayer::RaiseEvent(port, EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL), 0);
    ASSERT_EQ(SimPlayer::RaiseEvent(port, EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED, 7, 8), 0);
    const QByteArray picture = SynthVideoCodec::EncodeTestPicture(64, 32, 0);
    ASSERT_EQ(PC_InputVideoData(port, picture.constData(), picture.size(), 1, 0), 0);
    ASSERT_TRUE(WaitFrames(1));
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_pair(int(EVENT_PLAYER_VIDEO_DECODE_THREAD_ABNORMAL), int64_t(0)));
    EXPECT_EQ(events[1], std::make_pair(int(EVENT_HW_DECODE_PIX_FMT_NEGOTIATE_FAILED), int64_t(7)));
    EXPECT_EQ(eventValue2[1], 8);
    for (const std::thread::id& id : eventThreads)
        EXPECT_NE(id, std::this_thread::get_id());
}

// A test can wait for a port's decode thread to be through with its queue.
TEST_F(PortFixture, WaitDrainedReturnsOnceEveryQueuedPacketIsHandled)
{
    EXPECT_FALSE(SimPlayer::WaitDrained(0, 10));
    EXPECT_TRUE(SimPlayer::WaitDrained(port, 0)) << "a port that does not play holds nothing";
    ASSERT_EQ(PC_Play(port, 0), 0);
    const QByteArray picture = SynthVideoCodec::EncodeTestPicture(64, 32, 0);
    const int queued = 30;   // within the port's queue
    for (int i = 0; i < queued; ++i)
        ASSERT_EQ(PC_InputVideoData(port, picture.constData(), picture.size(), 1, 0), 0);
    ASSERT_TRUE(SimPlayer::WaitDrained(port, 10000));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(frames.size(), size_t(queued));
}

// Channel 1 (a second lens) draws the same moving picture without colour.
TEST_F(PortFixture, SecondLensPictureHasNoColour)
{
    ASSERT_EQ(PC_Play(port, 0), 0);
    for (int channel : {0, 1}) {
        const QByteArray picture = SynthVideoCodec::EncodeTestPicture(64, 32, 5, channel);
        ASSERT_EQ(PC_InputVideoData(port, picture.constData(), picture.size(), 1, 0), 0);
    }
    ASSERT_TRUE(WaitFrames(2));
    std::lock_guard<std::mutex> guard(lock);
    auto grey = [](const std::vector<uint8_t>& plane) {
        return std::all_of(plane.begin(), plane.end(), [](uint8_t v) { return v == 128; });
    };
    EXPECT_FALSE(grey(frames[0].u) && grey(frames[0].v));
    EXPECT_TRUE(grey(frames[1].u) && grey(frames[1].v));
    EXPECT_NE(frames[0].y, frames[1].y);
}

TEST_F(PortFixture, AFullQueueDropsThePacketWithAnErrorCode)
{
    struct Block {
        static int On(int, const PC_FrameInfo*, void* user)
        {
            auto* flag = static_cast<std::atomic<bool>*>(user);
            while (!flag->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0;
        }
    };
    PC_SetDisplayCallback(port, &Block::On, &releaseBlock);
    ASSERT_EQ(PC_Play(port, 0), 0);
    const char audio[64] = {};
    int full = 0;
    for (int i = 0; i < 200; ++i)
        full += PC_InputAudioData(port, audio, sizeof audio, 0) == PC_ERR_FULL ? 1 : 0;
    EXPECT_GT(full, 100);   // 80 queued (twice the buffer count), one in the callback
    releaseBlock = true;
}

// The display callback may close its own port (its decode thread cannot join
// itself): nothing more is shown, and the port opens and plays again as new.
TEST_F(PortFixture, APortClosedFromItsOwnCallbackPlaysAgain)
{
    struct Closer {
        static int On(int p, const PC_FrameInfo*, void* user)
        {
            auto* shown = static_cast<std::atomic<int>*>(user);
            if (shown->load() == 0) {
                EXPECT_EQ(PC_CloseStream(p), 0);
            }
            ++*shown;   // after the close, so the test sees the port closed
            return 0;
        }
    };
    std::atomic<int> shown{0};
    ASSERT_EQ(PC_SetDisplayCallback(port, &Closer::On, &shown), 0);
    ASSERT_EQ(PC_Play(port, 0), 0);
    const QByteArray packet = SynthVideoCodec::EncodeTestPicture(64, 32, 0);
    ASSERT_EQ(PC_InputVideoData(port, packet.constData(), packet.size(), 1, 0), 0);
    for (int i = 0; i < 2000 && shown == 0; ++i)   // up to 10 s
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(shown.load(), 1);
    EXPECT_EQ(PC_InputVideoData(port, packet.constData(), packet.size(), 1, 0), PC_ERR_STATE);

    const char* raw = reinterpret_cast<const char*>(&header);
    ASSERT_EQ(PC_OpenStream(port, raw + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, 40), 0);
    ASSERT_EQ(PC_Play(port, 0), 0);
    ASSERT_EQ(PC_InputVideoData(port, packet.constData(), packet.size(), 1, 0), 0);
    for (int i = 0; i < 2000 && shown == 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(shown.load(), 2);
}

// The station tears a stream down on the GUI thread (close, then free the
// port) before it stops the SDK stream, so a late media header may open and
// start the port on the stream thread at the same moment. Neither side may
// crash, race or leave a decode thread behind.
TEST_F(PortFixture, PlayAndCloseFromTwoThreadsAtOnce)
{
    const char* raw = reinterpret_cast<const char*>(&header);
    std::atomic<bool> done{false};
    std::thread stream([&] {
        while (!done) {
            PC_OpenStream(port, raw + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, 40);
            PC_Play(port, 0);
        }
    });
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(PC_CloseStream(port), 0);
    done = true;
    stream.join();
}

TEST(PlayCtrlTest, PortsAreHandedOutOnceAndReusedAfterRelease)
{
    std::vector<int> ports;
    for (int i = 0; i < PC_MAX_PORTS; ++i) {
        const int p = PC_GetFreePort();
        ASSERT_GT(p, 0);
        ports.push_back(p);
    }
    EXPECT_LT(PC_GetFreePort(), 0);
    EXPECT_EQ(PC_FreePort(ports[10]), 0);
    EXPECT_EQ(PC_GetFreePort(), ports[10]);
    EXPECT_EQ(PC_Cleanup(), 0);
    EXPECT_EQ(PC_FreePort(ports[0]), PC_ERR_PORT);
}

TEST(PlayCtrlTest, OpenStreamChecksTheHeaderParts)
{
    const int port = PC_GetFreePort();
    FC_MediaHeader h{};
    h.nVideoCodec = FC_VIDEO_CODEC_SYNTH;
    h.nVideoWidth = 100;   // not a multiple of 8
    h.nVideoHeight = 64;
    const char* raw = reinterpret_cast<const char*>(&h);
    EXPECT_EQ(PC_OpenStream(port, raw + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, 40), PC_ERR_PARAM);
    h.nVideoWidth = 96;
    EXPECT_EQ(PC_OpenStream(port, raw + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE - 1, PC_STREAM_VIDEO, 40), PC_ERR_PARAM);
    EXPECT_EQ(PC_OpenStream(port, raw + FC_VIDEO_PART_OFFSET, FC_VIDEO_PART_SIZE, PC_STREAM_VIDEO, 40), 0);
    h.nAudioCodec = FC_AUDIO_CODEC_PCM;
    h.nSampleRate = 8000;
    h.nBitsPerSample = 24;
    h.nChannels = 1;
    EXPECT_EQ(PC_OpenStream(port, raw + FC_AUDIO_PART_OFFSET, FC_AUDIO_PART_SIZE, PC_STREAM_AUDIO, 40), PC_ERR_PARAM);
    EXPECT_EQ(PC_Play(port, 0), 0);
    PC_FreePort(port);
}

TEST(TalkCodecTest, EncodersHalveTheInputAndRoundTripClosely)
{
    std::vector<int16_t> pcm(1024);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = int16_t(20000 * std::sin(i * 0.05));
    std::vector<char> out(pcm.size());
    const char* in = reinterpret_cast<const char*>(pcm.data());
    ASSERT_EQ(PC_EncodeTalkType0(out.data(), in, 2048), 1024);
    for (size_t i = 0; i < pcm.size(); ++i) {
        const int back = TalkCodec::MuLawDecode(uint8_t(out[i]));
        ASSERT_LE(std::abs(back - pcm[i]), std::abs(pcm[i]) / 16 + 16) << i;
    }
    ASSERT_EQ(PC_EncodeTalk(out.data(), in, 2048), 1024);
    for (size_t i = 0; i < pcm.size(); ++i) {
        const int back = TalkCodec::ALawDecode(uint8_t(out[i]));
        ASSERT_LE(std::abs(back - pcm[i]), std::abs(pcm[i]) / 16 + 16) << i;
    }
    EXPECT_EQ(TalkCodec::MuLaw(0), 0xFF);   // G.711 mu-law code of silence
    EXPECT_EQ(TalkCodec::ALaw(0), 0xD5);    // and A-law
    EXPECT_LT(PC_EncodeTalkType0(nullptr, in, 2048), 0);
    EXPECT_LT(PC_EncodeTalk(out.data(), in, -2), 0);
}

TEST(Mp3ConverterTest, ConvertsToMono16BitAt8000Hz)
{
    QTemporaryDir dir;
    const QString pcm = dir.filePath("TrumpetTest.pcm");
    ASSERT_EQ(PC_Mp3ToPcm(SDK_TEST_DATA "/tone1k_16k_stereo.mp3", QFile::encodeName(pcm).constData(), 1, 16, 8000), 0);
    QFile f(pcm);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    // 0.5 s at 8000 Hz, give or take the encoder's padding.
    EXPECT_GE(bytes.size(), 7000);
    EXPECT_LE(bytes.size(), 10000);
    const auto* s = reinterpret_cast<const int16_t*>(bytes.constData());
    const int n = bytes.size() / 2;
    // A 1000 Hz tone at 8000 Hz crosses zero about 2000 times a second.
    int crossings = 0;
    int peak = 0;
    for (int i = n / 4; i < 3 * n / 4; ++i) {
        crossings += (s[i - 1] < 0) != (s[i] < 0) ? 1 : 0;
        peak = std::max(peak, std::abs(int(s[i])));
    }
    const double seconds = (n / 2) / 8000.0;
    EXPECT_NEAR(crossings / seconds, 2000.0, 200.0);
    EXPECT_GT(peak, 8000);
}

TEST(Mp3ConverterTest, FailuresLeaveNoPcmFile)
{
    QTemporaryDir dir;
    const QString pcm = dir.filePath("out.pcm");
    const QByteArray pcmPath = QFile::encodeName(pcm);
    const QString junk = dir.filePath("junk.mp3");
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    j.write(QByteArray(4000, 'x'));
    j.close();
    EXPECT_LT(PC_Mp3ToPcm(QFile::encodeName(dir.filePath("none.mp3")).constData(), pcmPath.constData(), 1, 16, 8000), 0);
    EXPECT_LT(PC_Mp3ToPcm(QFile::encodeName(junk).constData(), pcmPath.constData(), 1, 16, 8000), 0);
    EXPECT_LT(PC_Mp3ToPcm(SDK_TEST_DATA "/tone1k_16k_stereo.mp3", pcmPath.constData(), 2, 16, 8000), 0);
    EXPECT_LT(PC_Mp3ToPcm(nullptr, pcmPath.constData(), 1, 16, 8000), 0);
    EXPECT_FALSE(QFile::exists(pcm));
}

}  // namespace
