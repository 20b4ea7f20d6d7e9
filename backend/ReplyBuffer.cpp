#include "ReplyBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace {

// A request keeps three blocks at most; a download adds one of 10 MiB.
constexpr size_t kMaxBlocks = 4;
constexpr size_t kMaxBytes = 16u * 1024 * 1024;

struct Block {
    char* data;
    size_t size;
};

struct Cache {
    std::mutex lock;
    std::vector<Block> blocks;
    size_t bytes = 0;
};

// Never destroyed: a block may come back while the program's statics end.
Cache& TheCache()
{
    static Cache* cache = [] {
        auto* c = new Cache;
        c->blocks.reserve(kMaxBlocks);
        return c;
    }();
    return *cache;
}

char* Take(size_t size)
{
    Cache& c = TheCache();
    {
        std::lock_guard<std::mutex> guard(c.lock);
        auto it = std::find_if(c.blocks.begin(), c.blocks.end(), [size](const Block& b) { return b.size == size; });
        if (it != c.blocks.end()) {
            char* data = it->data;
            c.bytes -= size;
            c.blocks.erase(it);
            ASAN_UNPOISON_MEMORY_REGION(data, size);
            return data;
        }
    }
    // calloc takes fresh pages zero and leaves them untouched until written.
    return static_cast<char*>(std::calloc(size, 1));
}

// data is all zero.
void Give(char* data, size_t size)
{
    Cache& c = TheCache();
    {
        std::lock_guard<std::mutex> guard(c.lock);
        if (c.blocks.size() < kMaxBlocks && c.bytes + size <= kMaxBytes) {
            ASAN_POISON_MEMORY_REGION(data, size);
            c.blocks.push_back({data, size});
            c.bytes += size;
            return;
        }
    }
    std::free(data);
}

}  // namespace

ReplyBuffer::ReplyBuffer(size_t size, const std::nothrow_t&)
    : m_data(Take(size)), m_size(m_data ? size : 0), m_used(m_size)
{
}

ReplyBuffer::ReplyBuffer(size_t size) : ReplyBuffer(size, std::nothrow)
{
    if (!m_data)
        throw std::bad_alloc();
}

ReplyBuffer::~ReplyBuffer()
{
    if (!m_data)
        return;
    std::memset(m_data, 0, m_used);
    Give(m_data, m_size);
}

void ReplyBuffer::SetUsed(size_t bytes)
{
    m_used = std::min(bytes, m_size);
}

void ReplyBuffer::Clear()
{
    if (m_data)
        std::memset(m_data, 0, m_used);
    m_used = m_size;
}
