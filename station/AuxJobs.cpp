#include "AuxJobs.h"

#include "HttpClient.h"

namespace {

// An empty record of the kind that message carries; none for a message that is
// no job of the auxiliary thread.
std::optional<AuxJobRecord> EmptyRecordOf(uint32_t message)
{
    switch (message) {
    case AUX_MSG_START_AUDIO_OK:
        return AuxJobRecord(AuxResponsePtr());
    case AUX_MSG_PRINT_QRCODE:
    case AUX_MSG_CHECK_QRCODE:
        return AuxJobRecord(std::unique_ptr<AuxPrintQRCodeMsg>());
    case AUX_MSG_4G_INFO_TEST:
        return AuxJobRecord(std::unique_ptr<Dev4GInfo>());
    case AUX_MSG_BIND_DEV:
        return AuxJobRecord(std::unique_ptr<DevBindJob>());
    case AUX_MSG_AUTHORIZE_CHECK:
        return AuxJobRecord(std::unique_ptr<AuxAuthorizeCheckMsg>());
    default:
        return std::nullopt;
    }
}

}  // namespace

bool IsAuxJobMessage(uint32_t message)
{
    return EmptyRecordOf(message).has_value();
}

bool AuxRecordFits(uint32_t message, const AuxJobRecord& record)
{
    const std::optional<AuxJobRecord> kind = EmptyRecordOf(message);
    const bool held = std::visit([](const auto& owner) { return owner != nullptr; }, record);
    return kind && kind->index() == record.index() && held;
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
