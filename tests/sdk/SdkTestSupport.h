#pragma once

#include "FuncLib.h"
#include "PlayCtrl.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// What the SDK's status and reply callbacks delivered, with the thread they ran on.
struct SdkEvent {
    bool reply = false;          // false: status event
    int64_t handle = 0;
    int code = 0;                // status type or reply state code
    QByteArray data;             // text, or the raw record of type 23
    bool hasData = false;
    std::thread::id thread;
};

class SdkEventRecorder {
public:
    // Registers both SDK callbacks with this recorder as the user pointer.
    void Attach();
    void Detach();

    QVector<SdkEvent> Events() const;
    // Waits up to timeoutMs for an event that matches; true when one came.
    bool WaitFor(const std::function<bool(const SdkEvent&)>& match, int timeoutMs, SdkEvent* found = nullptr);
    int Count() const;

    static int OnStatus(int64_t handle, int type, const char* data, void* user);
    static int OnReply(int64_t handle, int state, const char* text, void* user);

private:
    void Add(const SdkEvent& e);
    mutable std::mutex m_lock;
    std::condition_variable m_added;
    QVector<SdkEvent> m_events;
};

// Polls pred every 5 ms for up to timeoutMs.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs);

// A profile with the station adapter 127.0.0.5/24 and three cameras:
// "VTA0001" at the factory address, "VTB0002" off the subnet, "VTC0003" on it.
QByteArray ThreeCameraProfile();
// Loads a profile into the simulated LAN; empty on success, else what went wrong.
QString LoadSimLan(const QByteArray& profileJson);
