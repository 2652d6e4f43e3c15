// The menu music: a slow, calm loop in D minor at 70 beats a minute, soft
// pads and a simple bass over two chord progressions, a few echoing bells and
// a quiet shaker, all under a light reverb.
//
// The loop is exactly 24 bars long. Notes are written modulo that length, so
// whatever rings past the end continues at the start; the echo and the reverb
// are run with the loop's own end played in front of it, so their state at
// the start is the one the end leaves behind.
#include <cstddef>

#include "dsp.h"
#include "sounds.h"

namespace synth {

namespace {

const int BEAT = RATE * 60 / 70;  // 37800 samples: a whole number, so bars line up exactly
const int BAR = 4 * BEAT;
const int BARS = 24;
const int LOOP = BARS * BAR;
const int CHORD_BARS = 2;
const int CHORDS = BARS / CHORD_BARS;
const int SECTION_BARS = 8;
static_assert(BEAT * 70 == RATE * 60, "a beat must be a whole number of samples");
static_assert(BARS % SECTION_BARS == 0 && SECTION_BARS % CHORD_BARS == 0, "sections hold whole chords");

const int PAD_VOICES = 5;
struct Chord {
    int bass;               // MIDI note of the bass
    int pad[PAD_VOICES];    // MIDI notes of the pad, low to high
};

// Sections A and C: Dm9, Bbmaj7, Gm9, Am7. Section B: Bbmaj7, F/A, Gm9, A7sus4.
const Chord PROGRESSION[CHORDS] = {
    {38, {50, 57, 60, 64, 65}}, {46, {50, 53, 57, 58, 62}}, {43, {50, 53, 57, 58, 62}}, {45, {52, 55, 60, 64, 67}},
    {46, {50, 53, 57, 58, 65}}, {45, {53, 57, 60, 64, 65}}, {43, {50, 53, 57, 58, 62}}, {45, {50, 52, 55, 57, 62}},
    {38, {50, 57, 60, 64, 65}}, {46, {50, 53, 57, 58, 62}}, {43, {50, 53, 57, 58, 62}}, {45, {52, 55, 60, 64, 67}},
};

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(size_t n) : l(n), r(n) {}
    // Adds at a loop position, wrapping round the end.
    void add(long pos, double vl, double vr) {
        size_t i = (size_t)(((pos % LOOP) + LOOP) % LOOP);
        l[i] += (float)vl;
        r[i] += (float)vr;
    }
};

// A slowly breathing pad note: three detuned saws spread across the stereo
// field, through a low pass that opens and closes over the whole loop.
void pad_note(Stereo& out, long start, double length, int midi, int voice) {
    const double attack = 1.8, release = 2.4, level = 0.045;
    const double detune[3] = {-0.08, 0.0, 0.08};  // semitones
    Osc osc[3] = {Osc(0.13 * voice), Osc(0.41 * voice), Osc(0.77 * voice)};
    Svf fl, fr;
    int n = seconds(length + release);
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        long pos = start + i;
        double sweep = std::sin(TWO_PI * 3.0 * (double)(pos % LOOP) / LOOP);  // three times a loop
        double cutoff = 650.0 + 300.0 * sweep + 40.0 * voice;
        double a = osc[0].saw(note_hz(midi + detune[0]));
        double b = osc[1].saw(note_hz(midi + detune[1]));
        double c = osc[2].saw(note_hz(midi + detune[2]));
        fl.run(a + 0.5 * b, cutoff, 0.75);
        fr.run(c + 0.5 * b, cutoff, 0.75);
        double e = level * smooth(env_note(t, attack, length, release));
        out.add(pos, e * fl.low, e * fr.low);
    }
}

