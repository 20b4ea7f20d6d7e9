#include "SimPlayer.h"

#include "PlayPort.h"

int SimPlayer::RaiseEvent(int port, int event, int64_t value, int value2)
{
    PlayPort* p = TakenPlayPort(port);
    return p ? p->RequestEvent(event, value, value2) : PC_ERR_PORT;
}

bool SimPlayer::WaitDrained(int port, int timeoutMs)
{
    PlayPort* p = TakenPlayPort(port);
    return p && p->WaitDrained(timeoutMs);
}
