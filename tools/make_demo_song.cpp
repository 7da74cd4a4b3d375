// Writes the bundled demo song: a type-0 Standard MIDI File laid out the way the source material
// of an arranger style is laid out. Measure 0 sets up the instruments, then every section sits at
// its usual measures (intros, mains, endings, fills) with a free measure between sections. All
// the music is written over C major 7, the chord an arranger transposes its patterns from.
//
// Usage: make_demo_song OUTPUT.mid

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "song/midi.h"
#include "song/midi_layout.h"

namespace {

using zephrane::AppendVariableLength;
using zephrane::ChannelStatus;
using zephrane::kMetaStatus;
namespace message_kind = zephrane::message_kind;
namespace meta_type = zephrane::meta_type;

constexpr std::uint32_t kDivision = 480;  // ticks per quarter note
constexpr std::uint32_t kBeat = kDivision;
constexpr std::uint32_t kBar = 4 * kBeat;      // 4/4
constexpr std::uint32_t kStep = kBeat / 4;     // a sixteenth note
constexpr std::uint32_t kTriplet = kBeat / 3;  // an eighth-note triplet
constexpr int kMeasures = 34;                  // measure 0 (set-up) to measure 33

// Channels as sent on the wire (zero-based); musicians call them 1, 2, 3, 4, 5 and 10.
constexpr int kPiano = 0;
constexpr int kBass = 1;
constexpr int kGuitar = 2;
constexpr int kPad = 3;
constexpr int kPhrase = 4;
constexpr int kDrums = 9;  // General MIDI percussion channel

// Note numbers, middle C = C4 = 60.
constexpr int G1 = 31, B1 = 35, C2 = 36, D2 = 38, E2 = 40, G2 = 43, A2 = 45, B2 = 47;
constexpr int C3 = 48, E3 = 52, G3 = 55, B3 = 59, C4 = 60, E4 = 64, G4 = 67, A4 = 69, B4 = 71;
constexpr int C5 = 72, D5 = 74, E5 = 76, G5 = 79, A5 = 81, B5 = 83, C6 = 84;

// General MIDI percussion key map.
constexpr int kKick = 36, kSideStick = 37, kSnare = 38, kClap = 39, kFloorTom = 41;
constexpr int kClosedHat = 42, kPedalHat = 44, kLowTom = 45, kOpenHat = 46, kLowMidTom = 47;
constexpr int kCrash = 49, kHighTom = 50, kRide = 51, kTambourine = 54;

// Voicings of the reference chord and of the final chord of the endings.
const std::vector<int> kPianoMaj7 = {C4, E4, G4, B4};
const std::vector<int> kPianoFinal = {C3, G3, C4, E4, G4, C5};
const std::vector<int> kGuitarMaj7 = {C3, E3, G3, B3, E4};   // open shape x32000
const std::vector<int> kGuitarFinal = {C3, E3, G3, C4, E4};  // open shape x32010
const std::vector<int> kPadMaj7 = {C3, G3, B3, E4};
const std::vector<int> kPadFinal = {C3, G3, C4, E4};

void Append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// At one tick: meta events first, then the set-up messages, then note ends, then note starts,
// so that a note repeated at the same pitch is released before it sounds again.
enum class Order { kMeta, kSetUp, kNoteOff, kNoteOn };

struct Event {
    std::uint32_t tick;
    Order order;
    std::vector<std::uint8_t> bytes;  // complete message, status byte included
};

// A melodic note placed on a grid: start and length in grid units.
struct Note {
    int at;
    int length;
    int key;
};

std::uint32_t MeasureStart(int measure) {
    return static_cast<std::uint32_t>(measure) * kBar;
}

int Clamp(int velocity) {
    return std::clamp(velocity, 1, 127);
}

class Song {
  public:
    void Meta(std::uint8_t type, std::initializer_list<int> payload) {
        std::vector<std::uint8_t> data;
        for (int b : payload)
            data.push_back(static_cast<std::uint8_t>(b));
        AddMeta(type, data);
    }
    void MetaText(std::uint8_t type, std::string_view text) {
        AddMeta(type, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    void Program(int channel, int program) {
        events_.push_back({0,
                           Order::kSetUp,
                           {ChannelStatus(message_kind::kProgramChange, channel),
                            static_cast<std::uint8_t>(program)}});
    }
    void Controller(int channel, int controller, int value) {
        events_.push_back(
            {0,
             Order::kSetUp,
             {ChannelStatus(message_kind::kController, channel),
              static_cast<std::uint8_t>(controller), static_cast<std::uint8_t>(value)}});
    }

    // A note-on with velocity 0 ends the note. It keeps the status byte of the note-ons, which
    // is what lets long runs of notes share one status byte under running status.
    void Play(int channel, std::uint32_t tick, std::uint32_t length, int key, int velocity) {
        const std::uint8_t status = ChannelStatus(message_kind::kNoteOn, channel);
        const auto k = static_cast<std::uint8_t>(key);
        events_.push_back(
            {tick, Order::kNoteOn, {status, k, static_cast<std::uint8_t>(Clamp(velocity))}});
        events_.push_back({tick + length, Order::kNoteOff, {status, k, 0}});
    }

    // All chord notes start and end together.
    void Chord(int channel, std::uint32_t tick, std::uint32_t length, const std::vector<int>& keys,
               int velocity) {
        for (int key : keys)
            Play(channel, tick, length, key, velocity);
    }

    // A guitar strum: strings follow each other by a few ticks, low to high on a down stroke,
    // high to low on an up stroke (played a little softer); all strings stop together.
    void Strum(int channel, std::uint32_t tick, std::uint32_t length, const std::vector<int>& keys,
               int velocity, bool down) {
        constexpr std::uint32_t kSpread = 8;
        const std::size_t n = keys.size();
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t offset = static_cast<std::uint32_t>(i) * kSpread;
            const int key = down ? keys[i] : keys[n - 1 - i];
            Play(channel, tick + offset, length - offset, key, down ? velocity : velocity - 12);
        }
    }

    // Notes of one measure on a grid (sixteenths or triplets), each shortened by `gap` ticks so
    // that repeated notes are re-struck; notes on a beat get a slight accent.
    void Line(int channel, int measure, std::uint32_t grid, std::initializer_list<Note> notes,
              int velocity, std::uint32_t gap = 20) {
        for (const Note& n : notes) {
            const std::uint32_t offset = static_cast<std::uint32_t>(n.at) * grid;
            const int accent = offset % kBeat == 0 ? 6 : 0;
            Play(channel, MeasureStart(measure) + offset,
                 static_cast<std::uint32_t>(n.length) * grid - gap, n.key, velocity + accent);
        }
    }

    // One drum voice for one measure, one character a step: the length of the pattern sets the
    // grid (16 sixteenths, 12 triplets, 8 eighths, 4 quarters), '.' is a rest and a digit 1..9
    // a hit whose velocity grows with the digit. Hits from `until` ticks on are left out, which
    // leaves room for a fill written over the end of a groove.
    void Drums(int measure, int key, std::string_view pattern, std::uint32_t until = kBar) {
        const auto grid = static_cast<std::uint32_t>(kBar / pattern.size());
        const std::uint32_t length = std::min<std::uint32_t>(grid / 2, 60);
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const char c = pattern[i];
            if (c < '1' || c > '9') continue;
            const std::uint32_t offset = static_cast<std::uint32_t>(i) * grid;
            if (offset >= until) continue;
            Play(kDrums, MeasureStart(measure) + offset, length, key, (c - '0') * 14);
        }
    }

