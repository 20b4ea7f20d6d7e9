#pragma once

#include <QByteArray>
#include <QString>

struct DevInfo;
struct DevTypeInfo;

// Checks of the automatic chain that need no controller state.

// A usable serial number: exactly 16 characters, not starting with
// "FFFFFFFF", "ffffffff" or "00000000".
bool IsValidSN(const QString& sn);

// The authorization sign: MD5 (upper-case hex) of the first text's 8
// characters from index 1, the second text's 8 characters from index 4 when
// it is not empty, and the salt. -1, sign untouched, when the first is empty.
int GetAuthorizeSign(const QString& first, const QString& second, QString& sign);

// The untranslated failure line of the test-type check ("LeftTopWidget"
// context), or null when a device of this type may be tested under testType.
const char* TestModelMismatchText(int devType, int testType);

// One step of a manual script, "key:seconds": true with both parts when there
// are exactly two and seconds is a whole number from 0 to 3600.
bool ParseManualAutoStep(const QString& step, QString* key, int* seconds);

// Labels can be printed for main type 101 with a type of 1 to 6.
bool DevTypeSupportsPrint(const DevTypeInfo& info);

// The model of a device from its version texts: the part of the file-system
// identify text between its first and second "_"; when that is missing, empty
// or "QV207L", the device identify text before its first "-"; when that is
// empty or "QV207L" too, the firmware version before its first "-". At most 63
// bytes. 0 with *model set; -1 (file-system identify empty) and -2 (firmware
// version needed but empty) leave *model alone.
int DeriveSpecialModel(const DevInfo& dev, QByteArray* model);
