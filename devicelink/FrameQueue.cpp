#include "FrameQueue.h"

FrameQueue::FrameQueue()
{
    for (int i = 0; i < BUFFER_COUNT; ++i)
        m_buffers.push_back(std::make_shared<FrameBuffer>());
}

FrameQueue::Buffer FrameQueue::BeginFill()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Buffer chosen;
    for (const Buffer& b : m_buffers) {
        if (b->consumed && !b->filling) {
            chosen = b;
            break;
        }
    }
    if (!chosen && !m_buffers.back()->filling)
        chosen = m_buffers.back();
    if (!chosen)
        return nullptr;
    chosen->filling = true;
    chosen->generation = m_generation;
    return chosen;
}

bool FrameQueue::EndFill(const Buffer& buffer, bool filled, const std::function<void()>& whileLocked)
{
    if (!buffer)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    buffer->filling = false;
    // A failed fill may have emptied an unshown picture; a discarded one is stale.
    if (!filled || buffer->generation != m_generation) {
        buffer->consumed = true;
        return false;
    }
    buffer->consumed = false;
    if (whileLocked)
        whileLocked();
    return true;
}

bool FrameQueue::DrawFront(const std::function<void(const FrameBuffer&)>& draw)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Buffer front = m_buffers.front();
    if (front->consumed || front->filling)
        return false;
    if (draw)
        draw(*front);
    front->consumed = true;
    m_buffers.pop_front();
    m_buffers.push_back(front);
    return true;
}

void FrameQueue::Discard()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
    for (const Buffer& b : m_buffers)
        b->consumed = true;
}

int FrameQueue::UnshownCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const Buffer& b : m_buffers)
        n += (!b->consumed && !b->filling) ? 1 : 0;
    return n;
}
