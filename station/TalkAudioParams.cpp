#include "TalkAudioParams.h"

#include <QByteArray>

#include <cstring>

namespace {

// The number after key (searched from *from), its separator skipped; *from
// moves past that separator. False when the key, a comma or the number is missing.
bool ReadValue(const QByteArray& text, const char* key, int* from, int* value)
{
    const int at = text.indexOf(key, *from);
    if (at < 0)
        return false;
    const int start = at + int(std::strlen(key)) + 1;
    if (start > text.size())
        return false;
    const int comma = text.indexOf(',', start);
    if (comma < 0)
        return false;
    bool ok = false;
    *value = text.mid(start, comma - start).trimmed().toInt(&ok, 10);
    *from = start;
    return ok;
}

}  // namespace

bool TalkAudioParams::Parse(const char* text, TalkAudioParams* out)
{
    if (!text || !out)
        return false;
    const QByteArray t(text);
    TalkAudioParams p;
    int from = 0;
    if (!ReadValue(t, "audiotype", &from, &p.audioType) || !ReadValue(t, "samplerate", &from, &p.sampleRate) ||
        !ReadValue(t, "bits", &from, &p.bits) || !ReadValue(t, "channels", &from, &p.channels))
        return false;
    *out = p;
    return true;
}
