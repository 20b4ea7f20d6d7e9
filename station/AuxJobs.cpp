#include "AuxJobs.h"

#include "HttpClient.h"

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
