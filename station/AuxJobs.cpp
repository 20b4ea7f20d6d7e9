#include "AuxJobs.h"

#include "AuxResponseInfo.h"
#include "HttpClient.h"
#include "Log.h"

#include <QByteArray>

bool FreeAuxJob(uint32_t message, uintptr_t job)
{
    switch (message) {
    case AUX_MSG_START_AUDIO_OK:
        FreeAuxResponseInfo(reinterpret_cast<AuxResponseInfo*>(job));
        return true;
    case AUX_MSG_PRINT_QRCODE:
    case AUX_MSG_CHECK_QRCODE:
        delete reinterpret_cast<AuxPrintQRCodeMsg*>(job);
        return true;
    case AUX_MSG_4G_INFO_TEST:
        delete reinterpret_cast<Dev4GInfo*>(job);
        return true;
    case AUX_MSG_BIND_DEV:
        delete reinterpret_cast<DevBindJob*>(job);
        return true;
    case AUX_MSG_AUTHORIZE_CHECK:
        delete reinterpret_cast<AuxAuthorizeCheckMsg*>(job);
        return true;
    case WM_ID_SERVICE_REQUEST:
        delete reinterpret_cast<QByteArray*>(job);
        return true;
    default:
        if (job)
            LogPrint(LOG_MAJOR, "FreeAuxJob() message %u carries no known job, %p left alone", message,
                     reinterpret_cast<void*>(job));
        return false;
    }
}

bool IsAuxJobMessage(uint32_t message)
{
    switch (message) {
    case AUX_MSG_START_AUDIO_OK:
    case AUX_MSG_PRINT_QRCODE:
    case AUX_MSG_CHECK_QRCODE:
    case AUX_MSG_4G_INFO_TEST:
    case AUX_MSG_BIND_DEV:
    case AUX_MSG_AUTHORIZE_CHECK:
        return true;
    default:
        return false;
    }
}

void AuxJobResult::ApplyTo(DevTestResult& record) const
{
    for (const auto& change : m_changes)
        change(record);
}

AuxJobResult AuxJobResult::NotDone()
{
    AuxJobResult result;
    result.done = false;
    return result;
}

void AuxJobCancel::Cancel()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_cancelled.store(true);
    for (HttpClient* client : m_clients)
        client->SetExitFlag(true);
}

void AuxJobCancel::Watch(HttpClient* client)
{
    if (!client)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_clients.insert(client);
    if (m_cancelled.load())
        client->SetExitFlag(true);
}

void AuxJobCancel::Unwatch(HttpClient* client)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_clients.erase(client);
}
