// Auxiliary thread and its job mechanism. The job actions are still to be
// built; the thread takes every job and frees it.
#include "LeftTopWidget.h"

#include "Log.h"

void LeftTopWidget::ExecuteAuxFuncThread()
{
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::Aux);
    while (queue && !m_workers.StopRequested(StationWorkers::Aux)) {
        ThreadMessage msg;
        if (!queue->Wait(&msg, 50))
            continue;
        if (msg.message >= AUX_MSG_START_AUDIO_OK && msg.message <= AUX_MSG_AUTHORIZE_CHECK)
            LogPrint(LOG_DEBUG0, "LeftTopWidget::ExecuteAuxFuncThread() job %u taken, its action is not built yet",
                     msg.message);
        else
            LogPrint(LOG_GENERAL, "LeftTopWidget::ExecuteAuxFuncThread() message %u dropped", msg.message);
        FreeAuxJob(msg.message, msg.wParam);
    }
    // Jobs still queued at the stop are freed, not run.
    if (queue) {
        for (const ThreadMessage& msg : queue->TakePending())
            FreeAuxJob(msg.message, msg.wParam);
    }
}

bool LeftTopWidget::PostAuxJob(uint32_t message, void* job, int source)
{
    ThreadMessageQueue* queue = m_workers.Queue(StationWorkers::Aux);
    if (!queue || !queue->Post(message, reinterpret_cast<uintptr_t>(job), source)) {
        LogPrint(LOG_GENERAL, "LeftTopWidget::PostAuxJob() the auxiliary thread takes no job, message %u freed",
                 message);
        FreeAuxJob(message, reinterpret_cast<uintptr_t>(job));
        return false;
    }
    return true;
}

void LeftTopWidget::onThreadItemProcEnd(int iMsgItem, int iMsgSrcType)
{
    LogPrint(LOG_DEBUG0, "LeftTopWidget::onThreadItemProcEnd() not built yet, iMsgItem=%d, iMsgSrcType=%d", iMsgItem,
             iMsgSrcType);
}
