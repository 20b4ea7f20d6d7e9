// Talk-back: a camera takes frames between the start and the stop of a talk.
#include "SimLan.h"

#include "Clock.h"

int SimLan::StartSpeak(int64_t loginHandle)
{
    QByteArray text;
    bool refuse = false;
    int delay = 0;
    {
        const SessionCamera cam = LockSessionCamera(loginHandle, 0);
        if (!cam)
            return cam.error;
        const SimTalk& t = cam->Config().talk;
        text = QString::asprintf("audiotype=%d,samplerate=%d,bits=%d,channels=%d,", t.audioType, t.sampleRate,
                                 t.bits, t.channels)
                   .toLatin1();
        refuse = cam->Config().faults.refuseTalk;
        delay = cam->Config().replyDelayMs;
        m_sessions[loginHandle].talking = !refuse;
    }
    if (refuse)
        PostStatus(delay, loginHandle, EVENT_STARTAUDIOFAILED, QByteArray(), false);
    else
        PostStatus(delay, loginHandle, EVENT_STARTAUDIOOK, text, true);
    return 0;
}

int SimLan::SendTalkFrame(int64_t loginHandle, const FC_TalkFrame* frame)
{
    if (!frame || frame->nLength < 0 || frame->nLength > 1024 * 1024 || (frame->nLength > 0 && !frame->pData))
        return FC_ERR_PARAM;
    const SessionCamera cam = LockSessionCamera(loginHandle, 0);
    if (!cam)
        return cam.error;
    if (!m_sessions[loginHandle].talking)
        return FC_ERR_STATE;
    SimTalkFrame received;
    received.loginHandle = loginHandle;
    received.length = frame->nLength;
    received.timeStamp = frame->dwTimeStamp;
    received.sequence = frame->wSequence;
    received.sequence2 = frame->dwSequence;
    received.arrivalTick = Clock::TickMs();
    received.payload = QByteArray(frame->pData, frame->nLength);
    cam->AddTalkFrame(received);
    return 0;
}

int SimLan::StopSpeak(int64_t loginHandle)
{
    int delay = 0;
    {
        const SessionCamera cam = LockSessionCamera(loginHandle, 0);
        if (!cam)
            return cam.error;
        m_sessions[loginHandle].talking = false;
        delay = cam->Config().replyDelayMs;
    }
    PostStatus(delay, loginHandle, EVENT_STOPAUDIOOK, QByteArray(), false);
    return 0;
}