// A round bass note: a sine with a little of its octave, gently saturated.
void bass_note(Stereo& out, long start, double length, int midi, double level) {
    Osc fund, octave;
    Svf tone;
    double hz = note_hz(midi);
    int n = seconds(length + 0.3);
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        double raw = std::tanh(1.3 * (fund.sine(hz) + 0.25 * octave.sine(2.0 * hz)));
        tone.run(raw, 400.0, 0.7);
        double v = level * env_note(t, 0.012, length, 0.3) * tone.low;
        out.add(start + i, v, v);
    }
}

// A soft mallet: two-operator FM with a quickly fading brightness.
void bell_note(Stereo& out, long start, int midi, double level, double pan) {
    double hz = note_hz(midi);
    int n = seconds(2.5);
    double gl = level * std::sqrt(0.5 * (1.0 - pan)), gr = level * std::sqrt(0.5 * (1.0 + pan));
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        double index = 1.4 * std::exp(-t / 0.25);
        double v = std::sin(TWO_PI * hz * t + index * std::sin(TWO_PI * 2.0 * hz * t));
        v *= env_hit(t, 0.004, 0.55);
        out.add(start + i, gl * v, gr * v);
    }
}

// A breath of high noise on an off-beat.
void shaker_hit(Stereo& out, long start, double level, double pan, Noise& noise) {
    Svf hp;
    int n = seconds(0.12);
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        hp.run(noise.next(), 7000.0, 0.8);
        double v = level * hp.high * env_hit(t, 0.002, 0.025);
        out.add(start + i, v * (1.0 - pan), v * (1.0 + pan));
    }
}

void write_pads(Stereo& out) {
    for (int c = 0; c < CHORDS; c++) {
        double length = (double)CHORD_BARS * BAR / RATE;
        for (int v = 0; v < PAD_VOICES; v++)
            pad_note(out, (long)c * CHORD_BARS * BAR, length, PROGRESSION[c].pad[v], v + 1);
    }
}

void write_bass(Stereo& out) {
    for (int bar = 0; bar < BARS; bar++) {
        int midi = PROGRESSION[bar / CHORD_BARS].bass;
        long at = (long)bar * BAR;
        int section = bar / SECTION_BARS;
        if (section == 0) {
            bass_note(out, at, 3.0 * BEAT / RATE, midi, 0.13);
            continue;
        }
        bass_note(out, at, 1.5 * BEAT / RATE, midi, 0.15);
        bass_note(out, at + 5 * BEAT / 2, 1.0 * BEAT / RATE, midi, 0.09);
        if (section == 2 && bar % CHORD_BARS == 1)
            bass_note(out, at + 7 * BEAT / 2, 0.4 * BEAT / RATE, midi + 7, 0.07);
    }
}

// Bells in sections B (sparse) and C (fuller), on the eighths of each chord.
void write_bells(Stereo& out) {
    const int sparse[] = {0, 6, 11};
    const int full[] = {0, 3, 6, 8, 11, 14};
    const int order[] = {4, 2, 3, 1, 4, 3};  // which pad voice, an octave up
    int count = 0;
    for (int c = SECTION_BARS / CHORD_BARS; c < CHORDS; c++) {
        bool late = c >= 2 * SECTION_BARS / CHORD_BARS;
        const int* slots = late ? full : sparse;
        int slots_n = late ? (int)(sizeof(full) / sizeof(full[0])) : (int)(sizeof(sparse) / sizeof(sparse[0]));
        for (int k = 0; k < slots_n; k++, count++) {
            long at = (long)c * CHORD_BARS * BAR + (long)slots[k] * BEAT / 2;
            int midi = PROGRESSION[c].pad[order[count % 6]] + 12;
            bell_note(out, at, midi, late ? 0.09 : 0.07, count % 2 ? 0.35 : -0.35);
        }
    }
}

void write_shaker(Stereo& out) {
    Noise noise(0x5EA);
    for (int bar = 2 * SECTION_BARS; bar < BARS - CHORD_BARS; bar++)
        for (int b = 0; b < 4; b++)
            shaker_hit(out, (long)bar * BAR + b * BEAT + BEAT / 2, b % 2 ? 0.075 : 0.055, b % 2 ? 0.2 : -0.2, noise);
}

