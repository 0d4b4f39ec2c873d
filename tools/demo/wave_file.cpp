#include "tools/demo/wave_file.h"

#include <QList>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace {

void appendLittle32(QByteArray &bytes, quint32 value) {
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

void appendLittle16(QByteArray &bytes, quint16 value) {
    char raw[2];
    qToLittleEndian(value, raw);
    bytes.append(raw, 2);
}

} // namespace

QByteArray waveFileOfTone(const Tone &tone) {
    constexpr quint16 channels = 1;
    constexpr quint16 bitsPerSample = 16;
    constexpr quint16 blockAlign = channels * bitsPerSample / 8;
    const quint32 sampleCount = quint32(std::lround(tone.sampleRate * tone.seconds));
    const quint32 dataBytes = sampleCount * blockAlign;

    QByteArray bytes;
    bytes.reserve(int(44 + dataBytes));
    bytes.append("RIFF", 4);
    appendLittle32(bytes, 36 + dataBytes);
    bytes.append("WAVE", 4);
    bytes.append("fmt ", 4);
    appendLittle32(bytes, 16);
    appendLittle16(bytes, 1); // PCM
    appendLittle16(bytes, channels);
    appendLittle32(bytes, quint32(tone.sampleRate));
    appendLittle32(bytes, quint32(tone.sampleRate) * blockAlign);
    appendLittle16(bytes, blockAlign);
    appendLittle16(bytes, bitsPerSample);
    bytes.append("data", 4);
    appendLittle32(bytes, dataBytes);

    const double voices = std::max<qsizetype>(1, tone.frequencies.size());
    for (quint32 i = 0; i < sampleCount; ++i) {
        const double t = double(i) / tone.sampleRate;
        // A short attack and an exponential fade, so it neither clicks nor stops dead.
        const double envelope = std::min(1.0, t / 0.02) * std::exp(-2.0 * t / tone.seconds) *
                                std::min(1.0, (tone.seconds - t) / 0.05);
        double sample = 0;
        for (double frequency : tone.frequencies) sample += std::sin(2 * std::numbers::pi * frequency * t);
        const double scaled = 0.6 * 32767.0 * envelope * sample / voices;
        appendLittle16(bytes, quint16(qint16(std::clamp(scaled, -32767.0, 32767.0))));
    }
    return bytes;
}