    // Checks the song before it is written: one drum hit on every bar line, no note still
    // sounding when the same key starts again, every note ended by the end of the last measure.
    bool Check(std::string& problem) {
        Sort();
        std::vector<int> sounding(16 * 128, 0);
        std::vector<bool> barDrum(kMeasures, false);
        for (const Event& e : events_) {
            if (e.bytes[0] == kMetaStatus) continue;
            const int channel = zephrane::ChannelIndexOf(e.bytes[0]);
            if (zephrane::KindOfStatus(e.bytes[0]) != message_kind::kNoteOn) continue;
            int& count = sounding[static_cast<std::size_t>(channel * 128 + e.bytes[1])];
            if (e.bytes[2] == 0) {
                --count;
                continue;
            }
            if (count != 0) {
                problem = "overlapping notes at tick " + std::to_string(e.tick);
                return false;
            }
            ++count;
            if (channel == kDrums && e.tick % kBar == 0 && e.tick / kBar < kMeasures)
                barDrum[e.tick / kBar] = true;
        }
        for (int m = 0; m < kMeasures; ++m) {
            if (!barDrum[static_cast<std::size_t>(m)]) {
                problem = "no drum hit on the first beat of measure " + std::to_string(m);
                return false;
            }
        }
        if (!events_.empty() && events_.back().tick > MeasureStart(kMeasures)) {
            problem = "a note ends after the last measure";
            return false;
        }
        return true;
    }

