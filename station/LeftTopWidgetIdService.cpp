// ID-service thread: requests reach it on its message queue. The datagram
// sender is still to be built; the thread takes and frees the requests.
#include "LeftTopWidget.h"

#include "Log.h"

void LeftTopWidget::ExecuteGetIDServiceThread()
{
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::IdService);
    while (queue && !m_workers.StopRequested(StationWorkers::IdService)) {
        ThreadMessage msg;
        if (!queue->Wait(&msg, 50))
            continue;
        LogPrint(LOG_DEBUG0, "LeftTopWidget::ExecuteGetIDServiceThread() message %u taken, sender not built yet",
                 msg.message);
        FreeAuxJob(msg.message, msg.wParam);
    }
    if (queue) {
        for (const ThreadMessage& msg : queue->TakePending())
            FreeAuxJob(msg.message, msg.wParam);
    }
}

bool LeftTopWidget::PostIdServiceRequest(const QByteArray& ip)
{
    auto* request = new QByteArray(ip);
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::IdService);
    if (!queue || !queue->Post(WM_ID_SERVICE_REQUEST, reinterpret_cast<uintptr_t>(request), 0)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::PostIdServiceRequest() no ID-service thread takes the request, IP=%s",
                 ip.constData());
        delete request;
        return false;
    }
    return true;
}
