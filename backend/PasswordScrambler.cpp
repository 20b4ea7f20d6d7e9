#include "PasswordScrambler.h"

#include <cmath>
#include <cstdint>

const char StoredPasswordAlphabet[65] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-";

namespace {

constexpr double K = 0.0419386152;
constexpr int SUM_LETTERS = 6;

// Key byte of position i: the low 8 bits of 255 * sin(i * K), cut toward zero.
uint8_t KeyByte(int i)
{
    return uint8_t(int(255.0 * std::sin(double(i) * K)) & 0xFF);
}

// Index of a letter of the stored form; anything else reads as 0.
int LetterValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'z')
        return 10 + (u - 'a');
    if (u >= 'A' && u <= 'Z')
        return 36 + (u - 'A');
    if (u == '_')
        return 62;
    if (u == '-')
        return 63;
    return 0;
}

}  // namespace

QByteArray ScramblePassword(const QByteArray& password)
{
    uint64_t sum = 0;
    QByteArray pairs;
    pairs.reserve(password.size() * 2);
    for (int i = 0; i < password.size(); ++i) {
        const uint8_t p = uint8_t(password[i]);
        const uint8_t b = uint8_t(uint8_t(p - i % 5) ^ KeyByte(i));
        sum += p;
        pairs += StoredPasswordAlphabet[((b >> 2) & 0x30) | (sum & 0x0F)];
        pairs += StoredPasswordAlphabet[b & 0x3F];
    }
    QByteArray stored;
    for (int j = 0; j < SUM_LETTERS; ++j)
        stored += StoredPasswordAlphabet[(sum >> (6 * j)) & 0x3F];
    return stored + pairs;
}

bool DecodeStoredPassword(const QString& stored, QByteArray* password)
{
    password->clear();
    const int length = stored.size();
    if (length < SUM_LETTERS || length > STORED_PASSWORD_TEXT_MAX || (length - SUM_LETTERS) % 2 != 0)
        return false;
    uint64_t expected = 0;
    for (int j = 0; j < SUM_LETTERS; ++j)
        expected |= uint64_t(LetterValue(stored[j])) << (6 * j);

    uint64_t sum = 0;
    QByteArray bytes;
    for (int i = 0; SUM_LETTERS + 2 * i < length; ++i) {
        const int x = LetterValue(stored[SUM_LETTERS + 2 * i]);
        const int y = LetterValue(stored[SUM_LETTERS + 2 * i + 1]);
        const uint8_t c = uint8_t(((y | ((x & 0x30) << 2)) ^ KeyByte(i)) + i % 5);
        sum += c;
        if (((sum ^ uint64_t(x)) & 0x0F) != 0)
            return false;
        bytes += char(c);
    }
    if (sum != expected)
        return false;
    *password = bytes;
    return true;
}
