// gen-music: synthesises the show's soundtrack "[Bexil] Sorvain" and writes it as Ogg Vorbis.
//
// 120 BPM in A minor, 44 100 Hz stereo, 196.5 s. Every beat n falls on 0.127 + 0.5 n s, where
// the show's beat envelope `pulse` peaks (|cos(pi t - 0.4)|^8 peaks at t = k + 0.4/pi); the
// accented kicks (beats 1 and 3 of each bar) land on k + 0.127 exactly. A bar is 2 s, a step
// (sixteenth note) 0.125 s. The arrangement follows the show's timetable, see kSections.
//
// [SECTION] index: helpers and generator / oscillators and filters / instruments / patterns
// and arrangement / effects and mix / main.
// Deterministic: noise comes from a local LCG with fixed seeds; no clock, no threads.

#include "tools/oggwriter/ogg_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// [SECTION] helpers and generator -----------------------------------------------------------

constexpr int kRate = 44100;
constexpr double kLength = 196.5;       // seconds written
constexpr double kSilentFrom = 195.3;   // the show ends at 195.5 s; fade out before it
constexpr double kBeat0 = 0.127;        // first beat, on the envelope's peak
constexpr double kStep = 0.125;         // sixteenth note at 120 BPM
constexpr double kBar = 2.0;
constexpr double kTwoPi = 2 * M_PI;

double clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }
double midiHz(double note) { return 440.0 * std::pow(2.0, (note - 69) / 12); }
double barTime(int bar) { return kBeat0 + bar * kBar; }
double stepTime(int bar, double step) { return barTime(bar) + step * kStep; }

struct Noise {
    uint32_t state;
    float next() {  // uniform in [-1, 1)
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(state) * (1.0 / 2147483648.0));
    }
};

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(size_t n) : l(n, 0.f), r(n, 0.f) {}
};

// [SECTION] oscillators and filters ---------------------------------------------------------

// PolyBLEP correction (Välimäki and Huovilainen, "Antialiasing oscillators in subtractive
// synthesis", 2007): removes most of the aliasing of the naive saw and square.
double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
        t = (t - 1) / dt;
        return t * t + t + t + 1;
    }
    return 0;
}

struct Saw {
    double phase = 0;
    double next(double hz) {
        const double dt = hz / kRate;
        double v = 2 * phase - 1 - polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1) phase -= 1;
        return v;
    }
};

struct Pulse {
    double phase = 0;
    double next(double hz, double width) {
        const double dt = hz / kRate;
        double v = phase < width ? 1 : -1;
        v += polyBlep(phase, dt);
        v -= polyBlep(std::fmod(phase + 1 - width, 1.0), dt);
        phase += dt;
        if (phase >= 1) phase -= 1;
        return v;
    }
};

// Zero-delay-feedback state-variable filter (Zavalishin, "The Art of VA Filter Design", 3.10).
struct Svf {
    double ic1 = 0, ic2 = 0;
    double low = 0, band = 0, high = 0;
    void run(double x, double cutoffHz, double resonance) {
        const double g = std::tan(M_PI * std::min(cutoffHz, kRate * 0.45) / kRate);
        const double k = 2 - 2 * std::clamp(resonance, 0.0, 0.98);
        const double a1 = 1 / (1 + g * (g + k)), a2 = g * a1, a3 = g * a2;
        const double v3 = x - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        low = v2;
        band = v1;
        high = x - k * v1 - v2;
    }
};

// Attack-decay-sustain-release, times in seconds; `held` is the note length.
double adsr(double t, double held, double a, double d, double s, double r) {
    if (t < 0) return 0;
    double level;
    if (t < a) level = t / a;
    else if (t < a + d) level = 1 - (1 - s) * (t - a) / d;
    else level = s;
    if (t > held) {
        const double atRelease = held < a ? held / a : (held < a + d ? 1 - (1 - s) * (held - a) / d : s);
        level = atRelease * std::max(0.0, 1 - (t - held) / r);
    }
    return level;
}

// [SECTION] instruments ----------------------------------------------------------------------
// Each instrument renders one event into the buses: `dry`, `ducked` (ducked by the kick),
// and sends to the reverb and the delay.

