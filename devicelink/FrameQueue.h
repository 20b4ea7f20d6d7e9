#pragma once

#include "FrameBuffer.h"

#include <functional>
#include <list>
#include <memory>
#include <mutex>

// The renderer's three picture buffers in queue order. The decode thread fills
// a buffer outside the lock (BeginFill / EndFill); the GUI thread draws the
// front buffer under the lock (DrawFront). Unshown pictures stay in arrival
// order; when all three are unshown the newest one is overwritten.
class FrameQueue {
public:
    static constexpr int BUFFER_COUNT = 3;
    using Buffer = std::shared_ptr<FrameBuffer>;

    FrameQueue();

    // The first free buffer in queue order, else the last (newest unshown)
    // one; null when every buffer is being filled. The buffer is marked as
    // filling and is never drawn until EndFill.
    Buffer BeginFill();
    // Queues the filled picture, unless Discard ran since BeginFill or the fill
    // failed. whileLocked runs under the queue mutex after a picture was queued.
    // Returns true when the picture was queued.
    bool EndFill(const Buffer& buffer, bool filled, const std::function<void()>& whileLocked = {});

    // When the front buffer holds an unshown picture: draws it under the
    // mutex, marks it consumed and moves it to the back. False when nothing new.
    bool DrawFront(const std::function<void(const FrameBuffer&)>& draw);

    // Marks every buffer consumed; fills in progress end without queuing.
    void Discard();

    int UnshownCount() const;

private:
    mutable std::mutex m_mutex;
    std::list<Buffer> m_buffers;
    uint64_t m_generation = 0;
};
