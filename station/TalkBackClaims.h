#pragma once

#include <cstdint>
#include <mutex>
#include <set>

// The devices whose speaker sound is queued or streaming on the auxiliary
// thread, by login handle. A talk-back job closes its device's channel when it
// ends, so a second job for the same device would stream into a closed channel:
// while a claim stands, presses and further acceptances of that device are
// passed over. Any thread.
class TalkBackClaims {
public:
    // False when the device already holds a claim.
    bool Claim(int64_t login);
    void Release(int64_t login);
    bool IsClaimed(int64_t login) const;

private:
    mutable std::mutex m_lock;
    std::set<int64_t> m_logins;
};