struct Buses {
    Stereo dry, ducked, reverb, delay;
    std::vector<float> kickEnvelope;  // drives the ducking
    explicit Buses(size_t n) : dry(n), ducked(n), reverb(n), delay(n), kickEnvelope(n, 0.f) {}
    size_t size() const { return dry.l.size(); }
};

size_t sampleAt(double t) { return static_cast<size_t>(std::max(0.0, std::round(t * kRate))); }

void put(Stereo& bus, size_t i, double v, double pan) {  // pan -1 left .. 1 right, equal power
    const double a = (pan + 1) * M_PI / 4;
    bus.l[i] += static_cast<float>(v * std::cos(a));
    bus.r[i] += static_cast<float>(v * std::sin(a));
}

void kick(Buses& b, double t0, double level) {
    const size_t start = sampleAt(t0), n = sampleAt(0.45);
    double phase = 0;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        const double hz = 46 + 120 * std::exp(-t * 28) + 300 * std::exp(-t * 200);
        phase += hz / kRate;
        const double amp = std::exp(-t * 6.5) * (1 - std::exp(-t * 2000));
        const double v = std::tanh(1.6 * std::sin(kTwoPi * phase)) * amp * level;
        put(b.dry, start + i, v, 0);
        b.kickEnvelope[start + i] = std::max(b.kickEnvelope[start + i], static_cast<float>(std::exp(-t * 7) * level));
    }
}

void snare(Buses& b, double t0, double level, Noise& noise) {
    const size_t start = sampleAt(t0), n = sampleAt(0.3);
    Svf body, air;
    double phase = 0;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        phase += (185 + 60 * std::exp(-t * 40)) / kRate;
        const double tone = std::sin(kTwoPi * phase) * std::exp(-t * 30);
        const double x = noise.next();
        body.run(x, 1800, 0.3);
        air.run(x, 6000, 0.1);
        const double v = (0.55 * tone + 0.7 * body.band + 0.35 * air.high * std::exp(-t * 25)) * std::exp(-t * 14) * level;
        put(b.dry, start + i, v, 0.05);
        put(b.reverb, start + i, 0.35 * v, 0);
    }
}

void hat(Buses& b, double t0, double level, double decay, double pan, Noise& noise) {
    const size_t start = sampleAt(t0), n = sampleAt(std::min(0.6, 6 / decay));
    Svf f;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        f.run(noise.next(), 8000, 0.2);
        const double v = f.high * std::exp(-t * decay) * level;
        put(b.dry, start + i, v, pan);
        put(b.reverb, start + i, 0.15 * v, pan);
    }
}

// Reverse cymbal / riser: filtered noise that swells into a downbeat.
void riser(Buses& b, double t0, double length, double level, Noise& noise) {
    const size_t start = sampleAt(t0), n = sampleAt(length);
    Svf fl, fr;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double s = double(i) / n;
        const double cutoff = 300 * std::pow(40.0, s);
        fl.run(noise.next(), cutoff, 0.6);
        fr.run(noise.next(), cutoff * 1.05, 0.6);
        const double a = s * s * level;
        b.ducked.l[start + i] += static_cast<float>(fl.band * a);
        b.ducked.r[start + i] += static_cast<float>(fr.band * a);
        b.reverb.l[start + i] += static_cast<float>(0.4 * fl.band * a);
        b.reverb.r[start + i] += static_cast<float>(0.4 * fr.band * a);
    }
}

void crash(Buses& b, double t0, double level, Noise& noise) {
    const size_t start = sampleAt(t0), n = sampleAt(2.5);
    Svf fl, fr;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        fl.run(noise.next(), 5000, 0.3);
        fr.run(noise.next(), 5200, 0.3);
        const double a = std::exp(-t * 1.8) * level;
        b.dry.l[start + i] += static_cast<float>(fl.high * a);
        b.dry.r[start + i] += static_cast<float>(fr.high * a);
        b.reverb.l[start + i] += static_cast<float>(0.3 * fl.high * a);
        b.reverb.r[start + i] += static_cast<float>(0.3 * fr.high * a);
    }
}