    // Appends the events of the track. Channel messages use running status: the status byte is
    // left out when it repeats the previous one. Meta events cancel running status, so the first
    // channel message after one always carries its status byte.
    void AppendEvents(std::vector<std::uint8_t>& out, std::uint32_t endTick) {
        Sort();
        std::uint32_t now = 0;
        int running = -1;
        for (const Event& e : events_) {
            AppendVariableLength(out, e.tick - now);
            now = e.tick;
            if (e.bytes[0] == kMetaStatus) {
                Append(out, e.bytes);
                running = -1;
                continue;
            }
            if (e.bytes[0] != running) out.push_back(e.bytes[0]);
            running = e.bytes[0];
            out.insert(out.end(), e.bytes.begin() + 1, e.bytes.end());
        }
        AppendVariableLength(out, endTick - now);
        Append(out, std::vector<std::uint8_t>{kMetaStatus, meta_type::kEndOfTrack, 0x00});
    }

  private:
    void AddMeta(std::uint8_t type, const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> bytes = {kMetaStatus, type};
        AppendVariableLength(bytes, static_cast<std::int64_t>(data.size()));
        Append(bytes, data);
        events_.push_back({0, Order::kMeta, bytes});
    }
    void Sort() {
        std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
            if (a.tick != b.tick) return a.tick < b.tick;
            return a.order < b.order;
        });
    }

    std::vector<Event> events_;
};

// ---- Set-up measure and free measures ---------------------------------------------------------

void SetUp(Song& s) {
    s.MetaText(meta_type::kTrackName, "Zephrane Demo");
    s.Meta(meta_type::kTimeSignature, {4, 2, 24, 8});  // 4/4, 24 clocks a click, 8 32nds a quarter
    s.Meta(meta_type::kKeySignature, {0, 0});          // C major: no sharps or flats, major
    s.Meta(meta_type::kTempo, {0x07, 0xA1, 0x20});     // 500000 microseconds a quarter = 120 BPM
    struct Part {
        int channel;
        int program;  // General MIDI, counted from 0
        int volume;
        int pan;
    };
    const Part parts[] = {
        {kPiano, 0, 92, 54},    // Acoustic Grand Piano
        {kBass, 33, 100, 64},   // Electric Bass (finger)
        {kGuitar, 25, 84, 80},  // Acoustic Guitar (steel)
        {kPad, 48, 72, 44},     // String Ensemble 1
        {kPhrase, 80, 78, 70},  // Lead 1 (square)
        {kDrums, -1, 104, 64},  // the percussion channel needs no program
    };
    for (const Part& p : parts) {
        if (p.program >= 0) s.Program(p.channel, p.program);
        s.Controller(p.channel, 7, p.volume);  // channel volume
        s.Controller(p.channel, 10, p.pan);    // pan, 64 = centre
    }
    // A count-in on the side stick, its first click on the first beat.
    s.Drums(0, kSideStick, "9666");
}

// Between sections: only time keeping, so that each section stands on its own when heard.
void FreeMeasure(Song& s, int m) {
    s.Drums(m, kKick, "7...");
    s.Drums(m, kPedalHat, "5444");
}

// ---- Intros -----------------------------------------------------------------------------------

// One measure: the band enters on the chord and a rising figure leads into the main.
void IntroA(Song& s, int m) {
    s.Drums(m, kCrash, "8...............");
    s.Drums(m, kKick, "9.......6.......");
    s.Drums(m, kSnare, "....7.......5678");
    s.Drums(m, kClosedHat, "6.4.6.4.6.4.....");
    s.Line(kBass, m, kStep, {{0, 12, C2}, {12, 2, G2}, {14, 2, B2}}, 92);
    s.Chord(kPiano, MeasureStart(m), kBar - 20, kPianoMaj7, 72);
    s.Strum(kGuitar, MeasureStart(m), 2 * kBeat - 20, kGuitarMaj7, 80, true);
    s.Strum(kGuitar, MeasureStart(m) + 2 * kBeat, 2 * kBeat - 20, kGuitarMaj7, 80, false);
    s.Chord(kPad, MeasureStart(m), kBar, kPadMaj7, 64);
    s.Line(kPhrase, m, kStep, {{8, 2, G4}, {10, 2, B4}, {12, 2, C5}, {14, 2, E5}}, 84);
}

