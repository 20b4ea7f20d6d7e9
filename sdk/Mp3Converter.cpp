#include "Mp3Converter.h"

#include <QFile>
#include <QSaveFile>

#include <mpg123.h>

#include <mutex>

namespace {

// mpg123_init is process-wide; newer libraries ignore repeats, older ones need it once.
void InitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

int Mp3Converter::Decode(const QString& mp3Path, std::vector<int16_t>* samples, int* rate, int* channels)
{
    if (!samples || !rate || !channels)
        return BadArguments;
    InitOnce();
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h)
        return DecodeFailed;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h, QFile::encodeName(mp3Path).constData()) != MPG123_OK) {
        mpg123_delete(h);
        return OpenFailed;
    }
    long r = 0;
    int ch = 0;
    int enc = 0;
    int result = Ok;
    if (mpg123_getformat(h, &r, &ch, &enc) != MPG123_OK || ch < 1 || ch > 2) {
        result = DecodeFailed;
    } else {
        samples->clear();
        unsigned char buffer[16384];
        for (;;) {
            size_t done = 0;
            const int rc = mpg123_read(h, buffer, sizeof buffer, &done);
            const auto* s = reinterpret_cast<const int16_t*>(buffer);
            samples->insert(samples->end(), s, s + done / 2);
            if (rc == MPG123_DONE)
                break;
            if (rc == MPG123_NEW_FORMAT)
                continue;
            if (rc != MPG123_OK) {
                result = samples->empty() ? DecodeFailed : Ok;   // keep what decoded before a damaged tail
                break;
            }
        }
        if (samples->empty())
            result = DecodeFailed;
        *rate = int(r);
        *channels = ch;
    }
    mpg123_close(h);
    mpg123_delete(h);
    return result;
}

std::vector<int16_t> Mp3Converter::ToMono(const std::vector<int16_t>& interleaved, int channels)
{
    if (channels <= 1)
        return interleaved;
    std::vector<int16_t> mono(interleaved.size() / size_t(channels));
    for (size_t i = 0; i < mono.size(); ++i) {
        int sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += interleaved[i * size_t(channels) + size_t(c)];
        mono[i] = int16_t(sum / channels);
    }
    return mono;
}

std::vector<int16_t> Mp3Converter::Resample(const std::vector<int16_t>& mono, int fromRate, int toRate)
{
    if (fromRate <= 0 || toRate <= 0 || fromRate == toRate || mono.empty())
        return mono;
    const size_t outCount = size_t(double(mono.size()) * toRate / fromRate);
    std::vector<int16_t> out(outCount);
    const double step = double(fromRate) / toRate;
    for (size_t i = 0; i < outCount; ++i) {
        const double pos = i * step;
        const size_t k = size_t(pos);
        const double frac = pos - double(k);
        const int a = mono[k];
        const int b = k + 1 < mono.size() ? mono[k + 1] : a;
        out[i] = int16_t(a + (b - a) * frac);
    }
    return out;
}

int Mp3Converter::Convert(const QString& mp3Path, const QString& pcmPath, int channels, int bits, int rate)
{
    if (mp3Path.isEmpty() || pcmPath.isEmpty() || channels != 1 || bits != 16 || rate < 8000 || rate > 48000)
        return BadArguments;
    std::vector<int16_t> samples;
    int fileRate = 0;
    int fileChannels = 0;
    const int rc = Decode(mp3Path, &samples, &fileRate, &fileChannels);
    if (rc != Ok)
        return rc;
    const std::vector<int16_t> pcm = Resample(ToMono(samples, fileChannels), fileRate, rate);
    QSaveFile out(pcmPath);
    if (!out.open(QIODevice::WriteOnly))
        return WriteFailed;
    QByteArray bytes(int(pcm.size() * 2), '\0');
    for (size_t i = 0; i < pcm.size(); ++i) {
        bytes[int(2 * i)] = char(uint16_t(pcm[i]) & 0xFF);
        bytes[int(2 * i + 1)] = char(uint16_t(pcm[i]) >> 8);
    }
    if (out.write(bytes) != bytes.size() || !out.commit())
        return WriteFailed;
    return Ok;
}
