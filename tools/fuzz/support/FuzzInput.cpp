#include "FuzzInput.h"

#include <algorithm>
#include <cstring>

uint8_t FuzzInput::Byte()
{
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

uint32_t FuzzInput::Word()
{
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
        w = (w << 8) | Byte();
    return w;
}

std::string FuzzInput::Bytes(size_t length)
{
    const size_t n = std::min(length, Left());
    std::string out(reinterpret_cast<const char*>(m_data + m_pos), n);
    m_pos += n;
    return out;
}

std::string FuzzInput::Until(uint8_t separator)
{
    const void* at = Left() ? memchr(m_data + m_pos, separator, Left()) : nullptr;
    if (!at)
        return Rest();
    const size_t n = size_t(static_cast<const uint8_t*>(at) - (m_data + m_pos));
    std::string out = Bytes(n);
    Skip(1);
    return out;
}

std::string FuzzInput::Rest()
{
    return Bytes(Left());
}

void FuzzInput::Skip(size_t length)
{
    m_pos += std::min(length, Left());
}