// Two measures: a gentle groove with a melody, building up through the second measure.
void IntroB(Song& s, int m) {
    s.Drums(m, kKick, "9.......9.......");
    s.Drums(m, kSideStick, "....7.......7...");
    s.Drums(m, kClosedHat, "7.5.7.5.7.5.7.5.");
    s.Line(kBass, m, kStep, {{0, 6, C2}, {6, 2, C2}, {8, 6, G2}, {14, 2, B1}}, 88);
    s.Chord(kPiano, MeasureStart(m), 2 * kBeat - 20, kPianoMaj7, 68);
    s.Chord(kPiano, MeasureStart(m) + 2 * kBeat, 2 * kBeat - 20, kPianoMaj7, 64);
    s.Line(kGuitar, m, kStep,
           {{0, 2, C3},
            {2, 2, G3},
            {4, 2, B3},
            {6, 2, E4},
            {8, 2, B3},
            {10, 2, G3},
            {12, 2, E3},
            {14, 2, G3}},
           70);
    s.Chord(kPad, MeasureStart(m), kBar, kPadMaj7, 62);
    s.Line(kPhrase, m, kStep, {{0, 6, E5}, {6, 2, D5}, {8, 8, C5}}, 80);

    const int n = m + 1;
    s.Drums(n, kKick, "9.......9.9.....");
    s.Drums(n, kSideStick, "....7...........");
    s.Drums(n, kSnare, "............6789");
    s.Drums(n, kClosedHat, "7.5.7.5.7.5.....");
    s.Line(kBass, n, kStep, {{0, 4, C2}, {4, 4, E2}, {8, 4, G2}, {12, 4, B2}}, 90);
    s.Chord(kPiano, MeasureStart(n), 6 * kStep - 20, kPianoMaj7, 70);
    s.Chord(kPiano, MeasureStart(n) + 6 * kStep, 10 * kStep - 20, kPianoMaj7, 74);
    s.Line(kGuitar, n, kStep,
           {{0, 2, C3},
            {2, 2, G3},
            {4, 2, B3},
            {6, 2, E4},
            {8, 2, B3},
            {10, 2, G3},
            {12, 2, E3},
            {14, 2, G3}},
           76);
    s.Chord(kPad, MeasureStart(n), kBar, kPadMaj7, 70);
    s.Line(kPhrase, n, kStep, {{0, 4, B4}, {4, 4, C5}, {8, 4, D5}, {12, 4, E5}}, 84);
}

// One measure: the full band hits together, then a tom run leads into the main.
void IntroC(Song& s, int m) {
    s.Drums(m, kCrash, "9.....8.........");
    s.Drums(m, kKick, "9.....9...9.....");
    s.Drums(m, kSnare, "......9...9.....");
    s.Drums(m, kHighTom, "............9...");
    s.Drums(m, kLowMidTom, ".............8..");
    s.Drums(m, kLowTom, "..............8.");
    s.Drums(m, kFloorTom, "...............9");
    for (std::uint32_t at : {0u, 6u, 10u}) {
        const std::uint32_t tick = MeasureStart(m) + at * kStep;
        s.Chord(kPiano, tick, 2 * kStep - 20, kPianoMaj7, 96);
        s.Strum(kGuitar, tick, 2 * kStep - 20, kGuitarMaj7, 96, true);
    }
    s.Line(
        kBass, m, kStep,
        {{0, 2, C2}, {6, 2, C2}, {10, 2, C2}, {12, 1, C3}, {13, 1, B2}, {14, 1, G2}, {15, 1, E2}},
        100);
    s.Chord(kPad, MeasureStart(m), kBar, kPadMaj7, 72);
    s.Line(kPhrase, m, kStep, {{0, 2, G5}, {6, 2, E5}, {10, 2, B4}, {12, 4, C5}}, 92);
}

