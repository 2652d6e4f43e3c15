// The game's sound effects, each a short mono sound built from oscillators,
// filtered noise and envelopes.
#include "sounds.h"

#include "dsp.h"

namespace synth {

namespace {

// About -2 dB: the encoder's ringing must not push a loud hit past full scale.
const double EFFECT_PEAK = 0.8;
const double FADE_MS = 4.0;

// Peak level, then a share of it so that the effects sound about as loud as
// each other (the sustained ones are held back).
std::vector<float> finish(std::vector<float> out, double share = 1.0) {
    normalize(out, EFFECT_PEAK * share);
    fade_ends(out, FADE_MS);
    return out;
}

}  // namespace

// An explosion: a falling low boom, a roar of noise whose filter closes, and
// a few crackles.
std::vector<float> effect_bomb() {
    int n = seconds(1.8);
    std::vector<float> out(n);
    Noise noise(0xB0B);
    Osc boom;
    Svf roar;
    OnePole rumble;
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        double hz = 32.0 + 60.0 * std::exp(-t / 0.18);
        double low = boom.sine(hz) * env_hit(t, 0.004, 0.45);
        double cutoff = 180.0 + 4200.0 * std::exp(-t / 0.25);
        roar.run(noise.next(), cutoff, 0.8);
        double mid = roar.low * env_hit(t, 0.002, 0.32);
        double deep = rumble.low(noise.next(), 120.0) * 3.0 * env_hit(t, 0.01, 0.7);
        double crackle = 0;
        if (t < 0.6 && noise.unit() < 0.004) crackle = noise.next() * (1.0 - t / 0.6);
        out[i] = (float)std::tanh(1.6 * (0.9 * low + 0.8 * mid + 0.6 * deep + 0.5 * crackle));
    }
    return finish(out);
}

// Putting a bomb down or picking it up: a soft click on a muffled thud.
std::vector<float> effect_drop() {
    int n = seconds(0.22);
    std::vector<float> out(n);
    Noise noise(0xD20);
    Osc thud, knock;
    Svf click;
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        click.run(noise.next(), 3500.0, 0.7);
        double c = click.band * env_hit(t, 0.0005, 0.004);
        double hz = 65.0 + 90.0 * std::exp(-t / 0.03);
        double body = thud.sine(hz) * env_hit(t, 0.002, 0.045);
        double wood = knock.sine(410.0) * env_hit(t, 0.001, 0.02);
        out[i] = (float)(0.5 * c + 0.9 * body + 0.25 * wood);
    }
    return finish(out);
}

// A point counted on the win screen: a short bright tick, quiet beside the
// other effects since it comes ten times a second.
std::vector<float> effect_tick() {
    int n = seconds(0.05);
    std::vector<float> out(n);
    Osc ping;
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        out[i] = (float)(ping.sine(2400.0) * env_hit(t, 0.0005, 0.012));
    }
    return finish(out, 0.35);
}

// A guard's shot: a sharp crack, a short burst of noise and a quick echo.
std::vector<float> effect_shoot() {
    int n = seconds(0.5);
    std::vector<float> out(n);
    Noise noise(0x5407);
    Osc pop;
    Svf crack, body;
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        double white = noise.next();
        crack.run(white, 2400.0, 1.2);
        body.run(white, 1300.0 * std::exp(-t / 0.08) + 300.0, 0.7);
        double c = crack.band * env_hit(t, 0.0003, 0.012);
        double b = body.low * env_hit(t, 0.001, 0.07);
        double p = pop.sine(60.0 + 160.0 * std::exp(-t / 0.02)) * env_hit(t, 0.001, 0.03);
        double echo = t > 0.11 ? body.low * 0.3 * env_hit(t - 0.11, 0.002, 0.08) : 0.0;
        out[i] = (float)std::tanh(2.0 * (1.2 * c + 0.9 * b + 0.6 * p + echo));
    }
    return finish(out);
}

