#pragma once

#include "FuncLib.h"
#include "PlayCtrl.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
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
    // Starts talk-back and waits until the camera has accepted it.
    bool StartSpeaking(int64_t handle);
    // Waits up to timeoutMs for the n-th reply (from 0) to command on handle.
    bool ReplyTo(int64_t handle, int command, SdkEvent* reply, int n = 0, int timeoutMs = 10000);

    SdkEventRecorder recorder;
};

// The live-play rules of the station, in the small: the header opens the port,
// packets are fed in, frames come back on the decode thread. Set port, width
// and height, pass the object as the play parameter's user pointer and store
// the handle FC_Loc_RealPlayEx returns in realHandle.
struct LivePlay {
    std::atomic<int64_t> realHandle{0};
    int port = 0;
    std::atomic<int> headers{0};
    std::atomic<int> videoFrames{0};
    std::atomic<int> audioFrames{0};
    std::atomic<int> greyFrames{0};          // pictures without colour (a second lens)
    std::atomic<int> inputErrors{0};
    std::atomic<int> badFrames{0};
    std::atomic<int> audioBytes{0};
    std::atomic<bool> callbackOnCaller{false};
    std::atomic<bool> tearingDown{false};   // inputs may fail once the port is closing
    // Packets that come before the caller has the handle take theirs as the stream's.
    bool adoptEarlyHandle = false;
    std::atomic<bool> headerBeforeHandle{false};
    std::thread::id caller = std::this_thread::get_id();
    int width = 0;
    int height = 0;

    // Takes a port and asks for the stream of login at url on channel; the
    // handle (or error) FC_Loc_RealPlayEx gave, also kept in realHandle.
    int64_t Start(int64_t login, const char* url, int channel = -1);
    // Tears down in the station's order: display callback off, stream stopped, port freed.
    void Stop();

    static int OnData(int64_t handle, int type, const char* buffer, int size, const FC_PacketInfo* packet);
    static int OnFrame(int port, const PC_FrameInfo* frame, void* user);
};