// ---- Mains, from simple (A) to busiest (D) ----------------------------------------------------
// Each main is two measures; `second` selects the second measure's variation. The fills reuse
// the second measure with the drums cut at `drumsUntil`, as a fill replaces the main's last
// measure.

// Half notes and quarter-note time keeping.
void MainA(Song& s, int m, bool second, std::uint32_t drumsUntil = kBar) {
    s.Drums(m, kKick, "9.......8.......", drumsUntil);
    s.Drums(m, kSnare, "....8.......8...", drumsUntil);
    s.Drums(m, kClosedHat, "7...6...7...6...", drumsUntil);
    if (second)
        s.Line(kBass, m, kStep, {{0, 8, C2}, {8, 4, E2}, {12, 4, G2}}, 88);
    else
        s.Line(kBass, m, kStep, {{0, 8, C2}, {8, 8, G2}}, 88);
    s.Chord(kPiano, MeasureStart(m), kBar - 20, kPianoMaj7, 66);
    s.Strum(kGuitar, MeasureStart(m), 2 * kBeat - 20, kGuitarMaj7, 76, true);
    s.Strum(kGuitar, MeasureStart(m) + 2 * kBeat, 2 * kBeat - 20, kGuitarMaj7, 72, true);
    s.Chord(kPad, MeasureStart(m), kBar, kPadMaj7, 60);
    if (second)
        s.Line(kPhrase, m, kStep, {{0, 8, D5}, {8, 8, C5}}, 72);
    else
        s.Line(kPhrase, m, kStep, {{0, 16, E5}}, 72);
}

// Eighth-note hi-hat, quarter-note bass, syncopated piano, eighth-note strumming.
void MainB(Song& s, int m, bool second, std::uint32_t drumsUntil = kBar) {
    s.Drums(m, kKick, "9.......8.8.....", drumsUntil);
    s.Drums(m, kSnare, "....8.......8...", drumsUntil);
    s.Drums(m, kClosedHat, "7.5.7.5.7.5.7.5.", drumsUntil);
    if (second)
        s.Line(kBass, m, kStep, {{0, 4, C2}, {4, 4, E2}, {8, 4, G2}, {12, 4, B2}}, 90);
    else
        s.Line(kBass, m, kStep, {{0, 4, C2}, {4, 4, G2}, {8, 4, C3}, {12, 4, G2}}, 90);
    for (auto [at, length] : {std::pair{0u, 6u}, std::pair{6u, 4u}, std::pair{12u, 4u}})
        s.Chord(kPiano, MeasureStart(m) + at * kStep, length * kStep - 20, kPianoMaj7, 70);
    for (std::uint32_t i = 0; i < 8; ++i)
        s.Strum(kGuitar, MeasureStart(m) + i * 2 * kStep, 2 * kStep - 20, kGuitarMaj7,
                i % 2 == 0 ? 80 : 74, i % 2 == 0);
    s.Chord(kPad, MeasureStart(m), kBar, kPadMaj7, 62);
    if (second)
        s.Line(kPhrase, m, kStep, {{0, 4, C5}, {4, 4, E5}, {8, 8, G5}}, 76);
    else
        s.Line(kPhrase, m, kStep, {{0, 4, E5}, {4, 4, D5}, {8, 4, C5}, {12, 4, B4}}, 76);
}