// Sub and growl: two detuned saws and a sub sine through a resonant low-pass with an envelope.
void bass(Buses& b, double t0, double length, double note, double level, double brightness) {
    const size_t start = sampleAt(t0), n = sampleAt(length + 0.08);
    Saw s1, s2;
    Svf f;
    double sub = 0;
    const double hz = midiHz(note);
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        const double env = adsr(t, length, 0.004, 0.12, 0.7, 0.06);
        const double x = 0.5 * (s1.next(hz * 1.004) + s2.next(hz * 0.996));
        f.run(x, 120 + brightness * 2200 * std::exp(-t * 9) + brightness * 300, 0.55);
        sub += hz / kRate;
        const double v = (0.8 * f.low + 0.45 * std::sin(kTwoPi * sub)) * env * level;
        put(b.ducked, start + i, v, 0);
    }
}

// Pad chord: four detuned saws per note, slow attack, low-pass opening with `brightness`,
// notes spread across the stereo field.
void pad(Buses& b, double t0, double length, const std::array<int, 4>& chord, double level, double brightness) {
    const size_t start = sampleAt(t0), n = sampleAt(length + 1.2);
    for (int k = 0; k < 4; ++k) {
        const double hz = midiHz(chord[k]);
        Saw saws[4];
        for (int s = 0; s < 4; ++s) saws[s].phase = 0.23 * s + 0.11 * k;
        Svf fl, fr;
        const double pan = -0.6 + 0.4 * k;
        for (size_t i = 0; i < n && start + i < b.size(); ++i) {
            const double t = double(i) / kRate;
            const double env = adsr(t, length, 0.5, 0.6, 0.8, 1.1);
            if (env <= 0 && t > length) break;
            const double left = saws[0].next(hz * 0.994) + saws[1].next(hz * 1.003);
            const double right = saws[2].next(hz * 0.997) + saws[3].next(hz * 1.006);
            const double cutoff = 500 + brightness * 4000 * (0.8 + 0.2 * std::sin(t * 1.7 + k));
            fl.run(left, cutoff, 0.25);
            fr.run(right, cutoff, 0.25);
            const double a = env * level * 0.16;
            const double mid = 0.5 * (fl.low + fr.low), side = 0.5 * (fl.low - fr.low);
            put(b.ducked, start + i, mid * a, pan);
            b.ducked.l[start + i] += static_cast<float>(side * a);
            b.ducked.r[start + i] -= static_cast<float>(side * a);
            put(b.reverb, start + i, 0.5 * mid * a, pan);
        }
    }
}

// Plucked arpeggio: narrow pulse through a fast filter envelope, sent to the ping-pong delay.
void pluck(Buses& b, double t0, double note, double level, double brightness, double pan) {
    const size_t start = sampleAt(t0), n = sampleAt(0.5);
    Pulse p;
    Svf f;
    const double hz = midiHz(note);
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        f.run(p.next(hz, 0.3), 400 + brightness * 7000 * std::exp(-t * 18), 0.45);
        const double v = f.low * std::exp(-t * 9) * (1 - std::exp(-t * 3000)) * level;
        put(b.ducked, start + i, v, pan);
        put(b.delay, start + i, 0.6 * v, pan);
        put(b.reverb, start + i, 0.25 * v, pan);
    }
}

// Lead voice: saw and square an octave apart, glide from the previous note, delayed vibrato.
void lead(Buses& b, double t0, double length, double note, double fromNote, double level, double brightness) {
    const size_t start = sampleAt(t0), n = sampleAt(length + 0.4);
    Saw s;
    Pulse p;
    Svf f;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        const double glide = clamp01(t / 0.05);
        const double vibrato = 0.18 * clamp01((t - 0.25) * 3) * std::sin(kTwoPi * 5.5 * t);
        const double hz = midiHz(fromNote + (note - fromNote) * glide + vibrato);
        const double env = adsr(t, length, 0.01, 0.2, 0.75, 0.25);
        f.run(0.7 * s.next(hz) + 0.35 * p.next(hz * 0.5, 0.5), 1200 + brightness * 5000 * (0.6 + 0.4 * env), 0.35);
        const double v = f.low * env * level;
        put(b.dry, start + i, v, 0.1);
        put(b.delay, start + i, 0.5 * v, 0);
        put(b.reverb, start + i, 0.45 * v, 0);
    }
}

