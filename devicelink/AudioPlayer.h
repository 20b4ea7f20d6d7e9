#pragma once

#include "PlayCtrlTypes.h"

#include <QAudio>
#include <QAudioFormat>
#include <QByteArray>
#include <QThread>

#include <atomic>
#include <mutex>

class Generator;
class QAudioOutput;

// The live audio output: decoded PCM from the play library's decode thread is
// appended to a pending buffer that a QAudioOutput pulls on the GUI thread
// through the Generator. One player per process, identity 1; calls naming
// another identity are ignored. A QThread whose thread is never started: its
// operations run on the callers' threads.
class AudioPlayer : public QThread {
    Q_OBJECT
public:
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Stream thread: prepares the format and marks playback stopped. The
    // header's rate is used as it is (8000 when outside 4000..48000), 16-bit
    // samples are signed and 8-bit unsigned. False when there is no output
    // device or it does not take the format (which is used anyway).
    bool InitAudioFormat(int sampleRate, int bitsPerSample, int channels);
    // Decode thread: appends the frame's audio bytes while playing. The
    // pending buffer keeps at most about two seconds; older bytes give way.
    void AppendAudioData(int identity, const PC_FrameInfo* frame);
    // Any thread: empties the buffers and marks playback stopped at once; the
    // output itself is stopped on the GUI thread.
    void StopPlay(int identity);

    void SetIdentity(int identity) { m_identity = identity; }
    int Identity() const { return m_identity; }
    bool IsStopped() const { return m_stopped; }
    QAudioFormat Format() const;
    QAudioOutput* Output() const { return m_output; }
    Generator* generator() const { return m_generator; }
    qint64 PendingBytes() const;
    qint64 PendingLimit() const;

    // Generator::readData: the next bytes for the output (GUI thread).
    qint64 ReadForOutput(char* data, qint64 maxlen);

signals:
    void startPlay(int identity);
    void volumeEnable(bool enable);

public slots:
    void onStartPlay(int identity);
    void onVolumeChanged(int volume);
    void handleStateChanged(QAudio::State state);

private slots:
    void StopOutput();
    // A stop queued from another thread during the start-th start.
    void StopOutputOfStart(unsigned start);

private:
    void ClearBuffers();

    std::atomic<bool> m_stopped{false};
    std::atomic<int> m_identity{-1};
    std::atomic<bool> m_hasOutput{false};
    std::atomic<unsigned> m_starts{0};   // onStartPlay calls; a queued stop of an older start is void
    double m_volume = 1.0;
    QAudioOutput* m_output = nullptr;
    Generator* m_generator = nullptr;
    mutable std::mutex m_lock;   // guards the format and both buffers
    QAudioFormat m_format;
    QByteArray m_pending;
    QByteArray m_lastChunk;
};
