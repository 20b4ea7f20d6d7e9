#pragma once

#include "FuncLib.h"
#include "PlayCtrl.h"

#include <gtest/gtest.h>

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

// The path and the bytes of a sample profile in sdk/sim/ ("SimProfile.json", ...).
QString SampleProfilePath(const char* name);
QByteArray ReadSampleProfile(const char* name);

// Writes bytes to a new file at path; false when it cannot.
bool WriteFile(const QString& path, const QByteArray& bytes);

// A profile with the station adapter 127.0.0.5/24 and three cameras:
// "VTA0001" at the factory address, "VTB0002" off the subnet, "VTC0003" on it.
QByteArray ThreeCameraProfile();
// Loads a profile into the simulated LAN; empty on success, else what went wrong.
QString LoadSimLan(const QByteArray& profileJson);

// Loads a profile into the simulated LAN with the SDK callbacks recorded, and
// leaves the LAN, the SDK and the play library clean afterwards.
class SimLanTest : public ::testing::Test {
protected:
    void TearDown() override;
    // Parses json (the test fails when it does not parse), loads it and attaches the recorder.
    void Load(const QByteArray& json);
    // Logs in and waits for the outcome: the status type (4 ok, 5 failed), or 0.
    int LoginOutcome(const char* ip, int port, const char* password, int64_t* handle);
    // Logs in with the default credentials; 0 (and a failure) unless it succeeds.
    int64_t LoggedIn(const char* ip, int port = 3000);
    // Waits up to timeoutMs for the n-th reply (from 0) to command on handle.
    bool ReplyTo(int64_t handle, int command, SdkEvent* reply, int n = 0, int timeoutMs = 2000);

    SdkEventRecorder recorder;
};

