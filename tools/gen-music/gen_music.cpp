// gen-music: synthesises the show's soundtrack "[Bexil] Sorvain" and writes it as Ogg Vorbis.
//
// 120 BPM, 44 100 Hz stereo, 196.5 s. Every beat n falls on 0.127 + 0.5 n s, where the show's
// beat envelope `pulse` peaks (|cos(pi t - 0.4)|^8 peaks at t = k + 0.4/pi); the accented kicks
// (beats 1 and 3 of each bar) land on k + 0.127 exactly. A bar is 2 s, a step (sixteenth note)
// 0.125 s. The arrangement follows the show's timetable, see kSections: A minor at home, a turn
// to D minor under the contours, lifted to E minor for the greetings, a descending finale with
// its own theme and a cadence back to A minor. The mix keeps the pads and the arpeggio off the
// bass, high-passes the master and lifts the presence band; the mastering compresses the bus,
// brings the piece to -14 LUFS and limits its true peak, so that the coded file peaks near
// -1.5 dBTP.
//
// [SECTION] index: helpers and generator / oscillators and filters / instruments / patterns
// and arrangement / effects and mix / mastering / main.
// Deterministic: noise comes from a local LCG with fixed seeds; no clock, no threads.

#include "tools/oggwriter/ogg_writer.h"

#include <vorbis/vorbisfile.h>

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
        const double v = 0.85 * std::tanh(1.6 * std::sin(kTwoPi * phase)) * amp * level;
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
        const double v = (0.55 * tone + 0.7 * body.band + 0.55 * air.high * std::exp(-t * 22)) * std::exp(-t * 14) * level;
        put(b.dry, start + i, v, 0.05);
        put(b.reverb, start + i, 0.35 * v, 0);
    }
}

// Tom: a sine falling onto its pitch, with a short noise-free click of the stick.
void tom(Buses& b, double t0, double hz, double level, double pan) {
    const size_t start = sampleAt(t0), n = sampleAt(0.5);
    double phase = 0;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        phase += hz * (1 + 0.5 * std::exp(-t * 30)) / kRate;
        const double v = std::sin(kTwoPi * phase) * std::exp(-t * 8) * (1 - std::exp(-t * 3000)) * level;
        put(b.dry, start + i, v, pan);
        put(b.reverb, start + i, 0.3 * v, pan);
    }
}