// Sixteenth-note hi-hat with ghost notes, eighth-note bass, guitar arpeggio in sixteenths.
void MainC(Song& s, int m, bool second, std::uint32_t drumsUntil = kBar) {
    s.Drums(m, kKick, "9.....8.9.....7.", drumsUntil);
    s.Drums(m, kSnare, "....9..3....9..3", drumsUntil);
    s.Drums(m, kClosedHat, "8464846484648464", drumsUntil);
    if (second)
        s.Line(kBass, m, kStep,
               {{0, 2, C2},
                {2, 2, E2},
                {4, 2, G2},
                {6, 2, B2},
                {8, 2, C3},
                {10, 2, B2},
                {12, 2, G2},
                {14, 2, E2}},
               94);
    else
        s.Line(kBass, m, kStep,
               {{0, 2, C2},
                {2, 2, C2},
                {4, 2, G2},
                {6, 2, C3},
                {8, 2, B2},
                {10, 2, G2},
                {12, 2, E2},
                {14, 2, G2}},
               94);
    for (auto at : {0u, 3u, 6u, 10u, 12u})
        s.Chord(kPiano, MeasureStart(m) + at * kStep, 2 * kStep - 20, kPianoMaj7, 74);
    const int cycle[] = {C3, G3, B3, E4, G3, B3, E4, B3};
    for (std::uint32_t i = 0; i < 16; ++i)
        s.Play(kGuitar, MeasureStart(m) + i * kStep, kStep - 10, cycle[i % 8],
               i % 4 == 0 ? 78 : 66);
    s.Chord(kPad, MeasureStart(m), 2 * kBeat, kPadMaj7, 64);
    s.Chord(kPad, MeasureStart(m) + 2 * kBeat, 2 * kBeat, {C3, E3, B3, G4}, 64);
    if (second)
        s.Line(kPhrase, m, kStep,
               {{0, 2, A4}, {2, 2, B4}, {4, 2, C5}, {6, 2, D5}, {8, 4, E5}, {12, 4, G5}}, 80);
    else
        s.Line(kPhrase, m, kStep,
               {{0, 2, G4},
                {2, 2, B4},
                {4, 2, C5},
                {6, 2, E5},
                {8, 2, D5},
                {10, 2, C5},
                {12, 2, B4},
                {14, 2, G4}},
               80);
}

// Four on the floor with clap, tambourine and open hat, syncopated sixteenth-note bass, sixteenth
// strumming and a running lead line.
void MainD(Song& s, int m, bool second, std::uint32_t drumsUntil = kBar) {
    s.Drums(m, kKick, "9...9...9...9.7.", drumsUntil);
    s.Drums(m, kSnare, "....9.3.3...9..5", drumsUntil);
    s.Drums(m, kClap, "....8.......8...", drumsUntil);
    s.Drums(m, kClosedHat, "85858585858585.5", drumsUntil);
    s.Drums(m, kOpenHat, "..............7.", drumsUntil);
    s.Drums(m, kTambourine, "6.4.6.4.6.4.6.4.", drumsUntil);
    if (second)
        s.Line(kBass, m, kStep,
               {{0, 2, C2},
                {2, 1, C3},
                {3, 1, C2},
                {4, 2, E2},
                {6, 2, G2},
                {8, 1, C2},
                {9, 1, C2},
                {10, 2, C3},
                {12, 1, B2},
                {13, 1, A2},
                {14, 1, G2},
                {15, 1, E2}},
               98, 15);
    else
        s.Line(kBass, m, kStep,
               {{0, 2, C2},
                {3, 1, C2},
                {4, 2, C3},
                {6, 1, C2},
                {7, 1, G2},
                {8, 2, C2},
                {10, 1, C3},
                {11, 2, B2},
                {13, 1, G2},
                {14, 2, E2}},
               98, 15);
    for (auto at : {0u, 2u, 3u, 6u, 8u, 10u, 11u, 14u})
        s.Chord(kPiano, MeasureStart(m) + at * kStep, kStep - 15, kPianoMaj7,
                at % 4 == 0 ? 84 : 72);
    const std::string_view strums = "9.7595.79.759575";
    for (std::uint32_t i = 0; i < strums.size(); ++i) {
        if (strums[i] == '.') continue;
        s.Strum(kGuitar, MeasureStart(m) + i * kStep, kStep - 10, kGuitarMaj7,
                (strums[i] - '0') * 11, i % 2 == 0);
    }
    s.Chord(kPad, MeasureStart(m), kBar, {C3, G3, B3, E4, B4}, 66);
    if (second)
        s.Line(kPhrase, m, kStep,
               {{0, 2, C6},
                {2, 1, B5},
                {3, 1, G5},
                {4, 2, E5},
                {6, 1, D5},
                {7, 1, C5},
                {8, 4, E5},
                {12, 2, D5},
                {14, 2, C5}},
               86, 15);
    else
        s.Line(kPhrase, m, kStep,
               {{0, 1, C5},
                {1, 1, D5},
                {2, 1, E5},
                {3, 1, G5},
                {4, 1, A5},
                {5, 1, G5},
                {6, 1, E5},
                {7, 1, D5},
                {8, 1, C5},
                {9, 1, B4},
                {10, 1, G4},
                {11, 1, B4},
                {12, 1, C5},
                {13, 1, E5},
                {14, 1, G5},
                {15, 1, B5}},
               86, 15);
}

// ---- Endings: each comes to rest on a plain C major chord -------------------------------------