// FM bell (Chowning, "The synthesis of complex audio spectra by means of frequency
// modulation", 1973: ratio 1:3.5 gives an inharmonic, bell-like spectrum).
void bell(Buses& b, double t0, double note, double level, double pan) {
    const size_t start = sampleAt(t0), n = sampleAt(4.0);
    const double hz = midiHz(note);
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        const double index = 3.5 * std::exp(-t * 2.5);
        const double v = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * 3.5 * t)) * std::exp(-t * 1.3) *
                         (1 - std::exp(-t * 800)) * level;
        put(b.dry, start + i, 0.6 * v, pan);
        put(b.reverb, start + i, 0.8 * v, pan);
        put(b.delay, start + i, 0.3 * v, -pan);
    }
}

// [SECTION] patterns and arrangement ---------------------------------------------------------

// The loop: Am(add9) - Fmaj7 - C(add9) - G6, one chord per bar. Breakdown: F - G - Am - Em.
struct Chord {
    std::array<int, 4> pad;  // MIDI notes
    int root;                // bass note
};
constexpr std::array<Chord, 4> kLoop = {{
    {{57, 60, 64, 71}, 33},
    {{53, 57, 60, 64}, 29},
    {{55, 60, 62, 64}, 36},
    {{55, 59, 62, 64}, 31},
}};
constexpr std::array<Chord, 4> kBreakdownLoop = {{
    {{53, 57, 60, 67}, 29},
    {{55, 59, 62, 67}, 31},
    {{57, 60, 64, 71}, 33},
    {{52, 59, 64, 67}, 28},
}};

// Lead theme: (bar of the phrase, start step, length in steps, MIDI note); two 4-bar phrases.
struct Note {
    int bar, step, length, note;
};
constexpr Note kThemeA[] = {
    {0, 0, 6, 76}, {0, 6, 2, 74}, {0, 8, 4, 72}, {0, 12, 4, 71},
    {1, 0, 6, 72}, {1, 6, 2, 69}, {1, 8, 2, 72}, {1, 10, 2, 74}, {1, 12, 4, 76},
    {2, 0, 6, 79}, {2, 6, 2, 76}, {2, 8, 4, 74}, {2, 12, 2, 72}, {2, 14, 2, 74},
    {3, 0, 6, 71}, {3, 6, 2, 67}, {3, 8, 8, 71},
};
constexpr Note kThemeB[] = {
    {0, 0, 6, 81}, {0, 6, 2, 79}, {0, 8, 4, 76}, {0, 12, 4, 74},
    {1, 0, 6, 77}, {1, 6, 2, 76}, {1, 8, 4, 72}, {1, 12, 4, 69},
    {2, 0, 4, 76}, {2, 4, 4, 79}, {2, 8, 6, 84}, {2, 14, 2, 83},
    {3, 0, 8, 83}, {3, 8, 4, 79}, {3, 12, 4, 74},
};

// Per-step velocities of the hats (16 steps) and the bass's gate pattern with octave jumps.
constexpr float kHatAccent[16] = {0.2f, 0.5f, 1.0f, 0.5f, 0.2f, 0.5f, 1.0f, 0.6f,
                                  0.2f, 0.5f, 1.0f, 0.5f, 0.2f, 0.6f, 1.0f, 0.7f};
struct BassHit {
    int step, length, octave;
};
constexpr BassHit kBassLine[] = {{0, 2, 0}, {2, 1, 0}, {3, 1, 1}, {4, 2, 0}, {6, 2, 0},
                                 {8, 2, 0}, {10, 1, 0}, {11, 1, 1}, {12, 2, 0}, {14, 2, 1}};
constexpr int kArpOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
constexpr int kArpOrderWide[16] = {0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 2, 3};  // the peaks: two octaves

