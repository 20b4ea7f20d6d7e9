#include "Generator.h"

#include "AudioPlayer.h"

Generator::Generator(AudioPlayer* player, QObject* parent) : QIODevice(parent), m_player(player) {}

qint64 Generator::bytesAvailable() const
{
    return m_player->PendingBytes() + QIODevice::bytesAvailable();
}

qint64 Generator::readData(char* data, qint64 maxlen)
{
    return m_player->ReadForOutput(data, maxlen);
}

qint64 Generator::writeData(const char*, qint64)
{
    return 0;
}
