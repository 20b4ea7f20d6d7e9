#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// A registered callback with its user pointer. Clearing it waits until no
// other thread is inside it, so that no call is made (or still running) after
// the clear returns; a callback that clears itself does not wait for itself.
template <typename Fn>
class CallbackGate {
public:
    void Set(Fn fn, void* user)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_fn = fn;
        m_user = user;
        if (fn)
            return;
        const std::thread::id self = std::this_thread::get_id();
        m_idle.wait(lock, [&] {
            return std::all_of(m_inside.begin(), m_inside.end(),
                               [&](std::thread::id id) { return id == self; });
        });
    }

    bool IsSet() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_fn != nullptr;
    }

    // Calls invoke(fn, user) when a callback is set; false when none is.
    template <typename Invoke>
    bool Call(Invoke&& invoke)
    {
        Fn fn;
        void* user;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (!m_fn)
                return false;
            fn = m_fn;
            user = m_user;
            m_inside.push_back(std::this_thread::get_id());
        }
        invoke(fn, user);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            auto it = std::find(m_inside.begin(), m_inside.end(), std::this_thread::get_id());
            if (it != m_inside.end())
                m_inside.erase(it);
        }
        m_idle.notify_all();
        return true;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_idle;
    Fn m_fn = nullptr;
    void* m_user = nullptr;
    std::vector<std::thread::id> m_inside;
};
