#pragma once

#include <cstdint>
#include <vector>

// A port on 127.0.0.1 that listens but whose accept queue is full: a connect to
// it stays pending (the kernel drops its SYNs) until the object goes.
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    uint16_t Port() const { return m_port; }
    // Whether the queue could be filled (a connect there now waits).
    bool Stalled() const { return m_stalled; }

private:
    int m_listen = -1;
    uint16_t m_port = 0;
    bool m_stalled = false;
    std::vector<int> m_fillers;
};
