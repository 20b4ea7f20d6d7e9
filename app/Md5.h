#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// RFC 1321 message digest.
struct MD5_CTX {
    uint32_t state[4];
    uint32_t count[2];      // bit count, low word first
    unsigned char buffer[64];
};

void MD5Init(MD5_CTX* context);
void MD5Update(MD5_CTX* context, const unsigned char* input, size_t inputLen);
// Writes the 16-byte digest and clears the context.
void MD5Final(unsigned char digest[16], MD5_CTX* context);

// Upper-case hex digest of bytes: exactly 32 characters into out, no NUL.
void Md5UpperHex(const unsigned char* data, size_t length, char* out);

// Lower-case hex digest of a file into out (33 bytes), or into a new[] buffer the
// caller delete[]s when out is null. Null when the file can't be opened or read;
// out is then left untouched.
char* GetFileMd5(const QString& path, char* out);
// The same as a QString; empty on failure.
QString FileMd5Hex(const QString& path);
