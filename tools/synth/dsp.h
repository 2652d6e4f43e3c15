// Small building blocks for the sound synthesiser: oscillators, filters,
// envelopes, a seeded noise source and an Ogg/Vorbis writer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace synth {

const int RATE = 44100;
const double PI = 3.14159265358979323846;
const double TWO_PI = 2.0 * PI;

// Frequency of a MIDI note number (69 = A4 = 440 Hz).
inline double note_hz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

inline int seconds(double s) { return (int)std::lround(s * RATE); }

// Deterministic white noise in -1..1 (xorshift), so every build writes the same files.
class Noise {
public:
    explicit Noise(uint32_t seed) : _s(seed ? seed : 1u) {}
    double next() {
        _s ^= _s << 13;
        _s ^= _s >> 17;
        _s ^= _s << 5;
        return (double)_s / 2147483648.0 - 1.0;
    }
    // Uniform in 0..1.
    double unit() { return (next() + 1.0) * 0.5; }

private:
    uint32_t _s;
};

// Phase-accumulating oscillator; frequency may change every sample.
class Osc {
public:
    explicit Osc(double phase = 0.0) : _phase(phase) {}
    double sine(double hz) { return std::sin(TWO_PI * step(hz)); }
    double triangle(double hz) {
        double p = step(hz);
        return 4.0 * std::fabs(p - 0.5) - 1.0;
    }
    // Band-limited sawtooth (polyBLEP), so high notes do not alias.
    double saw(double hz) {
        double dt = hz / RATE;
        double p = step(hz);
        return 2.0 * p - 1.0 - blep(p, dt);
    }
    double square(double hz) {
        double dt = hz / RATE;
        double p = step(hz);
        double q = p + 0.5 - std::floor(p + 0.5);
        return (p < 0.5 ? 1.0 : -1.0) + blep(p, dt) - blep(q, dt);
    }

private:
    // Returns the phase before advancing it.
    double step(double hz) {
        double p = _phase;
        _phase += hz / RATE;
        _phase -= std::floor(_phase);
        return p;
    }
    static double blep(double t, double dt) {
        if (dt <= 0) return 0;
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0;
    }
    double _phase;
};

// Chamberlin state-variable filter: low, band and high pass at once.
class Svf {
public:
    void run(double in, double cutoff_hz, double q) {
        double f = 2.0 * std::sin(PI * std::min(cutoff_hz, RATE / 6.0) / RATE);
        double damp = 1.0 / q;
        low += f * band;
        high = in - low - damp * band;
        band += f * high;
    }
    double low = 0, band = 0, high = 0;
};

// One-pole low pass, for smoothing and darkening.
class OnePole {
public:
    double low(double in, double cutoff_hz) {
        double a = 1.0 - std::exp(-TWO_PI * cutoff_hz / RATE);
        _z += a * (in - _z);
        return _z;
    }

private:
    double _z = 0;
};

// Attack then exponential decay with time constant tau (seconds); t in seconds.
inline double env_hit(double t, double attack, double tau) {
    if (t < 0) return 0;
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) / tau);
}

// Linear attack, hold at 1, linear release, for notes of known length.
inline double env_note(double t, double attack, double length, double release) {
    if (t < 0 || t > length + release) return 0;
    double a = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    if (t > length) a *= 1.0 - (t - length) / release;
    return a;
}

// Smooth 0..1 ramp (raised cosine).
inline double smooth(double x) {
    if (x <= 0) return 0;
    if (x >= 1) return 1;
    return 0.5 - 0.5 * std::cos(PI * x);
}

// Scales so that the largest magnitude is `peak`.
void normalize(std::vector<float>& data, double peak);

// Fades the first and last `ms` milliseconds of a mono effect, against clicks.
void fade_ends(std::vector<float>& data, double ms);

// Writes interleaved samples as Ogg/Vorbis (quality 0..1). Returns false with
// a message when the file cannot be written.
bool write_ogg(const char* path, const std::vector<float>& data, int channels, double quality);

}  // namespace synth