// One row per section of the show. Levels are 0..1; `bright` opens the filters.
struct Section {
    int fromBar, toBar;  // bar b starts at 0.127 + 2 b s
    const char* name;
    float kick, snare, hats, bass, pad, arp, lead, bells, bright;
    bool breakdownChords;
};
constexpr Section kSections[] = {
    // bars     name          kick snare hats bass pad  arp  lead bells bright
    {0, 2, "title",           0.0f, 0.0f, 0.0f, 0.0f, 0.35f, 0.0f, 0.0f, 0.7f, 0.15f, false},
    {2, 8, "opening",         0.45f, 0.0f, 0.0f, 0.0f, 0.45f, 0.3f, 0.0f, 0.5f, 0.25f, false},
    {8, 12, "credits",        0.9f, 0.0f, 0.4f, 0.0f, 0.6f, 0.5f, 0.0f, 0.3f, 0.35f, false},
    {12, 16, "credits bass",  0.95f, 0.0f, 0.6f, 0.8f, 0.8f, 0.7f, 0.0f, 0.0f, 0.45f, false},
    {16, 22, "credits full",  1.0f, 0.8f, 0.8f, 0.9f, 0.85f, 0.8f, 0.5f, 0.0f, 0.55f, false},
    {22, 25, "video wakes",   0.6f, 0.0f, 0.3f, 0.0f, 0.9f, 0.5f, 0.0f, 0.6f, 0.3f, true},
    {25, 32, "video",         1.0f, 0.9f, 0.9f, 1.0f, 0.8f, 0.8f, 0.0f, 0.0f, 0.6f, false},
    {32, 49, "contours",      1.0f, 0.9f, 1.0f, 1.0f, 0.85f, 0.9f, 0.8f, 0.0f, 0.7f, false},
    {49, 62, "greetings",     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.3f, 0.9f, false},
    {62, 67, "after",         1.0f, 0.9f, 0.8f, 1.0f, 0.8f, 0.8f, 0.0f, 0.0f, 0.5f, false},
    {67, 76, "breakdown",     0.0f, 0.0f, 0.2f, 0.0f, 0.9f, 0.5f, 0.6f, 0.8f, 0.35f, true},
    {76, 80, "build",         0.7f, 0.5f, 0.6f, 0.6f, 0.9f, 0.8f, 0.0f, 0.3f, 0.5f, true},
    {80, 92, "mosaic",        1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.2f, 1.0f, false},
    {92, 99, "ending",        0.0f, 0.0f, 0.0f, 0.0f, 0.8f, 0.3f, 0.0f, 0.7f, 0.2f, false},
};

