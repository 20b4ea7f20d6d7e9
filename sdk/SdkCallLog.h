#pragma once

#include <QString>
#include <QVector>

#include <cstdint>
#include <mutex>

// One call the station made into the device SDK or the play library.
struct SdkCall {
    uint64_t tick = 0;           // Clock::TickMs() at the call
    QString function;            // e.g. "FC_Loc_Login"
    QString arguments;           // the arguments as text, passwords masked
    int64_t result = 0;
};

// Process-wide log of the calls, for tests and the demo's trace. The packet
// inputs are only counted: they come dozens of times a second.
class SdkCallLog {
public:
    static SdkCallLog& Instance();

    void Record(const char* function, const QString& arguments, int64_t result);
    void CountInput(bool video);
    QVector<SdkCall> Calls() const;
    QVector<SdkCall> CallsOf(const QString& function) const;
    int64_t VideoInputs() const;
    int64_t AudioInputs() const;
    void Clear();

    static constexpr int kMaxCalls = 20000;   // oldest calls are dropped beyond this

private:
    mutable std::mutex m_lock;
    QVector<SdkCall> m_calls;
    int64_t m_videoInputs = 0;
    int64_t m_audioInputs = 0;
};
