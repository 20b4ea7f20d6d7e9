#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstring>

// A fixed text field of a device record, read up to its NUL and never past its
// end: the bytes come from the camera and need not be terminated.
template <size_t N>
QByteArray Field(const char (&field)[N])
{
    return QByteArray(field, int(strnlen(field, N)));
}
