#pragma once

// The audio a device asks for when it accepts talk-back: the status text of
// EVENT_STARTAUDIOOK, e.g. "audiotype=0,samplerate=8000,bits=16,channels=1,".
struct TalkAudioParams {
    int audioType = 0;
    int sampleRate = 0;
    int bits = 0;
    int channels = 0;

    // PCM bytes read per frame: 4096 for audio type 1, else 2048.
    int BlockBytes() const { return audioType == 1 ? 4096 : 2048; }

    // Reads the four keys in this order, case-sensitively, each searched for
    // after the previous key and the one separator character that follows it;
    // a value is the decimal number up to the next comma, which every value
    // needs, the last included. False when a key, its comma or its number is
    // missing (nothing is read past the text's NUL).
    static bool Parse(const char* text, TalkAudioParams* out);
};