// Two beats of the chord, then the final chord on beat 3, held to the bar line.
void EndingA(Song& s, int m) {
    s.Drums(m, kCrash, "9.......9.......");
    s.Drums(m, kKick, "9.......9.......");
    s.Drums(m, kSnare, "....7...........");
    s.Drums(m, kClosedHat, "7.5.7.5.........");
    const std::uint32_t finalChord = MeasureStart(m) + 2 * kBeat;
    s.Line(kBass, m, kStep, {{0, 4, C2}, {4, 4, G1}, {8, 8, C2}}, 92, 0);
    s.Chord(kPiano, MeasureStart(m), kBeat - 20, kPianoMaj7, 70);
    s.Chord(kPiano, MeasureStart(m) + kBeat, kBeat - 20, kPianoMaj7, 66);
    s.Chord(kPiano, finalChord, 2 * kBeat, kPianoFinal, 84);
    s.Strum(kGuitar, MeasureStart(m), 2 * kBeat - 20, kGuitarMaj7, 76, true);
    s.Strum(kGuitar, finalChord, 2 * kBeat, kGuitarFinal, 84, true);
    s.Chord(kPad, MeasureStart(m), 2 * kBeat, kPadMaj7, 64);
    s.Chord(kPad, finalChord, 2 * kBeat, kPadFinal, 72);
    s.Line(kPhrase, m, kStep, {{0, 4, B4}, {4, 4, D5}, {8, 8, C5}}, 80, 0);
}

// A descending run on drums, bass and lead, the final chord on beat 4.
void EndingB(Song& s, int m) {
    s.Drums(m, kKick, "9...........9...");
    s.Drums(m, kCrash, "............9...");
    s.Drums(m, kClosedHat, "6.5.............");
    s.Drums(m, kSnare, "..5.6.7.........");
    s.Drums(m, kHighTom, "........88......");
    s.Drums(m, kLowMidTom, "..........88....");
    s.Drums(m, kFloorTom, "............9...");
    const std::uint32_t finalChord = MeasureStart(m) + 3 * kBeat;
    s.Line(kBass, m, kStep,
           {{0, 2, C3}, {2, 2, B2}, {4, 2, G2}, {6, 2, E2}, {8, 2, D2}, {10, 2, B1}, {12, 4, C2}},
           94, 20);
    s.Chord(kPiano, MeasureStart(m), 2 * kBeat - 20, kPianoMaj7, 72);
    s.Chord(kPiano, MeasureStart(m) + 8 * kStep, 2 * kStep - 20, {G4, B4}, 72);
    s.Chord(kPiano, MeasureStart(m) + 10 * kStep, 2 * kStep - 20, {E4, G4}, 72);
    s.Chord(kPiano, finalChord, kBeat, kPianoFinal, 88);
    s.Strum(kGuitar, MeasureStart(m), kBeat - 20, kGuitarMaj7, 78, true);
    s.Strum(kGuitar, MeasureStart(m) + kBeat, kBeat - 20, kGuitarMaj7, 72, false);
    s.Strum(kGuitar, MeasureStart(m) + 2 * kBeat, kBeat - 20, kGuitarMaj7, 76, true);
    s.Strum(kGuitar, finalChord, kBeat, kGuitarFinal, 88, true);
    s.Chord(kPad, MeasureStart(m), 3 * kBeat, kPadMaj7, 64);
    s.Chord(kPad, finalChord, kBeat, kPadFinal, 74);
    s.Line(kPhrase, m, kStep,
           {{0, 2, E5}, {2, 2, D5}, {4, 2, C5}, {6, 2, B4}, {8, 2, A4}, {10, 2, B4}, {12, 4, C5}},
           82, 20);
}