void arrange(Buses& b) {
    Noise noise{0x5eed1234u};
    double lastLead = 69;
    for (const Section& s : kSections) {
        for (int bar = s.fromBar; bar < s.toBar; ++bar) {
            const int inSection = bar - s.fromBar, barsLeft = s.toBar - bar;
            const Chord& chord = (s.breakdownChords ? kBreakdownLoop : kLoop)[bar % 4];
            // Filters open through each section's course.
            const double bright = s.bright * (0.75 + 0.25 * inSection / std::max(1, s.toBar - s.fromBar - 1));
            if (s.pad > 0) pad(b, barTime(bar), kBar, chord.pad, s.pad, bright);
            if (s.snare >= 0.8f && inSection > 0 && inSection % 8 == 0) crash(b, barTime(bar), 0.2, noise);
            if (s.bells > 0 && (bar % 2 == 0)) {
                bell(b, stepTime(bar, 0), chord.pad[3] + 12, 0.22 * s.bells, -0.4);
                bell(b, stepTime(bar, 6), chord.pad[2] + 12, 0.16 * s.bells, 0.4);
            }
            for (int step = 0; step < 16; ++step) {
                const double t = stepTime(bar, step);
                // Kick on every beat; beats 1 and 3 (on the envelope's peaks) are accented. In the
                // opening only those two sound.
                if (s.kick > 0 && step % 4 == 0) {
                    const bool strong = step % 8 == 0;
                    if (strong || s.kick >= 0.8f) kick(b, t, s.kick * (strong ? 1.0 : 0.7));
                }
                if (s.snare > 0 && (step == 4 || step == 12)) snare(b, t, 0.55 * s.snare, noise);
                // Snare roll in the last bar before a big section.
                const bool roll = barsLeft == 1 && (s.toBar == 25 || s.toBar == 49 || s.toBar == 80);
                if (roll && step >= 8) {
                    snare(b, t, 0.15 + 0.04 * (step - 8), noise);
                    if (step % 2 == 1) snare(b, t + kStep / 2, 0.12 + 0.03 * (step - 8), noise);
                }
                // A short fill closes every eight-bar phrase of the full sections.
                if (!roll && s.snare >= 0.8f && inSection % 8 == 7 && step >= 13) snare(b, t, 0.2 + 0.08 * (step - 13), noise);
                if (s.hats > 0) {
                    const bool open = step % 4 == 2 && s.hats >= 0.9f;
                    hat(b, t, 0.32 * s.hats * kHatAccent[step], open ? 9 : 45, step % 2 ? 0.3 : -0.2, noise);
                }
                // Arpeggio: sixteenths, eighths in the breakdown, two octaves wide at the peaks.
                if (s.arp > 0 && !(s.breakdownChords && step % 2 == 1)) {
                    const int k = s.bright >= 0.9f ? kArpOrderWide[step] : kArpOrder[step % 8];
                    const int note = chord.pad[k % 4] + 12 * (k / 4) + 12;
                    pluck(b, t, note, 0.11 * s.arp, bright, step % 2 ? 0.5 : -0.5);
                }
            }
            if (s.bass > 0) {
                for (const BassHit& h : kBassLine) {
                    bass(b, stepTime(bar, h.step), h.length * kStep * 0.85, chord.root + 12 * h.octave, 0.42 * s.bass, bright);
                }
            }
            if (s.lead > 0) {
                // Theme A then B over each 8 bars; at the peaks (greetings, mosaic) a quieter voice
                // doubles it an octave up.
                const int phraseBar = (bar - s.fromBar) % 8;
                const bool second = phraseBar >= 4;
                const bool doubled = s.bright >= 0.9f;
                const int sparse = s.breakdownChords ? 2 : 1;  // breakdown: only every other note
                const Note* first = second ? std::begin(kThemeB) : std::begin(kThemeA);
                const Note* last = second ? std::end(kThemeB) : std::end(kThemeA);
                int index = 0;
                for (const Note* note = first; note != last; ++note) {
                    const Note& n = *note;
                    if (n.bar != phraseBar % 4 || (index++ % sparse) != 0) continue;
                    const double pitch = n.note;
                    lead(b, stepTime(bar, n.step), n.length * kStep * 0.92, pitch, lastLead, 0.2 * s.lead, bright);
                    if (doubled) lead(b, stepTime(bar, n.step), n.length * kStep * 0.92, pitch + 12.05, lastLead + 12.05, 0.06 * s.lead, bright);
                    lastLead = pitch;
                }
            }
        }
        // Risers and crashes at the section joints the picture marks.
        if (s.toBar == 25 || s.toBar == 49 || s.toBar == 80 || s.toBar == 32) riser(b, barTime(s.toBar) - 4, 4, 0.25, noise);
        if (s.fromBar == 8 || s.fromBar == 25 || s.fromBar == 49 || s.fromBar == 80 || s.fromBar == 32)
            crash(b, barTime(s.fromBar), 0.35, noise);
    }
}

// [SECTION] effects and mix ------------------------------------------------------------------

// Ping-pong delay of a dotted eighth with a darkening feedback path.
void pingPong(const Stereo& in, Stereo& out) {
    const size_t d = sampleAt(0.375), n = in.l.size();
    std::vector<float> bl(d, 0.f), br(d, 0.f);
    Svf fl, fr;
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        const float yl = bl[pos], yr = br[pos];
        fl.run(yr, 3500, 0);
        fr.run(in.l[i] + in.r[i] * 0.5f + yl * 0.45f, 3500, 0);
        bl[pos] = static_cast<float>(0.45 * fl.low);
        br[pos] = static_cast<float>(fr.low);
        out.l[i] += yl * 0.8f;
        out.r[i] += yr * 0.8f;
        pos = (pos + 1) % d;
    }
}

