#pragma once

#include <QByteArray>
#include <QList>

// A mono 16-bit PCM WAV file of a short, fading chord: a real sound any
// music player on the desktop can play.
struct Tone {
    int sampleRate = 22050;
    double seconds = 3.0;
    QList<double> frequencies{261.63, 329.63, 392.00}; // C major
};

QByteArray waveFileOfTone(const Tone &tone);
