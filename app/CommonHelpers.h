#pragma once

#include <QString>

constexpr int LOCAL_IP_SLOT = 32;

// Local IPv4 interface addresses (loopback left out, stable order) as dotted text in
// consecutive 32-byte slots; at most maxCount. Returns the number written.
int GetLocalIp(char* slotBuffer, int maxCount);
// The operator text for a back-end transport code; empty for an unknown code.
QString GetSocketErrorMessage(int code);
// Upper-case MD5 hex of text into out: exactly 32 characters (caller gives >= 33 zeroed bytes).
void GetTextMd5(const char* text, char* out);