// A ping-pong echo of three eighths, for the bells.
void echo(Stereo& s) {
    const int delay = 3 * BEAT / 2;
    const double feedback = 0.38, wet = 0.4;
    std::vector<float> dl(delay), dr(delay);
    std::vector<float> in_l = s.l, in_r = s.r;
    int pos = 0;
    auto run = [&](float l, float r, float* out_l, float* out_r) {
        float el = dl[pos], er = dr[pos];
        dl[pos] = (float)(r + feedback * er);
        dr[pos] = (float)(l + feedback * el);
        pos = (pos + 1) % delay;
        if (out_l) *out_l = (float)(l + wet * el);
        if (out_r) *out_r = (float)(r + wet * er);
    };
    const int preroll = seconds(8.0);
    for (int i = LOOP - preroll; i < LOOP; i++) run(in_l[i], in_r[i], nullptr, nullptr);
    for (int i = 0; i < LOOP; i++) run(in_l[i], in_r[i], &s.l[i], &s.r[i]);
}

// A small Schroeder reverb (four damped combs, two all-passes) per channel.
class Reverb {
public:
    explicit Reverb(int spread) {
        const int combs[4] = {1557, 1617, 1491, 1422};
        const int passes[2] = {556, 225};
        for (int k = 0; k < 4; k++) _comb[k].assign(combs[k] + spread, 0.0f);
        for (int k = 0; k < 2; k++) _pass[k].assign(passes[k] + spread, 0.0f);
    }
    float run(float in) {
        const double feedback = 0.86, damp = 0.3;
        double sum = 0;
        for (int k = 0; k < 4; k++) {
            std::vector<float>& d = _comb[k];
            size_t& p = _cp[k];
            double y = d[p];
            _damp[k] = y * (1.0 - damp) + _damp[k] * damp;
            d[p] = (float)(in + feedback * _damp[k]);
            p = (p + 1) % d.size();
            sum += y;
        }
        double out = sum * 0.25;
        for (int k = 0; k < 2; k++) {
            std::vector<float>& d = _pass[k];
            size_t& p = _pp[k];
            double b = d[p];
            d[p] = (float)(out + 0.5 * b);
            out = b - 0.5 * out;
            p = (p + 1) % d.size();
        }
        return (float)out;
    }

private:
    std::vector<float> _comb[4], _pass[2];
    size_t _cp[4] = {}, _pp[2] = {};
    double _damp[4] = {};
};

void reverb(Stereo& s) {
    const double wet = 0.3;
    Reverb rl(0), rr(23);
    const int preroll = seconds(8.0);
    std::vector<float> in_l = s.l, in_r = s.r;
    auto step = [&](int i, bool keep) {
        float wl = rl.run(in_l[i]), wr = rr.run(in_r[i]);
        if (!keep) return;
        s.l[i] = (float)(in_l[i] + wet * wl);
        s.r[i] = (float)(in_r[i] + wet * wr);
    };
    for (int i = LOOP - preroll; i < LOOP; i++) step(i, false);
    for (int i = 0; i < LOOP; i++) step(i, true);
}

}  // namespace

std::vector<float> music_menus() {
    Stereo mix(LOOP), bells(LOOP);
    write_pads(mix);
    write_bass(mix);
    write_bells(bells);
    echo(bells);
    write_shaker(mix);
    for (int i = 0; i < LOOP; i++) {
        mix.l[i] += bells.l[i];
        mix.r[i] += bells.r[i];
    }
    reverb(mix);
    std::vector<float> out((size_t)LOOP * 2);
    for (int i = 0; i < LOOP; i++) {
        out[2 * i] = mix.l[i];
        out[2 * i + 1] = mix.r[i];
    }
    const double music_peak = 0.7;
    normalize(out, music_peak);
    return out;
}

}  // namespace synth