// A guard's alert: two blasts on a pea whistle, the second longer.
std::vector<float> effect_guard() {
    int n = seconds(0.85);
    std::vector<float> out(n);
    Noise noise(0x6A4D);
    Osc tone, beat, trill;
    Svf breath;
    const double blasts[2][2] = {{0.0, 0.22}, {0.3, 0.8}};
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        double gate = 0;
        for (const auto& b : blasts) gate += env_note(t - b[0], 0.015, b[1] - b[0] - 0.04, 0.04);
        double roll = 0.65 + 0.35 * trill.sine(28.0);  // the pea rattling in the whistle
        double wobble = 1.0 + 0.006 * roll;
        double w = 0.7 * tone.sine(2650.0 * wobble) + 0.3 * beat.sine(2790.0 * wobble);
        breath.run(noise.next(), 2700.0, 3.0);
        out[i] = (float)(gate * roll * (w + 0.35 * breath.band));
    }
    return finish(out, 0.8);
}

// All pillars down, time to escape: a rising arpeggio of bells over a swoosh,
// ending on a shimmering major chord.
std::vector<float> effect_win() {
    int n = seconds(2.0);
    std::vector<float> out(n);
    const double notes[] = {60, 64, 67, 72, 76, 79, 84};
    const double step = 0.09;
    Noise noise(0x3141);
    Svf swoosh;
    for (size_t k = 0; k < sizeof(notes) / sizeof(notes[0]); k++) {
        Osc car, mod;
        double hz = note_hz(notes[k]);
        double start = step * k;
        double tau = k + 1 == sizeof(notes) / sizeof(notes[0]) ? 0.9 : 0.35;
        for (int i = seconds(start); i < n; i++) {
            double t = (double)i / RATE - start;
            double e = env_hit(t, 0.004, tau);
            double m = mod.sine(hz * 2.0) * 1.5 * std::exp(-t / 0.2);
            out[i] += (float)(0.25 * e * std::sin(TWO_PI * hz * t + m) + 0.1 * e * car.triangle(hz));
        }
    }
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        swoosh.run(noise.next(), 300.0 + 5000.0 * smooth(t / 0.7), 2.0);
        out[i] += (float)(0.12 * swoosh.band * env_note(t, 0.5, 0.25, 0.5));
    }
    return finish(out);
}

// A short triumphant jingle: "ta-ta-ta-taaa" on a brassy voice in thirds.
std::vector<float> effect_yeah() {
    int n = seconds(1.15);
    std::vector<float> out(n);
    struct Note { double start, length, midi; };
    const Note tune[] = {{0.0, 0.1, 67}, {0.13, 0.1, 72}, {0.26, 0.1, 76}, {0.42, 0.55, 79}};
    const double harmony = -4;  // a major third below
    for (const Note& note : tune) {
        for (double shift : {0.0, harmony}) {
            Osc saw, vib;
            Svf filter;
            double hz = note_hz(note.midi + shift);
            double level = shift == 0.0 ? 0.3 : 0.18;
            for (int i = seconds(note.start); i < n; i++) {
                double t = (double)i / RATE - note.start;
                double e = env_note(t, 0.012, note.length, 0.12);
                if (e <= 0 && t > note.length) break;
                double v = note.length > 0.3 ? 1.0 + 0.008 * smooth((t - 0.15) / 0.2) * vib.sine(5.5) : 1.0;
                filter.run(saw.saw(hz * v), 900.0 + 3000.0 * env_hit(t, 0.02, 0.15), 0.9);
                out[i] += (float)(level * e * filter.low);
            }
        }
    }
    return finish(out);
}

// The player is caught: a tone that sags and falls an octave and a half,
// wavering more as it fades.
std::vector<float> effect_death() {
    int n = seconds(1.7);
    std::vector<float> out(n);
    Osc tri, sub, vib;
    Svf filter;
    for (int i = 0; i < n; i++) {
        double t = (double)i / RATE;
        double fall = smooth(t / 1.4);
        double midi = 69.0 - 18.0 * fall - 1.0 * smooth(t / 0.25);
        double hz = note_hz(midi) * (1.0 + 0.015 * fall * vib.sine(5.0));
        filter.run(0.7 * tri.triangle(hz) + 0.3 * sub.sine(hz * 0.5), 2500.0 - 1900.0 * fall, 1.1);
        out[i] = (float)(filter.low * env_note(t, 0.03, 1.2, 0.45));
    }
    return finish(out, 0.65);
}

}  // namespace synth
