#include "AudioPlayer.h"

#include "Generator.h"
#include "Log.h"

#include <QAudioDeviceInfo>
#include <QAudioOutput>
#include <QCoreApplication>

#include <cstring>

namespace {
constexpr int kPendingSeconds = 2;

// Bytes of one sample frame, bounded: the format comes from a device's stream
// header, which may announce any size and channel count.
qint64 FrameBytes(const QAudioFormat& format)
{
    return qint64(qBound(1, format.sampleSize() / 8, 8)) * qBound(1, format.channelCount(), 64);
}
}  // namespace

AudioPlayer::AudioPlayer(QObject* parent) : QThread(parent)
{
    m_generator = new Generator(this, this);
    m_format.setSampleRate(8000);
    m_format.setChannelCount(1);
    m_format.setSampleSize(16);
    m_format.setCodec(QStringLiteral("audio/pcm"));
    m_format.setSampleType(QAudioFormat::SignedInt);
    m_format.setByteOrder(QAudioFormat::LittleEndian);
    connect(this, &AudioPlayer::startPlay, this, &AudioPlayer::onStartPlay);
}

AudioPlayer::~AudioPlayer()
{
    if (m_output)
        m_output->stop();
    m_generator->close();
}

bool AudioPlayer::InitAudioFormat(int sampleRate, int bitsPerSample, int channels)
{
    m_stopped = true;
    const int rate = (sampleRate < 4000 || sampleRate > 48000) ? 8000 : sampleRate;
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setSampleSize(bitsPerSample);
    format.setChannelCount(channels);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setSampleType(bitsPerSample == 8 ? QAudioFormat::UnSignedInt : QAudioFormat::SignedInt);
    format.setByteOrder(QAudioFormat::LittleEndian);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_format = format;
    }
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultOutputDevice();
    if (device.isNull()) {
        LogPrint(LOG_MAJOR, "QAudioDeviceInfo::defaultOutputDevice DeviceName is NULL\n");
        return false;
    }
    if (!device.isFormatSupported(format)) {
        LogPrint(LOG_MAJOR, "JDefault format not supported, trying to use the nearest\n");
        return false;
    }
    return true;
}

QAudioFormat AudioPlayer::Format() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_format;
}

qint64 AudioPlayer::PendingBytes() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pending.size();
}

qint64 AudioPlayer::PendingLimit() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return qint64(qMax(1, m_format.sampleRate())) * FrameBytes(m_format) * kPendingSeconds;
}

void AudioPlayer::AppendAudioData(int identity, const PC_FrameInfo* frame)
{
    if (identity != m_identity || m_stopped || !m_hasOutput || !frame || !frame->pY || frame->nAudioLength <= 0)
        return;
    const qint64 limit = PendingLimit();
    std::lock_guard<std::mutex> guard(m_lock);
    m_pending.append(reinterpret_cast<const char*>(frame->pY), frame->nAudioLength);
    if (m_pending.size() > limit) {
        // Nothing pulls (no sound card, or a stalled output): drop the oldest
        // bytes, whole sample frames, so the buffer cannot grow without end.
        const qint64 bytesPerFrame = FrameBytes(m_format);
        qint64 excess = m_pending.size() - limit;
        excess += (bytesPerFrame - excess % bytesPerFrame) % bytesPerFrame;
        m_pending.remove(0, int(excess));
    }
}

qint64 AudioPlayer::ReadForOutput(char* data, qint64 maxlen)
{
    if (maxlen <= 0)
        return 0;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_pending.isEmpty()) {
        const int n = int(qMin<qint64>(m_pending.size(), maxlen));
        memcpy(data, m_pending.constData(), size_t(n));
        m_lastChunk = m_pending.left(n);
        m_pending.remove(0, n);
        return n;
    }
    if (m_lastChunk.isEmpty())
        return -1;
    const int n = int(qMin<qint64>(m_lastChunk.size(), maxlen));
    memcpy(data, m_lastChunk.constData(), size_t(n));
    return n;
}

void AudioPlayer::ClearBuffers()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_pending.clear();
    m_lastChunk.clear();
}

void AudioPlayer::StopPlay(int identity)
{
    if (identity != m_identity)
        return;
    m_stopped = true;
    ClearBuffers();
    if (QThread::currentThread() == thread()) {
        StopOutput();
        return;
    }
    // By name: Qt carries a copy of the start count, nothing else crosses.
    QMetaObject::invokeMethod(this, "StopOutputOfStart", Qt::QueuedConnection, Q_ARG(unsigned, m_starts.load()));
}

void AudioPlayer::StopOutputOfStart(unsigned start)
{
    if (start == m_starts)   // no start came in between: it would be silenced
        StopOutput();
}

void AudioPlayer::StopOutput()
{
    m_generator->close();
    if (m_output)
        m_output->stop();
    ClearBuffers();
}

void AudioPlayer::onStartPlay(int identity)
{
    if (identity != m_identity)
        return;
    ++m_starts;
    if (m_output) {
        m_generator->close();
        m_stopped = true;
        m_output->stop();
        ClearBuffers();
        m_hasOutput = false;
        delete m_output;
        m_output = nullptr;
    }
    m_output = new QAudioOutput(QAudioDeviceInfo::defaultOutputDevice(), Format(), this);
    connect(m_output, &QAudioOutput::stateChanged, this, &AudioPlayer::handleStateChanged);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_lastChunk.append(4, '\0');
    }
    // Unbuffered: a read-ahead would copy the repeated last chunk into the stream.
    m_generator->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_output->start(m_generator);
    m_output->setVolume(m_volume);
    m_hasOutput = true;
    m_stopped = false;
}

void AudioPlayer::onVolumeChanged(int volume)
{
    m_volume = volume / 100.0;
    if (m_output)
        m_output->setVolume(m_volume);
}

void AudioPlayer::handleStateChanged(QAudio::State)
{
}