// Triplet hits on beats 1 and 2 under a snare roll, the final chord on beat 3 held under a
// cymbal swell.
void EndingC(Song& s, int m) {
    s.Drums(m, kCrash, "9.....9.....");
    s.Drums(m, kKick, "9.....9.....");
    s.Drums(m, kSnare, ".67789......");
    s.Drums(m, kRide, "........34455667");
    const std::uint32_t finalChord = MeasureStart(m) + 2 * kBeat;
    for (std::uint32_t at : {0u, 2u, 3u, 5u}) {
        const std::uint32_t tick = MeasureStart(m) + at * kTriplet;
        s.Chord(kPiano, tick, kTriplet - 20, kPianoMaj7, 80);
        s.Strum(kGuitar, tick, kTriplet - 20, kGuitarMaj7, 80, true);
    }
    s.Line(kBass, m, kTriplet, {{0, 1, C2}, {2, 1, E2}, {3, 1, G2}, {5, 1, B2}}, 94);
    s.Chord(kPiano, finalChord, 2 * kBeat, kPianoFinal, 90);
    s.Strum(kGuitar, finalChord, 2 * kBeat, kGuitarFinal, 90, true);
    s.Play(kBass, finalChord, 2 * kBeat, C2, 100);
    s.Chord(kPad, MeasureStart(m), 2 * kBeat, kPadMaj7, 66);
    s.Chord(kPad, finalChord, 2 * kBeat, kPadFinal, 78);
    s.Line(kPhrase, m, kTriplet,
           {{0, 1, G4}, {1, 1, B4}, {2, 1, C5}, {3, 1, D5}, {4, 1, E5}, {5, 1, G5}}, 84);
    s.Play(kPhrase, finalChord, 2 * kBeat, C6, 92);
}

// ---- Fills: the second measure of a main, its drums broken off by a fill ----------------------

// Snare eighths on beat 4.
void FillAA(Song& s, int m) {
    MainA(s, m, true, 3 * kBeat);
    s.Drums(m, kKick, "............8...");
    s.Drums(m, kSnare, "............7.9.");
}

// A snare crescendo in sixteenths over beats 3 and 4.
void FillBB(Song& s, int m) {
    MainB(s, m, true, 2 * kBeat);
    s.Drums(m, kKick, "........9.......");
    s.Drums(m, kSnare, "........45566789");
}

// Snare, then down the toms, over beats 3 and 4.
void FillCC(Song& s, int m) {
    MainC(s, m, true, 2 * kBeat);
    s.Drums(m, kKick, "........9...9...");
    s.Drums(m, kSnare, "........97......");
    s.Drums(m, kHighTom, "..........87....");
    s.Drums(m, kLowMidTom, "............87..");
    s.Drums(m, kFloorTom, "..............98");
}

// A whole measure of sixteenths around the kit over a steady kick.
void FillDD(Song& s, int m) {
    MainD(s, m, true, 0);
    s.Drums(m, kKick, "9...9...9...9...");
    s.Drums(m, kSnare, "6768............");
    s.Drums(m, kHighTom, "....7878........");
    s.Drums(m, kLowMidTom, "........7878....");
    s.Drums(m, kLowTom, "............8...");
    s.Drums(m, kFloorTom, ".............989");
}

std::vector<std::uint8_t> BuildFile(std::string& problem) {
    Song s;
    SetUp(s);
    IntroA(s, 1);
    IntroB(s, 3);  // measures 3 and 4
    IntroC(s, 6);
    MainA(s, 8, false);
    MainA(s, 9, true);
    MainB(s, 11, false);
    MainB(s, 12, true);
    MainC(s, 14, false);
    MainC(s, 15, true);
    MainD(s, 17, false);
    MainD(s, 18, true);
    EndingA(s, 20);
    EndingB(s, 22);
    EndingC(s, 24);
    FillAA(s, 26);
    FillBB(s, 28);
    FillCC(s, 30);
    FillDD(s, 32);
    for (int m : {2, 5, 7, 10, 13, 16, 19, 21, 23, 25, 27, 29, 31, 33})
        FreeMeasure(s, m);

    if (!s.Check(problem)) return {};

    // Format 0: a single track holding all channels.
    std::vector<std::uint8_t> file =
        zephrane::TypeZeroHeaders(static_cast<std::uint16_t>(kDivision));
    s.AppendEvents(file, MeasureStart(kMeasures));
    zephrane::ByteImage image(std::move(file));
    image.WriteU32BE(zephrane::kTrackLengthPos, image.Size() - zephrane::kFirstEventPos);
    return image.Bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_demo_song OUTPUT.mid\n";
        return 2;
    }
    std::string problem;
    const std::vector<std::uint8_t> bytes = BuildFile(problem);
    if (bytes.empty()) {
        std::cerr << "make_demo_song: internal error: " << problem << "\n";
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
    }
    if (!out) {
        std::cerr << "make_demo_song: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
