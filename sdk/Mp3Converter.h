#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// MP3 file to raw PCM (signed 16-bit little-endian, no header) with libmpg123,
// mixed down to mono and resampled to the asked rate.
class Mp3Converter {
public:
    enum Result : int {
        Ok = 0,
        BadArguments = -1,
        OpenFailed = -5,
        DecodeFailed = -6,
        WriteFailed = -7,
    };

    // Only 1 channel and 16 bits are produced; rate 8000..48000. The PCM file
    // appears whole or not at all (written beside it, then renamed), so that
    // its existence means a finished conversion.
    static int Convert(const QString& mp3Path, const QString& pcmPath, int channels, int bits, int rate);

    // Decodes to interleaved 16-bit samples at the file's own rate.
    static int Decode(const QString& mp3Path, std::vector<int16_t>* samples, int* rate, int* channels);
    // Mono mix of interleaved samples, then linear resampling from -> to.
    static std::vector<int16_t> ToMono(const std::vector<int16_t>& interleaved, int channels);
    static std::vector<int16_t> Resample(const std::vector<int16_t>& mono, int fromRate, int toRate);
};
