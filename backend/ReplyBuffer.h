#pragma once

#include <cstddef>
#include <new>

// A zeroed heap block for the back-end client's replies: its own reply and
// body buffers, its download buffer and the callers' reply buffers, 1 MiB to
// 10 MiB each and mostly never written. Fresh blocks of that size are mapped
// from the system and torn down again, which a memory checker makes slow, so
// a block goes back to a small cache when its owner ends, zeroed again, and
// the next owner of that size takes it from there. A cached block is poisoned
// for AddressSanitizer: a pointer kept past the owner is still caught.
class ReplyBuffer {
public:
    // A zeroed block of size bytes; throws std::bad_alloc when memory ran out.
    explicit ReplyBuffer(size_t size);
    // The same, but data() is null when memory ran out.
    ReplyBuffer(size_t size, const std::nothrow_t&);
    ~ReplyBuffer();
    ReplyBuffer(const ReplyBuffer&) = delete;
    ReplyBuffer& operator=(const ReplyBuffer&) = delete;

    char* data() const { return m_data; }
    size_t size() const { return m_size; }

    // The owner says that only the first `bytes` bytes can be non-zero now;
    // until it says so, any byte can be. Zeroing touches only those bytes.
    void SetUsed(size_t bytes);
    // Zeroes the block. The owner writes into it again afterwards, so the
    // whole block counts as used until the next SetUsed.
    void Clear();

private:
    char* m_data;
    size_t m_size;
    size_t m_used;
};
