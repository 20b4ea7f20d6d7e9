#include "SdkCallLog.h"

#include "Clock.h"

SdkCallLog& SdkCallLog::Instance()
{
    static SdkCallLog log;
    return log;
}

void SdkCallLog::Record(const char* function, const QString& arguments, int64_t result)
{
    SdkCall call;
    call.tick = Clock::TickMs();
    call.function = QString::fromLatin1(function);
    call.arguments = arguments;
    call.result = result;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_calls.size() >= kMaxCalls)
        m_calls.remove(0, kMaxCalls / 10);
    m_calls.push_back(call);
}

void SdkCallLog::CountInput(bool video)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ++(video ? m_videoInputs : m_audioInputs);
}

QVector<SdkCall> SdkCallLog::Calls() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_calls;
}

QVector<SdkCall> SdkCallLog::CallsOf(const QString& function) const
{
    QVector<SdkCall> out;
    std::lock_guard<std::mutex> guard(m_lock);
    for (const SdkCall& c : m_calls) {
        if (c.function == function)
            out.push_back(c);
    }
    return out;
}

int64_t SdkCallLog::VideoInputs() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_videoInputs;
}

int64_t SdkCallLog::AudioInputs() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_audioInputs;
}

void SdkCallLog::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.clear();
    m_videoInputs = 0;
    m_audioInputs = 0;
}
