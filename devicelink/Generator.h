#pragma once

#include <QIODevice>

class AudioPlayer;

// The device the audio output pulls PCM from: it hands out the player's
// pending bytes, and repeats the last chunk while nothing new has come.
class Generator : public QIODevice {
    Q_OBJECT
public:
    explicit Generator(AudioPlayer* player, QObject* parent = nullptr);

    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    AudioPlayer* m_player;
};
