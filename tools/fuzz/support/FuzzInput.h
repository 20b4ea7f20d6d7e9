#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads a fuzz input front to back. Past the end every read gives zeros or
// nothing, so a driver needs no length checks of its own.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t Byte();
    // A big-endian word of four bytes.
    uint32_t Word();
    // Up to length bytes.
    std::string Bytes(size_t length);
    // The bytes up to the next separator (taken off, not returned); the rest when there is none.
    std::string Until(uint8_t separator);
    std::string Rest();

    const uint8_t* Here() const { return m_data + m_pos; }
    size_t Left() const { return m_size - m_pos; }
    void Skip(size_t length);

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