void hat(Buses& b, double t0, double level, double decay, double pan, Noise& noise) {
    const size_t start = sampleAt(t0), n = sampleAt(std::min(0.6, 6 / decay));
    Svf f, body;
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        const double x = noise.next();
        f.run(x, 8000, 0.2);
        body.run(x, 4800, 0.5);  // the metal's ring in the presence band
        const double v = (f.high + 0.5 * body.band) * std::exp(-t * decay) * level;
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

// Pad chord: four detuned saws per note, slow attack, low-pass opening with `brightness`, a
// high-pass at 180 Hz that leaves the low end to the bass. The notes sit across the middle of
// the field and the detuned pairs add only a little side signal, so the chord holds in mono.
void pad(Buses& b, double t0, double length, const std::array<int, 4>& chord, double level, double brightness) {
    const size_t start = sampleAt(t0), n = sampleAt(length + 1.2);
    for (int k = 0; k < 4; ++k) {
        const double hz = midiHz(chord[k]);
        Saw saws[4];
        for (int s = 0; s < 4; ++s) saws[s].phase = 0.23 * s + 0.11 * k;
        Svf fl, fr, hl, hr;
        const double pan = -0.45 + 0.3 * k;
        for (size_t i = 0; i < n && start + i < b.size(); ++i) {
            const double t = double(i) / kRate;
            const double env = adsr(t, length, 0.5, 0.6, 0.8, 1.1);
            if (env <= 0 && t > length) break;
            const double left = saws[0].next(hz * 0.994) + saws[1].next(hz * 1.003);
            const double right = saws[2].next(hz * 0.997) + saws[3].next(hz * 1.006);
            const double cutoff = 500 + brightness * 4000 * (0.8 + 0.2 * std::sin(t * 1.7 + k));
            fl.run(left, cutoff, 0.25);
            fr.run(right, cutoff, 0.25);
            hl.run(fl.low, 180, 0.3);
            hr.run(fr.low, 180, 0.3);
            const double a = env * level * 0.16;
            const double mid = 0.5 * (hl.high + hr.high), side = 0.5 * (hl.high - hr.high);
            put(b.ducked, start + i, mid * a, pan);
            b.ducked.l[start + i] += static_cast<float>(0.3 * side * a);
            b.ducked.r[start + i] -= static_cast<float>(0.3 * side * a);
            put(b.reverb, start + i, 0.5 * mid * a, pan);
        }
    }
}

// Plucked arpeggio: narrow pulse through a fast filter envelope and a 280-Hz high-pass (which
// also takes out the narrow pulse's offset), sent to the ping-pong delay.
void pluck(Buses& b, double t0, double note, double level, double brightness, double pan) {
    const size_t start = sampleAt(t0), n = sampleAt(0.5);
    Pulse p;
    Svf f, h;
    const double hz = midiHz(note);
    for (size_t i = 0; i < n && start + i < b.size(); ++i) {
        const double t = double(i) / kRate;
        f.run(p.next(hz, 0.3), 400 + brightness * 7000 * std::exp(-t * 18), 0.45);
        h.run(f.low, 280, 0.3);
        const double v = h.high * std::exp(-t * 9) * (1 - std::exp(-t * 3000)) * level;
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

struct Chord {
    std::array<int, 4> pad;  // MIDI notes
    int root;                // bass note
};

// The home loop in A minor: Am(add9) - Fmaj7 - C(add9) - G6.
constexpr Chord kHome[] = {
    {{57, 60, 64, 71}, 33}, {{53, 57, 60, 64}, 29}, {{55, 60, 62, 64}, 36}, {{55, 59, 62, 64}, 31}};
// The contours move to D minor, i - VI - iv - V: Dm(add9) - Bbmaj7 - Gm7 - A7; the greetings
// take the same turn a whole tone up (E minor), the lift into the show's peak.
constexpr Chord kTurn[] = {
    {{53, 57, 62, 64}, 38}, {{53, 57, 58, 62}, 34}, {{55, 58, 62, 65}, 31}, {{55, 57, 61, 64}, 33}};
// Breakdown and build: F - G - Am - Em.
constexpr Chord kBreak[] = {
    {{53, 57, 60, 67}, 29}, {{55, 59, 62, 67}, 31}, {{57, 60, 64, 71}, 33}, {{52, 59, 64, 67}, 28}};
// The mosaic finale descends: Am - G - Fmaj7 - E (the E major chord pulls back to Am).
constexpr Chord kFinale[] = {
    {{57, 60, 64, 71}, 33}, {{55, 59, 62, 67}, 31}, {{53, 57, 60, 64}, 29}, {{52, 56, 59, 64}, 28}};
// The ending resolves: Fmaj7 - E - Am(add9), the last chord held to the end.
constexpr Chord kCadence[] = {
    {{53, 57, 60, 64}, 29}, {{52, 56, 59, 64}, 28}, {{57, 60, 64, 71}, 33}, {{57, 60, 64, 71}, 33},
    {{57, 60, 64, 71}, 33}, {{57, 60, 64, 71}, 33}, {{57, 60, 64, 71}, 33}, {{57, 60, 64, 71}, 33}};

// Lead phrases: (bar of the phrase, start step, length in steps, MIDI note), two 4-bar phrases
// per theme, the second answering the first.
struct Note {
    int bar, step, length, note;
};
struct Theme {
    const Note* first;
    int firstCount;
    const Note* second;
    int secondCount;
};
constexpr Note kHomeA[] = {
    {0, 0, 6, 76}, {0, 6, 2, 74}, {0, 8, 4, 72}, {0, 12, 4, 71},
    {1, 0, 6, 72}, {1, 6, 2, 69}, {1, 8, 2, 72}, {1, 10, 2, 74}, {1, 12, 4, 76},
    {2, 0, 6, 79}, {2, 6, 2, 76}, {2, 8, 4, 74}, {2, 12, 2, 72}, {2, 14, 2, 74},
    {3, 0, 6, 71}, {3, 6, 2, 67}, {3, 8, 8, 71},
};
constexpr Note kHomeB[] = {
    {0, 0, 6, 81}, {0, 6, 2, 79}, {0, 8, 4, 76}, {0, 12, 4, 74},
    {1, 0, 6, 77}, {1, 6, 2, 76}, {1, 8, 4, 72}, {1, 12, 4, 69},
    {2, 0, 4, 76}, {2, 4, 4, 79}, {2, 8, 6, 84}, {2, 14, 2, 83},
    {3, 0, 8, 83}, {3, 8, 4, 79}, {3, 12, 4, 74},
};
constexpr Note kTurnA[] = {  // over Dm - Bb - Gm - A
    {0, 0, 4, 69}, {0, 4, 4, 74}, {0, 8, 6, 77}, {0, 14, 2, 76},
    {1, 0, 6, 74}, {1, 6, 2, 72}, {1, 8, 8, 70},
    {2, 0, 4, 67}, {2, 4, 4, 70}, {2, 8, 4, 74}, {2, 12, 4, 79},
    {3, 0, 6, 76}, {3, 6, 2, 73}, {3, 8, 8, 69},
};
constexpr Note kTurnB[] = {
    {0, 0, 2, 81}, {0, 2, 2, 81}, {0, 4, 4, 77}, {0, 8, 6, 74}, {0, 14, 2, 76},
    {1, 0, 4, 77}, {1, 4, 4, 74}, {1, 8, 4, 70}, {1, 12, 4, 74},
    {2, 0, 6, 79}, {2, 6, 2, 77}, {2, 8, 4, 74}, {2, 12, 4, 70},
    {3, 0, 4, 73}, {3, 4, 4, 76}, {3, 8, 8, 81},
};
constexpr Note kFinaleA[] = {  // over Am - G - F - E: syncopated, three-step figures
    {0, 0, 3, 76}, {0, 3, 3, 72}, {0, 6, 2, 69}, {0, 8, 3, 76}, {0, 11, 3, 77}, {0, 14, 2, 76},
    {1, 0, 3, 74}, {1, 3, 3, 71}, {1, 6, 2, 67}, {1, 8, 6, 74}, {1, 14, 2, 71},
    {2, 0, 3, 72}, {2, 3, 3, 69}, {2, 6, 2, 65}, {2, 8, 3, 72}, {2, 11, 3, 74}, {2, 14, 2, 72},
    {3, 0, 6, 71}, {3, 6, 2, 68}, {3, 8, 8, 64},
};
constexpr Note kFinaleB[] = {
    {0, 0, 4, 81}, {0, 4, 2, 79}, {0, 6, 2, 76}, {0, 8, 4, 84}, {0, 12, 4, 81},
    {1, 0, 4, 83}, {1, 4, 2, 79}, {1, 6, 2, 74}, {1, 8, 8, 79},
    {2, 0, 4, 81}, {2, 4, 2, 77}, {2, 6, 2, 72}, {2, 8, 4, 84}, {2, 12, 4, 81},
    {3, 0, 6, 80}, {3, 6, 2, 76}, {3, 8, 4, 71}, {3, 12, 4, 68},
};
constexpr Theme kHomeTheme{kHomeA, std::size(kHomeA), kHomeB, std::size(kHomeB)};
constexpr Theme kTurnTheme{kTurnA, std::size(kTurnA), kTurnB, std::size(kTurnB)};
constexpr Theme kFinaleTheme{kFinaleA, std::size(kFinaleA), kFinaleB, std::size(kFinaleB)};

// Hat patterns: per-step velocity (0 = rest) and the steps that ring open.
struct HatPattern {
    float velocity[16];
    uint16_t open;  // bit s: step s is an open hat
};
constexpr HatPattern kHatEighths{{0.5f, 0, 1.0f, 0, 0.5f, 0, 1.0f, 0, 0.5f, 0, 1.0f, 0, 0.5f, 0, 1.0f, 0.4f}, 0};
constexpr HatPattern kHatSixteenths{
    {0.2f, 0.5f, 1.0f, 0.5f, 0.2f, 0.5f, 1.0f, 0.6f, 0.2f, 0.5f, 1.0f, 0.5f, 0.2f, 0.6f, 1.0f, 0.7f}, 0};
constexpr HatPattern kHatOpenOffbeats{
    {0.3f, 0.35f, 1.0f, 0.35f, 0.3f, 0.35f, 1.0f, 0.45f, 0.3f, 0.35f, 1.0f, 0.35f, 0.3f, 0.45f, 1.0f, 0.5f},
    (1 << 2) | (1 << 6) | (1 << 10) | (1 << 14)};
constexpr HatPattern kHatGallop{{0.4f, 0, 1.0f, 0.5f, 0.4f, 0, 1.0f, 0.5f, 0.4f, 0, 1.0f, 0.5f, 0.4f, 0.3f, 1.0f, 0.6f},
                                (1 << 6) | (1 << 14)};

// The bass's gate patterns: (step, length in steps, octave).
struct BassHit {
    int step, length, octave;
};
constexpr BassHit kBassDrive[] = {{0, 2, 0}, {2, 1, 0}, {3, 1, 1}, {4, 2, 0}, {6, 2, 0},
                                  {8, 2, 0}, {10, 1, 0}, {11, 1, 1}, {12, 2, 0}, {14, 2, 1}};
constexpr BassHit kBassSyncopated[] = {{0, 3, 0}, {3, 2, 0}, {6, 2, 1}, {8, 3, 0}, {11, 1, 0}, {12, 2, 1}, {14, 2, 0}};
constexpr BassHit kBassHeld[] = {{0, 15, 0}};

constexpr int kArpOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
constexpr int kArpOrderWide[16] = {0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 2, 3};  // two octaves

// Fills closing a phrase: snare crescendo, toms down the kit, or snare and toms together.
enum class Fill { none, snare, toms, mixed };

// One row per section of the show. Levels are 0..1; `bright` opens the instruments' filters.
struct Section {
    int fromBar, toBar;  // bar b starts at 0.127 + 2 b s
    const char* name;
    const Chord* chords;
    int chordCount;
    int transpose;
    float kick, snare, hats, bass, pad, arp, lead, bells, bright;
    const HatPattern* hatPattern;
    const BassHit* bassLine;
    int bassHits;
    const Theme* theme;
    bool ghosts;      // soft snare notes between the backbeats
    bool wideArp;     // the arpeggio spans two octaves
    Fill fill;        // at the end of every 8-bar phrase and of the section
};
#define PROG(p) p, static_cast<int>(std::size(p))
#define BASS(b) b, static_cast<int>(std::size(b))
constexpr Section kSections[] = {
    // bars       name           chords    tr  kick snare hats  bass  pad   arp   lead  bells bright
    {0, 2, "title",            PROG(kHome), 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.45f, 0.0f, 0.0f, 0.7f, 0.15f,
     nullptr, BASS(kBassDrive), nullptr, false, false, Fill::none},
    {2, 8, "lettering",        PROG(kHome), 0, 0.4f, 0.0f, 0.0f, 0.0f, 0.5f, 0.3f, 0.0f, 0.5f, 0.25f,
     nullptr, BASS(kBassDrive), nullptr, false, false, Fill::none},
    {8, 12, "credits",         PROG(kHome), 0, 0.85f, 0.0f, 0.4f, 0.0f, 0.55f, 0.45f, 0.0f, 0.3f, 0.35f,
     &kHatEighths, BASS(kBassDrive), nullptr, false, false, Fill::none},
    {12, 16, "credits bass",   PROG(kHome), 0, 0.9f, 0.0f, 0.55f, 0.7f, 0.6f, 0.6f, 0.0f, 0.0f, 0.45f,
     &kHatEighths, BASS(kBassDrive), nullptr, false, false, Fill::snare},
    {16, 22, "credits full",   PROG(kHome), 0, 0.95f, 0.7f, 0.7f, 0.8f, 0.65f, 0.7f, 0.55f, 0.0f, 0.55f,
     &kHatSixteenths, BASS(kBassDrive), &kHomeTheme, false, false, Fill::snare},
    {22, 25, "video wakes",    PROG(kBreak), 0, 0.5f, 0.0f, 0.3f, 0.0f, 0.6f, 0.45f, 0.0f, 0.6f, 0.3f,
     &kHatEighths, BASS(kBassDrive), nullptr, false, false, Fill::snare},
    {25, 32, "video",          PROG(kHome), 0, 0.95f, 0.8f, 0.8f, 0.85f, 0.6f, 0.7f, 0.0f, 0.0f, 0.6f,
     &kHatSixteenths, BASS(kBassDrive), nullptr, true, false, Fill::toms},
    {32, 40, "contours",       PROG(kTurn), 0, 0.8f, 0.45f, 0.5f, 0.6f, 0.45f, 0.5f, 0.0f, 0.25f, 0.5f,
     &kHatGallop, BASS(kBassSyncopated), nullptr, false, false, Fill::toms},
    {40, 47, "ribbons",        PROG(kTurn), 0, 0.85f, 0.55f, 0.6f, 0.65f, 0.5f, 0.55f, 0.5f, 0.0f, 0.6f,
     &kHatGallop, BASS(kBassSyncopated), &kTurnTheme, true, false, Fill::mixed},
    {47, 49, "lift",           PROG(kTurn), 0, 0.8f, 0.6f, 0.5f, 0.6f, 0.6f, 0.6f, 0.0f, 0.0f, 0.5f,
     &kHatEighths, BASS(kBassDrive), nullptr, false, false, Fill::snare},
    {49, 62, "greetings",      PROG(kTurn), 2, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.3f, 0.95f,
     &kHatOpenOffbeats, BASS(kBassDrive), &kTurnTheme, true, true, Fill::mixed},
    {62, 67, "after",          PROG(kHome), 0, 0.9f, 0.7f, 0.55f, 0.8f, 0.55f, 0.55f, 0.0f, 0.0f, 0.45f,
     &kHatEighths, BASS(kBassSyncopated), nullptr, false, false, Fill::none},
    {67, 72, "breakdown",      PROG(kBreak), 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.25f, 0.0f, 0.45f, 0.25f,
     nullptr, BASS(kBassDrive), nullptr, false, false, Fill::none},
    {72, 76, "triangulation",  PROG(kBreak), 0, 0.0f, 0.0f, 0.35f, 0.0f, 0.55f, 0.55f, 0.3f, 0.3f, 0.4f,
     &kHatEighths, BASS(kBassDrive), &kHomeTheme, false, false, Fill::none},
    {76, 80, "build",          PROG(kHome), 0, 0.8f, 0.5f, 0.6f, 0.6f, 0.6f, 0.7f, 0.0f, 0.2f, 0.55f,
     &kHatSixteenths, BASS(kBassDrive), nullptr, false, false, Fill::snare},
    {80, 92, "mosaic",         PROG(kFinale), 0, 1.0f, 1.0f, 1.0f, 0.9f, 0.85f, 0.9f, 1.0f, 0.2f, 1.0f,
     &kHatGallop, BASS(kBassDrive), &kFinaleTheme, true, true, Fill::toms},
    {92, 99, "ending",         PROG(kCadence), 0, 0.0f, 0.0f, 0.0f, 0.6f, 0.7f, 0.25f, 0.0f, 0.7f, 0.25f,
     nullptr, BASS(kBassHeld), nullptr, false, false, Fill::none},
};
#undef PROG
#undef BASS

const Section* sectionAt(int bar) {
    for (const Section& s : kSections)
        if (bar >= s.fromBar && bar < s.toBar) return &s;
    return nullptr;
}

void playFill(Buses& b, Fill fill, int bar, double level, Noise& noise) {
    for (int step = 8; step < 16; ++step) {
        const double t = stepTime(bar, step), rise = (step - 8) / 7.0;
        switch (fill) {
        case Fill::none: return;
        case Fill::snare:
            if (step >= 12 || step % 2 == 0) snare(b, t, level * (0.2 + 0.45 * rise), noise);
            break;
        case Fill::toms:
            if (step >= 10) tom(b, t, 330 - 30 * (step - 10), level * 0.55, 0.5 - 0.16 * (step - 10));
            break;
        case Fill::mixed:
            if (step % 2 == 0) snare(b, t, level * (0.25 + 0.35 * rise), noise);
            else if (step >= 11) tom(b, t, 300 - 25 * (step - 11), level * 0.5, 0.4 - 0.2 * (step - 11));
            break;
        }
    }
}

void arrange(Buses& b) {
    Noise noise{0x5eed1234u};
    double lastLead = 69;
    for (const Section& s : kSections) {
        const int length = s.toBar - s.fromBar;
        for (int bar = s.fromBar; bar < s.toBar; ++bar) {
            const int inSection = bar - s.fromBar, barsLeft = s.toBar - bar;
            const int chordIndex = inSection % s.chordCount;
            const Chord& chord = s.chords[chordIndex];
            auto shifted = chord.pad;
            for (int& note : shifted) note += s.transpose;
            const int root = chord.root + s.transpose;
            // Filters open through each section's course.
            const double bright = s.bright * (0.75 + 0.25 * inSection / std::max(1, length - 1));
            // A chord that repeats is held rather than struck again.
            const bool continues = inSection > 0 && s.chords[(inSection - 1) % s.chordCount].pad == chord.pad;
            int held = 1;
            while (inSection + held < length && s.chords[(inSection + held) % s.chordCount].pad == chord.pad) ++held;
            if (s.pad > 0 && !continues) pad(b, barTime(bar), held * kBar, shifted, s.pad, bright);
            const bool phraseEnd = inSection % 8 == 7 || barsLeft == 1;
            const bool drums = s.snare > 0;
            if (drums && inSection > 0 && inSection % 8 == 0) crash(b, barTime(bar), 0.2, noise);
            if (s.bells > 0 && (bar % 2 == 0)) {
                bell(b, stepTime(bar, 0), shifted[3] + 12, 0.22 * s.bells, -0.35);
                bell(b, stepTime(bar, 6), shifted[2] + 12, 0.16 * s.bells, 0.35);
            }
            const bool filling = phraseEnd && s.fill != Fill::none && s.snare + s.kick > 0;
            for (int step = 0; step < 16; ++step) {
                const double t = stepTime(bar, step);
                // Kick on every beat; beats 1 and 3 (on the envelope's peaks) are accented. In the
                // opening only those two sound.
                if (s.kick > 0 && step % 4 == 0) {
                    const bool strong = step % 8 == 0;
                    if (strong || s.kick >= 0.8f) kick(b, t, s.kick * (strong ? 1.0 : 0.6));
                }
                if (drums && (step == 4 || step == 12)) snare(b, t, 0.55 * s.snare, noise);
                // Ghost notes: soft snares around the backbeat, varying with the bar.
                if (s.ghosts && !(filling && step >= 8)) {
                    const bool ghost = bar % 2 ? (step == 7 || step == 10) : (step == 9 || step == 15);
                    if (ghost) snare(b, t, 0.1 * s.snare, noise);
                }
                if (s.hatPattern && s.hats > 0 && !(filling && step >= 12)) {
                    const float v = s.hatPattern->velocity[step];
                    const bool open = (s.hatPattern->open >> step) & 1;
                    if (v > 0) hat(b, t, 0.42 * s.hats * v, open ? 10 : 48, step % 2 ? 0.25 : -0.2, noise);
                }
                // Arpeggio: sixteenths, eighths where the drums rest, two octaves at the peaks.
                const bool sparseArp = s.kick == 0;
                if (s.arp > 0 && !(sparseArp && step % 2 == 1)) {
                    const int k = s.wideArp ? kArpOrderWide[step] : kArpOrder[step % 8];
                    const int note = shifted[k % 4] + 12 * (k / 4) + 12;
                    pluck(b, t, note, 0.11 * s.arp, bright, step % 2 ? 0.35 : -0.35);
                }
            }
            if (filling) playFill(b, s.fill, bar, std::max(s.snare, 0.6f), noise);
            if (s.bass > 0) {
                // A held line sounds once for as long as its chord lasts.
                const bool sustained = s.bassLine == kBassHeld;
                for (int h = 0; h < s.bassHits && !(sustained && continues); ++h) {
                    const BassHit& hit = s.bassLine[h];
                    const double length = sustained ? held * kBar - 0.1 : hit.length * kStep * 0.85;
                    bass(b, stepTime(bar, hit.step), length, root + 12 * hit.octave, 0.32 * s.bass, bright);
                }
            }
            if (s.theme && s.lead > 0) {
                // The first phrase, then its answer; at the peaks a quieter voice doubles it an
                // octave up. Where the drums rest only every other note sounds.
                const int phraseBar = inSection % 8;
                const bool second = phraseBar >= 4;
                const Note* notes = second ? s.theme->second : s.theme->first;
                const int count = second ? s.theme->secondCount : s.theme->firstCount;
                const int sparse = s.kick == 0 ? 2 : 1;
                for (int i = 0; i < count; ++i) {
                    const Note& n = notes[i];
                    if (n.bar != phraseBar % 4 || i % sparse != 0) continue;
                    const double pitch = n.note + s.transpose;
                    const double len = n.length * kStep * 0.92;
                    lead(b, stepTime(bar, n.step), len, pitch, lastLead, 0.2 * s.lead, bright);
                    if (s.wideArp) lead(b, stepTime(bar, n.step), len, pitch + 12.05, lastLead + 12.05, 0.06 * s.lead, bright);
                    lastLead = pitch;
                }
            }
        }
        // Risers into the drops the picture marks, a crash on each drop.
        const Section* next = sectionAt(s.toBar);
        if (next && next->snare >= 0.8f && s.snare < next->snare) riser(b, barTime(s.toBar) - 4, 4, 0.25, noise);
        if (s.snare >= 0.6f && s.fromBar > 0 && (sectionAt(s.fromBar - 1)->snare < s.snare || s.chords != sectionAt(s.fromBar - 1)->chords))
            crash(b, barTime(s.fromBar), 0.35, noise);
    }
    // The last chord's root rings out on a bell.
    bell(b, barTime(94), 81, 0.2, 0);
}

// Filter sweeps on the ducked bus (pads, bass, arpeggio, risers): a low-pass that opens the
// opening and the build and closes into the breakdown and the ending, and high-pass lifts in the
// bars before the drops. Points: (time in s, low-pass Hz, high-pass Hz); linear in log frequency.
struct SweepPoint {
    double t, lowPass, highPass;
};
constexpr SweepPoint kSweeps[] = {
    {0, 700, 20},       {16, 16000, 20},    {46, 16000, 20},    {50.1, 16000, 500}, {50.13, 16000, 20},
    {94, 16000, 20},    {98.1, 12000, 700}, {98.13, 16000, 20}, {124, 16000, 20},   {134, 1600, 20},
    {144, 1200, 20},    {156, 16000, 20},   {158, 16000, 20},   {160.1, 16000, 450}, {160.13, 16000, 20},
    {184, 16000, 20},   {192, 1500, 20},    {999, 1500, 20},
};

SweepPoint sweepAt(double t) {
    size_t i = 1;
    while (kSweeps[i].t < t) ++i;
    const SweepPoint &a = kSweeps[i - 1], &c = kSweeps[i];
    const double u = clamp01((t - a.t) / (c.t - a.t));
    auto lerpLog = [u](double x, double y) { return x * std::pow(y / x, u); };
    return {t, lerpLog(a.lowPass, c.lowPass), lerpLog(a.highPass, c.highPass)};
}

// [SECTION] effects and mix ------------------------------------------------------------------

// Ping-pong delay of a dotted eighth with a darkening feedback path. The echoes are blended a
// little towards the middle so they survive a mono fold-down.
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
        out.l[i] += yl * 0.6f + yr * 0.25f;
        out.r[i] += yr * 0.6f + yl * 0.25f;
        pos = (pos + 1) % d;
    }
}

// Schroeder-Moorer reverb in the layout of Jezar's public-domain Freeverb: 8 damped comb
// filters in parallel, then 4 all-passes, per channel; the right channel's lines are 23
// samples longer for width, and Freeverb's width matrix keeps the room half correlated.
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
    constexpr float kWidth = 0.5f, kWet1 = (1 + kWidth) / 2, kWet2 = (1 - kWidth) / 2;
    const size_t n = in.l.size();
    Stereo room(n);
    Svf lowCut;  // keeps the room out of the bass
    std::vector<float> input(n);
    for (size_t i = 0; i < n; ++i) {
        lowCut.run((in.l[i] + in.r[i]) * 0.015, 220, 0.3);
        input[i] = static_cast<float>(lowCut.high);
    }
    for (int ch = 0; ch < 2; ++ch) {
        const int spread = ch ? 23 : 0;
        std::vector<Comb> combs;
        std::vector<AllPass> passes;
        for (int c : kCombs) combs.push_back({std::vector<float>(c + spread, 0.f)});
        for (int a : kAllPasses) passes.push_back({std::vector<float>(a + spread, 0.f)});
        std::vector<float>& y = ch ? room.r : room.l;
        for (size_t i = 0; i < n; ++i) {
            float sum = 0;
            for (Comb& c : combs) sum += c.process(input[i], 0.86f, 0.3f);
            for (AllPass& a : passes) sum = a.process(sum);
            y[i] = sum;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        out.l[i] += kWet1 * room.l[i] + kWet2 * room.r[i];
        out.r[i] += kWet1 * room.r[i] + kWet2 * room.l[i];
    }
}

// Biquad in direct form I with the cookbook coefficients (R. Bristow-Johnson, "Cookbook
// formulae for audio EQ biquad filter coefficients").
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    static Biquad make(double b0, double b1, double b2, double a0, double a1, double a2) {
        return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
    }
    static Biquad highPass(double hz, double q) {
        const double w = kTwoPi * hz / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
        return make((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
    }
    static Biquad lowPass(double hz, double q) {
        const double w = kTwoPi * hz / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
        return make((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
    }
    static Biquad peak(double hz, double q, double db) {
        const double w = kTwoPi * hz / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w), a = std::pow(10, db / 40);
        return make(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
    }
    static Biquad highShelf(double hz, double db) {  // shelf slope 1
        const double w = kTwoPi * hz / kRate, a = std::pow(10, db / 40), c = std::cos(w);
        const double alpha = std::sin(w) / 2 * std::sqrt(2.0), sa = 2 * std::sqrt(a) * alpha;
        return make(a * ((a + 1) + (a - 1) * c + sa), -2 * a * ((a - 1) + (a + 1) * c), a * ((a + 1) + (a - 1) * c - sa),
                    (a + 1) - (a - 1) * c + sa, 2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - sa);
    }
    double run(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

std::vector<float> mixdown(Buses& b) {
    const size_t n = b.size();
    Stereo wet(n);
    pingPong(b.delay, b.reverb);  // the delay's echoes also go into the room
    pingPong(b.delay, wet);
    reverb(b.reverb, wet);
    // Kick ducking: smoothed envelope of the kick pulls the pads and bass down by up to 60 %.
    double duck = 0;
    Svf sweepLow[2], sweepHigh[2];
    SweepPoint sweep{};
    // Master: a 30-Hz high-pass (no DC, no sub rumble), presence around 4.5 kHz, a little air.
    Biquad highPass[2] = {Biquad::highPass(30, 0.707), Biquad::highPass(30, 0.707)};
    Biquad presence[2] = {Biquad::peak(4500, 0.8, 5), Biquad::peak(4500, 0.8, 5)};
    Biquad air[2] = {Biquad::highShelf(9000, 3), Biquad::highShelf(9000, 3)};
    // And a 4th-order Butterworth low-pass at 18 kHz (two sections, Q 0.54 and 1.31): the noise
    // instruments reach up to 22 kHz and the Vorbis coder drops what lies above 20 kHz, so the
    // peaks of that band, which a 4x true-peak estimate also under-reads, never reach the file.
    Biquad top[2][2];
    for (auto& sections : top) sections[0] = Biquad::lowPass(18000, 0.5412), sections[1] = Biquad::lowPass(18000, 1.3066);
    std::vector<float> out(n * 2);
    for (size_t i = 0; i < n; ++i) {
        const double target = b.kickEnvelope[i];
        duck += (target > duck ? 0.02 : 0.0005) * (target - duck);
        const double g = 1 - 0.6 * std::min(1.0, duck);
        if (i % 32 == 0) sweep = sweepAt(double(i) / kRate);
        for (int ch = 0; ch < 2; ++ch) {
            sweepLow[ch].run(g * (ch ? b.ducked.r[i] : b.ducked.l[i]), sweep.lowPass, 0.2);
            sweepHigh[ch].run(sweepLow[ch].low, sweep.highPass, 0.2);
            const double music = sweep.highPass > 21 ? sweepHigh[ch].high : sweepLow[ch].low;
            double x = (ch ? b.dry.r[i] : b.dry.l[i]) + music + (ch ? wet.r[i] : wet.l[i]);
            x = air[ch].run(presence[ch].run(highPass[ch].run(x)));
            x = top[ch][1].run(top[ch][0].run(x));
            out[i * 2 + ch] = static_cast<float>(x);
        }
    }
    return out;
}

float peakOf(const std::vector<float>& samples) {
    float peak = 0;
    for (float v : samples) peak = std::max(peak, std::abs(v));
    return peak;
}

void scale(std::vector<float>& samples, double gain) {
    for (float& v : samples) v = static_cast<float>(v * gain);
}

double toDb(double gain) { return 20 * std::log10(std::max(gain, 1e-12)); }
double fromDb(double db) { return std::pow(10.0, db / 20); }

// [SECTION] mastering --------------------------------------------------------------------------
// Bus compressor, makeup gain to the release loudness, look-ahead true-peak limiter. Every
// stage is a gain per frame applied in place: the master lines up sample for sample with the
// mix, so the kicks stay on the beat envelope.

constexpr double kReleaseLoudness = -14;  // LUFS: what the streaming sites normalise to
constexpr double kCeiling = -1.8;         // dBTP, before the coder is heard: it adds a few tenths
// The coded file's true peak as this code estimates it (4x) may read a tenth or two under an
// estimate at a finer step (a meter upsampling to 192 kHz), hence the margin under -1 dBTP.
constexpr double kCodedPeak = -1.6;       // dBTP: where the coded file should peak
constexpr double kCodedLimit = -1.4;      // dBTP: what the coded file must not pass

// Inter-sample peaks by 4x polyphase interpolation, as the true-peak meter of ITU-R BS.1770-4
// Annex 2, with 24 taps per phase where the standard has 12, so that each phase passes within
// 0.1 dB up to 19 kHz rather than 16: a Hann-windowed sinc over twelve samples either side,
// each phase scaled to unit gain at DC.
struct Oversampler {
    static constexpr int kFactor = 4, kTaps = 24, kFirst = -11;  // taps at frame offsets -11..12
    double taps[kFactor - 1][kTaps];
    Oversampler() {
        for (int p = 1; p < kFactor; ++p) {
            double sum = 0;
            for (int k = 0; k < kTaps; ++k) {
                const double u = double(p) / kFactor - (kFirst + k);  // from the tap to the point
                const double sinc = std::sin(M_PI * u) / (M_PI * u);
                sum += taps[p - 1][k] = sinc * (0.5 + 0.5 * std::cos(M_PI * u / (kTaps / 2)));
            }
            for (double& t : taps[p - 1]) t /= sum;
        }
    }
};

// Per frame, the largest magnitude on either channel at the frame and at the three
// interpolated points between it and the next frame.
std::vector<float> truePeaks(const std::vector<float>& interleaved) {
    static const Oversampler os;
    const long n = static_cast<long>(interleaved.size() / 2);
    std::vector<float> peaks(n);
    for (long i = 0; i < n; ++i) {
        double peak = 0;
        for (int ch = 0; ch < 2; ++ch) {
            peak = std::max(peak, std::abs(double(interleaved[2 * i + ch])));
            for (const auto& taps : os.taps) {
                double v = 0;
                for (int k = 0; k < Oversampler::kTaps; ++k) {
                    const long j = i + Oversampler::kFirst + k;
                    if (j >= 0 && j < n) v += taps[k] * interleaved[2 * j + ch];
                }
                peak = std::max(peak, std::abs(v));
            }
        }
        peaks[i] = static_cast<float>(peak);
    }
    return peaks;
}

// Integrated loudness in LUFS after ITU-R BS.1770-4, the meter of EBU R 128: K-weighting (the
// analogue prototypes of the standard's 48-kHz pre-filter and RLB high-pass, as libebur128
// derives them for any rate), mean square over 400-ms blocks overlapping by 75 %, an absolute
// gate at -70 LUFS and a relative gate 10 LU under the mean of the blocks that pass it.
double integratedLoudness(const std::vector<float>& interleaved) {
    double k = std::tan(M_PI * 1681.974450955533 / kRate), q = 0.7071752369554196;
    const double vh = fromDb(3.999843853973347), vb = std::pow(vh, 0.4996667741545416);
    const Biquad shelf = Biquad::make(vh + vb * k / q + k * k, 2 * (k * k - vh), vh - vb * k / q + k * k, 1 + k / q + k * k,
                                      2 * (k * k - 1), 1 - k / q + k * k);
    k = std::tan(M_PI * 38.13547087602444 / kRate), q = 0.5003270373238773;
    const double a0 = 1 + k / q + k * k;  // the standard's high-pass keeps its numerator 1, -2, 1
    const Biquad highPass = Biquad::make(a0, -2 * a0, a0, a0, 2 * (k * k - 1), 1 - k / q + k * k);
    const size_t hop = kRate / 10, frames = interleaved.size() / 2;
    std::vector<double> hops(frames / hop, 0.0);  // K-weighted energy per 100 ms, channels summed
    for (int ch = 0; ch < 2; ++ch) {
        Biquad s = shelf, h = highPass;
        for (size_t i = 0; i < hops.size() * hop; ++i) {
            const double y = h.run(s.run(interleaved[2 * i + ch]));
            hops[i / hop] += y * y;
        }
    }
    std::vector<double> blocks;  // mean square per 400-ms block
    for (size_t b = 3; b < hops.size(); ++b) blocks.push_back((hops[b - 3] + hops[b - 2] + hops[b - 1] + hops[b]) / (4.0 * hop));
    auto lufs = [](double power) { return -0.691 + 10 * std::log10(std::max(power, 1e-20)); };
    auto gatedMean = [&](double gate) {
        double sum = 0;
        int count = 0;
        for (double p : blocks)
            if (lufs(p) > gate) sum += p, ++count;
        return count ? sum / count : 0.0;
    };
    return lufs(gatedMean(lufs(gatedMean(-70)) - 10));
}

// Bus compression, stereo-linked and feed-forward: RMS detector (10 ms attack, 150 ms release),
// 2:1 above a threshold 12 dB under the mix's peak, soft knee of 6 dB: it holds the dense
// sections together without touching the quiet ones. The master fade rides on its gain.
// Returns the largest gain reduction in dB.
double compress(std::vector<float>& samples) {
    scale(samples, 1 / std::max(1e-9f, peakOf(samples)));
    const double attack = std::exp(-1 / (0.010 * kRate)), release = std::exp(-1 / (0.15 * kRate));
    constexpr double kThreshold = -12, kRatio = 2, kKnee = 6;
    double level = 0, most = 0;
    for (size_t i = 0; i < samples.size() / 2; ++i) {
        const double l = samples[2 * i], r = samples[2 * i + 1];
        const double power = 0.5 * (l * l + r * r);
        level = power + (power > level ? attack : release) * (level - power);
        const double over = 10 * std::log10(level + 1e-12) + 3 - kThreshold;  // + 3: a sine's peak over its RMS
        double reduction = 0;
        if (over > kKnee / 2) reduction = over * (1 - 1 / kRatio);
        else if (over > -kKnee / 2) reduction = (1 - 1 / kRatio) * (over + kKnee / 2) * (over + kKnee / 2) / (2 * kKnee);
        most = std::max(most, reduction);
        const double t = double(i) / kRate;
        // A short fade-in and the fade to silence before the show ends.
        const double fade = clamp01(t / 0.3) * std::pow(clamp01((kSilentFrom - t) / 9.0), 1.5);
        const double gain = fromDb(-reduction) * fade;
        samples[2 * i] = static_cast<float>(l * gain);
        samples[2 * i + 1] = static_cast<float>(r * gain);
    }
    return most;
}

// Look-ahead true-peak limiter, worked out over the whole mix so that it adds no delay: each
// frame's gain comes from the frames ahead of it and applies to that frame itself. The gain a
// frame needs (the ceiling over its true peak at `drive`) is held over the look-ahead (a running
// minimum of the next kLookAhead frames) and averaged over as many frames before it, so the gain
// glides down through the look-ahead and is at most the needed gain at every peak; it recovers
// with an exponential release. Returns the gain per frame.
std::vector<float> limiterGain(const std::vector<float>& peaks, double drive, const std::vector<float>& ceiling) {
    constexpr size_t kLookAhead = 176;  // 4 ms
    const double release = std::exp(-1 / (0.08 * kRate));
    const size_t n = peaks.size(), L = kLookAhead;
    // need[L + i]: the gain frame i needs, which is the smaller of the needs of the intervals on
    // either side of it; unity beyond both ends.
    std::vector<double> need(n + 2 * L, 1.0);
    for (size_t i = 0; i < n; ++i) {
        const double peak = drive * std::max(peaks[i], i ? peaks[i - 1] : 0.f);
        need[L + i] = std::min(1.0, ceiling[i] / std::max(peak, 1e-12));
    }
    // held[t] = min(need[t .. t + L - 1]), a monotonic queue of candidates.
    std::vector<double> held(n + L);
    std::vector<size_t> queue(need.size());
    size_t front = 0, back = 0;
    for (size_t t = need.size(); t-- > 0;) {
        while (back > front && need[queue[back - 1]] >= need[t]) --back;
        queue[back++] = t;
        if (queue[front] >= t + L) ++front;
        if (t < held.size()) held[t] = need[queue[front]];
    }
    std::vector<float> gain(n);
    double sum = 0, g = 1;
    for (size_t t = 1; t <= L; ++t) sum += held[t];
    for (size_t i = 0; i < n; ++i) {
        if (i) sum += held[i + L] - held[i];  // the average over held[i + 1 .. i + L]
        g = std::min(sum / L, 1 - (1 - g) * release);
        gain[i] = static_cast<float>(g);
    }
    return gain;
}

struct Mastered {
    std::vector<float> samples;
    double makeupDb = 0, loudness = 0;
    double limitingDb = 0, limitingShare = 0;  // the limiter's deepest reduction; share of frames over 1 dB
};

// Finds the makeup gain that brings the limited master to the release loudness (the limiter
// takes back a little of what the gain adds, so a few passes settle it). `peaks` are the
// compressed mix's true peaks.
Mastered limit(const std::vector<float>& mix, const std::vector<float>& peaks, const std::vector<float>& ceiling) {
    Mastered m;
    double drive = fromDb(kReleaseLoudness - integratedLoudness(mix));
    std::vector<float> gain;
    for (int pass = 0; pass < 8; ++pass) {
        gain = limiterGain(peaks, drive, ceiling);
        m.samples = mix;
        for (size_t i = 0; i < gain.size(); ++i)
            for (int ch = 0; ch < 2; ++ch) m.samples[2 * i + ch] = static_cast<float>(mix[2 * i + ch] * drive * gain[i]);
        m.loudness = integratedLoudness(m.samples);
        if (std::abs(m.loudness - kReleaseLoudness) < 0.01) break;
        drive *= fromDb(kReleaseLoudness - m.loudness);
    }
    m.makeupDb = toDb(drive);
    m.limitingDb = -toDb(*std::min_element(gain.begin(), gain.end()));
    m.limitingShare = std::count_if(gain.begin(), gain.end(), [](float g) { return g < fromDb(-1); }) / double(gain.size());
    return m;
}

// The coded file's true peaks, per frame as truePeaks() gives them.
std::vector<float> decodedTruePeaks(const std::string& path) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return {};  // the caller takes no peaks as a failure
    std::vector<float> decoded;
    for (;;) {
        float** pcm;
        int section;
        const long frames = ov_read_float(&vf, &pcm, 4096, &section);
        if (frames <= 0) break;
        for (long i = 0; i < frames; ++i) decoded.insert(decoded.end(), {pcm[0][i], pcm[1][i]});
    }
    ov_clear(&vf);
    return truePeaks(decoded);
}

// Vorbis coding overshoots the master's true peak by a few tenths of a decibel over most of the
// piece, and by up to two where stereo noise (crashes, risers) meets the kicks. Where the coded
// file passes kCodedLimit, the limiter's ceiling comes down by the overshoot over the coder's
// block and the blocks either side (whose windows overlap it); the caller limits and codes again.
// Returns false where nothing passes.
bool lowerCeiling(const std::vector<float>& coded, std::vector<float>& ceiling) {
    constexpr size_t kBlock = 1024;  // half the coder's long window
    const size_t blocks = (ceiling.size() + kBlock - 1) / kBlock;
    std::vector<double> factor(blocks, 1.0);
    bool over = false;
    for (size_t b = 0; b < blocks; ++b) {
        float peak = 0;
        for (size_t i = b * kBlock; i < std::min(coded.size(), (b + 1) * kBlock); ++i) peak = std::max(peak, coded[i]);
        if (toDb(peak) > kCodedLimit) factor[b] = fromDb(kCodedPeak) / peak, over = true;
    }
    for (size_t i = 0; i < ceiling.size(); ++i) {
        const size_t b = i / kBlock;
        const double f = std::min({factor[b], factor[b ? b - 1 : b], factor[std::min(b + 1, blocks - 1)]});
        ceiling[i] = static_cast<float>(ceiling[i] * f);
    }
    return over;
}

}  // namespace

// [SECTION] main -------------------------------------------------------------------------------

int main(int argc, char** argv) {
    const bool report = argc == 3 && std::string(argv[1]) == "--report";
    if (argc != 2 && !report) {
        std::fprintf(stderr, "usage: gen-music [--report] <show folder>\n");
        return 2;
    }
    const std::string dir = std::string(argv[argc - 1]) + "/music";
    std::filesystem::create_directories(dir);
    Buses buses(static_cast<size_t>(kLength * kRate));
    arrange(buses);
    std::vector<float> mix = mixdown(buses);
    const double compression = compress(mix);
    const std::vector<float> peaks = truePeaks(mix);
    // Code, find where the coder overshoots, limit those places harder, code again.
    const std::string path = dir + "/[Bexil] Sorvain.ogg";
    std::vector<float> ceiling(peaks.size(), static_cast<float>(fromDb(kCeiling)));
    Mastered m;
    double codedDb = 0;
    int pass = 0;
    for (bool over = true; over; ++pass) {
        if (pass == 8) {
            std::fprintf(stderr, "gen-music: the coded file still peaks at %.2f dBTP\n", codedDb);
            return 1;
        }
        m = limit(mix, peaks, ceiling);
        if (!ostravel::writeOggVorbis(path, m.samples, 2, kRate, 0.45f)) {
            std::fprintf(stderr, "gen-music: cannot write %s\n", path.c_str());
            return 1;
        }
        const std::vector<float> coded = decodedTruePeaks(path);
        if (coded.size() != peaks.size()) {
            std::fprintf(stderr, "gen-music: cannot read back %s\n", path.c_str());
            return 1;
        }
        codedDb = toDb(peakOf(coded));
        over = lowerCeiling(coded, ceiling);
    }
    if (report) {
        std::printf("bus compression: up to %.1f dB\n", compression);
        std::printf("makeup gain: %+.2f dB\n", m.makeupDb);
        std::printf("limiter: up to %.2f dB; over 1 dB for %.2f %% of the show; ceiling %.2f dBTP, %.2f at the lowest\n",
                    m.limitingDb, 100 * m.limitingShare, kCeiling, toDb(*std::min_element(ceiling.begin(), ceiling.end())));
        std::printf("master: %.2f LUFS integrated, %.2f dBTP; coded in %d passes: %.2f dBTP\n", m.loudness,
                    toDb(peakOf(truePeaks(m.samples))), pass, codedDb);
    }
    return 0;
}
