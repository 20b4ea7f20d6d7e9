#pragma once

#include <QByteArray>
#include <QString>

// The login dialog keeps a remembered password in config.ini only in this
// scrambled form: six letters of a running byte sum, then two letters per byte.
// It hides the password from a casual reader of the file; it is no encryption.

// The 64 letters of the stored form: 0-9, a-z, A-Z, "_", "-" (index = 6-bit value).
extern const char StoredPasswordAlphabet[65];

// The decoded password and the stored text are each held in a 1,024-byte text,
// terminator included: a longer stored text is refused.
constexpr int STORED_PASSWORD_TEXT_MAX = 1023;

// The stored form of the password's bytes: 6 + 2n letters of the alphabet.
QByteArray ScramblePassword(const QByteArray& password);

// The password bytes of a stored text. False (and an empty *password) for a text
// shorter than six letters, longer than the limit, with an odd number of letters
// after the first six, or failing either check.
bool DecodeStoredPassword(const QString& stored, QByteArray* password);