// Schroeder-Moorer reverb in the layout of Jezar's public-domain Freeverb: 8 damped comb
// filters in parallel, then 4 all-passes, per channel; the right channel's lines are 23
// samples longer for width.
struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float store = 0;
    float process(float x, float feedback, float damp) {
        const float y = buf[pos];
        store = y * (1 - damp) + store * damp;
        buf[pos] = x + store * feedback;
        pos = (pos + 1) % buf.size();
        return y;
    }
};
struct AllPass {
    std::vector<float> buf;
    size_t pos = 0;
    float process(float x) {
        const float y = buf[pos];
        buf[pos] = x + y * 0.5f;
        pos = (pos + 1) % buf.size();
        return y - x;
    }
};

void reverb(const Stereo& in, Stereo& out) {
    constexpr int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    constexpr int kAllPasses[4] = {556, 441, 341, 225};
    for (int ch = 0; ch < 2; ++ch) {
        const int spread = ch ? 23 : 0;
        std::vector<Comb> combs;
        std::vector<AllPass> passes;
        for (int c : kCombs) combs.push_back({std::vector<float>(c + spread, 0.f)});
        for (int a : kAllPasses) passes.push_back({std::vector<float>(a + spread, 0.f)});
        std::vector<float>& y = ch ? out.r : out.l;
        for (size_t i = 0; i < y.size(); ++i) {
            const float input = (in.l[i] + in.r[i]) * 0.015f;
            float sum = 0;
            for (Comb& c : combs) sum += c.process(input, 0.86f, 0.3f);
            for (AllPass& a : passes) sum = a.process(sum);
            y[i] += sum;
        }
    }
}

std::vector<float> mixdown(Buses& b) {
    const size_t n = b.size();
    Stereo wet(n);
    pingPong(b.delay, b.reverb);  // the delay's echoes also go into the room
    pingPong(b.delay, wet);
    reverb(b.reverb, wet);
    // Kick ducking: smoothed envelope of the kick pulls the pads and bass down by up to 60 %.
    double duck = 0;
    // First-order high shelf (x + 0.5 (x - low-pass at 3 kHz)): about +3.5 dB of air on the bus.
    const double shelf = std::exp(-kTwoPi * 3000.0 / kRate);
    double lowL = 0, lowR = 0;
    std::vector<float> out(n * 2);
    for (size_t i = 0; i < n; ++i) {
        const double target = b.kickEnvelope[i];
        duck += (target > duck ? 0.02 : 0.0005) * (target - duck);
        const double g = 1 - 0.6 * std::min(1.0, duck);
        const double t = double(i) / kRate;
        // Master envelope: a short fade-in and the fade to silence before the show ends.
        const double master = clamp01(t / 0.3) * std::pow(clamp01((kSilentFrom - t) / 9.0), 1.5);
        for (int ch = 0; ch < 2; ++ch) {
            const double dry = (ch ? b.dry.r[i] : b.dry.l[i]) + g * (ch ? b.ducked.r[i] : b.ducked.l[i]);
            const double x = dry + (ch ? wet.r[i] : wet.l[i]);
            double& low = ch ? lowR : lowL;
            low = (1 - shelf) * x + shelf * low;
            const double v = (x + 0.5 * (x - low)) * master;
            out[i * 2 + ch] = static_cast<float>(std::tanh(v * 1.1) / 1.1);  // gentle bus saturation
        }
    }
    return out;
}

// Scales to a peak of -4.5 dBFS: Vorbis coding raises the peaks of this mix by about 2 dB,
// and the decoded file must stay at or below -1 dBFS.
void normalise(std::vector<float>& samples) {
    float peak = 0;
    for (float v : samples) peak = std::max(peak, std::abs(v));
    if (peak <= 0) return;
    const float gain = static_cast<float>(std::pow(10.0, -4.5 / 20) / peak);
    for (float& v : samples) v *= gain;
}

}  // namespace

// [SECTION] main -------------------------------------------------------------------------------

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen-music <show folder>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/music";
    std::filesystem::create_directories(dir);
    Buses buses(static_cast<size_t>(kLength * kRate));
    arrange(buses);
    std::vector<float> samples = mixdown(buses);
    normalise(samples);
    const std::string path = dir + "/[Bexil] Sorvain.ogg";
    if (!ostravel::writeOggVorbis(path, samples, 2, kRate, 0.45f)) {
        std::fprintf(stderr, "gen-music: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
