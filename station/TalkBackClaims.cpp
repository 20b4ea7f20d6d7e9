#include "TalkBackClaims.h"

bool TalkBackClaims::Claim(int64_t login)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_logins.insert(login).second;
}

void TalkBackClaims::Release(int64_t login)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_logins.erase(login);
}

bool TalkBackClaims::IsClaimed(int64_t login) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_logins.count(login) != 0;
}
