#include "AudioPlayer.h"
#include "Generator.h"

#include <QAudioOutput>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A started player with identity 1; the output may or may not have a device
// behind it, so the tests read the generator themselves, as the output would.
class AudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        player.SetIdentity(1);
        player.InitAudioFormat(8000, 16, 1);
        player.onStartPlay(1);
    }

    QByteArray Read(int max)
    {
        QByteArray out(max, '\x55');
        const qint64 n = player.generator()->read(out.data(), max);
        out.resize(n < 0 ? 0 : int(n));
        return n < 0 ? QByteArray("<none>") : out;
    }

    void Append(const QByteArray& bytes, int identity = 1)
    {
        PC_FrameInfo f{};
        f.nType = PC_FRAME_AUDIO;
        f.nAudioLength = bytes.size();
        f.pY = reinterpret_cast<const uint8_t*>(bytes.constData());
        player.AppendAudioData(identity, &f);
    }

    AudioPlayer player;
};

TEST(AudioFormatTest, FormatTakesTheHeadersRateAndSignedSixteenBitSamples)
{
    struct Case {
        int rate, bits, channels;
        int wantRate;
        QAudioFormat::SampleType wantType;
    };
    const Case cases[] = {
        {44100, 16, 2, 44100, QAudioFormat::SignedInt},
        {96000, 16, 1, 8000, QAudioFormat::SignedInt},
        {3999, 16, 1, 8000, QAudioFormat::SignedInt},
        {4000, 16, 1, 4000, QAudioFormat::SignedInt},
        {48000, 16, 1, 48000, QAudioFormat::SignedInt},
        {8000, 8, 1, 8000, QAudioFormat::UnSignedInt},
    };
    for (const Case& c : cases) {
        AudioPlayer p;
        p.InitAudioFormat(c.rate, c.bits, c.channels);
        const QAudioFormat f = p.Format();
        EXPECT_EQ(f.sampleRate(), c.wantRate) << c.rate;
        EXPECT_EQ(f.sampleSize(), c.bits);
        EXPECT_EQ(f.channelCount(), c.channels);
        EXPECT_EQ(f.sampleType(), c.wantType);
        EXPECT_EQ(f.byteOrder(), QAudioFormat::LittleEndian);
        EXPECT_EQ(f.codec(), QStringLiteral("audio/pcm"));
        EXPECT_TRUE(p.IsStopped());
    }
}

TEST_F(AudioPlayerTest, ReadsFourZeroBytesUntilAudioArrivesThenRepeatsTheLastChunk)
{
    EXPECT_FALSE(player.IsStopped());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Read(100), QByteArray(4, '\0'));
    Append("abcdef");
    Append("gh");
    EXPECT_EQ(player.generator()->bytesAvailable(), 8);
    EXPECT_EQ(Read(5), QByteArray("abcde"));
    EXPECT_EQ(Read(100), QByteArray("fgh"));
    // The decode thread stalls: the last chunk plays again, cut to what is asked.
    EXPECT_EQ(Read(100), QByteArray("fgh"));
    EXPECT_EQ(Read(2), QByteArray("fg"));
    EXPECT_EQ(Read(0), QByteArray());
}

TEST_F(AudioPlayerTest, OtherIdentitiesChangeNothing)
{
    Append("abcd", 2);
    EXPECT_EQ(player.PendingBytes(), 0);
    Append("abcd");
    player.StopPlay(2);
    EXPECT_FALSE(player.IsStopped());
    EXPECT_EQ(player.PendingBytes(), 4);
    player.onStartPlay(2);
    EXPECT_EQ(player.PendingBytes(), 4);
}

TEST_F(AudioPlayerTest, StopEmptiesTheBuffersAndDropsLaterAudio)
{
    Append("abcd");
    player.StopPlay(1);
    EXPECT_TRUE(player.IsStopped());
    EXPECT_EQ(player.PendingBytes(), 0);
    EXPECT_FALSE(player.generator()->isOpen());
    Append("efgh");
    EXPECT_EQ(player.PendingBytes(), 0);
    player.onStartPlay(1);   // a new start replaces the output and plays again
    Append("ijkl");
    EXPECT_EQ(Read(100), QByteArray("ijkl"));
}

TEST_F(AudioPlayerTest, StopFromAnotherThreadClearsAtOnceAndStopsTheOutputOnTheGuiThread)
{
    Append("abcd");
    std::thread worker([&] { player.StopPlay(1); });
    worker.join();
    EXPECT_TRUE(player.IsStopped());
    EXPECT_EQ(player.PendingBytes(), 0);
    EXPECT_TRUE(player.generator()->isOpen());   // not touched off the GUI thread
    QCoreApplication::processEvents();
    EXPECT_FALSE(player.generator()->isOpen());
    EXPECT_EQ(player.Output()->state(), QAudio::StoppedState);
}

// The stream-test thread stops playback, and the GUI thread starts it again
// before the queued stop of the output has run: that stale stop must not
// silence the new start.
TEST_F(AudioPlayerTest, AStopQueuedFromAnotherThreadLeavesALaterStartPlaying)
{
    std::thread worker([&] { player.StopPlay(1); });
    worker.join();
    player.onStartPlay(1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(player.IsStopped());
    EXPECT_TRUE(player.generator()->isOpen());
    Append("abcd");
    EXPECT_EQ(Read(100), QByteArray("abcd"));
}

TEST_F(AudioPlayerTest, PendingAudioIsCappedAtTwoSecondsKeepingTheNewest)
{
    const int second = 8000 * 2;
    std::vector<QByteArray> chunks;
    for (int i = 0; i < 50; ++i) {
        QByteArray chunk(second / 10, char('A' + i % 26));
        Append(chunk);
        chunks.push_back(chunk);
    }
    EXPECT_EQ(player.PendingLimit(), 2 * second);
    EXPECT_EQ(player.PendingBytes(), 2 * second);
    QByteArray all;
    for (;;) {
        const QByteArray part = Read(4096);
        all += part;
        if (player.PendingBytes() == 0)
            break;
    }
    QByteArray newest;
    for (int i = 30; i < 50; ++i)
        newest += chunks[size_t(i)];
    EXPECT_EQ(all, newest);
}

// A damaged stream header may announce any sample size and channel count; the
// cap on the pending buffer must still hold without overflowing.
TEST(AudioPlayerHeaderTest, AbsurdSampleSizeAndChannelsStillGiveASaneCap)
{
    AudioPlayer p;
    p.SetIdentity(1);
    p.InitAudioFormat(8000, 1 << 19, 1 << 16);
    p.onStartPlay(1);
    const QByteArray chunk(4096, 'x');
    PC_FrameInfo f{};
    f.nType = PC_FRAME_AUDIO;
    f.nAudioLength = chunk.size();
    f.pY = reinterpret_cast<const uint8_t*>(chunk.constData());
    for (int i = 0; i < 4; ++i)
        p.AppendAudioData(1, &f);
    EXPECT_GT(p.PendingLimit(), 0);
    EXPECT_EQ(p.PendingBytes(), qMin<qint64>(4 * chunk.size(), p.PendingLimit()));
}

}  // namespace
